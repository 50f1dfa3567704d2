#include "dialog/window/TaskNotifyWnd.h"

#include <exdisp.h>

#include "common/DebugLog.h"
#include "dialog/browser/AxHostWindow.h"
#include "dialog/window/WindowClassNames.h"
#include "dialog/window/WindowMessages.h"

namespace stagehand {

TaskNotifyWnd::TaskNotifyWnd() noexcept : WindowImpl(kTaskNotifyClass, kFrameTraits) {}

TaskNotifyWnd::~TaskNotifyWnd() {
    HWND hwnd = Handle();
    if (hwnd && ::GetWindowThreadProcessId(hwnd, nullptr) == ::GetCurrentThreadId()) ::DestroyWindow(hwnd);
}

HWND TaskNotifyWnd::Create() { return CreateWindowImpl(nullptr, kDefaultRect, L"", WS_POPUP, 0); }

HRESULT TaskNotifyWnd::SetNotifyText(BSTR text) {
    common::Bstr copy;
    if (text) {
        copy = common::Bstr(text, ::SysStringLen(text));
        if (!copy) return E_OUTOFMEMORY;
    }
    common::ScopedLock lock(textLock_);
    notifyText_ = std::move(copy);
    return S_OK;
}

bool TaskNotifyWnd::HandleMessage(UINT message, WPARAM, LPARAM, LRESULT& result) {
    HWND hwnd = Handle();
    switch (message) {
    case WM_CREATE: {
        ::SetWindowPos(hwnd, nullptr, 0, 0, 320, 200, SWP_NOMOVE);
        RECT client = {};
        ::GetClientRect(hwnd, &client);
        browserHost_ = CreateAxHostWindow(hwnd, WS_CHILD, client, CLSID_WebBrowser);
        if (!browserHost_ || FAILED(QueryAxHostControl(browserHost_, IID_IWebBrowser2, browser_.put_void())))
            common::DebugOut("TaskNotifyWnd::OnCreate: no browser\n");
        result = 0;
        return true;
    }
    case WM_PAINT:
        ::ValidateRect(hwnd, nullptr);
        result = 0;
        return true;
    case WM_TASK_NOTIFY:
        ::ShowWindow(hwnd, SW_SHOW);
        ::ShowWindow(hwnd, SW_HIDE);
        result = 0;
        return true;
    case WM_DESTROY:
        browser_.reset();
        browserHost_ = nullptr;
        return false;
    default:
        return false;
    }
}

}  // namespace stagehand
