#include "dialog/window/WindowImpl.h"

#include "common/DebugLog.h"

namespace stagehand {

const RECT WindowImpl::kDefaultRect = {CW_USEDEFAULT, CW_USEDEFAULT, 0, 0};

WindowImpl::WindowImpl(const wchar_t* className, const WindowTraits& traits) noexcept
    : className_(className), traits_(traits) {}

WindowImpl::~WindowImpl() {
    if (HWND hwnd = hwnd_.exchange(nullptr)) {
        if (::IsWindow(hwnd)) ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    }
}

HINSTANCE WindowImpl::ModuleInstance() noexcept {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&WindowImpl::WindowProc), &module);
    return module;
}

bool WindowImpl::RegisterWindowClass() noexcept {
    HINSTANCE instance = ModuleInstance();
    WNDCLASSEXW existing = {sizeof existing};
    if (::GetClassInfoExW(instance, className_, &existing)) return true;
    WNDCLASSEXW wc = {sizeof wc};
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = &WindowImpl::WindowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = className_;
    // Another thread may have registered it in the meantime.
    return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND WindowImpl::CreateWindowImpl(HWND parent, const RECT& rect, const wchar_t* title, DWORD style, DWORD exStyle,
                                  UINT_PTR id) {
    if (!RegisterWindowClass()) return nullptr;
    if (style == 0) style = traits_.style;
    exStyle |= traits_.exStyle;
    // Unsigned differences: the default rectangle's extent comes out as CW_USEDEFAULT.
    const int width = static_cast<int>(static_cast<unsigned>(rect.right) - static_cast<unsigned>(rect.left));
    const int height = static_cast<int>(static_cast<unsigned>(rect.bottom) - static_cast<unsigned>(rect.top));
    return ::CreateWindowExW(exStyle, className_, title, style, rect.left, rect.top, width, height, parent,
                             reinterpret_cast<HMENU>(id), ModuleInstance(), this);
}

LRESULT CALLBACK WindowImpl::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowImpl* self;
    if (message == WM_NCCREATE) {
        self = static_cast<WindowImpl*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        if (self) self->hwnd_ = hwnd;
    } else {
        self = reinterpret_cast<WindowImpl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return ::DefWindowProcW(hwnd, message, wParam, lParam);

    ++self->nesting_;
    LRESULT result = 0;
    bool handled;
    try {
        handled = self->HandleMessage(message, wParam, lParam, result);
    } catch (...) {
        // Nothing may unwind through the system's message dispatch.
        common::DebugOut("WindowImpl::WindowProc: message handler failed\n");
        handled = true;
        result = (message == WM_CREATE) ? -1 : 0;
    }
    if (!handled) result = ::DefWindowProcW(hwnd, message, wParam, lParam);

    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->destroyed_ = true;
    }
    // The final call comes when the outermost message returns, so that no handler
    // further up the stack still runs on an object that deleted itself.
    if (--self->nesting_ == 0 && self->destroyed_) {
        self->destroyed_ = false;
        self->OnFinalMessage();
    }
    return result;
}

}  // namespace stagehand
