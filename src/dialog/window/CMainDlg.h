#pragma once
// The installer's main window: a popup whose frame is drawn from a skin folder, whose
// outline follows the skin's corners, which the user drags by pressing anywhere on the
// skin, and which carries close and minimize buttons and two logos. Its client area is
// covered by the hosted browser. The window never closes itself: its close button, the
// system close command and WM_CLOSE only tell the dialog control that the user asked.
//
// The window lives on the dialog's UI thread. The operations below marked "caller" run
// on the calling thread (normally the engine's) and reach the window only through
// window functions, which the system carries over to the UI thread.
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "common/Bstr.h"
#include "common/Handle.h"
#include "dialog/browser/BrowserHost.h"
#include "dialog/offer/Candy.h"
#include "dialog/offer/OfferOwner.h"
#include "dialog/progress/ProgressBar.h"
#include "dialog/window/BitmapButton.h"
#include "dialog/window/CPlaceHolderWnd.h"
#include "dialog/window/MainDlgOwner.h"
#include "dialog/window/WindowBorderPainter.h"
#include "dialog/window/WindowImpl.h"

namespace stagehand {

class CMainDlg final : public WindowImpl, public WindowBorderPainter, public BrowserHostOwner, public OfferOwner {
public:
    // closedEvent: signalled when the window is destroyed and by HideAndSignalClosed (not
    // owned). owner: told when the window object may be deleted; without one the object
    // deletes itself then.
    CMainDlg(HANDLE closedEvent, MainDlgOwner* owner) noexcept;
    ~CMainDlg() override;

    // Creates the window on the calling thread, which becomes the UI thread: no parent,
    // the default rectangle, the given style and title; icons from iconModule. Null on
    // failure (the last error tells why).
    HWND Create(DWORD style, const wchar_t* title, HMODULE iconModule);
    bool Exists() const noexcept;

    // --- caller ---------------------------------------------------------------------
    void SetFrameMode(int mode) noexcept;
    int FrameMode() const noexcept { return frameMode_.load(); }
    // The outer size; remembered (and applied at creation) while there is no window.
    void ResizeFrame(int width, int height);
    // Skins the window from the folder (frame modes 0 and 1) or gives it the system's
    // caption (mode 2).
    HRESULT ApplySkin(const wchar_t* folder);
    HRESULT ShowCloseButton(VARIANT_BOOL show);
    HRESULT ShowMinimizeButton(VARIANT_BOOL show);
    // The caption used in frame mode 2.
    HRESULT SetFrameTitle(BSTR title);
    int BringToFront() override;
    int BringToFrontTopmost() override;
    void HideAndSignalClosed();

    // --- OfferOwner ---------------------------------------------------------------------
    // A 470 x 228 child centred in the main browser's area, in the deepest descendant of
    // the browser's host window that carries the host's identifier.
    HWND CreateOfferPlaceholder() override;
    void DestroyOfferPlaceholder() override;
    // The offer wrapper the engine's offer methods reach.
    Candy& OfferWrapper() noexcept { return offer_; }

    // The browsers (navigation, page scripts, the queue pane).
    BrowserHost& Browser() noexcept { return browser_; }

    // The progress bar, created by the init-progress message.
    const ProgressBar& Progress() const noexcept { return progress_; }
    // This process has sent a queued download: from now on the window ignores every
    // queued-download broadcast, its own and any other process's.
    void MarkQueueSender() noexcept { queueSender_ = true; }

    // --- BrowserHostOwner -------------------------------------------------------------
    HWND FrameWindow() const override { return Handle(); }
    PageOffer& Offer() override { return offer_; }
    void OnHostReleased() override;

private:
    struct IconTraits {
        using Type = HICON;
        static HICON Invalid() noexcept { return nullptr; }
        static bool IsValid(HICON icon) noexcept { return icon != nullptr; }
        static void Close(HICON icon) noexcept { ::DestroyIcon(icon); }
    };
    using UniqueIcon = common::UniqueResource<IconTraits>;

    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnFinalMessage() override;

    LRESULT OnCreate();
    void OnPaint();
    void PaintAll(HDC dc);
    void OnLButtonDown(POINT point);
    void OnMouseMove(POINT point);
    void OnLButtonUp(POINT point);
    void CenterOnWorkArea();
    void MoveMainHost(const RECT& rect);
    int RaiseWindow(bool stayTopmost);
    HRESULT ShowButton(BitmapButton& button, VARIANT_BOOL show, POINT place, const wchar_t* normalFile,
                       const wchar_t* pressedFile, WORD command);
    POINT CloseButtonPlace() const;
    void PlaceLogo(BitmapButton& logo, POINT place, const wchar_t* file);
    // Tells the dialog control (reached by its ProgID) that the user asked to close.
    void RequestClose();
    // Files a queued download broadcast by another installer process with the dialog
    // control; the message result.
    LRESULT ReceiveQueuedDownload();
    void RetireIfDone();

    BitmapButton closeButton_, minimizeButton_, logoRight_, logoLeft_;
    HANDLE closedEvent_;
    POINT dragPoint_ = {};
    RECT requestedRect_ = {};
    bool dragging_ = false;
    std::wstring skinFolder_;
    ProgressBar progress_;
    std::atomic<bool> queueSender_{false};
    common::Bstr captionTitle_;
    std::atomic<int> frameMode_{0};
    // Declared before the placeholder, which therefore goes first: the library's dialog
    // lives in it, and the wrapper unloads the library.
    Candy offer_;
    std::unique_ptr<CPlaceHolderWnd> offerPlaceholder_;
    BrowserHost browser_;

    // Creation parameters, used by WM_CREATE.
    std::wstring title_;
    HMODULE iconModule_ = nullptr;
    UniqueIcon bigIcon_, smallIcon_;

    // The object goes when both its window and the browsers' hold on the host are gone.
    MainDlgOwner* owner_;
    std::atomic<bool> windowGone_{false};
    std::atomic<bool> hostReleased_{false};
    std::atomic<bool> retired_{false};
};

}  // namespace stagehand
