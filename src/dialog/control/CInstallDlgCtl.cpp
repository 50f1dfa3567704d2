#include "dialog/control/CInstallDlgCtl.h"

CInstallDlgCtl::CInstallDlgCtl() : common::ProvideClassInfoImpl(__uuidof(CInstallDlgCtl)) {}

CInstallDlgCtl::~CInstallDlgCtl() = default;

STDMETHODIMP CInstallDlgCtl::Navigate(BSTR url) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::NavigateQ(BSTR url) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::EnableQueue() { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::Create(UINT width, UINT height, UINT mode) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::WaitOnClose() { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::DisplayError(INT id, BSTR argument) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::DisplayErrorYN(INT id, VARIANT_BOOL *yes) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::SetForeground() { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::DisplayErrorString(BSTR *text) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::MainDlgClose() { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::ShowSystemCloseBtn(VARIANT_BOOL show) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::ShowMinimizeBtn(VARIANT_BOOL show) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::DisplayWarning(INT id) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::Quit() { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::Visible(VARIANT_BOOL show) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::DoClose() { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::CallJSFunction(BSTR name, BSTR argument, BSTR target) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::GetStringById(INT id, BSTR *text) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::PlayPDSound(USHORT uResourceID) { return E_NOTIMPL; }
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
STDMETHODIMP CInstallDlgCtl::DisplayErrorRetryCancel(INT id, VARIANT_BOOL *retry) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::GetUserLocale(UINT *locale) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::SetTitle(BSTR title) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::SetCandyOptions(BSTR publisher, BSTR key, BSTR secret, BSTR language, BSTR advanced) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::HasCandyOffer(VARIANT_BOOL *hasOffer) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::AbortOfferInstall() { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::InitializeCandy(BSTR libraryPath, VARIANT_BOOL *initialized) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::InstallOffer(VARIANT_BOOL *succeeded) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::CandyChosen(VARIANT_BOOL *chosen) { return E_NOTIMPL; }
STDMETHODIMP CInstallDlgCtl::Utf32beToUtf8(BSTR text, BSTR *utf8) { return E_NOTIMPL; }
