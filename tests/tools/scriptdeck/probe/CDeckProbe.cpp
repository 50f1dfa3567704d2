#include "CDeckProbe.h"

#include <cwchar>
#include <string>

#include "common/ComPtr.h"
#include "common/Handle.h"
#include "common/HResult.h"

namespace {

volatile LONG g_liveObjects = 0;
volatile LONG g_ticks = 0;

const DISPID kFail = 14;
const DISPID kOnProgress = 1, kOnChooseFolder = 2, kOnProcess = 3, kOnNotice = 4;

std::wstring Text(BSTR s) { return s ? std::wstring(s, ::SysStringLen(s)) : std::wstring(); }

std::wstring Number(const wchar_t* format, double value) {
    wchar_t text[64];
    std::swprintf(text, 64, format, value);
    return text;
}

std::wstring Whole(long long value) { return std::to_wstring(value); }

std::wstring ElementName(VARTYPE vt) {
    switch (vt) {
        case VT_VARIANT: return L"VARIANT";
        case VT_BSTR: return L"BSTR";
        case VT_I4: return L"I4";
        case VT_BOOL: return L"BOOL";
        case VT_DISPATCH: return L"DISPATCH";
        default: return L"VT" + Whole(vt);
    }
}

std::wstring DescribeValue(const VARIANT* v);

std::wstring DescribeArray(SAFEARRAY* array, VARTYPE element) {
    if (!array) return L"ARRAY(" + ElementName(element) + L"):null";
    const UINT dims = ::SafeArrayGetDim(array);
    if (dims != 1) return L"ARRAY(" + ElementName(element) + L")[dims=" + Whole(dims) + L"]";
    LONG lower = 0, upper = -1;
    ::SafeArrayGetLBound(array, 1, &lower);
    ::SafeArrayGetUBound(array, 1, &upper);
    std::wstring text = L"ARRAY(" + ElementName(element) + L")[" + Whole(lower) + L".." + Whole(upper) + L"]{";
    for (LONG i = lower; i <= upper; ++i) {
        common::Variant item;
        VARIANT* v = item.get();
        HRESULT hr;
        if (element == VT_VARIANT) {
            hr = ::SafeArrayGetElement(array, &i, v);
        } else {
            hr = ::SafeArrayGetElement(array, &i, &V_UI1(v));
            if (SUCCEEDED(hr)) V_VT(v) = element;
        }
        if (i > lower) text += L",";
        text += SUCCEEDED(hr) ? DescribeValue(v) : L"?";
    }
    return text + L"}";
}

std::wstring ProbeName(IUnknown* object) {
    common::ComPtr<IDeckProbe> probe;
    if (FAILED(object->QueryInterface(IID_IDeckProbe, probe.put_void()))) return L"?";
    common::Bstr name;
    if (FAILED(probe->get_Name(name.put()))) return L"?";
    return Text(name.get());
}

// What arrived, exactly: "I4:42", "BSTR(3):abc", "ARRAY(VARIANT)[1..2]{I4:1,BOOL:true}".
std::wstring DescribeValue(const VARIANT* v) {
    const VARTYPE vt = V_VT(v);
    if (vt == (VT_BYREF | VT_VARIANT)) return L"REF:" + DescribeValue(V_VARIANTREF(v));
    if (vt & VT_BYREF) {
        common::Variant copy;
        if (FAILED(::VariantCopyInd(copy.get(), const_cast<VARIANT*>(v)))) return L"REF:?";
        return L"REF:" + DescribeValue(copy.get());
    }
    if (vt & VT_ARRAY) return DescribeArray(V_ARRAY(v), static_cast<VARTYPE>(vt & VT_TYPEMASK));
    switch (vt) {
        case VT_EMPTY: return L"EMPTY";
        case VT_NULL: return L"NULL";
        case VT_BOOL:
            if (V_BOOL(v) == VARIANT_TRUE) return L"BOOL:true";
            if (V_BOOL(v) == VARIANT_FALSE) return L"BOOL:false";
            return L"BOOL:" + Whole(V_BOOL(v));
        case VT_I2: return L"I2:" + Whole(V_I2(v));
        case VT_I4: return L"I4:" + Whole(V_I4(v));
        case VT_INT: return L"INT:" + Whole(V_INT(v));
        case VT_UI2: return L"UI2:" + Whole(V_UI2(v));
        case VT_UI4: return L"UI4:" + Whole(V_UI4(v));
        case VT_R8: return L"R8:" + Number(L"%.17g", V_R8(v));
        case VT_BSTR: return L"BSTR(" + Whole(::SysStringLen(V_BSTR(v))) + L"):" + Text(V_BSTR(v));
        case VT_DISPATCH: return V_DISPATCH(v) ? L"DISPATCH:" + ProbeName(V_DISPATCH(v)) : L"DISPATCH:null";
        case VT_UNKNOWN: return V_UNKNOWN(v) ? L"UNKNOWN:" + ProbeName(V_UNKNOWN(v)) : L"UNKNOWN:null";
        case VT_ERROR: return L"ERROR:" + Whole(static_cast<unsigned long>(V_ERROR(v)));
        default: return L"VT" + Whole(vt);
    }
}

HRESULT ReturnText(const std::wstring& text, BSTR* out) {
    RETURN_IF_NULL(out);
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) { ::InterlockedIncrement(&g_ticks); }

struct FireRequest {
    CDeckProbe* probe;
    std::wstring event;
    INT count;
    HRESULT result;
};

}  // namespace

