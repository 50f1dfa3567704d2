// The page's folder choice: the shell's folder browser opened by the page-state object,
// found and driven by the test as a user would (a selection, the OK button), while other
// threads call the object.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <atomic>
#include <string>

#include "EventSink.h"
#include "dialog/pagestate/FolderChooser.h"
#include "Harness.h"
#include "TestThread.h"
#include "WindowTestSupport.h"

using harness::CallOk;
using harness::Str;

namespace {

const DISPID kOnChooseFolder = 2;
const wchar_t kProgId[] = L"DOZUvidaruve.StateCtrl";

struct BrowserSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindBrowser(HWND hwnd, LPARAM lp) {
    auto* search = reinterpret_cast<BrowserSearch*>(lp);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[64] = {};
    ::GetClassNameW(hwnd, cls, 64);
    if (pid == search->pid && ::IsWindowVisible(hwnd) && std::wstring(cls) == L"#32770") {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The visible dialog window of this process (the folder browser), or null.
HWND OpenBrowser() {
    BrowserSearch search{::GetCurrentProcessId(), nullptr};
    ::EnumWindows(&FindBrowser, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForBrowser() {
    HWND found = nullptr;
    wintest::WaitUntil([&] { return (found = OpenBrowser()) != nullptr; }, 60000);
    return found;
}

bool OkEnabled(HWND browser) { return ::IsWindowEnabled(::GetDlgItem(browser, IDOK)) != FALSE; }

// Selects a folder the way a click in the tree does (the dialog tells its callback) until
// OK shows `enabled`: a browser still filling its tree may drop a selection.
bool SelectUntil(HWND browser, const std::wstring& path, bool enabled) {
    return wintest::WaitUntil([&] {
        ::SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
        ::Sleep(400);
        return OkEnabled(browser) == enabled;
    }, 40000);
}

BOOL CALLBACK FindTree(HWND hwnd, LPARAM lp) {
    wchar_t cls[64] = {};
    ::GetClassNameW(hwnd, cls, 64);
    if (std::wstring(cls) != WC_TREEVIEWW) return TRUE;
    *reinterpret_cast<HWND*>(lp) = hwnd;
    return FALSE;
}

// The browser's folder tree and its selected item.
HWND TreeOf(HWND browser) {
    HWND tree = nullptr;
    ::EnumChildWindows(browser, &FindTree, reinterpret_cast<LPARAM>(&tree));
    return tree;
}
HTREEITEM SelectedItem(HWND tree) {
    return reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
}

// Clicks an item of the tree again (the shell's own way back to a folder shown before).
bool ClickUntil(HWND browser, HWND tree, HTREEITEM item, bool enabled) {
    return wintest::WaitUntil([&] {
        ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
        ::Sleep(400);
        return OkEnabled(browser) == enabled;
    }, 40000);
}

// Runs DisplayFolderChooser late-bound on a thread of its own, as a page's thread would.
class ChooserCall {
public:
    ChooserCall() {
        thread_ = harness::TestThread([this] {
            ::OleInitialize(nullptr);
            {
                auto state = harness::Create(kProgId);
                threadId_ = ::GetCurrentThreadId();
                hr_ = state ? harness::Call(state.get(), L"DisplayFolderChooser", {}) : E_FAIL;
            }
            ::OleUninitialize();
            done_ = true;
        });
    }
    ~ChooserCall() {
        // A failed test must not leave the dialog open.
        if (!done_)
            if (HWND browser = OpenBrowser()) ::PostMessageW(browser, WM_COMMAND, IDCANCEL, 0);
        thread_.join();
    }
    bool Wait() { return wintest::WaitUntil([this] { return done_.load(); }, 60000); }
    HRESULT hr() const { return hr_; }
    DWORD threadId() const { return threadId_; }

private:
    harness::TestThread thread_;
    std::atomic<bool> done_{false};
    HRESULT hr_ = E_PENDING;
    DWORD threadId_ = 0;
};

std::wstring InstallPath(IDispatch* state) {
    common::Variant path;
    EXPECT_HR(S_OK, harness::Get(state, L"InstallPath", path.get()));
    return harness::AsString(*path.get());
}

bool SameFolder(const std::wstring& a, const std::wstring& b) {
    wchar_t la[MAX_PATH] = {}, lb[MAX_PATH] = {};
    ::GetLongPathNameW(a.c_str(), la, MAX_PATH);
    ::GetLongPathNameW(b.c_str(), lb, MAX_PATH);
    return ::lstrcmpiW(la, lb) == 0;
}

}  // namespace

TEST(SlideStateFolderChooser, WritableFolderTest) {
    harness::TempDir dir(L"writable");
    EXPECT_TRUE(FolderChooser::IsWritableFolder(dir.path().c_str()));
    EXPECT_FALSE(FolderChooser::IsWritableFolder(L"C:\\")) << "a bare drive root";
    EXPECT_FALSE(FolderChooser::IsWritableFolder(L"C:")) << "shorter still: nothing is read past its end";
    EXPECT_FALSE(FolderChooser::IsWritableFolder(L"\\\\server\\share\\games")) << "no drive letter";
    EXPECT_FALSE(FolderChooser::IsWritableFolder((dir / L"missing").c_str()));
    // The tests run as root, to whom every ordinary folder is writable; /proc takes no
    // files from anyone.
    EXPECT_FALSE(FolderChooser::IsWritableFolder(L"Z:\\proc")) << "a folder without write access";
    WIN32_FIND_DATAW found;
    HANDLE find = ::FindFirstFileW((dir / L"TEST*").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, find) << "the probe file is gone again";
    if (find != INVALID_HANDLE_VALUE) ::FindClose(find);
}

TEST(SlideStateFolderChooser, CancelChangesNothing) {
    auto state = harness::Create(kProgId);
    ASSERT_TRUE(state);
    pagestate_test::EventSink sink;
    ASSERT_TRUE(sink.Connect(state.get()));
    ASSERT_HR(S_OK, harness::Put(state.get(), L"InstallPath", Str(L"C:\\Before")));
    {
        ChooserCall chooser;
        HWND browser = WaitForBrowser();
        ASSERT_NE(nullptr, browser);
        ::PostMessageW(browser, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(chooser.Wait());
        EXPECT_HR(S_OK, chooser.hr());
    }
    EXPECT_EQ(L"C:\\Before", InstallPath(state.get()));
    EXPECT_EQ(0, sink.Count(kOnChooseFolder));
}

// A folder of its own right under C:\ (removed with everything in it): the browser opens
// its way there quickly, where the crowded temporary folder of tests running at the same
// time keeps changing under it.
class DriveFolder {
public:
    DriveFolder() : path_(L"C:\\SlideStateChooser" + std::to_wstring(::GetCurrentProcessId())) {
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~DriveFolder() { harness::RemoveTree(path_); }
    DriveFolder(const DriveFolder&) = delete;
    DriveFolder& operator=(const DriveFolder&) = delete;
    std::wstring operator/(const std::wstring& name) const { return harness::Join(path_, name); }

private:
    std::wstring path_;
};

TEST(SlideStateFolderChooser, OnlyAWritableFolderIsAcceptedWhileOtherCallersWait) {
    DriveFolder dir;
    const std::wstring games = dir / L"Games";
    ASSERT_TRUE(::CreateDirectoryW(games.c_str(), nullptr));
    auto state = harness::Create(kProgId);
    ASSERT_TRUE(state);
    pagestate_test::EventSink sink;
    ASSERT_TRUE(sink.Connect(state.get()));
    ASSERT_HR(S_OK, harness::Put(state.get(), L"InstallPath", Str(L"C:\\Before")));

    ChooserCall chooser;
    HWND browser = WaitForBrowser();
    ASSERT_NE(nullptr, browser);

    // The engine's thread polls meanwhile: its call waits until the browser is closed.
    std::atomic<bool> polled{false};
    harness::TestThread engine([&] {
        ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        {
            auto other = harness::Create(kProgId);
            if (other) CallOk(other.get(), L"Quit");
        }
        ::CoUninitialize();
        polled = true;
    });

    // Each verdict is seen to change: a writable folder enables OK, a bare drive root
    // disables it, a click back on the writable folder enables it again. (Z: is the whole Unix tree, too
    // big for the browser to open under the emulator: the folder without write access is
    // checked directly above.)
    EXPECT_TRUE(SelectUntil(browser, games, true)) << "a writable folder can be taken";
    HWND tree = TreeOf(browser);
    const HTREEITEM gamesItem = tree ? SelectedItem(tree) : nullptr;
    EXPECT_NE(nullptr, gamesItem);
    EXPECT_TRUE(SelectUntil(browser, L"C:\\", false)) << "a bare drive root cannot";
    ::Sleep(500);
    EXPECT_FALSE(OkEnabled(browser)) << "and stays refused";
    EXPECT_FALSE(polled.load()) << "another thread's call waits while the browser is open";
    EXPECT_EQ(0, sink.Count(kOnChooseFolder));
    EXPECT_TRUE(gamesItem && ClickUntil(browser, tree, gamesItem, true));
    ::SendMessageW(::GetDlgItem(browser, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(chooser.Wait());
    EXPECT_HR(S_OK, chooser.hr());
    if (HWND still = OpenBrowser()) ::PostMessageW(still, WM_COMMAND, IDCANCEL, 0);  // lets the engine go on a failure
    EXPECT_TRUE(wintest::WaitUntil([&] { return polled.load(); }, 30000));
    engine.join();

    EXPECT_TRUE(SameFolder(games, InstallPath(state.get()))) << InstallPath(state.get());
    EXPECT_EQ(1, sink.Count(kOnChooseFolder));
    EXPECT_EQ(chooser.threadId(), sink.LastThread(kOnChooseFolder)) << "fired on the chooser's thread";
}
