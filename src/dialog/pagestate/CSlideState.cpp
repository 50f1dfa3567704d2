#include "dialog/pagestate/CSlideState.h"

#include "dialog/paths/LuaCompatiblePath.h"
#include "common/TextConvert.h"

namespace {

const common::NameEntry kNames[] = {
    {L"Next", 1},
    {L"Exit", 2},
    {L"Ping", 10},
    {L"DisplayFolderChooser", 11},
    {L"Previous", 12},
    {L"JSLoadComplete", 13},
    {L"ExitWithCode", 14},
    {L"ExitCode", 15},
    {L"QueueRemove", 16},
    {L"QueuePause", 18},
    {L"QueueTop", 19},
    {L"Minimize", 17},
    {L"Message", 20},
    {L"Process", 30},
    {L"QueryAction", 3},
    {L"Quit", 4},
    {L"InstallPath", 5},
    {L"get_InstallPath", 5},
    {L"put_InstallPath", 5},
    {L"InstallPathLuaCompatible", 26},
    {L"get_InstallPathLuaCompatible", 26},
    {L"AddTag", 6},
    {L"RemoveTag", 7},
    {L"TagRemoved", 8},
    {L"Reset", 9},
    {L"PollJSLoadComplete", 21},
    {L"PollQueueRemove", 22},
    {L"PollQueuePause", 23},
    {L"PollQueueTop", 24},
    {L"PollMessage", 25},
    {L"PollProcess", 31},
};

// Number of arguments each DISPID takes (index = DISPID); -1: no such member.
const signed char kArgCount[32] = {
    -1, 0, 0, 0, 0, 1, 1, 1, 1, 0,  // 0-9 (5: 0 for get, 1 for put, checked separately)
    1, 0, 0, 0, 1, 0, 1, 0, 1, 1,   // 10-19
    1, 0, 0, 0, 0, 0, 0, -1, -1, -1,  // 20-29
    1, 0,                            // 30-31
};

// Tag names are compared as narrow strings in the thread's ANSI code page.
std::string TagKey(BSTR id) { return common::ToNarrow(common::BstrText(id)); }

HRESULT Copy(BSTR from, BSTR& to) {
    BSTR copy = nullptr;
    if (from) {
        copy = ::SysAllocStringLen(from, ::SysStringLen(from));
        if (!copy) return E_OUTOFMEMORY;
    }
    ::SysFreeString(to);
    to = copy;
    return S_OK;
}

HRESULT SetBool(VARIANT_BOOL* out, VARIANT_BOOL value) {
    RETURN_IF_NULL(out);
    *out = value;
    return S_OK;
}

}  // namespace

CSlideState::CSlideState()
    : common::ProvideClassInfo2Impl(__uuidof(CSlideState), DIID__ISlideStateEvents),
      propertyNotify_(this, IID_IPropertyNotifySink),
      events_(this, DIID__ISlideStateEvents),
      points_{&propertyNotify_, &events_} {}

CSlideState::~CSlideState() {
    ::SysFreeString(message_);
    ::SysFreeString(queueTop_);
    ::SysFreeString(queueRemove_);
}

common::ConnectionPoint* const* CSlideState::Points(size_t& count) noexcept {
    count = 2;
    return points_;
}

const common::NameEntry* CSlideState::NameTable(size_t& size) const noexcept {
    size = sizeof kNames / sizeof kNames[0];
    return kNames;
}

HRESULT CSlideState::Take(BSTR& field, BSTR* out) {
    common::ScopedLock guard(stateLock_);
    BSTR value = field;
    field = nullptr;
    if (out)
        *out = value;
    else
        ::SysFreeString(value);
    return S_OK;
}