CDeckProbe::CDeckProbe()
    : common::ProvideClassInfo2Impl(CLSID_DeckProbe, DIID__IDeckProbeEvents),
      events_(this, DIID__IDeckProbeEvents),
      points_{&events_} {
    ::InterlockedIncrement(&g_liveObjects);
}

CDeckProbe::~CDeckProbe() { ::InterlockedDecrement(&g_liveObjects); }

common::ConnectionPoint* const* CDeckProbe::Points(size_t& count) noexcept {
    count = 1;
    return points_;
}

STDMETHODIMP CDeckProbe::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                EXCEPINFO* excep, UINT* argErr) {
    if (id != kFail) return TypeLibDispatch<IDeckProbe>::Invoke(id, riid, lcid, flags, params, result, excep, argErr);
    if (!params || params->cArgs != 2) return DISP_E_BADPARAMCOUNT;
    LONG code = 0;
    RETURN_IF_FAILED(common::ArgAsI4(params, 1, &code, 1, argErr));
    common::Bstr description;
    RETURN_IF_FAILED(common::ArgAsBstr(params, 0, description.put(), 0, argErr));
    // With a description the failure comes as an exception record; without, as the
    // bare code.
    if (description.empty()) return code;
    if (excep) {
        ZeroMemory(excep, sizeof *excep);
        excep->scode = code;
        excep->bstrSource = ::SysAllocString(L"DeckProbe");
        excep->bstrDescription = description.release();
    }
    return DISP_E_EXCEPTION;
}

STDMETHODIMP CDeckProbe::Describe(VARIANT value, BSTR* text) {
    return common::NoThrow([&] { return ReturnText(DescribeValue(&value), text); });
}

STDMETHODIMP CDeckProbe::DescribeRef(VARIANT* value, BSTR* text) {
    RETURN_IF_NULL(value);
    return common::NoThrow([&] { return ReturnText(L"PTR:" + DescribeValue(value), text); });
}

STDMETHODIMP CDeckProbe::Echo(VARIANT value, VARIANT* copy) {
    RETURN_IF_NULL(copy);
    ::VariantInit(copy);
    return ::VariantCopy(copy, &value);
}

STDMETHODIMP CDeckProbe::Numbers(INT i, UINT u, LONG l, ULONG ul, USHORT us, BSTR* text) {
    wchar_t buffer[128];
    std::swprintf(buffer, 128, L"i=%d u=%u l=%ld ul=%lu us=%u", i, u, l, ul, static_cast<unsigned>(us));
    return common::NoThrow([&] { return ReturnText(buffer, text); });
}

STDMETHODIMP CDeckProbe::Negate(VARIANT_BOOL value, VARIANT_BOOL* result) {
    RETURN_IF_NULL(result);
    *result = value ? VARIANT_FALSE : VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP CDeckProbe::Half(DOUBLE value, DOUBLE* result) {
    RETURN_IF_NULL(result);
    *result = value / 2;
    return S_OK;
}

STDMETHODIMP CDeckProbe::Concat(BSTR first, BSTR* second, BSTR* text) {
    return common::NoThrow([&] { return ReturnText(Text(first) + (second ? Text(*second) : L""), text); });
}

STDMETHODIMP CDeckProbe::Split(BSTR text, SAFEARRAY** parts) {
    RETURN_IF_NULL(parts);
    *parts = nullptr;
    return common::NoThrow([&]() -> HRESULT {
        std::vector<std::wstring> pieces;
        const std::wstring whole = Text(text);
        if (!whole.empty()) {
            size_t start = 0;
            for (;;) {
                const size_t comma = whole.find(L',', start);
                pieces.push_back(whole.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start));
                if (comma == std::wstring::npos) break;
                start = comma + 1;
            }
        }
        common::SafeArray array(::SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(pieces.size())));
        if (!array) return E_OUTOFMEMORY;
        for (LONG i = 0; i < static_cast<LONG>(pieces.size()); ++i) {
            common::Bstr piece(pieces[i].c_str(), static_cast<UINT>(pieces[i].size()));
            RETURN_IF_FAILED(::SafeArrayPutElement(array.get(), &i, piece.get()));
        }
        *parts = array.release();
        return S_OK;
    });
}

