#include "dialog/pagestate/CSlideState.h"

#include "common/DebugLog.h"
#include "common/TextConvert.h"
#include "dialog/module/DispIds.h"
#include "dialog/pagestate/FolderChooser.h"
#include "dialog/paths/LuaCompatiblePath.h"

namespace {

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

// Events of _ISlideStateEvents.
const DISPID kOnChooseFolder = DISPID_STATE_ONCHOOSEFOLDER;
const DISPID kOnProcess = DISPID_STATE_ONPROCESS;

using Row = common::DispatchRow<CSlideState>;
using Call = common::DispatchCall;

// The late-bound names, in the order they are looked up. Arguments are converted to
// text unless the row says otherwise; InstallPath's rows tell its read from its write.
const Row kRows[] = {
    {L"Next", DISPID_STATE_NEXT, 0, [](CSlideState& s, Call&) { return s.Next(); }},
    {L"Exit", DISPID_STATE_EXIT, 0, [](CSlideState& s, Call&) { return s.Exit(); }},
    {L"Ping", DISPID_STATE_PING, 1, [](CSlideState& s, Call& c) { return s.Ping(c.Text(0)); }},
    {L"DisplayFolderChooser", DISPID_STATE_DISPLAYFOLDERCHOOSER, 0, [](CSlideState& s, Call&) { return s.DisplayFolderChooser(); }},
    {L"Previous", DISPID_STATE_PREVIOUS, 0, [](CSlideState& s, Call&) { return s.Previous(); }},
    {L"JSLoadComplete", DISPID_STATE_JSLOADCOMPLETE, 0, [](CSlideState& s, Call&) { return s.JSLoadComplete(); }},
    {L"ExitWithCode", DISPID_STATE_EXITWITHCODE, 1,
     [](CSlideState& s, Call& c) { return s.ExitWithCode(static_cast<ULONG>(c.Number(0))); }, VT_I4},
    {L"ExitCode", DISPID_STATE_EXITCODE, 0, [](CSlideState& s, Call& c) { return s.ExitCode(c.UnsignedResult()); }},
    {L"QueueRemove", DISPID_STATE_QUEUEREMOVE, 1, [](CSlideState& s, Call& c) { return s.QueueRemove(c.Text(0)); }},
    {L"QueuePause", DISPID_STATE_QUEUEPAUSE, 1, [](CSlideState& s, Call& c) { return s.QueuePause(c.Text(0)); }},
    {L"QueueTop", DISPID_STATE_QUEUETOP, 1, [](CSlideState& s, Call& c) { return s.QueueTop(c.Text(0)); }},
    {L"Minimize", DISPID_STATE_MINIMIZE, 0, [](CSlideState& s, Call&) { return s.Minimize(); }},
    {L"Message", DISPID_STATE_MESSAGE, 1, [](CSlideState& s, Call& c) { return s.message(c.Text(0)); }},
    {L"Process", DISPID_STATE_PROCESS, 1, [](CSlideState& s, Call& c) { return s.Process(c.Arg(0)); }, VT_VARIANT},
    {L"QueryAction", DISPID_STATE_QUERYACTION, 0, [](CSlideState& s, Call& c) { return s.QueryAction(c.TextResult()); }},
    {L"Quit", DISPID_STATE_QUIT, 0, [](CSlideState& s, Call& c) { return s.Quit(c.FlagResult()); }},
    {L"InstallPath", DISPID_STATE_INSTALLPATH, 0, [](CSlideState& s, Call& c) { return s.get_InstallPath(c.TextResult()); }, VT_BSTR,
     DISPATCH_PROPERTYGET},
    {L"get_InstallPath", DISPID_STATE_INSTALLPATH, 0, [](CSlideState& s, Call& c) { return s.get_InstallPath(c.TextResult()); }, VT_BSTR,
     DISPATCH_PROPERTYGET},
    {L"put_InstallPath", DISPID_STATE_INSTALLPATH, 1, [](CSlideState& s, Call& c) { return s.put_InstallPath(c.Text(0)); }, VT_BSTR,
     DISPATCH_PROPERTYPUT},
    {L"InstallPathLuaCompatible", DISPID_STATE_INSTALLPATHLUACOMPATIBLE, 0,
     [](CSlideState& s, Call& c) { return s.get_InstallPathLuaCompatible(c.TextResult()); }},
    {L"get_InstallPathLuaCompatible", DISPID_STATE_INSTALLPATHLUACOMPATIBLE, 0,
     [](CSlideState& s, Call& c) { return s.get_InstallPathLuaCompatible(c.TextResult()); }},
    {L"AddTag", DISPID_STATE_ADDTAG, 1, [](CSlideState& s, Call& c) { return s.AddTag(c.Text(0)); }},
    {L"RemoveTag", DISPID_STATE_REMOVETAG, 1, [](CSlideState& s, Call& c) { return s.RemoveTag(c.Text(0)); }},
    {L"TagRemoved", DISPID_STATE_TAGREMOVED, 1, [](CSlideState& s, Call& c) { return s.TagRemoved(c.Text(0), c.FlagResult()); }},
    {L"Reset", DISPID_STATE_RESET, 0, [](CSlideState& s, Call&) { return s.Reset(); }},
    {L"PollJSLoadComplete", DISPID_STATE_POLLJSLOADCOMPLETE, 0, [](CSlideState& s, Call& c) { return s.PollJSLoadComplete(c.FlagResult()); }},
    {L"PollQueueRemove", DISPID_STATE_POLLQUEUEREMOVE, 0, [](CSlideState& s, Call& c) { return s.PollQueueRemove(c.TextResult()); }},
    {L"PollQueuePause", DISPID_STATE_POLLQUEUEPAUSE, 0, [](CSlideState& s, Call& c) { return s.PollQueuePause(c.FlagResult()); }},
    {L"PollQueueTop", DISPID_STATE_POLLQUEUETOP, 0, [](CSlideState& s, Call& c) { return s.PollQueueTop(c.TextResult()); }},
    {L"PollMessage", DISPID_STATE_POLLMESSAGE, 0, [](CSlideState& s, Call& c) { return s.PollMessage(c.TextResult()); }},
    {L"PollProcess", DISPID_STATE_POLLPROCESS, 0, [](CSlideState& s, Call& c) { return s.PollProcess(c.ValueResult()); }},
};

}  // namespace

