#include "dialog/window/CMainDlg.h"

#include <ole2.h>
#include <windowsx.h>

#include "stagehand.h"

#include "common/ComPtr.h"
#include "common/DebugLog.h"
#include "dialog/progress/QueueHandOff.h"
#include "dialog/progress/QueueRequest.h"
#include "dialog/window/WindowClassNames.h"
#include "dialog/window/WindowMessages.h"

namespace stagehand {

namespace {

constexpr int kBigIconManager = 223;
constexpr int kBigIconInstaller = 203;
constexpr DWORD kCaptionedStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kSkinnedStyle = WS_POPUP | WS_VISIBLE | WS_SYSMENU;

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }

}  // namespace

CMainDlg::CMainDlg(HANDLE closedEvent, MainDlgOwner* owner) noexcept
    : WindowImpl(kInstallerFrameClass, kFrameTraits),
      closedEvent_(closedEvent),
      offer_(*this),
      browser_(*this),
      owner_(owner) {}

CMainDlg::~CMainDlg() {
    offerPlaceholder_.reset();
    HWND hwnd = Handle();
    if (hwnd && ::GetWindowThreadProcessId(hwnd, nullptr) == ::GetCurrentThreadId()) {
        // Destroyed here, the window must not hand the object to its owner again.
        owner_ = nullptr;
        retired_ = true;
        ::DestroyWindow(hwnd);
    }
}

HWND CMainDlg::Create(DWORD style, const wchar_t* title, HMODULE iconModule) {
    title_ = title ? title : L"";
    iconModule_ = iconModule;
    windowGone_ = false;
    return CreateWindowImpl(nullptr, kDefaultRect, title_.c_str(), style, 0);
}

bool CMainDlg::Exists() const noexcept {
    HWND hwnd = Handle();
    return hwnd && ::IsWindow(hwnd);
}

// --- messages -------------------------------------------------------------------------

