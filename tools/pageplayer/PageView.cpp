#include "tools/pageplayer/PageView.h"

#include <algorithm>

#include "common/Handle.h"
#include "common/HResult.h"
#include "tools/pageplayer/Page.h"

namespace pageplayer {

namespace {

const wchar_t kClassName[] = L"PagePlayerView";
const int kMargin = 8;

HINSTANCE ModuleInstance() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&ModuleInstance), &module);
    return module;
}

common::UniqueGdiObject MakeFont(int height, int weight) {
    return common::UniqueGdiObject(::CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                                 DEFAULT_PITCH | FF_SWISS, L"Tahoma"));
}

// Draws text word-wrapped from top; returns the height used.
int DrawBlock(HDC dc, HGDIOBJ font, const std::wstring& text, const RECT& area) {
    HGDIOBJ old = ::SelectObject(dc, font ? font : ::GetStockObject(DEFAULT_GUI_FONT));
    RECT r = area;
    const UINT format = DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL;
    int height = ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format | DT_CALCRECT);
    r = area;
    r.bottom = r.top + height;
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
    ::SelectObject(dc, old);
    return height;
}

}  // namespace

HRESULT PageView::Create(HWND parent, const RECT& rect) {
    Destroy();
    HINSTANCE instance = ModuleInstance();
    WNDCLASSEXW wc = {sizeof(wc)};
    if (!::GetClassInfoExW(instance, kClassName, &wc)) {
        wc = {sizeof(wc)};
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = &PageView::WindowProc;
        wc.hInstance = instance;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kClassName;
        if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return common::HResultFromLastError();
    }
    hwnd_ = ::CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, rect.left, rect.top,
                              rect.right - rect.left, rect.bottom - rect.top, parent, nullptr, instance, this);
    RETURN_LAST_ERROR_IF(!hwnd_);
    return S_OK;
}

void PageView::Destroy() noexcept {
    HWND hwnd = hwnd_;
    hwnd_ = nullptr;
    if (!hwnd) return;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    // A window can only be destroyed by its own thread; from another, ask it to close.
    if (::GetWindowThreadProcessId(hwnd, nullptr) == ::GetCurrentThreadId())
        ::DestroyWindow(hwnd);
    else
        ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
}

void PageView::SetPage(std::shared_ptr<Page> page) {
    page_ = std::move(page);
    Invalidate();
}

void PageView::Invalidate() {
    if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void PageView::Move(const RECT& rect) {
    if (hwnd_)
        ::SetWindowPos(hwnd_, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
}

void PageView::Draw(HDC dc, const RECT& bounds, const std::wstring& title, const std::vector<std::wstring>& lines) {
    HBRUSH white = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    ::FillRect(dc, &bounds, white);
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = ::SetTextColor(dc, RGB(0, 0, 0));
    common::UniqueGdiObject titleFont = MakeFont(18, FW_BOLD);
    common::UniqueGdiObject bodyFont = MakeFont(13, FW_NORMAL);
    RECT area = bounds;
    ::InflateRect(&area, -kMargin, -kMargin);
    if (!title.empty() && area.top < area.bottom) area.top += DrawBlock(dc, titleFont.get(), title, area) + kMargin;
    for (const auto& line : lines) {
        if (area.top >= area.bottom) break;
        area.top += DrawBlock(dc, bodyFont.get(), line, area) + 3;
    }
    ::SetTextColor(dc, oldColor);
    ::SetBkMode(dc, oldMode);
}

void PageView::Paint(HDC dc, const RECT& bounds) const {
    if (page_)
        Draw(dc, bounds, page_->Title(), page_->TextLines());
    else
        Draw(dc, bounds, std::wstring(), {});
}

std::wstring PageView::Text() const {
    if (!page_) return std::wstring();
    std::wstring text = page_->Title();
    for (const auto& line : page_->TextLines()) {
        if (!text.empty()) text += L"\r\n";
        text += line;
    }
    return text;
}

LRESULT CALLBACK PageView::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<PageView*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    try {
        switch (msg) {
        case WM_ERASEBKGND: return 1;  // painting fills the background itself
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd, &ps);
            RECT client;
            ::GetClientRect(hwnd, &client);
            if (self)
                self->Paint(dc, client);
            else
                ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
            ::EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_PRINTCLIENT: {
            RECT client;
            ::GetClientRect(hwnd, &client);
            if (self) self->Paint(reinterpret_cast<HDC>(wp), client);
            return 0;
        }
        case WM_GETTEXTLENGTH:
            return self ? static_cast<LRESULT>(self->Text().size()) : 0;
        case WM_GETTEXT: {
            if (!self || wp == 0 || !lp) return 0;
            const std::wstring text = self->Text();
            const size_t n = std::min(text.size(), static_cast<size_t>(wp) - 1);
            auto* out = reinterpret_cast<wchar_t*>(lp);
            text.copy(out, n);
            out[n] = L'\0';
            return static_cast<LRESULT>(n);
        }
        case WM_NCDESTROY:
            if (self && self->hwnd_ == hwnd) self->hwnd_ = nullptr;
            break;
        default: break;
        }
    } catch (...) {
        // Painting is best effort: an allocation failure leaves the window as it was.
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace pageplayer
