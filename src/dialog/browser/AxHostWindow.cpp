#include "dialog/browser/AxHostWindow.h"

#include <ocidl.h>

#include <new>

#include "common/ComPtr.h"
#include "common/HResult.h"
#include "dialog/browser/AxHostSite.h"

namespace stagehand {

namespace {

// OLE is initialized on a thread the first time it hosts a control, as the platform's
// own host window does, and stays initialized for the thread's life.
thread_local bool oleInitialized = false;

void EnsureOleInitialized() noexcept {
    if (oleInitialized) return;
    HRESULT hr = ::OleInitialize(nullptr);
    // S_FALSE: already initialized by someone else, which is as good. A thread already in
    // the multi-threaded apartment can still host; OLE's UI services are then missing.
    if (FAILED(hr)) LOG_IF_FAILED(hr);
    oleInitialized = true;
}

HINSTANCE ThisModule() noexcept {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

struct CreateParams {
    const CLSID* control;
    HRESULT result;
};

// One host window: the control in it, the control's in-place object and the site.
class AxHostWindow {
public:
    explicit AxHostWindow(HWND window) noexcept : window_(window) {}
    ~AxHostWindow() { Teardown(); }
    AxHostWindow(const AxHostWindow&) = delete;
    AxHostWindow& operator=(const AxHostWindow&) = delete;

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static ATOM RegisterClassOnce() noexcept;

    HRESULT CreateControl(REFCLSID clsid) noexcept;
    HRESULT QueryControl(REFIID iid, void** out) noexcept;
    void Resize(int width, int height) noexcept;
    void Teardown() noexcept;

private:
    HWND window_;
    common::ComPtr<AxHostSite> site_;
    common::ComPtr<IUnknown> control_;
    common::ComPtr<IOleObject> oleObject_;
    common::ComPtr<IOleInPlaceObject> inPlaceObject_;
};

HRESULT AxHostWindow::CreateControl(REFCLSID clsid) noexcept {
    RETURN_IF_FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_IUnknown, control_.put_void()));
    site_ = new (std::nothrow) AxHostSite(window_);
    RETURN_HR_IF(E_OUTOFMEMORY, !site_);
    IOleClientSite* clientSite = static_cast<IOleClientSite*>(site_.get());

    // A control that is no OLE object is kept as it is, without activation.
    if (FAILED(control_.As(oleObject_))) return S_OK;

    DWORD misc = 0;
    if (FAILED(oleObject_->GetMiscStatus(DVASPECT_CONTENT, &misc))) misc = 0;  // no status: the usual order
    const bool siteFirst = (misc & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if (siteFirst) RETURN_IF_FAILED(oleObject_->SetClientSite(clientSite));
    // Started without persisted state.
    common::ComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(control_.As(persist))) RETURN_IF_FAILED(persist->InitNew());
    if (!siteFirst) RETURN_IF_FAILED(oleObject_->SetClientSite(clientSite));

    RECT client{};
    ::GetClientRect(window_, &client);
    if (HDC screen = ::GetDC(nullptr)) {
        SIZEL extent{::MulDiv(client.right, 2540, ::GetDeviceCaps(screen, LOGPIXELSX)),
                     ::MulDiv(client.bottom, 2540, ::GetDeviceCaps(screen, LOGPIXELSY))};
        ::ReleaseDC(nullptr, screen);
        // Only a hint: the window's size is what counts.
        LOG_IF_FAILED(oleObject_->SetExtent(DVASPECT_CONTENT, &extent));
    }
    RETURN_IF_FAILED(oleObject_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, clientSite, 0, window_, &client));
    // Without an in-place object the control can't be resized; it still works.
    if (FAILED(control_.As(inPlaceObject_))) inPlaceObject_.reset();
    return S_OK;
}

HRESULT AxHostWindow::QueryControl(REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!control_) return E_NOINTERFACE;
    return control_->QueryInterface(iid, out);
}

void AxHostWindow::Resize(int width, int height) noexcept {
    if (!inPlaceObject_) return;
    RECT rect{0, 0, width, height};
    LOG_IF_FAILED(inPlaceObject_->SetObjectRects(&rect, &rect));
}

void AxHostWindow::Teardown() noexcept {
    // Moved out first: the calls below may come back to this window.
    common::ComPtr<IOleInPlaceObject> inPlace = std::move(inPlaceObject_);
    common::ComPtr<IOleObject> ole = std::move(oleObject_);
    common::ComPtr<IUnknown> control = std::move(control_);
    common::ComPtr<AxHostSite> site = std::move(site_);
    if (site) site->Detach();
    if (inPlace) LOG_IF_FAILED(inPlace->InPlaceDeactivate());
    if (ole) {
        LOG_IF_FAILED(ole->Close(OLECLOSE_NOSAVE));
        LOG_IF_FAILED(ole->SetClientSite(nullptr));
    }
}

LRESULT CALLBACK AxHostWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<AxHostWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_NCCREATE: {
        self = new (std::nothrow) AxHostWindow(window);
        if (!self) return FALSE;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        break;
    }
    case WM_CREATE: {
        auto* params = static_cast<CreateParams*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (!self || !params) return -1;
        params->result = self->CreateControl(*params->control);
        return SUCCEEDED(params->result) ? 0 : -1;
    }
    case WM_SIZE:
        if (self) self->Resize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_DESTROY:
        if (self) self->Teardown();
        return 0;
    case WM_NCDESTROY:
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        delete self;
        break;
    default:
        break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

ATOM AxHostWindow::RegisterClassOnce() noexcept {
    static const ATOM atom = [] {
        HINSTANCE instance = ThisModule();
        // A class left behind by an earlier load of this module points at code that is
        // gone: register afresh.
        ::UnregisterClassW(kAxHostWindowClass, instance);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &AxHostWindow::WindowProc;
        wc.hInstance = instance;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = kAxHostWindowClass;
        return ::RegisterClassExW(&wc);
    }();
    return atom;
}

AxHostWindow* HostOf(HWND host) noexcept {
    if (!host || !::IsWindow(host)) return nullptr;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(host, &pid);
    if (pid != ::GetCurrentProcessId()) return nullptr;
    wchar_t name[64] = {};
    if (!::GetClassNameW(host, name, sizeof name / sizeof name[0])) return nullptr;
    if (::lstrcmpW(name, kAxHostWindowClass) != 0) return nullptr;
    if (reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(host, GWLP_WNDPROC)) != &AxHostWindow::WindowProc)
        return nullptr;
    return reinterpret_cast<AxHostWindow*>(::GetWindowLongPtrW(host, GWLP_USERDATA));
}

}  // namespace

HWND CreateAxHostWindow(HWND parent, DWORD style, const RECT& rect, REFCLSID control) {
    EnsureOleInitialized();
    if (!AxHostWindow::RegisterClassOnce()) {
        ::SetLastError(static_cast<DWORD>(common::HResultFromLastError()));
        return nullptr;
    }
    CreateParams params{&control, S_OK};
    HWND window = ::CreateWindowExW(0, kAxHostWindowClass, L"", style, rect.left, rect.top, rect.right - rect.left,
                                    rect.bottom - rect.top, parent, nullptr, ThisModule(), &params);
    if (!window) {
        HRESULT hr = FAILED(params.result) ? params.result : common::HResultFromLastError();
        ::SetLastError(static_cast<DWORD>(hr));
    }
    return window;
}

HRESULT QueryAxHostControl(HWND host, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    AxHostWindow* window = HostOf(host);
    if (!window) return E_INVALIDARG;
    return window->QueryControl(iid, out);
}

}  // namespace stagehand