bool CMainDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    // Registered at run time, so not a case label.
    if (message == QueueHandOff::Message() && message != 0) {
        result = ReceiveQueuedDownload();
        return true;
    }
    switch (message) {
    case WM_CREATE:
        result = OnCreate();
        return true;
    case WM_DLG_CALLSCRIPT:
        result = browser_.RunPendingScript();
        return true;
    case WM_DLG_INITPROGRESS:
        progress_.Create(Handle());
        return true;
    case WM_DLG_ENABLEQUEUE:
        result = browser_.CreateQueueBrowser(Handle(), InnerRect());
        return true;
    case WM_DESTROY:
        ::SetEvent(closedEvent_);
        browser_.Close();
        return true;
    case WM_PAINT:
        OnPaint();
        return true;
    case WM_PRINTCLIENT:
        // What WM_PAINT draws, into the given device context (screenshots of the window).
        PaintAll(reinterpret_cast<HDC>(wParam));
        return true;
    case WM_CLOSE:
        RequestClose();
        return true;
    case WM_LBUTTONDOWN:
        OnLButtonDown({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return true;
    case WM_MOUSEMOVE:
        OnMouseMove({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return true;
    case WM_LBUTTONUP:
        OnLButtonUp({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return true;
    case WM_COMMAND:
        if (HIWORD(wParam) != 0) return false;
        switch (LOWORD(wParam)) {
        case kMinimizeCommand:
            ::ShowWindow(Handle(), SW_SHOWMINIMIZED);
            return true;
        case kCloseCommand:
        case kCloseCommandAlt:
            RequestClose();
            return true;
        default:
            return false;
        }
    default:
        return false;
    }
}

LRESULT CMainDlg::OnCreate() {
    HWND hwnd = Handle();
    // The games manager has an icon of its own, where the module carries one.
    int iconId = title_.find(L"Manager") != std::wstring::npos ? kBigIconManager : kBigIconInstaller;
    bigIcon_.reset(static_cast<HICON>(::LoadImageW(iconModule_, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                                   ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0)));
    smallIcon_.reset(static_cast<HICON>(::LoadImageW(iconModule_, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                                     ::GetSystemMetrics(SM_CXSMICON),
                                                     ::GetSystemMetrics(SM_CYSMICON), 0)));
    if (bigIcon_) ::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    if (smallIcon_) ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
    ::SetWindowTextW(hwnd, title_.c_str());
    ::SetWindowPos(hwnd, nullptr, 0, 0, Width(requestedRect_), Height(requestedRect_), SWP_NOMOVE);
    HRESULT hr = browser_.CreateMainBrowser(hwnd);
    if (FAILED(hr)) common::DebugLine() << "CMainDlg::OnCreate: no main browser" << common::LastErrSuffix(hr) << "\n";
    CenterOnWorkArea();
    BringToFront();
    return 0;
}

void CMainDlg::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(Handle(), &ps);
    if (dc) PaintAll(dc);
    ::EndPaint(Handle(), &ps);
}

void CMainDlg::PaintAll(HDC dc) {
    Paint(dc);
    if (frameMode_ == 2) return;
    closeButton_.Draw(dc);
    minimizeButton_.Draw(dc);
    logoRight_.Draw(dc);
    logoLeft_.Draw(dc);
}

void CMainDlg::OnLButtonDown(POINT point) {
    dragPoint_ = point;
    for (BitmapButton* button : {&closeButton_, &minimizeButton_})
        if (button->HitTest(point)) button->Press();
    ::ClientToScreen(Handle(), &dragPoint_);
    dragging_ = true;
    ::SetCapture(Handle());
}

void CMainDlg::OnMouseMove(POINT point) {
    if (!dragging_) return;
    HWND hwnd = Handle();
    ::ClientToScreen(hwnd, &point);
    RECT frame = {};
    ::GetWindowRect(hwnd, &frame);
    ::SetWindowPos(hwnd, nullptr, frame.left + point.x - dragPoint_.x, frame.top + point.y - dragPoint_.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER);
    dragPoint_ = point;
}

void CMainDlg::OnLButtonUp(POINT point) {
    for (BitmapButton* button : {&closeButton_, &minimizeButton_})
        if (button->HitTest(point)) button->ReleaseAndFire();
    dragging_ = false;
    ::ReleaseCapture();
}

void CMainDlg::RequestClose() {
    CLSID clsid;
    common::ComPtr<IInstallDlgCtl> control;
    HRESULT hr = ::CLSIDFromProgID(L"Stagehand.InstallDlgCtl", &clsid);
    if (SUCCEEDED(hr))
        hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IInstallDlgCtl, control.put_void());
    if (SUCCEEDED(hr)) hr = control->MainDlgClose();
    // The window stays open either way; the engine decides about closing.
    if (FAILED(hr)) common::DebugLine() << "CMainDlg::RequestClose failed" << common::LastErrSuffix(hr) << "\n";
}

LRESULT CMainDlg::ReceiveQueuedDownload() {
    if (queueSender_) return 0;
    QueueRequest request;
    HRESULT hr = QueueHandOff::Receive(request);
    if (FAILED(hr)) {
        common::DebugLine() << "CMainDlg::ReceiveQueuedDownload: request refused" << common::LastErrSuffix(hr) << "\n";
        return hr;
    }
    common::Bstr gameId(request.gameId.c_str(), static_cast<UINT>(request.gameId.size()));
    common::Bstr tps(request.tps.c_str(), static_cast<UINT>(request.tps.size()));
    common::Bstr gameName(request.gameName.c_str(), static_cast<UINT>(request.gameName.size()));
    if (!gameId || !tps || !gameName) return E_FAIL;

    CLSID clsid;
    common::ComPtr<IInstallDlgCtl> control;
    hr = ::CLSIDFromProgID(L"Stagehand.InstallDlgCtl", &clsid);
    if (SUCCEEDED(hr))
        hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IInstallDlgCtl, control.put_void());
    if (SUCCEEDED(hr)) hr = control->QueueDownload(gameId.get(), tps.get(), gameName.get());
    if (FAILED(hr)) {
        common::DebugLine() << "CMainDlg::ReceiveQueuedDownload: request not filed" << common::LastErrSuffix(hr) << "\n";
        return E_FAIL;
    }
    return 0;
}

// --- lifetime -------------------------------------------------------------------------

void CMainDlg::OnFinalMessage() {
    windowGone_ = true;
    RetireIfDone();
}

void CMainDlg::OnHostReleased() {
    hostReleased_ = true;
    RetireIfDone();
}

void CMainDlg::RetireIfDone() {
    if (!windowGone_ || !hostReleased_ || retired_.exchange(true)) return;
    if (owner_)
        owner_->WindowRetired(this);
    else
        delete this;
}

// --- caller operations ----------------------------------------------------------------

void CMainDlg::SetFrameMode(int mode) noexcept { frameMode_ = mode; }

void CMainDlg::ResizeFrame(int width, int height) {
    RECT previous = requestedRect_;
    requestedRect_ = {0, 0, width, height};
    HWND hwnd = Handle();
    if (!hwnd) return;
    UINT flags = SWP_NOMOVE;
    if (Width(previous) == width && Height(previous) == height) flags |= SWP_NOSIZE;
    ::SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, width, height, flags);
    CenterOnWorkArea();
    RECT client = {};
    ::GetClientRect(hwnd, &client);
    MoveMainHost(client);
}

void CMainDlg::CenterOnWorkArea() {
    HWND hwnd = Handle();
    RECT frame = {};
    if (!hwnd || !::GetWindowRect(hwnd, &frame)) return;
    MONITORINFO monitor = {sizeof monitor};
    if (!::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor)) return;
    const RECT area = monitor.rcWork;
    RECT center = area;
    HWND owner = ::GetWindow(hwnd, GW_OWNER);
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &center);
    const LONG w = Width(frame), h = Height(frame);
    LONG x = (center.left + center.right) / 2 - w / 2;
    LONG y = (center.top + center.bottom) / 2 - h / 2;
    // Keep the window inside the work area: right and bottom first, then left and top.
    if (x + w > area.right) x = area.right - w;
    if (y + h > area.bottom) y = area.bottom - h;
    if (x < area.left) x = area.left;
    if (y < area.top) y = area.top;
    ::SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMainDlg::MoveMainHost(const RECT& rect) {
    HWND host = browser_.MainHostWindow();
    if (host && ::IsWindow(host))
        ::SetWindowPos(host, nullptr, rect.left, rect.top, Width(rect), Height(rect),
                       SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

HRESULT CMainDlg::ApplySkin(const wchar_t* folder) {
    skinFolder_ = folder ? folder : L"";
    HWND hwnd = Handle();
    if (!hwnd) return S_OK;
    if (frameMode_ == 2) {
        // The system's caption and buttons serve; no bitmap is read.
        ::SetWindowTextW(hwnd, common::BstrText(captionTitle_.get()));
        ::SetWindowLongW(hwnd, GWL_STYLE, ::GetWindowLongW(hwnd, GWL_STYLE) | kCaptionedStyle);
        ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    } else {
        if (frameMode_ == 0) ::SetWindowLongW(hwnd, GWL_STYLE, kSkinnedStyle);
        static const wchar_t* const kPieceFiles[kPieceCount] = {
            L"\\topleft.bmp", L"\\top.bmp", L"\\topright.bmp", L"\\right.bmp", L"\\bottomright.bmp",
            L"\\bottom.bmp", L"\\bottomleft.bmp", L"\\left.bmp", nullptr};
        std::wstring paths[kPieceCount];
        for (int i = 0; i < kPieceCount; ++i)
            if (kPieceFiles[i]) paths[i] = skinFolder_ + kPieceFiles[i];
        Attach(hwnd, paths);
        MoveMainHost(InnerRect());
        RECT topRight = PieceRect(kTopRight), topLeft = PieceRect(kTopLeft);
        PlaceLogo(logoRight_, {topRight.left - 150, topRight.top}, L"\\logoright.bmp");
        PlaceLogo(logoLeft_, {topLeft.left + 30, topLeft.top}, L"\\logoleft.bmp");
    }
    ::InvalidateRect(hwnd, nullptr, FALSE);
    return S_OK;
}

void CMainDlg::PlaceLogo(BitmapButton& logo, POINT place, const wchar_t* file) {
    logo.SetOwnerWindow(Handle());
    logo.SetCommandId(0);
    const std::wstring paths[BitmapButton::kSlotCount] = {skinFolder_ + file};
    // A skin without this logo simply shows none.
    if (SUCCEEDED(logo.LoadImages(paths))) logo.SetPlacement({place.x, place.y, place.x, place.y});
}

POINT CMainDlg::CloseButtonPlace() const {
    RECT topRight = PieceRect(kTopRight);
    return {topRight.left - 20, topRight.top + 10};
}

HRESULT CMainDlg::ShowButton(BitmapButton& button, VARIANT_BOOL show, POINT place, const wchar_t* normalFile,
                             const wchar_t* pressedFile, WORD command) {
    if (frameMode_ == 2) return S_OK;
    HWND hwnd = Handle();
    RECT before = button.GetRect();
    HRESULT hr = S_OK;
    bool shown = show != VARIANT_FALSE && !skinFolder_.empty();
    if (shown) {
        button.SetOwnerWindow(hwnd);
        button.SetCommandId(command);
        const std::wstring paths[BitmapButton::kSlotCount] = {skinFolder_ + normalFile, skinFolder_ + pressedFile};
        if (SUCCEEDED(button.LoadImages(paths)))
            button.SetPlacement({place.x, place.y, place.x, place.y});
        else
            hr = E_UNEXPECTED;  // the button stays without a place: neither drawn nor pressed
    } else {
        button.Unload();
    }
    RECT dirty = shown ? button.GetRect() : before;
    if (hwnd) ::InvalidateRect(hwnd, &dirty, TRUE);
    return hr;
}

HRESULT CMainDlg::ShowCloseButton(VARIANT_BOOL show) {
    return ShowButton(closeButton_, show, CloseButtonPlace(), L"\\closebuttoninactive.bmp",
                      L"\\closebuttonpressed.bmp", kCloseCommand);
}

HRESULT CMainDlg::ShowMinimizeButton(VARIANT_BOOL show) {
    // Beside the close button, or where the close button would be when it is hidden.
    POINT place = CloseButtonPlace();
    if (closeButton_.HasPlace()) {
        RECT close = closeButton_.GetRect();
        place = {close.left, close.top};
    }
    place.x -= 25;
    return ShowButton(minimizeButton_, show, place, L"\\minimizebuttoninactive.bmp", L"\\minimizebuttonpressed.bmp",
                      kMinimizeCommand);
}

HRESULT CMainDlg::SetFrameTitle(BSTR title) {
    if (title == captionTitle_.get()) return S_OK;
    common::Bstr copy;
    if (title) {
        copy = common::Bstr(title, ::SysStringLen(title));
        if (!copy) return E_OUTOFMEMORY;
    }
    captionTitle_ = std::move(copy);
    return S_OK;
}

int CMainDlg::RaiseWindow(bool stayTopmost) {
    HWND hwnd = Handle();
    if (!hwnd) return 1;
    ::SendMessageW(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    const UINT flags = SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW | SWP_ASYNCWINDOWPOS;
    ::SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, flags);
    ::SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, flags);
    if (!stayTopmost) ::SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, flags);
    return ::SetForegroundWindow(hwnd) ? 0 : 1;
}

