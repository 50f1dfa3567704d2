#include "dialog/control/CInstallDlgCtl.h"

#include "dialog/strings/AnsiRoundTrip.h"
#include "dialog/strings/ResourceSound.h"

CInstallDlgCtl::CInstallDlgCtl()
    : common::ProvideClassInfoImpl(__uuidof(CInstallDlgCtl)), messages_(resources_, controlLock_) {}

CInstallDlgCtl::~CInstallDlgCtl() = default;

STDMETHODIMP CInstallDlgCtl::Navigate(BSTR url) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::NavigateQ(BSTR url) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::EnableQueue() { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::Create(UINT width, UINT height, UINT mode) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::WaitOnClose() { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::DisplayError(INT id, BSTR argument) { return messages_.DisplayError(id, argument); }
STDMETHODIMP CInstallDlgCtl::DisplayErrorYN(INT id, VARIANT_BOOL *yes) { return messages_.DisplayErrorYN(id, yes); }
STDMETHODIMP CInstallDlgCtl::SetForeground() { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::DisplayErrorString(BSTR *text) { return messages_.DisplayErrorString(text); }
STDMETHODIMP CInstallDlgCtl::MainDlgClose() { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::ShowSystemCloseBtn(VARIANT_BOOL show) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::ShowMinimizeBtn(VARIANT_BOOL show) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::DisplayWarning(INT id) { return messages_.DisplayWarning(id); }
STDMETHODIMP CInstallDlgCtl::Quit() { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::Visible(VARIANT_BOOL show) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::DoClose() { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::CallJSFunction(BSTR name, BSTR argument, BSTR target) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::GetStringById(INT id, BSTR *text) { return resources_.StringById(id, text); }
STDMETHODIMP CInstallDlgCtl::PlayPDSound(USHORT uResourceID) {
    return stagehand::ResourceSound::Play(resources_.module(), uResourceID);
}
STDMETHODIMP CInstallDlgCtl::InitFrame(BSTR folder) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::SetSize(UINT width, UINT height) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::InitProgress() { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::SetProgress(INT position) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::SetProgressGranularity(INT maximum) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::ProgressToEnd() { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::QueueDownload(BSTR bstrGameId, BSTR bstrTps, BSTR bstrGameName) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::SendQDownloadMsg(BSTR bstrGameId, BSTR bstrTps, BSTR bstrGameName) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::Minimize() { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::NotifyPopup(BSTR text) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::PollMainWndClose(VARIANT_BOOL *closeRequested) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::PollQueueDownload(VARIANT_BOOL *queued) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::GetGameId(BSTR *pGameId) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::GetTPS(BSTR *pTps) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::GetGameName(BSTR *pGameName) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::DisplayErrorRetryCancel(INT id, VARIANT_BOOL *retry) {
    return messages_.DisplayErrorRetryCancel(id, retry);
}
STDMETHODIMP CInstallDlgCtl::GetUserLocale(UINT *locale) {
    RETURN_IF_NULL(locale);
    *locale = resources_.uiLanguage();
    return S_OK;
}
STDMETHODIMP CInstallDlgCtl::SetTitle(BSTR title) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::SetCandyOptions(BSTR publisher, BSTR key, BSTR secret, BSTR language, BSTR advanced) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::HasCandyOffer(VARIANT_BOOL *hasOffer) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::AbortOfferInstall() { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::InitializeCandy(BSTR libraryPath, VARIANT_BOOL *initialized) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::InstallOffer(VARIANT_BOOL *succeeded) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::CandyChosen(VARIANT_BOOL *chosen) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::Utf32beToUtf8(BSTR text, BSTR *utf8) { return stagehand::AnsiRoundTrip::Convert(text, utf8); }