// Up to two arguments reach any member; more are refused before the member is looked at.
const common::DispatchTable<CSlideState> CSlideState::kDispatchTable = {kRows, sizeof kRows / sizeof kRows[0], 2};

CSlideState::CSlideState()
    : common::ProvideClassInfo2Impl(__uuidof(CSlideState), DIID__ISlideStateEvents),
      propertyNotify_(this, IID_IPropertyNotifySink),
      events_(this, DIID__ISlideStateEvents),
      points_{&propertyNotify_, &events_} {
    ::VariantInit(&pollResult_);
}

CSlideState::~CSlideState() {
    ::SysFreeString(message_);
    ::SysFreeString(queueTop_);
    ::SysFreeString(queueRemove_);
}

common::ConnectionPoint* const* CSlideState::Points(size_t& count) noexcept {
    count = 2;
    return points_;
}

void CSlideState::Fire(DISPID id) noexcept {
    std::vector<common::ComPtr<IUnknown>> sinks;
    try {
        sinks = events_.Sinks();
    } catch (...) {
        return;
    }
    for (auto& sink : sinks) {
        auto* target = static_cast<IDispatch*>(sink.get());
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        EXCEPINFO excep = {};
        const HRESULT hr = target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, &excep,
                                          nullptr);
        if (hr == DISP_E_EXCEPTION) {
            if (excep.pfnDeferredFillIn) excep.pfnDeferredFillIn(&excep);
            // The sink's exception becomes this thread's error information; the event
            // itself goes on to the next sink.
            common::ComPtr<ICreateErrorInfo> create;
            if (SUCCEEDED(::CreateErrorInfo(create.put()))) {
                create->SetSource(excep.bstrSource);
                create->SetDescription(excep.bstrDescription);
                create->SetHelpFile(excep.bstrHelpFile);
                create->SetHelpContext(excep.dwHelpContext);
                common::ComPtr<IErrorInfo> info;
                if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, info.put_void()))) ::SetErrorInfo(0, info.get());
            }
        }
        ::SysFreeString(excep.bstrSource);
        ::SysFreeString(excep.bstrDescription);
        ::SysFreeString(excep.bstrHelpFile);
    }
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

STDMETHODIMP CSlideState::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO* excep, UINT* argErr) {
    RETURN_IF_FAILED(SiteAccess());
    return common::TableDispatch<CSlideState, ISlideState>::Invoke(id, riid, lcid, flags, params, result, excep, argErr);
}

STDMETHODIMP CSlideState::EnumConnectionPoints(IEnumConnectionPoints** out) {
    if (out) *out = nullptr;
    RETURN_IF_FAILED(SiteAccess());
    return ConnectionPointContainerImpl::EnumConnectionPoints(out);
}

STDMETHODIMP CSlideState::FindConnectionPoint(REFIID riid, IConnectionPoint** out) {
    if (out) *out = nullptr;
    RETURN_IF_FAILED(SiteAccess());
    return ConnectionPointContainerImpl::FindConnectionPoint(riid, out);
}

