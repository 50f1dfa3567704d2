#include "dialog/control/CInstallDlgCtl.h"

#include <new>
#include <string>
#include <utility>
#include <vector>

#include "dialog/control/ContentServerCache.h"
#include "dialog/offer/OfferSdkApi.h"
#include "dialog/progress/QueueHandOff.h"
#include "dialog/progress/QueueRequest.h"
#include "dialog/strings/AnsiRoundTrip.h"
#include "dialog/strings/ResourceSound.h"
#include "dialog/window/CMainDlg.h"
#include "dialog/window/WindowMessages.h"

using common::NoThrow;
using common::ScopedLock;
using stagehand::CMainDlg;

namespace {

constexpr INT kInstallerTitle = 1033;
constexpr INT kManagerTitle = 1034;
constexpr size_t kTitleLength = 260;

// Creation style of the main window per frame mode.
constexpr DWORD kModeStyles[3] = {
    WS_POPUP | WS_VISIBLE,
    WS_POPUP | WS_VISIBLE | WS_SYSMENU,
    WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
};

// This module, held by the UI thread while it runs so that the server can't be unloaded
// under the thread's feet; given back as the thread ends.
HMODULE HoldOwnModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&HoldOwnModule),
                         &module);
    return module;
}

}  // namespace

CInstallDlgCtl::CInstallDlgCtl()
    : common::ProvideClassInfoImpl(__uuidof(CInstallDlgCtl)), messages_(resources_, controlLock_) {
    readyEvent_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    closedEvent_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    mainWindow_.Adopt(new (std::nothrow) CMainDlg(closedEvent_.get(), &mainWindow_));
    notifyWindow_.reset(new (std::nothrow) stagehand::TaskNotifyWnd());
}

CInstallDlgCtl::~CInstallDlgCtl() {
    ::PostQuitMessage(0);
    // The windows belong to the UI thread. When it left its loop in order they are gone and
    // their objects can go; when it was stopped mid-way (the process is ending) they stay.
    bool uiThreadDone = !uiThread_ || (::WaitForSingleObject(uiThread_.get(), 0) == WAIT_OBJECT_0 &&
                                       uiThreadFinished_);
    if (!uiThreadDone) {
        mainWindow_.Abandon();
        static_cast<void>(notifyWindow_.release());
    }
}

DWORD WINAPI CInstallDlgCtl::UiThreadMain(void* control) {
    HMODULE self = HoldOwnModule();
    // The browsers need OLE on this thread, and so does the window's close request.
    HRESULT ole = ::OleInitialize(nullptr);
    DWORD code = 1;
    try {
        code = static_cast<CInstallDlgCtl*>(control)->RunUiThread();
    } catch (...) {
        common::DebugOut("CInstallDlgCtl UI thread failed\n");
    }
    if (SUCCEEDED(ole)) ::OleUninitialize();
    if (self) ::FreeLibraryAndExitThread(self, code);
    return code;
}

DWORD CInstallDlgCtl::RunUiThread() {
    HWND main = nullptr, notify = nullptr;
    {
        ScopedLock lock(controlLock_);
        HRESULT hr = S_OK;
        {
            auto window = mainWindow_.Acquire();
            if (!window || !notifyWindow_) {
                hr = E_OUTOFMEMORY;
            } else {
                main = window->Create(uiCreationStyle_, windowTitle_.c_str(), resources_.module());
                if (!main) hr = common::HResultFromLastError();
            }
        }
        if (SUCCEEDED(hr)) {
            notify = notifyWindow_->Create();
            if (!notify) {
                hr = common::HResultFromLastError();
                // Without both windows there is no dialog: the main window goes again, and
                // its destruction is no close signal.
                ::DestroyWindow(main);
                ::ResetEvent(closedEvent_.get());
            }
        }
        if (FAILED(hr)) ::InterlockedExchange(&uiThreadFinished_, 1);
        // Message boxes from now on belong to the window.
        if (SUCCEEDED(hr)) messages_.SetOwnerWindow(main);
        uiThreadResult_ = hr;
        ::SetEvent(readyEvent_.get());
        if (FAILED(hr)) {
            common::DebugLine() << "CInstallDlgCtl UI thread: windows not created" << common::LastErrSuffix(hr)
                                << "\n";
            return 1;
        }
    }

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // A posted system close command is the engine's to decide on, except in the
        // captioned frame mode, whose system menu closes the usual way (as a request).
        if (msg.message == WM_SYSCOMMAND && (msg.wParam & 0xFFF0) == SC_CLOSE && dialogMode_ != 2) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }

    messages_.SetOwnerWindow(nullptr);
    if (::IsWindow(notify)) ::DestroyWindow(notify);
    if (::IsWindow(main)) ::DestroyWindow(main);
    ::InterlockedExchange(&uiThreadFinished_, 1);
    return 0;
}

