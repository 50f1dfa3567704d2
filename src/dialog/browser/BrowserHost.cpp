// Stand-in of the browser host until the hosting code joins the tree: no browser is
// created, navigation and page scripts report that there is none.
#include "dialog/browser/BrowserHost.h"

namespace stagehand {

BrowserHost::BrowserHost(BrowserHostOwner& owner) : owner_(owner) {}
BrowserHost::~BrowserHost() = default;
HRESULT BrowserHost::CreateMainBrowser(HWND) { return E_NOTIMPL; }
LRESULT BrowserHost::CreateQueueBrowser(HWND, const RECT&) { return 0; }
HRESULT BrowserHost::NavigateMain(BSTR) { return E_FAIL; }
HRESULT BrowserHost::NavigateQueue(BSTR) { return E_FAIL; }
HRESULT BrowserHost::SetPendingScript(BSTR, BSTR, BSTR) { return S_OK; }
LRESULT BrowserHost::RunPendingScript() { return -1; }
HWND BrowserHost::MainHostWindow() const { return nullptr; }
HWND BrowserHost::QueueHostWindow() const { return nullptr; }
IWebBrowser2* BrowserHost::MainBrowser() const { return nullptr; }
void BrowserHost::Close() {}

HWND CreateAxHostWindow(HWND, DWORD, const RECT&, REFCLSID) { return nullptr; }

}  // namespace stagehand