STDMETHODIMP CSlideState::Next() {
    RETURN_IF_FAILED(SiteAccess());
    common::ScopedLock guard(stateLock_);
    nextFlag_ = VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP CSlideState::Exit() {
    RETURN_IF_FAILED(SiteAccess());
    common::ScopedLock guard(stateLock_);
    exitFlag_ = VARIANT_TRUE;
    nextFlag_ = VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP CSlideState::Ping(BSTR) {
    RETURN_IF_FAILED(SiteAccess());
    return S_OK;
}

STDMETHODIMP CSlideState::DisplayFolderChooser() {
    RETURN_IF_FAILED(SiteAccess());
    return common::NoThrow([&]() -> HRESULT {
        // Every other caller waits while the user chooses.
        common::ScopedLock guard(stateLock_);
        for (;;) {
            std::wstring path;
            HRESULT hr = FolderChooser::Show(path);
            if (hr == S_FALSE) return S_OK;
            RETURN_IF_FAILED(hr);
            if (!FolderChooser::IsWritableFolder(path.c_str())) continue;
            common::Bstr copy(path.c_str(), static_cast<UINT>(path.size()));
            if (!copy) return E_OUTOFMEMORY;
            installPath_ = std::move(copy);
            Fire(kOnChooseFolder);
            return S_OK;
        }
    });
}

STDMETHODIMP CSlideState::Previous() {
    RETURN_IF_FAILED(SiteAccess());
    common::ScopedLock guard(stateLock_);
    previousFlag_ = VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP CSlideState::JSLoadComplete() {
    RETURN_IF_FAILED(SiteAccess());
    common::ScopedLock guard(stateLock_);
    jsLoadFlag_ = VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP CSlideState::ExitWithCode(ULONG code) {
    RETURN_IF_FAILED(SiteAccess());
    common::ScopedLock guard(stateLock_);
    exitFlag_ = VARIANT_TRUE;
    nextFlag_ = VARIANT_TRUE;
    exitCode_ = code;
    return S_OK;
}

STDMETHODIMP CSlideState::ExitCode(ULONG* code) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(code);
    common::ScopedLock guard(stateLock_);
    *code = exitCode_;
    return S_OK;
}

STDMETHODIMP CSlideState::QueueRemove(BSTR item) {
    RETURN_IF_FAILED(SiteAccess());
    common::ScopedLock guard(stateLock_);
    return Copy(item, queueRemove_);
}

STDMETHODIMP CSlideState::QueuePause(BSTR) {
    RETURN_IF_FAILED(SiteAccess());
    common::ScopedLock guard(stateLock_);
    queuePauseFlag_ = VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP CSlideState::QueueTop(BSTR item) {
    RETURN_IF_FAILED(SiteAccess());
    common::ScopedLock guard(stateLock_);
    return Copy(item, queueTop_);
}

STDMETHODIMP CSlideState::Minimize() {
    RETURN_IF_FAILED(SiteAccess());
    // The control is a singleton: this reaches the one that owns the installer window.
    CLSID clsid;
    if (FAILED(LOG_IF_FAILED(::CLSIDFromProgID(L"Stagehand.InstallDlgCtl", &clsid)))) return S_OK;
    common::ComPtr<IInstallDlgCtl> control;
    if (FAILED(LOG_IF_FAILED(
            ::CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IInstallDlgCtl, control.put_void()))))
        return S_OK;
    LOG_IF_FAILED(control->Minimize());
    return S_OK;
}

STDMETHODIMP CSlideState::message(BSTR text) {
    RETURN_IF_FAILED(SiteAccess());
    common::ScopedLock guard(stateLock_);
    return Copy(text, message_);
}

STDMETHODIMP CSlideState::Process(VARIANT value) {
    RETURN_IF_FAILED(SiteAccess());
    if (V_VT(&value) != VT_DISPATCH || !V_DISPATCH(&value)) return E_INVALIDARG;
    common::ComPtr<IDispatch> object;
    if (FAILED(V_DISPATCH(&value)->QueryInterface(IID_IDispatch, object.put_void())) || !object) return E_INVALIDARG;
    HRESULT hr = common::NoThrow([&]() -> HRESULT {
        common::ScopedLock guard(stateLock_);
        ProcessRecord record;
        if (FAILED(record.Read(object.get()))) return E_INVALIDARG;
        processQueue_.push_back(std::move(record));
        return S_OK;
    });
    if (FAILED(hr)) return hr;
    Fire(kOnProcess);
    return S_OK;
}

STDMETHODIMP CSlideState::QueryAction(BSTR* action) {
    RETURN_IF_FAILED(SiteAccess());
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
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(exiting);
    {
        common::ScopedLock guard(stateLock_);
        *exiting = exitFlag_;
    }
    ::Sleep(0);
    return S_OK;
}

STDMETHODIMP CSlideState::get_InstallPath(BSTR* pVal) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(pVal);
    common::ScopedLock guard(stateLock_);
    return common::AllocBstr(installPath_.c_str(), pVal);
}

STDMETHODIMP CSlideState::put_InstallPath(BSTR newVal) {
    RETURN_IF_FAILED(SiteAccess());
    common::Bstr copy(common::BstrText(newVal), ::SysStringLen(newVal));
    if (!copy) return E_OUTOFMEMORY;
    common::ScopedLock guard(stateLock_);
    installPath_ = std::move(copy);
    return S_OK;
}

STDMETHODIMP CSlideState::get_InstallPathLuaCompatible(BSTR* pVal) {
    RETURN_IF_FAILED(SiteAccess());
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

// The tag methods allocate (the key, the map's node): an allocation failure becomes
// E_OUTOFMEMORY for callers that reach them through the interface directly too.
STDMETHODIMP CSlideState::AddTag(BSTR id) {
    RETURN_IF_FAILED(SiteAccess());
    return common::NoThrow([&] {
        std::string key = TagKey(id);
        common::ScopedLock guard(stateLock_);
        tags_[key] = true;
        return S_OK;
    });
}

STDMETHODIMP CSlideState::RemoveTag(BSTR id) {
    RETURN_IF_FAILED(SiteAccess());
    return common::NoThrow([&] {
        std::string key = TagKey(id);
        common::ScopedLock guard(stateLock_);
        tags_[key] = false;
        return S_OK;
    });
}

STDMETHODIMP CSlideState::TagRemoved(BSTR id, VARIANT_BOOL* bRemoved) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(bRemoved);
    return common::NoThrow([&] {
        std::string key = TagKey(id);
        common::ScopedLock guard(stateLock_);
        auto it = tags_.find(key);
        *bRemoved = (it != tags_.end() && !it->second) ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

STDMETHODIMP CSlideState::Reset() {
    RETURN_IF_FAILED(SiteAccess());
    common::ScopedLock guard(stateLock_);
    nextFlag_ = exitFlag_ = previousFlag_ = VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CSlideState::PollJSLoadComplete(VARIANT_BOOL* loaded) {
    RETURN_IF_FAILED(SiteAccess());
    common::ScopedLock guard(stateLock_);
    RETURN_IF_FAILED(SetBool(loaded, jsLoadFlag_));
    jsLoadFlag_ = VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CSlideState::PollQueueRemove(BSTR* item) {
    RETURN_IF_FAILED(SiteAccess());
    return Take(queueRemove_, item);
}

STDMETHODIMP CSlideState::PollQueuePause(VARIANT_BOOL* paused) {
    RETURN_IF_FAILED(SiteAccess());
    common::ScopedLock guard(stateLock_);
    RETURN_IF_FAILED(SetBool(paused, queuePauseFlag_));
    queuePauseFlag_ = VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CSlideState::PollQueueTop(BSTR* item) {
    RETURN_IF_FAILED(SiteAccess());
    return Take(queueTop_, item);
}

STDMETHODIMP CSlideState::PollMessage(BSTR* text) {
    RETURN_IF_FAILED(SiteAccess());
    return Take(message_, text);
}

STDMETHODIMP CSlideState::PollProcess(VARIANT* record) {
    RETURN_IF_FAILED(SiteAccess());
    RETURN_IF_NULL(record);
    ::VariantInit(record);
    common::ScopedLock guard(stateLock_);
    // The value handed out before belongs to its caller now.
    ::VariantInit(&pollResult_);
    if (processQueue_.empty()) return S_OK;
    pollArray_.reset();
    const ProcessRecord& oldest = processQueue_.front();
    if (oldest.Pairs().empty()) {
        processQueue_.pop_front();
        return S_OK;
    }
    SAFEARRAY* built = nullptr;
    RETURN_IF_FAILED(common::NoThrow([&] { return oldest.ToArray(&built); }));
    pollArray_.reset(built);
    SAFEARRAY* copy = nullptr;
    RETURN_IF_FAILED(::SafeArrayCopy(pollArray_.get(), &copy));
    V_VT(&pollResult_) = VT_ARRAY | VT_BSTR;
    V_ARRAY(&pollResult_) = copy;
    processQueue_.pop_front();
    *record = pollResult_;
    return S_OK;
}
