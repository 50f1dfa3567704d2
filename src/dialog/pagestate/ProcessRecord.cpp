#include "dialog/pagestate/ProcessRecord.h"

#include "common/Bstr.h"
#include "common/ComPtr.h"
#include "common/DebugLog.h"
#include "common/Format.h"
#include "common/HResult.h"
#include "common/Variant.h"

namespace {

// Objects nested deeper than this are not followed: a script object that holds itself
// would otherwise be flattened until the stack runs out.
const int kMaxDepth = 32;

const wchar_t kNodeKey[] = L"RESERVED_NODE_IDENTIFIER";

// The names of an object's properties, in the order of its type information's variables.
HRESULT PropertyNames(IDispatch* object, std::vector<common::Bstr>& names) {
    names.clear();
    common::ComPtr<ITypeInfo> info;
    RETURN_IF_FAILED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put()));
    if (!info) return E_NOINTERFACE;
    TYPEATTR* attr = nullptr;
    RETURN_IF_FAILED(info->GetTypeAttr(&attr));
    if (!attr) return E_UNEXPECTED;
    const WORD count = attr->cVars;
    info->ReleaseTypeAttr(attr);
    for (WORD i = 0; i < count; ++i) {
        VARDESC* var = nullptr;
        RETURN_IF_FAILED(info->GetVarDesc(i, &var));
        if (!var) return E_UNEXPECTED;
        const MEMBERID id = var->memid;
        info->ReleaseVarDesc(var);
        common::Bstr name;
        UINT got = 0;
        RETURN_IF_FAILED(info->GetNames(id, name.put(), 1, &got));
        if (got != 1) return TYPE_E_ELEMENTNOTFOUND;
        names.push_back(std::move(name));
    }
    return S_OK;
}

// Reads a property by name, the way a script reads it.
HRESULT ReadProperty(IDispatch* object, BSTR name, VARIANT* value) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {name};
    RETURN_IF_FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value, nullptr, nullptr);
}

std::wstring Decimal(LONG value) {
    wchar_t text[16];
    common::FormatText(text, sizeof text / sizeof text[0], L"%d", static_cast<int>(value));
    return text;
}

// "name == value" as fragments; a value of no text or number type also gets " VT == <type>".
void TraceValue(BSTR name, const VARIANT& value) {
    common::DebugOut(common::BstrText(name));
    common::DebugOut(" == ");
    switch (V_VT(&value)) {
    case VT_BSTR: common::DebugOut(common::BstrText(V_BSTR(&value))); break;
    case VT_I4: common::DebugOut(Decimal(V_I4(&value)).c_str()); break;
    case VT_DISPATCH: break;
    default: (common::DebugLine() << " VT == " << static_cast<unsigned int>(V_VT(&value))).Flush(); break;
    }
}

}  // namespace

HRESULT ProcessRecord::Read(IDispatch* object) {
    if (!object) return E_INVALIDARG;
    return common::NoThrow([&]() -> HRESULT {
        name_.clear();
        pairs_.clear();
        std::vector<common::Bstr> names;
        RETURN_IF_FAILED(PropertyNames(object, names));
        for (size_t i = names.size(); i-- > 0;) {
            common::Variant value;
            RETURN_IF_FAILED(ReadProperty(object, names[i].get(), value.put()));
            TraceValue(names[i].get(), *value.get());
            name_.assign(names[i].c_str(), names[i].length());
            if (V_VT(value.get()) == VT_DISPATCH && V_DISPATCH(value.get()))
                LOG_IF_FAILED(Flatten(V_DISPATCH(value.get()), 1));
        }
        return S_OK;
    });
}

HRESULT ProcessRecord::Flatten(IDispatch* object, int depth) {
    if (depth > kMaxDepth) return E_INVALIDARG;
    std::vector<common::Bstr> names;
    RETURN_IF_FAILED(PropertyNames(object, names));
    for (size_t i = names.size(); i-- > 0;) {
        common::Variant value;
        RETURN_IF_FAILED(ReadProperty(object, names[i].get(), value.put()));
        TraceValue(names[i].get(), *value.get());
        std::wstring key(names[i].c_str(), names[i].length());
        const VARIANT& v = *value.get();
        switch (V_VT(&v)) {
        case VT_BSTR:
            pairs_.emplace_back(std::move(key), std::wstring(common::BstrText(V_BSTR(&v)), ::SysStringLen(V_BSTR(&v))));
            break;
        case VT_I4:
            pairs_.emplace_back(std::move(key), Decimal(V_I4(&v)));
            break;
        case VT_DISPATCH:
            pairs_.emplace_back(kNodeKey, std::move(key));
            // A nested object that can't be read to its end ends there; this one goes on.
            if (V_DISPATCH(&v)) LOG_IF_FAILED(Flatten(V_DISPATCH(&v), depth + 1));
            break;
        default:
            break;
        }
    }
    return S_OK;
}

HRESULT ProcessRecord::ToArray(SAFEARRAY** out) const {
    RETURN_IF_NULL(out);
    *out = nullptr;
    const size_t count = 1 + 2 * pairs_.size();
    if (count > 0x7fffffff) return E_OUTOFMEMORY;
    common::SafeArray array(::SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(count)));
    if (!array) return E_OUTOFMEMORY;
    auto put = [&](LONG index, const std::wstring& text) -> HRESULT {
        common::Bstr value(text.c_str(), static_cast<UINT>(text.size()));
        if (!value) return E_OUTOFMEMORY;
        return ::SafeArrayPutElement(array.get(), &index, value.get());  // the array keeps a copy
    };
    RETURN_IF_FAILED(put(0, name_));
    LONG index = 1;
    for (const Pair& pair : pairs_) {
        (common::DebugLine() << pair.first.c_str() << " : " << pair.second.c_str() << "\n").Flush();
        RETURN_IF_FAILED(put(index++, pair.first));
        RETURN_IF_FAILED(put(index++, pair.second));
    }
    *out = array.release();
    return S_OK;
}
