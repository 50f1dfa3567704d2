#pragma once

#include "dialog/module/StagehandTypes.h"
#include "dialog/strings/ControlResources.h"
#include "dialog/strings/MessageBoxes.h"

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

protected:

private:
    // Taken by most methods and held while a message box is open.
    common::CriticalSection controlLock_;
    // stagehand.dll as a data file, the UI language and the message-box caption.
    stagehand::ControlResources resources_;
    // The message methods; the owner window is set once the main window exists.
    stagehand::MessageBoxes messages_;
};