STDMETHODIMP CDeckProbe::Join(SAFEARRAY* parts, BSTR separator, BSTR* text) {
    VARTYPE vt = VT_EMPTY;
    if (!parts || ::SafeArrayGetDim(parts) != 1 || FAILED(::SafeArrayGetVartype(parts, &vt)) || vt != VT_BSTR)
        return E_INVALIDARG;
    return common::NoThrow([&]() -> HRESULT {
        LONG lower = 0, upper = -1;
        RETURN_IF_FAILED(::SafeArrayGetLBound(parts, 1, &lower));
        RETURN_IF_FAILED(::SafeArrayGetUBound(parts, 1, &upper));
        std::wstring joined;
        for (LONG i = lower; i <= upper; ++i) {
            common::Bstr piece;
            RETURN_IF_FAILED(::SafeArrayGetElement(parts, &i, piece.put()));
            if (i > lower) joined += Text(separator);
            joined += Text(piece.get());
        }
        return ReturnText(joined, text);
    });
}

STDMETHODIMP CDeckProbe::Matrix(LONG rows, LONG columns, VARIANT* matrix) {
    RETURN_IF_NULL(matrix);
    ::VariantInit(matrix);
    if (rows < 0 || columns < 0) return E_INVALIDARG;
    SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(rows), 0}, {static_cast<ULONG>(columns), 0}};
    common::SafeArray array(::SafeArrayCreate(VT_I4, 2, bounds));
    if (!array) return E_OUTOFMEMORY;
    for (LONG r = 0; r < rows; ++r) {
        for (LONG c = 0; c < columns; ++c) {
            LONG indices[2] = {r, c};
            LONG value = r * 10 + c;
            RETURN_IF_FAILED(::SafeArrayPutElement(array.get(), indices, &value));
        }
    }
    V_VT(matrix) = VT_ARRAY | VT_I4;
    V_ARRAY(matrix) = array.release();
    return S_OK;
}

