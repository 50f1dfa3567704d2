#pragma once
// Reading the arguments of late-bound calls from page script, and writing results, the
// way JScript converts values.
#include <windows.h>
#include <oaidl.h>

#include <string>

namespace pageplayer {

class ScriptValue {
public:
    // Positional arguments (named ones such as DISPID_THIS are not counted).
    static UINT Count(const DISPPARAMS* params) noexcept;
    // Positional argument i in call order, by-reference values followed; null when missing.
    static const VARIANT* Arg(const DISPPARAMS* params, UINT i) noexcept;
    // The value of a property put: the DISPID_PROPERTYPUT argument, else the last one.
    static const VARIANT* PutValue(const DISPPARAMS* params) noexcept;
    // The named DISPID_THIS argument of a call, or null.
    static IDispatch* This(const DISPPARAMS* params) noexcept;

    // String(value) of script: "" for a missing argument, "undefined", "null", "true",
    // numbers with a dot, objects through their default value.
    static std::wstring String(const VARIANT* v);
    // Whether the value is true in a condition.
    static bool Bool(const VARIANT* v) noexcept;
    // The value as an integer (0 when it has none).
    static LONG Int(const VARIANT* v) noexcept;
    // The object the value holds (not AddRef'd), or null.
    static IDispatch* Object(const VARIANT* v) noexcept;
    // Whether the value is a string.
    static bool IsString(const VARIANT* v) noexcept;

    // Results; each leaves result untouched when it is null.
    static HRESULT SetString(VARIANT* result, const std::wstring& s) noexcept;
    static HRESULT SetBool(VARIANT* result, bool b) noexcept;
    static HRESULT SetInt(VARIANT* result, LONG i) noexcept;
    // An object (AddRef'd into the result); null gives a script null.
    static HRESULT SetObject(VARIANT* result, IDispatch* object) noexcept;
    static HRESULT SetNull(VARIANT* result) noexcept;
};

}  // namespace pageplayer
