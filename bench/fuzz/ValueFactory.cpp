#include "ValueFactory.h"

#include <climits>
#include <cmath>
#include <cwctype>
#include <limits>

#include "CountingObject.h"

namespace fuzz {

namespace {

BSTR Repeat(wchar_t c, UINT n) {
    BSTR s = ::SysAllocStringLen(nullptr, n);
    if (s)
        for (UINT i = 0; i < n; ++i) s[i] = c;
    return s;
}

std::wstring Short(const std::wstring& s) {
    if (s.size() <= 40) return s;
    return s.substr(0, 30) + L"...(" + std::to_wstring(s.size()) + L")";
}

}  // namespace

ValueFactory::ValueFactory(std::mt19937& rng, const HarmlessPool& pool) : rng_(rng), pool_(pool) {
    wchar_t text[128] = L"";
    const DWORD n = ::GetEnvironmentVariableW(L"FUZZ_FORMS", text, 128);
    if (n == 0 || n >= 128) return;
    const std::wstring list = L"," + std::wstring(text) + L",";
    static const wchar_t* const names[kFormCount] = {L",value,", L",ref,", L",varref,"};
    bool any = false;
    for (int f = 0; f < kFormCount; ++f) any |= forms_[f] = list.find(names[f]) != std::wstring::npos;
    if (!any) forms_[kValue] = true;  // nothing recognised: values only
}

ValueFactory::Form ValueFactory::Allowed(Form drawn) const {
    if (forms_[drawn]) return drawn;
    for (int f = 0; f < kFormCount; ++f)
        if (forms_[f]) return static_cast<Form>(f);
    return kValue;
}

void ValueFactory::Make(char kind, VARIANT* arg, VARIANT* store, std::wstring& description) {
    ::VariantInit(arg);
    ::VariantInit(store);
    VARIANT value;
    ::VariantInit(&value);
    switch (kind) {
    case 'n': {
        static const long small[] = {0, 1, 2, 5, 20};
        MakeNumber(small[Below(5)], &value, description);
        break;
    }
    case 'w': {
        static const long sizes[] = {0, 1, 100, 400, 800};
        MakeNumber(sizes[Below(5)], &value, description);
        break;
    }
    case 'h': MakeNumber(1, &value, description); break;
    case 'a':
    case 's':
    case 'k':
    case 'r': {
        const auto& from = kind == 'a' ? pool_.absentPrograms
                           : kind == 's' ? pool_.paths
                           : kind == 'k' ? pool_.keyNames
                                         : pool_.scratchKeys;
        const std::wstring& s = Pick(from);
        value.vt = VT_BSTR;
        V_BSTR(&value) = ::SysAllocStringLen(s.data(), UINT(s.size()));
        description += L"\"" + Short(s) + L"\"";
        break;
    }
    default: MakeFree(&value, description); break;
    }
    // Plain (the callee sees the value itself), by reference to the value's own type (an
    // array's to the array), or by reference to a VARIANT holding it.
    const unsigned draw = Below(10);
    const bool array = (value.vt & VT_ARRAY) != 0;
    Form form = draw < 7 ? kValue : (array || (draw < 9 && value.vt != VT_DECIMAL)) ? kRef : kVariantRef;
    form = Allowed(form);
    if (form == kRef && value.vt == VT_DECIMAL) form = forms_[kVariantRef] ? kVariantRef : kValue;
    if (form == kValue || value.vt == VT_EMPTY) {
        *arg = value;
        return;
    }
    *store = value;
    if (form == kRef && !array) {
        arg->vt = VT_BYREF | value.vt;
        arg->byref = &store->lVal;  // every union member starts at the same address
        description = L"&" + description;
    } else if (form == kRef) {
        arg->vt = VT_BYREF | value.vt;
        arg->pparray = &V_ARRAY(store);
        description = L"&" + description;
    } else {
        arg->vt = VT_BYREF | VT_VARIANT;
        arg->pvarVal = store;
        description = L"&v:" + description;
    }
}

void ValueFactory::MakeNumber(long n, VARIANT* value, std::wstring& description) {
    switch (Below(5)) {
    case 0: value->vt = VT_I2; value->iVal = static_cast<SHORT>(n); break;
    case 1: value->vt = VT_UI4; value->ulVal = static_cast<ULONG>(n); break;
    case 2: value->vt = VT_R8; value->dblVal = n; break;
    case 3: value->vt = VT_BSTR; V_BSTR(value) = ::SysAllocString(std::to_wstring(n).c_str()); break;
    default: value->vt = VT_I4; value->lVal = n; break;
    }
    description += std::to_wstring(n);
}

void ValueFactory::MakeString(VARIANT* value, std::wstring& description) {
    value->vt = VT_BSTR;
    switch (Below(14)) {
    case 0: V_BSTR(value) = nullptr; description += L"null-bstr"; return;
    case 1: V_BSTR(value) = ::SysAllocString(L""); description += L"\"\""; return;
    case 2: V_BSTR(value) = Repeat(L'A', 32767); description += L"A*32767"; return;
    case 3: V_BSTR(value) = Repeat(L'B', 65536); description += L"B*65536"; return;
    case 4: V_BSTR(value) = Repeat(L'C', 259 + Below(1200)); description += L"C*" + std::to_wstring(::SysStringLen(V_BSTR(value))); return;
    case 5: V_BSTR(value) = ::SysAllocString(L"\xD800x"); description += L"lone-high-surrogate"; return;
    case 6: V_BSTR(value) = ::SysAllocString(L"a\xDC00"); description += L"lone-low-surrogate"; return;
    case 7: V_BSTR(value) = ::SysAllocStringLen(L"a\0b", 3); description += L"embedded-nul"; return;
    case 8: {
        static const wchar_t* const odd[] = {L"1", L"-1", L"4294967296", L"1e400", L"%s%s%n", L"..\\..\\x",
                                             L"\\\\?\\C:\\", L"http://127.0.0.1:9/x", L"main", L"queue",
                                             L"installcomplete2", L"\t \r\n"};
        const wchar_t* s = odd[Below(sizeof odd / sizeof *odd)];
        V_BSTR(value) = ::SysAllocString(s);
        description += L"\"" + Short(s) + L"\"";
        return;
    }
    default: {
        const auto& from = Below(3) == 0 ? pool_.keyNames : Below(2) ? pool_.paths : pool_.absentPrograms;
        const std::wstring& s = Pick(from);
        V_BSTR(value) = ::SysAllocStringLen(s.data(), UINT(s.size()));
        description += L"\"" + Short(s) + L"\"";
        return;
    }
    }
}

void ValueFactory::MakeArray(VARIANT* value, std::wstring& description) {
    const VARTYPE element = Below(2) ? VT_BSTR : VT_VARIANT;
    const UINT dims = Below(4) == 0 ? 2 : 1;
    SAFEARRAYBOUND bounds[2];
    static const LONG lowers[] = {0, 1, -5, 1000};
    static const ULONG counts[] = {0, 1, 3};
    for (UINT d = 0; d < dims; ++d) {
        bounds[d].lLbound = lowers[Below(4)];
        bounds[d].cElements = counts[Below(3)];
    }
    SAFEARRAY* array = ::SafeArrayCreate(element, dims, bounds);
    if (!array) {
        description += L"array-failed";
        return;
    }
    // Fill the elements of a one-dimensional array; two-dimensional ones stay empty.
    if (dims == 1) {
        for (ULONG i = 0; i < bounds[0].cElements; ++i) {
            LONG index = bounds[0].lLbound + LONG(i);
            if (element == VT_BSTR) {
                BSTR s = ::SysAllocString(i == 1 ? L"" : L"item");
                ::SafeArrayPutElement(array, &index, s);
                ::SysFreeString(s);
            } else {
                VARIANT v;
                ::VariantInit(&v);
                v.vt = VT_I4;
                v.lVal = LONG(i) - 1;
                ::SafeArrayPutElement(array, &index, &v);
            }
        }
    }
    value->vt = VT_ARRAY | element;
    V_ARRAY(value) = array;
    description += std::wstring(element == VT_BSTR ? L"bstr" : L"variant") + L"[" + std::to_wstring(bounds[0].lLbound) +
                   L"+" + std::to_wstring(bounds[0].cElements) + (dims == 2 ? L",2d]" : L"]");
}

void ValueFactory::MakeFree(VARIANT* value, std::wstring& description) {
    switch (Below(18)) {
    case 0: value->vt = VT_EMPTY; description += L"empty"; return;
    case 1: value->vt = VT_NULL; description += L"null"; return;
    case 2: value->vt = VT_ERROR; value->scode = DISP_E_PARAMNOTFOUND; description += L"missing"; return;
    case 3: {
        static const LONG v[] = {0, 1, -1, INT_MIN, INT_MAX, 5, 260, 65536, 0x7FFF};
        value->vt = VT_I4;
        value->lVal = v[Below(sizeof v / sizeof *v)];
        description += L"i4:" + std::to_wstring(value->lVal);
        return;
    }
    case 4: {
        static const SHORT v[] = {0, -1, SHRT_MIN, SHRT_MAX};
        value->vt = VT_I2;
        value->iVal = v[Below(4)];
        description += L"i2:" + std::to_wstring(value->iVal);
        return;
    }
    case 5: {
        static const ULONG v[] = {0, 1, 0xFFFFFFFFu, 0x80000000u, 0xFFFF};
        value->vt = Below(2) ? VT_UI4 : VT_UINT;
        value->ulVal = v[Below(5)];
        description += L"ui4:" + std::to_wstring(value->ulVal);
        return;
    }
    case 6: {
        static const LONGLONG v[] = {0, -1, LLONG_MIN, LLONG_MAX, 0x100000000LL};
        value->vt = Below(2) ? VT_I8 : VT_UI8;
        value->llVal = v[Below(5)];
        description += L"i8:" + std::to_wstring(value->llVal);
        return;
    }
    case 7: {
        const double v[] = {0.0, -0.0, 0.5, -1.0, 1e308, -1e308, 4.9e-324, std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity(), 4294967296.0};
        value->vt = VT_R8;
        value->dblVal = v[Below(sizeof v / sizeof *v)];
        description += L"r8:" + std::to_wstring(value->dblVal);
        return;
    }
    case 8: {
        const float v[] = {0.0f, 3.4e38f, std::numeric_limits<float>::quiet_NaN(), -1.5f};
        value->vt = VT_R4;
        value->fltVal = v[Below(4)];
        description += L"r4";
        return;
    }
    case 9: {
        value->vt = VT_BOOL;
        static const VARIANT_BOOL v[] = {VARIANT_TRUE, VARIANT_FALSE, 1, 0x7FFF};
        value->boolVal = v[Below(4)];
        description += L"bool:" + std::to_wstring(value->boolVal);
        return;
    }
    case 10: {
        value->vt = Below(2) ? VT_CY : VT_DATE;
        if (value->vt == VT_CY) value->cyVal.int64 = Below(2) ? LLONG_MAX : -10000;
        else value->date = Below(2) ? 1e10 : -700000.0;
        description += value->vt == VT_CY ? L"cy" : L"date";
        return;
    }
    case 11: {
        value->vt = VT_DISPATCH;
        value->pdispVal = Below(3) ? CountingObject::Create() : nullptr;
        description += value->pdispVal ? L"object" : L"null-object";
        return;
    }
    case 12: {
        value->vt = VT_UNKNOWN;
        value->punkVal = Below(2) ? static_cast<IUnknown*>(CountingObject::Create()) : nullptr;
        description += value->punkVal ? L"unknown" : L"null-unknown";
        return;
    }
    case 13: {
        static const BYTE v[] = {0, 255};
        value->vt = Below(2) ? VT_UI1 : VT_I1;
        value->bVal = v[Below(2)];
        description += L"byte";
        return;
    }
    case 14: MakeArray(value, description); return;
    default: MakeString(value, description); return;
    }
}

std::wstring ValueFactory::Name(const std::vector<std::wstring>& known) {
    if (!known.empty() && Below(4) != 0) {
        std::wstring s = Pick(known);
        switch (Below(3)) {
        case 0: for (auto& c : s) c = wchar_t(std::towupper(c)); break;
        case 1: for (auto& c : s) c = wchar_t(std::towlower(c)); break;
        default: break;
        }
        return s;
    }
    static const wchar_t* const odd[] = {L"", L"NoSuchMethod", L"get_InstallPath", L"put_InstallPath", L"\xD800",
                                         L"Navigate ", L"_NewEnum", L"value"};
    if (Below(6) == 0) return std::wstring(300 + Below(70000), L'N');
    return odd[Below(sizeof odd / sizeof *odd)];
}

}  // namespace fuzz