STDMETHODIMP CDeckProbe::Divide(LONG dividend, LONG divisor, LONG* quotient, LONG* remainder, VARIANT_BOOL* exact) {
    RETURN_IF_NULL(quotient);
    RETURN_IF_NULL(remainder);
    RETURN_IF_NULL(exact);
    if (divisor == 0) return DISP_E_DIVBYZERO;
    *quotient = dividend / divisor;
    *remainder = dividend % divisor;
    *exact = *remainder == 0 ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CDeckProbe::Swap(BSTR* text, VARIANT* value) {
    RETURN_IF_NULL(text);
    RETURN_IF_NULL(value);
    // The text takes the value (as text) and the value the text.
    common::Variant oldValue;
    RETURN_IF_FAILED(::VariantCopyInd(oldValue.get(), value));
    if (V_VT(oldValue.get()) == VT_EMPTY) {
        V_VT(oldValue.get()) = VT_BSTR;
        V_BSTR(oldValue.get()) = ::SysAllocString(L"");
    }
    RETURN_IF_FAILED(oldValue.ChangeType(VT_BSTR));
    common::Variant newValue;
    V_VT(newValue.get()) = VT_BSTR;
    V_BSTR(newValue.get()) = ::SysAllocStringLen(*text, ::SysStringLen(*text));
    if (!V_BSTR(newValue.get())) return E_OUTOFMEMORY;
    ::SysFreeString(*text);
    *text = V_BSTR(oldValue.get());
    V_VT(oldValue.get()) = VT_EMPTY;
    ::VariantClear(value);
    *value = newValue.Detach();
    return S_OK;
}

STDMETHODIMP CDeckProbe::Greet(BSTR name, BSTR title, BSTR* text) {
    return common::NoThrow([&] { return ReturnText(Text(title) + L" " + Text(name), text); });
}

STDMETHODIMP CDeckProbe::Fail(LONG code, BSTR) { return code; }

HRESULT CDeckProbe::FireNow(const std::wstring& event, INT count) {
    for (INT i = 1; i <= count; ++i) {
        if (event == L"OnProgress") {
            VARIANT percent;
            V_VT(&percent) = VT_INT;
            V_INT(&percent) = i;
            DISPPARAMS params = {&percent, nullptr, 1, 0};
            events_.FireDispatch(kOnProgress, &params);
        } else if (event == L"OnChooseFolder") {
            events_.FireDispatch(kOnChooseFolder, nullptr);
        } else if (event == L"OnProcess") {
            events_.FireDispatch(kOnProcess, nullptr);
        } else if (event == L"OnNotice") {
            // OnNotice(text, values, flag): "notice", {1, "two", true} (lower bound 0), true.
            common::SafeArray values(::SafeArrayCreateVector(VT_VARIANT, 0, 3));
            if (!values) return E_OUTOFMEMORY;
            common::Variant items[3] = {common::Variant(1), common::Variant(L"two"), common::Variant(true)};
            for (LONG k = 0; k < 3; ++k) RETURN_IF_FAILED(::SafeArrayPutElement(values.get(), &k, items[k].get()));
            common::Variant args[3];  // stored last first
            V_VT(args[0].get()) = VT_BOOL;
            V_BOOL(args[0].get()) = VARIANT_TRUE;
            V_VT(args[1].get()) = VT_ARRAY | VT_VARIANT;
            V_ARRAY(args[1].get()) = values.release();
            V_VT(args[2].get()) = VT_BSTR;
            V_BSTR(args[2].get()) = ::SysAllocString(L"notice");
            VARIANT raw[3] = {*args[0].get(), *args[1].get(), *args[2].get()};
            DISPPARAMS params = {raw, nullptr, 3, 0};
            events_.FireDispatch(kOnNotice, &params);
        } else {
            return E_INVALIDARG;
        }
    }
    return S_OK;
}

STDMETHODIMP CDeckProbe::Fire(BSTR event, INT count) {
    return common::NoThrow([&] { return FireNow(Text(event), count); });
}

DWORD WINAPI CDeckProbe::FireThread(void* context) {
    auto* request = static_cast<FireRequest*>(context);
    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    request->result = common::NoThrow([&] { return request->probe->FireNow(request->event, request->count); });
    if (SUCCEEDED(init)) ::CoUninitialize();
    return 0;
}

STDMETHODIMP CDeckProbe::FireFromThread(BSTR event, INT count) {
    return common::NoThrow([&]() -> HRESULT {
        // The events come from a thread of its own, as a page's script fires them on the
        // window's thread; the call returns once that thread is done.
        FireRequest request = {this, Text(event), count, E_FAIL};
        common::UniqueHandle thread(::CreateThread(nullptr, 0, FireThread, &request, 0, nullptr));
        if (!thread) return common::HResultFromLastError();
        if (::WaitForSingleObject(thread.get(), 30000) != WAIT_OBJECT_0) return E_FAIL;
        return request.result;
    });
}

STDMETHODIMP CDeckProbe::StartTimer(UINT milliseconds) {
    return ::SetTimer(nullptr, 0, milliseconds, Tick) ? S_OK : common::HResultFromLastError();
}

STDMETHODIMP CDeckProbe::PostQuit(INT code) {
    ::PostQuitMessage(code);
    return S_OK;
}

STDMETHODIMP CDeckProbe::CreateChild(BSTR name, IDispatch** child) {
    RETURN_IF_NULL(child);
    *child = nullptr;
    common::ComPtr<IDeckProbe> probe;
    RETURN_IF_FAILED(common::ComObject<CDeckProbe>::Create(IID_IDeckProbe, probe.put_void()));
    RETURN_IF_FAILED(probe->put_Name(name));
    return probe->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(child));
}

STDMETHODIMP CDeckProbe::NameOf(IDispatch* other, BSTR* name) {
    return common::NoThrow([&] { return ReturnText(other ? ProbeName(other) : L"null", name); });
}

STDMETHODIMP CDeckProbe::ThreadId(ULONG* id) {
    RETURN_IF_NULL(id);
    *id = ::GetCurrentThreadId();
    return S_OK;
}

STDMETHODIMP CDeckProbe::get_Name(BSTR* name) { return name_.CopyTo(name); }

STDMETHODIMP CDeckProbe::put_Name(BSTR name) {
    common::Bstr copy(name, ::SysStringLen(name));
    if (name && !copy) return E_OUTOFMEMORY;
    name_ = std::move(copy);
    return S_OK;
}

STDMETHODIMP CDeckProbe::get_Count(USHORT* count) {
    RETURN_IF_NULL(count);
    *count = count_;
    return S_OK;
}

STDMETHODIMP CDeckProbe::put_Count(USHORT count) {
    count_ = count;
    return S_OK;
}

STDMETHODIMP CDeckProbe::get_Items(VARIANT* items) {
    RETURN_IF_NULL(items);
    ::VariantInit(items);
    return ::VariantCopy(items, items_.get());
}

STDMETHODIMP CDeckProbe::put_Items(VARIANT items) { return items_.CopyFrom(&items); }

STDMETHODIMP CDeckProbe::get_Ticks(LONG* ticks) {
    RETURN_IF_NULL(ticks);
    *ticks = g_ticks;
    return S_OK;
}

STDMETHODIMP CDeckProbe::get_LiveObjects(LONG* count) {
    RETURN_IF_NULL(count);
    *count = g_liveObjects;
    return S_OK;
}

STDMETHODIMP CDeckProbe::get_Label(BSTR* text) {
    return common::NoThrow([&] { return ReturnText(L"label of " + Text(name_.get()), text); });
}
