#pragma once
// Random automation arguments: every VARIANT type the servers' interfaces meet and
// more, at their edges, plain and by reference. Arguments that name real things come
// from a harmless pool.
#include <windows.h>
#include <oaidl.h>

#include <random>
#include <string>
#include <vector>

namespace fuzz {

// Strings naming things the calls may touch: all of them below a scratch folder or a
// scratch registry branch, or absent.
struct HarmlessPool {
    std::wstring scratch;                      // the child's scratch folder
    std::vector<std::wstring> paths;           // files and folders below it
    std::vector<std::wstring> absentPrograms;  // programs that do not exist
    std::vector<std::wstring> keyNames;        // relative registry names
    std::vector<std::wstring> scratchKeys;     // HKCU paths of the scratch branch
};

// What an argument position may hold:
//   'f' anything, 'n' a small number, 'w' a window dimension, 'h' the HKCU root number,
//   'a' an absent program, 's' a scratch path, 'k' a relative key name, 'r' a scratch key.
class ValueFactory {
public:
    // FUZZ_FORMS=value,ref,varref in the environment keeps only those argument forms (a
    // value; a reference to the value's own type; a reference to a VARIANT holding it), to
    // tell which form a growth comes from. A form left out is replaced by the first one
    // kept, without drawing again: the other random choices of a seed stay the same.
    ValueFactory(std::mt19937& rng, const HarmlessPool& pool);

    // Fills arg with a random value of the given kind. By-reference forms point into
    // store; after the call the caller clears both. Appends a short description.
    void Make(char kind, VARIANT* arg, VARIANT* store, std::wstring& description);

    // A random name for GetIDsOfNames: one of `known` in any case, or an odd one.
    std::wstring Name(const std::vector<std::wstring>& known);

    unsigned Below(unsigned n) { return n ? static_cast<unsigned>(rng_() % n) : 0; }
    bool Chance(unsigned percent) { return Below(100) < percent; }

private:
    void MakeFree(VARIANT* value, std::wstring& description);
    void MakeString(VARIANT* value, std::wstring& description);
    void MakeArray(VARIANT* value, std::wstring& description);
    void MakeNumber(long n, VARIANT* value, std::wstring& description);
    const std::wstring& Pick(const std::vector<std::wstring>& from) { return from[Below(unsigned(from.size()))]; }

    enum Form { kValue, kRef, kVariantRef, kFormCount };
    Form Allowed(Form drawn) const;

    std::mt19937& rng_;
    const HarmlessPool& pool_;
    bool forms_[kFormCount] = {true, true, true};
};

}  // namespace fuzz
