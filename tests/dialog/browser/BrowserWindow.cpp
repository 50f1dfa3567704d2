#include "BrowserWindow.h"

#include <mshtml.h>

#include <gtest/gtest.h>

#include "Harness.h"
#include "common/Bstr.h"
#include "common/ComPtr.h"

namespace browsertest {

namespace {
constexpr UINT kRunMessage = WM_APP + 1;
constexpr wchar_t kFrameClass[] = L"BrowserTestFrame";
constexpr DWORD kMessageTimeoutMs = 60000;
}  // namespace

BrowserWindow::BrowserWindow()
    : host_(new stagehand::BrowserHost(owner_)), ready_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = ::CreateThread(nullptr, 0, &BrowserWindow::Thread, this, 0, nullptr);
    if (!thread_ || ::WaitForSingleObject(ready_, 60000) != WAIT_OBJECT_0) createResult_ = E_ABORT;
}

BrowserWindow::~BrowserWindow() {
    Destroy();
    ::CloseHandle(ready_);
}

DWORD WINAPI BrowserWindow::Thread(void* self) {
    static_cast<BrowserWindow*>(self)->Run();
    return 0;
}

void BrowserWindow::Run() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &BrowserWindow::WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kFrameClass;
    ::RegisterClassExW(&wc);  // fails harmlessly when a previous window registered it
    frame_ = ::CreateWindowExW(0, kFrameClass, L"browser test", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 640,
                               480, nullptr, nullptr, wc.hInstance, this);
    if (!frame_ && createResult_ == E_PENDING) createResult_ = E_FAIL;
    ::SetEvent(ready_);
    if (!frame_) return;
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

LRESULT CALLBACK BrowserWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<BrowserWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_CREATE:
        self = static_cast<BrowserWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->owner_.frame = window;
        self->createResult_ = self->host_->CreateMainBrowser(window);
        return 0;
    case kCallScriptMessage:
        return self->host_->RunPendingScript();
    case kEnableQueueMessage:
        return self->host_->CreateQueueBrowser(window, *reinterpret_cast<const RECT*>(lParam));
    case kRunMessage:
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    case WM_DESTROY:
        if (self) self->host_->Close();
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT BrowserWindow::CallScript(const wchar_t* name, const wchar_t* argument, const wchar_t* target) {
    common::Bstr n(name), a(argument), t(target);
    EXPECT_HR(S_OK, host_->SetPendingScript(n.get(), a.get(), t.get()));
    DWORD_PTR result = 0;
    EXPECT_TRUE(::SendMessageTimeoutW(frame_, kCallScriptMessage, 0, 0, SMTO_NORMAL, kMessageTimeoutMs, &result));
    return static_cast<LRESULT>(result);
}

LRESULT BrowserWindow::EnableQueue(const RECT& inner) {
    DWORD_PTR result = 0;
    EXPECT_TRUE(::SendMessageTimeoutW(frame_, kEnableQueueMessage, 0, reinterpret_cast<LPARAM>(&inner), SMTO_NORMAL,
                                      kMessageTimeoutMs, &result));
    return static_cast<LRESULT>(result);
}

void BrowserWindow::OnUiThread(const std::function<void()>& f) {
    DWORD_PTR result = 0;
    EXPECT_TRUE(::SendMessageTimeoutW(frame_, kRunMessage, 0, reinterpret_cast<LPARAM>(&f), SMTO_NORMAL,
                                      kMessageTimeoutMs, &result));
}

void BrowserWindow::Destroy() {
    if (!thread_) return;
    if (frame_) ::PostMessageW(frame_, WM_CLOSE, 0, 0);  // the default handling destroys it
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(thread_, 60000)) << "the window's thread ends";
    ::CloseHandle(thread_);
    thread_ = nullptr;
    frame_ = nullptr;
}

std::wstring PageTitle(BrowserWindow& window, bool queue) {
    std::wstring title;
    window.OnUiThread([&] {
        IWebBrowser2* browser = queue ? window.Host().QueueBrowser() : window.Host().MainBrowser();
        if (!browser) return;
        common::ComPtr<IDispatch> document;
        common::ComPtr<IHTMLDocument2> html;
        if (FAILED(browser->get_Document(document.put())) || !document || FAILED(document.As(html))) return;
        common::Bstr text;
        if (SUCCEEDED(html->get_title(text.put()))) title = text.c_str();
    });
    return title;
}

}  // namespace browsertest