int CMainDlg::BringToFront() { return RaiseWindow(false); }

int CMainDlg::BringToFrontTopmost() { return RaiseWindow(true); }

void CMainDlg::HideAndSignalClosed() {
    ::SetEvent(closedEvent_);
    if (HWND hwnd = Handle()) ::ShowWindow(hwnd, SW_HIDE);
}

namespace {
// The deepest descendant carrying the identifier: a direct child with it first (and,
// below that, its own descendants with it), else the first match among the children.
HWND DescendantWithId(HWND parent, int id) {
    if (HWND child = ::GetDlgItem(parent, id)) {
        if (::GetWindow(child, GW_CHILD)) {
            if (HWND deeper = DescendantWithId(child, id)) return deeper;
        }
        return child;
    }
    for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if (HWND found = DescendantWithId(child, id)) return found;
    return nullptr;
}
}  // namespace

HWND CMainDlg::CreateOfferPlaceholder() {
    BringToFront();
    HWND host = browser_.MainHostWindow();
    if (!host) return nullptr;
    ::UpdateWindow(host);
    RECT client = {};
    ::GetClientRect(host, &client);
    const LONG left = (Width(client) - 470) / 2, top = (Height(client) - 228) / 2;
    DestroyOfferPlaceholder();
    HWND parent = DescendantWithId(host, ::GetDlgCtrlID(host));
    if (!parent) parent = host;
    auto placeholder = std::make_unique<CPlaceHolderWnd>();
    HWND hwnd = placeholder->Create(parent, {left, top, left + 470, top + 228});
    if (hwnd) offerPlaceholder_ = std::move(placeholder);
    return hwnd;
}

void CMainDlg::DestroyOfferPlaceholder() { offerPlaceholder_.reset(); }

}  // namespace stagehand