STDMETHODIMP CSlideState::Next() {
    common::ScopedLock guard(stateLock_);
    nextFlag_ = VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP CSlideState::Exit() {
    common::ScopedLock guard(stateLock_);
    exitFlag_ = VARIANT_TRUE;
    nextFlag_ = VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP CSlideState::Ping(BSTR) { return S_OK; }

STDMETHODIMP CSlideState::DisplayFolderChooser() { return E_NOTIMPL; }

STDMETHODIMP CSlideState::Previous() {
    common::ScopedLock guard(stateLock_);
    previousFlag_ = VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP CSlideState::JSLoadComplete() {
    common::ScopedLock guard(stateLock_);
    jsLoadFlag_ = VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP CSlideState::ExitWithCode(ULONG code) {
    common::ScopedLock guard(stateLock_);
    exitFlag_ = VARIANT_TRUE;
    nextFlag_ = VARIANT_TRUE;
    exitCode_ = code;
    return S_OK;
}

STDMETHODIMP CSlideState::ExitCode(ULONG* code) {
    RETURN_IF_NULL(code);
    common::ScopedLock guard(stateLock_);
    *code = exitCode_;
    return S_OK;
}

STDMETHODIMP CSlideState::QueueRemove(BSTR item) {
    common::ScopedLock guard(stateLock_);
    return Copy(item, queueRemove_);
}

STDMETHODIMP CSlideState::QueuePause(BSTR) {
    common::ScopedLock guard(stateLock_);
    queuePauseFlag_ = VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP CSlideState::QueueTop(BSTR item) {
    common::ScopedLock guard(stateLock_);
    return Copy(item, queueTop_);
}

STDMETHODIMP CSlideState::Minimize() { return E_NOTIMPL; }

STDMETHODIMP CSlideState::message(BSTR text) {
    common::ScopedLock guard(stateLock_);
    return Copy(text, message_);
}

STDMETHODIMP CSlideState::Process(VARIANT) { return E_NOTIMPL; }

STDMETHODIMP CSlideState::QueryAction(BSTR* action) {
    RETURN_IF_NULL(action);
    *action = nullptr;
    {
        common::ScopedLock guard(stateLock_);
        const wchar_t* text = nextFlag_ ? L"next" : previousFlag_ ? L"previous" : nullptr;
        if (text && !(*action = ::SysAllocString(text))) return E_OUTOFMEMORY;
    }
    ::Sleep(10);
    return S_OK;
}

STDMETHODIMP CSlideState::Quit(VARIANT_BOOL* exiting) {
    RETURN_IF_NULL(exiting);
    {
        common::ScopedLock guard(stateLock_);
        *exiting = exitFlag_;
    }
    ::Sleep(0);
    return S_OK;
}

STDMETHODIMP CSlideState::get_InstallPath(BSTR* pVal) {
    RETURN_IF_NULL(pVal);
    common::ScopedLock guard(stateLock_);
    return common::AllocBstr(installPath_.c_str(), pVal);
}

STDMETHODIMP CSlideState::put_InstallPath(BSTR newVal) {
    common::Bstr copy(common::BstrText(newVal), ::SysStringLen(newVal));
    if (!copy) return E_OUTOFMEMORY;
    common::ScopedLock guard(stateLock_);
    installPath_ = std::move(copy);
    return S_OK;
}

STDMETHODIMP CSlideState::get_InstallPathLuaCompatible(BSTR* pVal) {
    RETURN_IF_NULL(pVal);
    *pVal = nullptr;
    // A page may replace the path on the UI thread meanwhile: work on a copy taken under the lock.
    common::Bstr path;
    {
        common::ScopedLock guard(stateLock_);
        path = common::Bstr(installPath_.c_str(), installPath_.length());
    }
    if (!path) return E_OUTOFMEMORY;
    char narrow[kLuaPathBufferSize];
    narrow[0] = '\0';
    RETURN_IF_FAILED(GetLuaCompatiblePathImplementation(path.c_str(), narrow));
    narrow[kLuaPathBufferSize - 1] = '\0';
    int n = ::MultiByteToWideChar(CP_THREAD_ACP, 0, narrow, -1, nullptr, 0);
    if (n <= 0) return common::HResultFromLastError();
    BSTR out = ::SysAllocStringLen(nullptr, static_cast<UINT>(n - 1));
    if (!out) return E_OUTOFMEMORY;
    ::MultiByteToWideChar(CP_THREAD_ACP, 0, narrow, -1, out, n);
    *pVal = out;
    return S_OK;
}

STDMETHODIMP CSlideState::AddTag(BSTR id) {
    std::string key = TagKey(id);
    common::ScopedLock guard(stateLock_);
    tags_[key] = true;
    return S_OK;
}

STDMETHODIMP CSlideState::RemoveTag(BSTR id) {
    std::string key = TagKey(id);
    common::ScopedLock guard(stateLock_);
    tags_[key] = false;
    return S_OK;
}

STDMETHODIMP CSlideState::TagRemoved(BSTR id, VARIANT_BOOL* bRemoved) {
    RETURN_IF_NULL(bRemoved);
    std::string key = TagKey(id);
    common::ScopedLock guard(stateLock_);
    auto it = tags_.find(key);
    *bRemoved = (it != tags_.end() && !it->second) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CSlideState::Reset() {
    common::ScopedLock guard(stateLock_);
    nextFlag_ = exitFlag_ = previousFlag_ = VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CSlideState::PollJSLoadComplete(VARIANT_BOOL* loaded) {
    common::ScopedLock guard(stateLock_);
    RETURN_IF_FAILED(SetBool(loaded, jsLoadFlag_));
    jsLoadFlag_ = VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CSlideState::PollQueueRemove(BSTR* item) { return Take(queueRemove_, item); }

STDMETHODIMP CSlideState::PollQueuePause(VARIANT_BOOL* paused) {
    common::ScopedLock guard(stateLock_);
    RETURN_IF_FAILED(SetBool(paused, queuePauseFlag_));
    queuePauseFlag_ = VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CSlideState::PollQueueTop(BSTR* item) { return Take(queueTop_, item); }

STDMETHODIMP CSlideState::PollMessage(BSTR* text) { return Take(message_, text); }

STDMETHODIMP CSlideState::PollProcess(VARIANT*) { return E_NOTIMPL; }

STDMETHODIMP CSlideState::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO* excep, UINT* argErr) {
    HRESULT hr = common::CheckInvokeArgs(params, 2, result);
    if (FAILED(hr)) return hr;
    if (id < 1 || id > 31 || kArgCount[id] < 0) return DISP_E_MEMBERNOTFOUND;
    const UINT argc = params->cArgs;
    if (id == 5) {
        if (flags & DISPATCH_PROPERTYGET) {
            if (argc != 0) return DISP_E_BADPARAMCOUNT;
        } else if (flags & DISPATCH_PROPERTYPUT) {
            if (argc != 1) return DISP_E_BADPARAMCOUNT;
        } else {
            return DISP_E_MEMBERNOTFOUND;
        }
    } else if (argc != static_cast<UINT>(kArgCount[id])) {
        return DISP_E_BADPARAMCOUNT;
    }

    common::Bstr text;
    VARIANT_BOOL flag = VARIANT_FALSE;
    ULONG number = 0;
    enum { None, Text, Flag, Number, Var } kind = None;
    switch (id) {
    case 1: hr = Next(); break;
    case 2: hr = Exit(); break;
    case 3: hr = QueryAction(text.put()); kind = Text; break;
    case 4: hr = Quit(&flag); kind = Flag; break;
    case 9: hr = Reset(); break;
    case 5:
        if (flags & DISPATCH_PROPERTYGET) {
            hr = get_InstallPath(text.put());
            kind = Text;
        } else {
            common::Bstr path;
            RETURN_IF_FAILED(common::ArgAsBstr(params, 0, path.put(), 0, argErr));
            hr = put_InstallPath(path.get());
        }
        break;
    case 14: {
        LONG code = 0;
        RETURN_IF_FAILED(common::ArgAsI4(params, 0, &code, 0, argErr));
        hr = ExitWithCode(static_cast<ULONG>(code));
        break;
    }
    case 15: hr = ExitCode(&number); kind = Number; break;
    case 6: case 7: case 8: case 10: case 16: case 18: case 19: case 20: {
        common::Bstr arg;
        RETURN_IF_FAILED(common::ArgAsBstr(params, 0, arg.put(), 0, argErr));
        switch (id) {
        case 6: hr = AddTag(arg.get()); break;
        case 7: hr = RemoveTag(arg.get()); break;
        case 8: hr = TagRemoved(arg.get(), &flag); kind = Flag; break;
        case 10: hr = Ping(arg.get()); break;
        case 16: hr = QueueRemove(arg.get()); break;
        case 18: hr = QueuePause(arg.get()); break;
        case 19: hr = QueueTop(arg.get()); break;
        default: hr = message(arg.get()); break;
        }
        break;
    }
    case 11: hr = DisplayFolderChooser(); break;
    case 12: hr = Previous(); break;
    case 13: hr = JSLoadComplete(); break;
    case 17: hr = Minimize(); break;
    case 21: hr = PollJSLoadComplete(&flag); kind = Flag; break;
    case 22: hr = PollQueueRemove(text.put()); kind = Text; break;
    case 23: hr = PollQueuePause(&flag); kind = Flag; break;
    case 24: hr = PollQueueTop(text.put()); kind = Text; break;
    case 25: hr = PollMessage(text.put()); kind = Text; break;
    case 26: hr = get_InstallPathLuaCompatible(text.put()); kind = Text; break;
    case 30: {
        VARIANT* arg = &params->rgvarg[0];
        if (V_VT(arg) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(arg)) arg = V_VARIANTREF(arg);
        hr = Process(*arg);
        break;
    }
    case 31: {
        VARIANT out;
        ::VariantInit(&out);
        hr = PollProcess(&out);
        if (SUCCEEDED(hr) && result)
            *result = out;
        else
            ::VariantClear(&out);
        break;
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
    if (FAILED(hr)) {
        common::FillExcepInfo(excep, hr);
        return hr;
    }
    if (result) {
        switch (kind) {
        case Text: V_VT(result) = VT_BSTR; V_BSTR(result) = text.release(); break;
        case Flag: V_VT(result) = VT_BOOL; V_BOOL(result) = flag; break;
        case Number: V_VT(result) = VT_I4; V_I4(result) = static_cast<LONG>(number); break;
        default: break;
        }
    }
    return hr;
}
