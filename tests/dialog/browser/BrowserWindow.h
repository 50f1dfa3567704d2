#pragma once
// A stand-in for the installer's main window around a BrowserHost: a top-level window
// on a UI thread of its own that creates the main browser when it is created, runs the
// pending script and creates the queue browser on the installer's own messages, and
// closes the host when it is destroyed. The test's thread plays the engine's.
#include <windows.h>

#include <functional>
#include <memory>

#include "TestOwner.h"
#include "dialog/browser/BrowserHost.h"

namespace browsertest {

// The installer window's messages for the pending script and the queue browser.
constexpr UINT kCallScriptMessage = WM_USER + 401;
constexpr UINT kEnableQueueMessage = WM_USER + 407;

class BrowserWindow {
public:
    BrowserWindow();
    ~BrowserWindow();
    BrowserWindow(const BrowserWindow&) = delete;
    BrowserWindow& operator=(const BrowserWindow&) = delete;

    // Whether the window and its main browser were created (CreateMainBrowser's result).
    HRESULT CreateResult() const { return createResult_; }
    HWND Frame() const { return frame_; }
    stagehand::BrowserHost& Host() { return *host_; }
    TestOwner& Owner() { return owner_; }

    // The engine's script call: the pending script, then the message that runs it.
    LRESULT CallScript(const wchar_t* name, const wchar_t* argument, const wchar_t* target);
    // The engine's EnableQueue with the skin's inner rectangle.
    LRESULT EnableQueue(const RECT& inner);
    // Runs f on the window's thread and waits for it.
    void OnUiThread(const std::function<void()>& f);
    // Destroys the window on its thread and waits until the thread has ended.
    void Destroy();

private:
    static DWORD WINAPI Thread(void* self);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Run();

    TestOwner owner_;
    std::unique_ptr<stagehand::BrowserHost> host_;
    HANDLE thread_ = nullptr;
    HANDLE ready_ = nullptr;
    HWND frame_ = nullptr;
    HRESULT createResult_ = E_PENDING;
};

// The title of the page in browser (read on the window's thread); empty without a page.
std::wstring PageTitle(BrowserWindow& window, bool queue = false);

}  // namespace browsertest
