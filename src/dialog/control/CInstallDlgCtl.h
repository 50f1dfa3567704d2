#pragma once
// The automation object through which the engine's script drives the installer window:
// it creates the window on a UI thread of its own, sizes and skins it, navigates its
// browsers, runs script in its pages, shows and hides it, and learns from it when the
// user asks to close. A singleton: the engine, the window and the pages share it.

#include <memory>
#include <string>

#include "dialog/module/StagehandTypes.h"
#include "dialog/control/MainWindowSlot.h"
#include "dialog/strings/ControlResources.h"
#include "dialog/strings/MessageBoxes.h"
#include "dialog/window/TaskNotifyWnd.h"

class CInstallDlgCtl : public common::ComObjectRoot,
    public common::TypeLibDispatch<IInstallDlgCtl>,
    public common::ProvideClassInfoImpl {
public:
    CInstallDlgCtl();
    ~CInstallDlgCtl() override;

    COM_INTERFACE_MAP_BEGIN(IInstallDlgCtl)
    COM_INTERFACE(IInstallDlgCtl)
    COM_INTERFACE2(IDispatch, IInstallDlgCtl)
    COM_INTERFACE(IProvideClassInfo)
    COM_INTERFACE_MAP_END()

    // IInstallDlgCtl
    STDMETHODIMP Navigate(BSTR url) override;
    STDMETHODIMP NavigateQ(BSTR url) override;
    STDMETHODIMP EnableQueue() override;
    STDMETHODIMP Create(UINT width, UINT height, UINT mode) override;
    STDMETHODIMP WaitOnClose() override;
    STDMETHODIMP DisplayError(INT id, BSTR argument) override;
    STDMETHODIMP DisplayErrorYN(INT id, VARIANT_BOOL *yes) override;
    STDMETHODIMP SetForeground() override;
    STDMETHODIMP DisplayErrorString(BSTR *text) override;
    STDMETHODIMP MainDlgClose() override;
    STDMETHODIMP ShowSystemCloseBtn(VARIANT_BOOL show) override;
    STDMETHODIMP ShowMinimizeBtn(VARIANT_BOOL show) override;
    STDMETHODIMP DisplayWarning(INT id) override;
    STDMETHODIMP Quit() override;
    STDMETHODIMP Visible(VARIANT_BOOL show) override;
    STDMETHODIMP DoClose() override;
    STDMETHODIMP CallJSFunction(BSTR name, BSTR argument, BSTR target) override;
    STDMETHODIMP GetStringById(INT id, BSTR *text) override;
    STDMETHODIMP PlayPDSound(USHORT uResourceID) override;
    STDMETHODIMP InitFrame(BSTR folder) override;
    STDMETHODIMP SetSize(UINT width, UINT height) override;
    STDMETHODIMP InitProgress() override;
    STDMETHODIMP SetProgress(INT position) override;
    STDMETHODIMP SetProgressGranularity(INT maximum) override;
    STDMETHODIMP ProgressToEnd() override;
    STDMETHODIMP QueueDownload(BSTR bstrGameId, BSTR bstrTps, BSTR bstrGameName) override;
    STDMETHODIMP SendQDownloadMsg(BSTR bstrGameId, BSTR bstrTps, BSTR bstrGameName) override;
    STDMETHODIMP Minimize() override;
    STDMETHODIMP NotifyPopup(BSTR text) override;
    STDMETHODIMP PollMainWndClose(VARIANT_BOOL *closeRequested) override;
    STDMETHODIMP PollQueueDownload(VARIANT_BOOL *queued) override;
    STDMETHODIMP GetGameId(BSTR *pGameId) override;
    STDMETHODIMP GetTPS(BSTR *pTps) override;
    STDMETHODIMP GetGameName(BSTR *pGameName) override;
    STDMETHODIMP DisplayErrorRetryCancel(INT id, VARIANT_BOOL *retry) override;
    STDMETHODIMP GetUserLocale(UINT *locale) override;
    STDMETHODIMP SetTitle(BSTR title) override;
    STDMETHODIMP SetCandyOptions(BSTR publisher, BSTR key, BSTR secret, BSTR language, BSTR advanced) override;
    STDMETHODIMP HasCandyOffer(VARIANT_BOOL *hasOffer) override;
    STDMETHODIMP AbortOfferInstall() override;
    STDMETHODIMP InitializeCandy(BSTR libraryPath, VARIANT_BOOL *initialized) override;
    STDMETHODIMP InstallOffer(VARIANT_BOOL *succeeded) override;
    STDMETHODIMP CandyChosen(VARIANT_BOOL *chosen) override;
    STDMETHODIMP Utf32beToUtf8(BSTR text, BSTR *utf8) override;

private:
    static DWORD WINAPI UiThreadMain(void* control);
    // The UI thread's work: creates both windows, reports through the ready handshake and
    // runs the message loop until a quit message arrives; its result is the exit code.
    DWORD RunUiThread();
    // Hands out one mailbox field and empties it.
    HRESULT TakeQueueField(common::Bstr& field, BSTR* out);

    // Taken by most methods and held while a message box is open.
    common::CriticalSection controlLock_;
    common::CriticalSection navigationLock_;
    // stagehand.dll as a data file, the UI language and the message-box caption.
    stagehand::ControlResources resources_;
    // The message methods; the owner window is set once the main window exists.
    stagehand::MessageBoxes messages_;

    stagehand::MainWindowSlot mainWindow_;
    std::unique_ptr<stagehand::TaskNotifyWnd> notifyWindow_;
    common::UniqueHandle readyEvent_;
    common::UniqueHandle closedEvent_;
    common::UniqueHandle uiThread_;
    // The queued-download mailbox. It has a lock of its own: the UI thread fills it while
    // handling a broadcast, and must not wait for the control lock, which an engine call
    // may hold while it waits for the UI thread (a script call, an open message box).
    common::CriticalSection queueLock_;
    VARIANT_BOOL queueRequested_ = VARIANT_FALSE;
    common::Bstr queueGameId_, queueTps_, queueGameName_;
    volatile LONG closeRequested_ = VARIANT_FALSE;
    UINT dialogMode_ = 0;

    // The ready handshake: what the UI thread creates its windows with, and its outcome,
    // read by Create once readyEvent is set.
    std::wstring windowTitle_;
    DWORD uiCreationStyle_ = 0;
    HRESULT uiThreadResult_ = S_OK;
    // Set by the UI thread after it destroyed its windows and left its loop.
    volatile LONG uiThreadFinished_ = 0;
};