STDMETHODIMP CInstallDlgCtl::Navigate(BSTR url) {
    return NoThrow([&] {
        ScopedLock lock(navigationLock_);
        auto window = mainWindow_.Acquire();
        if (!window) return E_FAIL;
        return window->Browser().NavigateMain(url);
    });
}
STDMETHODIMP CInstallDlgCtl::NavigateQ(BSTR url) {
    return NoThrow([&] {
        ScopedLock lock(controlLock_);
        auto window = mainWindow_.Acquire();
        if (!window) return E_FAIL;
        return window->Browser().NavigateQueue(url);
    });
}
STDMETHODIMP CInstallDlgCtl::EnableQueue() {
    auto window = mainWindow_.Acquire();
    if (window && window->Handle()) ::SendMessageW(window->Handle(), stagehand::WM_DLG_ENABLEQUEUE, 0, 0);
    return S_OK;
}
STDMETHODIMP CInstallDlgCtl::Create(UINT width, UINT height, UINT mode) {
    return NoThrow([&]() -> HRESULT {
        if (mainWindow_.Empty()) {
            // The earlier window is gone altogether: a fresh one takes its place.
            CMainDlg* fresh = new CMainDlg(closedEvent_.get(), &mainWindow_);
            mainWindow_.Adopt(fresh);
        }
        {
            auto window = mainWindow_.Acquire();
            if (!window) return E_OUTOFMEMORY;
            // Later calls only resize and change the look; the creation style and the
            // control's mode stay those of the first creation.
            if (window->Exists()) {
                window->ResizeFrame(static_cast<int>(width), static_cast<int>(height));
                window->SetFrameMode(static_cast<int>(mode));
                return S_OK;
            }
            window->ResizeFrame(static_cast<int>(width), static_cast<int>(height));
            if (mode >= 3) return E_INVALIDARG;
            dialogMode_ = mode;
            window->SetFrameMode(static_cast<int>(mode));
        }

        std::wstring title;
        DWORD error = ERROR_SUCCESS;
        if (!resources_.LoadLocalized(mode == 1 ? kManagerTitle : kInstallerTitle, kTitleLength, title, &error))
            return HRESULT_FROM_WIN32(error);
        resources_.SetCaption(title.c_str());
        windowTitle_ = std::move(title);
        uiCreationStyle_ = kModeStyles[mode];

        // A thread still running from an earlier attempt is left to itself.
        ::ResetEvent(readyEvent_.get());
        uiThreadResult_ = E_FAIL;
        uiThreadFinished_ = 0;
        HANDLE thread = ::CreateThread(nullptr, 0, &CInstallDlgCtl::UiThreadMain, this, 0, nullptr);
        if (!thread) return S_FALSE;
        uiThread_.reset(thread);
        // The thread reports success or failure through readyEvent; should it end
        // without reporting, its end counts as failure.
        HANDLE waits[2] = {readyEvent_.get(), thread};
        DWORD which = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (which != WAIT_OBJECT_0) return E_FAIL;
        return uiThreadResult_;
    });
}
STDMETHODIMP CInstallDlgCtl::WaitOnClose() {
    ::WaitForSingleObject(closedEvent_.get(), INFINITE);
    return S_OK;
}
STDMETHODIMP CInstallDlgCtl::DisplayError(INT id, BSTR argument) { return messages_.DisplayError(id, argument); }
STDMETHODIMP CInstallDlgCtl::DisplayErrorYN(INT id, VARIANT_BOOL *yes) { return messages_.DisplayErrorYN(id, yes); }
STDMETHODIMP CInstallDlgCtl::SetForeground() {
    auto window = mainWindow_.Acquire();
    return window && window->BringToFront() == 0 ? S_OK : S_FALSE;
}
STDMETHODIMP CInstallDlgCtl::DisplayErrorString(BSTR *text) { return messages_.DisplayErrorString(text); }
STDMETHODIMP CInstallDlgCtl::MainDlgClose() {
    // A flag of its own rather than the control lock: the UI thread calls this, and must
    // not wait for an engine call that is itself waiting for the UI thread.
    ::InterlockedExchange(&closeRequested_, VARIANT_TRUE);
    ::SetEvent(closedEvent_.get());
    return S_OK;
}
STDMETHODIMP CInstallDlgCtl::ShowSystemCloseBtn(VARIANT_BOOL show) {
    return NoThrow([&] {
        auto window = mainWindow_.Acquire();
        return window ? window->ShowCloseButton(show) : S_OK;
    });
}
STDMETHODIMP CInstallDlgCtl::ShowMinimizeBtn(VARIANT_BOOL show) {
    return NoThrow([&] {
        auto window = mainWindow_.Acquire();
        return window ? window->ShowMinimizeButton(show) : S_OK;
    });
}
STDMETHODIMP CInstallDlgCtl::DisplayWarning(INT id) { return messages_.DisplayWarning(id); }
STDMETHODIMP CInstallDlgCtl::Quit() {
    // Ends the caller's (the engine's) message loop; the UI thread goes on.
    ::PostQuitMessage(0);
    return S_OK;
}
STDMETHODIMP CInstallDlgCtl::Visible(VARIANT_BOOL show) {
    ScopedLock lock(controlLock_);
    auto window = mainWindow_.Acquire();
    if (window && window->Handle()) ::ShowWindow(window->Handle(), show ? SW_SHOW : SW_HIDE);
    return S_OK;
}
STDMETHODIMP CInstallDlgCtl::DoClose() {
    ScopedLock lock(controlLock_);
    auto window = mainWindow_.Acquire();
    if (window)
        window->HideAndSignalClosed();
    else
        ::SetEvent(closedEvent_.get());
    return S_OK;
}
STDMETHODIMP CInstallDlgCtl::CallJSFunction(BSTR name, BSTR argument, BSTR target) {
    return NoThrow([&] {
        ScopedLock lock(controlLock_);
        auto window = mainWindow_.Acquire();
        if (!window) return S_OK;
        RETURN_IF_FAILED(window->Browser().SetPendingScript(name, argument, target));
        // The script's own outcome is not passed on.
        if (window->Handle()) ::SendMessageW(window->Handle(), stagehand::WM_DLG_CALLSCRIPT, 0, 0);
        return S_OK;
    });
}
STDMETHODIMP CInstallDlgCtl::GetStringById(INT id, BSTR *text) { return resources_.StringById(id, text); }
STDMETHODIMP CInstallDlgCtl::PlayPDSound(USHORT uResourceID) {
    return stagehand::ResourceSound::Play(resources_.module(), uResourceID);
}
STDMETHODIMP CInstallDlgCtl::InitFrame(BSTR folder) {
    return NoThrow([&] {
        stagehand::ContentServerCache::Purge(stagehand::ContentServerCache::Host());
        auto window = mainWindow_.Acquire();
        return window ? window->ApplySkin(common::BstrText(folder)) : S_OK;
    });
}
STDMETHODIMP CInstallDlgCtl::SetSize(UINT width, UINT height) {
    auto window = mainWindow_.Acquire();
    if (window) window->ResizeFrame(static_cast<int>(width), static_cast<int>(height));
    return S_OK;
}
STDMETHODIMP CInstallDlgCtl::InitProgress() {
    // The games manager's frame has no progress bar.
    if (dialogMode_ == 1) return S_OK;
    auto window = mainWindow_.Acquire();
    if (window && window->Handle()) ::SendMessageW(window->Handle(), stagehand::WM_DLG_INITPROGRESS, 0, 0);
    return S_OK;
}
STDMETHODIMP CInstallDlgCtl::SetProgress(INT position) {
    if (auto window = mainWindow_.Acquire()) window->Progress().SetPosition(position);
    return S_OK;
}
STDMETHODIMP CInstallDlgCtl::SetProgressGranularity(INT maximum) {
    if (auto window = mainWindow_.Acquire()) window->Progress().SetMaximum(maximum);
    return S_OK;
}
STDMETHODIMP CInstallDlgCtl::ProgressToEnd() {
    if (auto window = mainWindow_.Acquire()) window->Progress().FillToEnd();
    return S_OK;
}
STDMETHODIMP CInstallDlgCtl::QueueDownload(BSTR bstrGameId, BSTR bstrTps, BSTR bstrGameName) {
    return NoThrow([&]() -> HRESULT {
        // Byte-exact copies, made before anything changes: a failed copy leaves the
        // mailbox as it was. A field given its own string again keeps it.
        auto copy = [](BSTR source, const common::Bstr& current, common::Bstr& out) {
            if (!source || source == current.get()) return true;
            out = common::Bstr::Attach(::SysAllocStringByteLen(reinterpret_cast<const char*>(source),
                                                               ::SysStringByteLen(source)));
            return static_cast<bool>(out);
        };
        ScopedLock lock(queueLock_);
        common::Bstr gameId, tps, gameName;
        if (!copy(bstrGameId, queueGameId_, gameId) || !copy(bstrTps, queueTps_, tps) ||
            !copy(bstrGameName, queueGameName_, gameName))
            return E_OUTOFMEMORY;
        if (bstrGameId != queueGameId_.get()) queueGameId_ = std::move(gameId);
        if (bstrTps != queueTps_.get()) queueTps_ = std::move(tps);
        if (bstrGameName != queueGameName_.get()) queueGameName_ = std::move(gameName);
        queueRequested_ = VARIANT_TRUE;
        return S_OK;
    });
}
STDMETHODIMP CInstallDlgCtl::SendQDownloadMsg(BSTR bstrGameId, BSTR bstrTps, BSTR bstrGameName) {
    return NoThrow([&]() -> HRESULT {
        // Checked before anything is written or marked: a refused request sends nothing.
        std::vector<wchar_t> block;
        RETURN_IF_FAILED(stagehand::QueueRequest::Format(common::BstrText(bstrGameId), ::SysStringLen(bstrGameId),
                                                         common::BstrText(bstrTps), ::SysStringLen(bstrTps),
                                                         common::BstrText(bstrGameName),
                                                         ::SysStringLen(bstrGameName), block));
        // This process's own window must not file its own request.
        if (auto window = mainWindow_.Acquire()) window->MarkQueueSender();
        return stagehand::QueueHandOff::Send(block);
    });
}
STDMETHODIMP CInstallDlgCtl::Minimize() {
    auto window = mainWindow_.Acquire();
    if (!window || !window->Handle()) return S_OK;
    return static_cast<HRESULT>(::SendMessageW(window->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0));
}
STDMETHODIMP CInstallDlgCtl::NotifyPopup(BSTR text) {
    if (!notifyWindow_) return S_OK;
    RETURN_IF_FAILED(notifyWindow_->SetNotifyText(text));
    if (HWND notify = notifyWindow_->Handle()) ::PostMessageW(notify, stagehand::WM_TASK_NOTIFY, 0, 0);
    return S_OK;
}
STDMETHODIMP CInstallDlgCtl::PollMainWndClose(VARIANT_BOOL *closeRequested) {
    RETURN_IF_NULL(closeRequested);
    *closeRequested = static_cast<VARIANT_BOOL>(::InterlockedExchange(&closeRequested_, VARIANT_FALSE));
    return S_OK;
}
STDMETHODIMP CInstallDlgCtl::PollQueueDownload(VARIANT_BOOL *queued) {
    RETURN_IF_NULL(queued);
    ScopedLock lock(queueLock_);
    *queued = queueRequested_;
    queueRequested_ = VARIANT_FALSE;
    return S_OK;
}
HRESULT CInstallDlgCtl::TakeQueueField(common::Bstr& field, BSTR* out) {
    ScopedLock lock(queueLock_);
    // The field is emptied also when the caller gave nowhere to put it.
    common::Bstr taken = std::move(field);
    if (out) *out = taken.release();
    return S_OK;
}
STDMETHODIMP CInstallDlgCtl::GetGameId(BSTR *pGameId) { return TakeQueueField(queueGameId_, pGameId); }
STDMETHODIMP CInstallDlgCtl::GetTPS(BSTR *pTps) { return TakeQueueField(queueTps_, pTps); }
STDMETHODIMP CInstallDlgCtl::GetGameName(BSTR *pGameName) { return TakeQueueField(queueGameName_, pGameName); }
STDMETHODIMP CInstallDlgCtl::DisplayErrorRetryCancel(INT id, VARIANT_BOOL *retry) {
    return messages_.DisplayErrorRetryCancel(id, retry);
}
STDMETHODIMP CInstallDlgCtl::GetUserLocale(UINT *locale) {
    RETURN_IF_NULL(locale);
    *locale = resources_.uiLanguage();
    return S_OK;
}
STDMETHODIMP CInstallDlgCtl::SetTitle(BSTR title) {
    ScopedLock lock(controlLock_);
    auto window = mainWindow_.Acquire();
    return window ? window->SetFrameTitle(title) : S_OK;
}
// The offer methods forward to the wrapper of the window object, which exists from the
// control's construction on; they take no lock of the control (HasCandyOffer waits up to
// a second) and report every failure as a false result.
STDMETHODIMP CInstallDlgCtl::SetCandyOptions(BSTR publisher, BSTR key, BSTR secret, BSTR language, BSTR advanced) {
    return NoThrow([&] {
        auto window = mainWindow_.Acquire();
        return window ? window->OfferWrapper().SetOptions(publisher, key, secret, language, advanced) : S_OK;
    });
}
STDMETHODIMP CInstallDlgCtl::HasCandyOffer(VARIANT_BOOL *hasOffer) {
    RETURN_IF_NULL(hasOffer);
    return NoThrow([&] {
        auto window = mainWindow_.Acquire();
        *hasOffer = window && window->OfferWrapper().HasOffer() ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}
STDMETHODIMP CInstallDlgCtl::AbortOfferInstall() {
    return NoThrow([&] {
        if (auto window = mainWindow_.Acquire()) window->OfferWrapper().AbortInstall();
        return S_OK;
    });
}
STDMETHODIMP CInstallDlgCtl::InitializeCandy(BSTR libraryPath, VARIANT_BOOL *initialized) {
    RETURN_IF_NULL(initialized);
    return NoThrow([&] {
        auto window = mainWindow_.Acquire();
        *initialized = window && window->OfferWrapper().Initialize(libraryPath) ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}
STDMETHODIMP CInstallDlgCtl::InstallOffer(VARIANT_BOOL *succeeded) {
    RETURN_IF_NULL(succeeded);
    return NoThrow([&] {
        bool success = false;
        if (auto window = mainWindow_.Acquire()) window->OfferWrapper().InstallOffer(success);
        *succeeded = success ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}
STDMETHODIMP CInstallDlgCtl::CandyChosen(VARIANT_BOOL *chosen) {
    RETURN_IF_NULL(chosen);
    return NoThrow([&] {
        auto window = mainWindow_.Acquire();
        *chosen = window && window->OfferWrapper().GetOfferState() == offersdk::kOfferAccepted ? VARIANT_TRUE
                                                                                             : VARIANT_FALSE;
        return S_OK;
    });
}
STDMETHODIMP CInstallDlgCtl::Utf32beToUtf8(BSTR text, BSTR *utf8) { return stagehand::AnsiRoundTrip::Convert(text, utf8); }
