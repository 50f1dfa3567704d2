#pragma once
// The child side of the robustness run: seeded random late-bound calls on one class,
// each described in the shared record before it is made.
#include <windows.h>
#include <oaidl.h>

#include <random>
#include <string>
#include <vector>

#include "SharedRecord.h"
#include "ValueFactory.h"
#include "common/ComPtr.h"

namespace fuzz {

class ClassFuzzer {
public:
    ClassFuzzer(std::wstring progId, unsigned seed, SharedRecord* record, const HarmlessPool& pool);

    // Creates the object and reads its methods from the server's type library.
    HRESULT Setup();
    // Makes calls first..last (1-based); calls before `first` are generated and dropped,
    // so a restarted child continues the same sequence.
    void Run(LONG first, LONG last);

private:
    struct Method {
        std::wstring name;
        DISPID id;
        UINT params;  // without the [out, retval] one
        WORD invokeKind;
    };

    void CallGetIDsOfNames(bool execute);
    void CallInvoke(bool execute);
    void Describe(const std::wstring& text);

    std::wstring progId_;
    std::mt19937 rng_;
    SharedRecord* record_;
    ValueFactory values_;
    common::ComPtr<IDispatch> object_;
    std::vector<Method> methods_;
    std::vector<std::wstring> names_;
    LONG liveReferences_ = 0;  // references to our objects held by the server after the last call
};

}  // namespace fuzz
