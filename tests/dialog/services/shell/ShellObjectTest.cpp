// The shell object's file, folder, window and diagnostic services, called late-bound
// by ProgID the way the installer script calls them.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <shobjidl.h>

#include "Harness.h"
#include "common/Handle.h"
#include "ShellTestSupport.h"
#include "dialog/window/WindowClassNames.h"
#include "stagehand.h"

using common::Bstr;
using common::ComPtr;
using common::Variant;
using harness::AsString;
using harness::Call;
using harness::CallOk;
using harness::Ref;
using harness::Str;
using harness::TempDir;

namespace {

ComPtr<IDispatch> ShellObject() { return harness::Create(L"PebbleUtil.ShellCtl"); }

ComPtr<IShellCtl> ShellVtable() {
    ComPtr<IShellCtl> s;
    ComPtr<IDispatch> d = ShellObject();
    if (d) {
        EXPECT_HR(S_OK, d->QueryInterface(IID_IShellCtl, s.put_void()));
    }
    return s;
}

struct LinkContent {
    std::wstring path, args, icon, workDir;
    int iconIndex = -1;
};

LinkContent LoadLink(const std::wstring& file) {
    LinkContent c;
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> persist;
    EXPECT_HR(S_OK, ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                       link.put_void()));
    if (!link) return c;
    EXPECT_HR(S_OK, link.As(persist));
    EXPECT_HR(S_OK, persist->Load(file.c_str(), STGM_READ));
    wchar_t buf[MAX_PATH * 2] = {};
    if (SUCCEEDED(link->GetPath(buf, MAX_PATH * 2, nullptr, SLGP_RAWPATH))) c.path = buf;
    buf[0] = 0;
    if (SUCCEEDED(link->GetArguments(buf, MAX_PATH * 2))) c.args = buf;
    buf[0] = 0;
    if (SUCCEEDED(link->GetIconLocation(buf, MAX_PATH * 2, &c.iconIndex))) c.icon = buf;
    buf[0] = 0;
    if (SUCCEEDED(link->GetWorkingDirectory(buf, MAX_PATH * 2))) c.workDir = buf;
    return c;
}

std::wstring ThisExe() {
    wchar_t buf[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, buf, MAX_PATH);
    return std::wstring(buf, n);
}

LRESULT CALLBACK PlainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return ::DefWindowProcW(w, m, wp, lp); }

HWND MakeWindow(const wchar_t* cls, const wchar_t* title) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &PlainProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = cls;
    ::RegisterClassW(&wc);
    return ::CreateWindowExW(0, cls, title, WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr, nullptr,
                             wc.hInstance, nullptr);
}

// The entries of PendingFileRenameOperations (pairs of source and target).
std::vector<std::wstring> PendingRenames() {
    std::vector<std::wstring> out;
    common::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0,
                        KEY_READ, key.put()) != ERROR_SUCCESS)
        return out;
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(key.get(), L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS)
        return out;
    std::wstring data(size / sizeof(wchar_t) + 2, L'\0');
    ::RegQueryValueExW(key.get(), L"PendingFileRenameOperations", nullptr, &type,
                       reinterpret_cast<BYTE*>(&data[0]), &size);
    data.resize(size / sizeof(wchar_t));
    size_t pos = 0;
    while (pos < data.size()) {
        size_t end = data.find(L'\0', pos);
        if (end == std::wstring::npos) end = data.size();
        out.push_back(data.substr(pos, end - pos));
        pos = end + 1;
    }
    return out;
}

// Removes the rename pairs whose source ends with `tail`, leaving the others.
void DropPendingRenames(const std::wstring& tail) {
    std::vector<std::wstring> items = PendingRenames();
    std::wstring kept;
    for (size_t i = 0; i + 1 < items.size(); i += 2) {
        const std::wstring& src = items[i];
        if (src.size() >= tail.size() && src.compare(src.size() - tail.size(), tail.size(), tail) == 0) continue;
        kept += items[i] + L'\0' + items[i + 1] + L'\0';
    }
    common::UniqueKey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                                             L"System\\CurrentControlSet\\Control\\Session Manager", 0,
                                             KEY_SET_VALUE, key.put()));
    if (kept.empty()) {
        ::RegDeleteValueW(key.get(), L"PendingFileRenameOperations");
    } else {
        kept += L'\0';
        ::RegSetValueExW(key.get(), L"PendingFileRenameOperations", 0, REG_MULTI_SZ,
                         reinterpret_cast<const BYTE*>(kept.data()), static_cast<DWORD>(kept.size() * sizeof(wchar_t)));
    }
}

}  // namespace

TEST(ShellShortcuts, WrittenLinkLoadsBackWithEveryField) {
    TempDir dir(L"lnk");
    const std::wstring target = dir / L"game.exe", icon = dir / L"game.ico", link = dir / L"Play the game.lnk";
    harness::WriteFile(target, "MZ");
    harness::WriteFile(icon, "icon");
    auto shell = ShellObject();
    Bstr name(link.c_str()), tgt(target.c_str()), ico(icon.c_str()), wd(dir.path().c_str()),
        args(L"-windowed -lang \"en us\"");
    BSTR n = name.get(), t = tgt.get(), i = ico.get(), w = wd.get(), a = args.get();
    ASSERT_HR(S_OK, Call(shell.get(), L"CreateShortcut", {Ref(&n), Ref(&t), Ref(&i), Ref(&w), Ref(&a)}));
    ASSERT_TRUE(harness::FileExists(link));

    LinkContent c = LoadLink(link);
    EXPECT_EQ(target, c.path);
    EXPECT_EQ(L"-windowed -lang \"en us\"", c.args);
    EXPECT_EQ(icon, c.icon);
    EXPECT_EQ(0, c.iconIndex);
    EXPECT_EQ(dir.path(), c.workDir);

    // Strings passed by value reach the by-reference parameters as well.
    EXPECT_HR(S_OK, Call(shell.get(), L"DeleteShortcut", {Str(link)}));
    EXPECT_FALSE(harness::FileExists(link));
    // Deleting again is not an error.
    EXPECT_HR(S_OK, Call(shell.get(), L"DeleteShortcut", {Str(link)}));
}

TEST(ShellShortcuts, EmptyTargetPointsAtTheHostAndOptionalFieldsStayUnset) {
    TempDir dir(L"lnk");
    const std::wstring link = dir / L"Host.lnk";
    auto shell = ShellObject();
    ASSERT_HR(S_OK, Call(shell.get(), L"CreateShortcut", {Str(link), Str(L""), Str(L""), Str(L""), Str(nullptr)}));
    LinkContent c = LoadLink(link);
    EXPECT_EQ(0, lstrcmpiW(ThisExe().c_str(), c.path.c_str())) << harness::Narrow(c.path);
    EXPECT_EQ(L"", c.args);
    EXPECT_EQ(L"", c.workDir);
    EXPECT_EQ(L"", c.icon);
}

TEST(ShellShortcuts, SaveIntoMissingFolderReportsTheSaveFailure) {
    TempDir dir(L"lnk");
    const std::wstring link = dir / L"no such folder\\Game.lnk";
    auto shell = ShellObject();
    Variant r;
    HRESULT hr = harness::CallScode(
        shell.get(), L"CreateShortcut", {Str(link), Str(ThisExe()), Str(L""), Str(L""), Str(L"")}, r.get());
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_FALSE(harness::FileExists(link));
}

TEST(ShellFolders, ModulePathSpecialFoldersAndFolderPaths) {
    auto shell = ShellObject();
    EXPECT_EQ(0, lstrcmpiW(ThisExe().c_str(), AsString(*CallOk(shell.get(), L"ModuleFileName").get()).c_str()));

    wchar_t windows[MAX_PATH], system[MAX_PATH];
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    ::GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(0, lstrcmpiW(windows, AsString(*CallOk(shell.get(), L"GetSpecialFolder",
                                                      {harness::UI4(CSIDL_WINDOWS)}).get()).c_str()));
    EXPECT_EQ(0, lstrcmpiW(system, AsString(*CallOk(shell.get(), L"GetFolderPath",
                                                     {harness::UI4(CSIDL_SYSTEM)}).get()).c_str()));
    // Numbers arrive from scripts as plain integers.
    EXPECT_EQ(0, lstrcmpiW(system, AsString(*CallOk(shell.get(), L"GetFolderPath",
                                                     {harness::I4(CSIDL_SYSTEM)}).get()).c_str()));
}

TEST(ShellFolders, UnknownFolderIdsGiveNullStrings) {
    const ULONG bogus = 0x7E;  // no such folder id
    wchar_t buf[MAX_PATH];
    const HRESULT expected = ::SHGetFolderPathW(nullptr, static_cast<int>(bogus), nullptr, SHGFP_TYPE_CURRENT, buf);
    ASSERT_TRUE(FAILED(expected));

    // Late-bound: the lookup's own HRESULT reaches the script.
    auto shell = ShellObject();
    Variant r;
    EXPECT_HR(expected, harness::CallScode(shell.get(), L"GetFolderPath", {harness::UI4(bogus)}, r.get()));

    // Through the interface: the HRESULT and a null string; the older lookup gives S_FALSE.
    auto itf = ShellVtable();
    ASSERT_TRUE(itf);
    BSTR dir = reinterpret_cast<BSTR>(1);
    EXPECT_HR(expected, itf->GetFolderPath(bogus, &dir));
    EXPECT_EQ(nullptr, dir);
    dir = reinterpret_cast<BSTR>(1);
    EXPECT_HR(S_FALSE, itf->GetSpecialFolder(bogus, &dir));
    EXPECT_EQ(nullptr, dir);
}

TEST(ShellWindows, CheckWndFindsTopLevelWindowsByExactTitle) {
    wchar_t title[64];
    swprintf(title, 64, L"Shell check window %lu", ::GetCurrentProcessId());
    HWND w = MakeWindow(L"ShellTestCheckWnd", title);
    ASSERT_TRUE(w);
    auto shell = ShellObject();
    EXPECT_TRUE(harness::AsBool(*CallOk(shell.get(), L"CheckWnd", {Str(title)}).get()));
    std::wstring longer = std::wstring(title) + L" 2";
    EXPECT_FALSE(harness::AsBool(*CallOk(shell.get(), L"CheckWnd", {Str(longer)}).get()));
    ::DestroyWindow(w);
    EXPECT_FALSE(harness::AsBool(*CallOk(shell.get(), L"CheckWnd", {Str(title)}).get()));
}

TEST(ShellWindows, InstallerToForegroundRaisesTheInstallerFrame) {
    auto shell = ShellObject();
    shelltest::MachineLock lock(L"shell-tests-foreground");
    // No installer window: nothing to do, no error.
    EXPECT_HR(S_OK, Call(shell.get(), L"InstallerToForeground", {}));

    HWND frame = MakeWindow(stagehand::kInstallerFrameClass, L"Installer");
    HWND other = MakeWindow(L"ShellTestOtherWindow", L"Something else");
    ASSERT_TRUE(frame && other);
    ::SetForegroundWindow(other);
    ASSERT_EQ(other, ::GetForegroundWindow());
    ::SetLastError(ERROR_ACCESS_DENIED);  // a stale error must not turn success into failure
    EXPECT_HR(S_OK, Call(shell.get(), L"InstallerToForeground", {}));
    EXPECT_EQ(frame, ::GetForegroundWindow());
    ::DestroyWindow(other);
    ::DestroyWindow(frame);
}

TEST(ShellFiles, ExistingTpsReadsTheIniValueOrNone) {
    TempDir dir(L"tps");
    const std::wstring ini = dir / L"game.ini", other = dir / L"other.ini", nokey = dir / L"nokey.ini";
    harness::WriteFile(ini, "[Game]\r\nTPS=wrong\r\n[TPS]\r\nTPS=retail-42\r\n");
    harness::WriteFile(other, "[Game]\r\nTPS=wrong\r\n");
    harness::WriteFile(nokey, "[TPS]\r\nOther=1\r\n");
    auto shell = ShellObject();
    Bstr path(ini.c_str());
    BSTR p = path.get();
    EXPECT_EQ(L"retail-42", AsString(*CallOk(shell.get(), L"ExistingTPS", {Ref(&p)}).get()));
    EXPECT_EQ(L"none_", AsString(*CallOk(shell.get(), L"ExistingTPS", {Str(dir / L"missing.ini")}).get()));
    EXPECT_EQ(L"none_", AsString(*CallOk(shell.get(), L"ExistingTPS", {Str(other)}).get()));
    // Names too long for any file (bare names lie in the Windows folder) read as missing.
    for (size_t length : {250u, 700u, 5000u}) {
        EXPECT_EQ(L"none_", AsString(*CallOk(shell.get(), L"ExistingTPS", {Str(std::wstring(length, L'n') + L".ini")}).get()))
            << length;
        EXPECT_EQ(L"none_", AsString(*CallOk(shell.get(), L"ExistingTPS", {Str(dir / std::wstring(length, L'f'))}).get()))
            << length;
    }
    EXPECT_EQ(L"none_", AsString(*CallOk(shell.get(), L"ExistingTPS", {Str(nokey)}).get()));
}

TEST(ShellFiles, WorkingDirectoryIsSetAndRead) {
    wchar_t before[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, before);
    TempDir dir(L"cwd");
    auto shell = ShellObject();
    EXPECT_HR(S_OK, Call(shell.get(), L"SetWorkingDir", {Str(dir.path())}));
    wchar_t now[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, now);
    EXPECT_EQ(dir.path(), std::wstring(now));
    EXPECT_EQ(dir.path(), AsString(*CallOk(shell.get(), L"GetWorkingDir").get()));

    // A missing folder: S_FALSE and the directory stays.
    auto itf = ShellVtable();
    Bstr missing((dir / L"missing").c_str());
    BSTR m = missing.get();
    EXPECT_HR(S_FALSE, itf->SetWorkingDir(&m));
    EXPECT_EQ(dir.path(), AsString(*CallOk(shell.get(), L"GetWorkingDir").get()));
    ::SetCurrentDirectoryW(before);
}

TEST(ShellFiles, CopyDocumentReplacesAndRefusesNullNames) {
    TempDir dir(L"copy");
    const std::wstring src = dir / L"a.txt", dest = dir / L"b.txt";
    harness::WriteFile(src, "new content");
    harness::WriteFile(dest, "old content that is longer");
    auto shell = ShellObject();
    EXPECT_TRUE(harness::AsBool(*CallOk(shell.get(), L"CopyDocument", {Str(src), Str(dest)}).get()));
    EXPECT_EQ("new content", harness::ReadFile(dest));
    EXPECT_FALSE(harness::AsBool(*CallOk(shell.get(), L"CopyDocument", {Str(dir / L"none.txt"), Str(dest)}).get()));
    EXPECT_EQ("new content", harness::ReadFile(dest));

    Variant r;
    EXPECT_HR(E_INVALIDARG,
              harness::CallScode(shell.get(), L"CopyDocument", {Str(nullptr), Str(dest)}, r.get()));
    EXPECT_HR(E_INVALIDARG,
              harness::CallScode(shell.get(), L"CopyDocument", {Str(src), Str(nullptr)}, r.get()));
}

TEST(ShellProcess, GetPidIsTheHostProcess) {
    auto shell = ShellObject();
    EXPECT_EQ(static_cast<LONG>(::GetCurrentProcessId()), harness::AsLong(*CallOk(shell.get(), L"GetPid").get()));
    auto host = shelltest::HostCall(L"GetPid");
    ASSERT_TRUE(host.ran);
    EXPECT_HR(S_OK, host.hr);
    EXPECT_NE(std::to_wstring(::GetCurrentProcessId()), host.text);
    EXPECT_GT(std::wcstol(host.text.c_str(), nullptr, 10), 0);
}

TEST(ShellDiagnostics, LogMessageWritesTheTextUnchanged) {
    harness::DebugCapture capture;
    auto shell = ShellObject();
    const wchar_t* text = L"Installer step 3: copying files [50%]";
    Bstr msg(text);
    BSTR m = msg.get();
    EXPECT_HR(S_OK, Call(shell.get(), L"LogMessage", {Ref(&m)}));
    ASSERT_TRUE(capture.WaitFor("copying files [50%]"));
    bool exact = false;
    for (const auto& f : capture.Fragments()) exact = exact || f == "Installer step 3: copying files [50%]";
    EXPECT_TRUE(exact) << capture.Text();
}

TEST(ShellDiagnostics, DeleteOnRebootRegistersTheFileOrLogsWhy) {
    TempDir dir(L"reboot");
    const std::wstring file = dir / L"leftover.dat";
    harness::WriteFile(file, "x");
    auto shell = ShellObject();
    shelltest::MachineLock lock(L"shell-tests-pending-renames");
    harness::DebugCapture capture;

    EXPECT_HR(S_OK, Call(shell.get(), L"DeleteOnReboot", {Str(file)}));
    std::vector<std::wstring> pending = PendingRenames();
    bool found = false;
    for (size_t i = 0; i + 1 < pending.size(); i += 2) {
        const std::wstring& src = pending[i];
        if (src.size() >= file.size() && lstrcmpiW(src.c_str() + src.size() - file.size(), file.c_str()) == 0) {
            found = true;
            EXPECT_EQ(L"", pending[i + 1]);  // no target: deleted, not moved
        }
    }
    EXPECT_TRUE(found);
    DropPendingRenames(L"\\leftover.dat");

    // An impossible name (an empty one: the platform records almost any other name
    // without looking): the call still succeeds and the reason goes to the debug output.
    ::SetLastError(0);
    ASSERT_FALSE(::MoveFileExW(L"", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    const DWORD code = ::GetLastError();
    capture.Clear();
    EXPECT_HR(S_OK, Call(shell.get(), L"DeleteOnReboot", {Str(L"")}));
    wchar_t hex[16];
    swprintf(hex, 16, L"%lx", code);
    const std::string expected = harness::Narrow(std::wstring(L"Failed to MoveFileEx Error: 0x") + hex);
    ASSERT_TRUE(capture.WaitFor(expected)) << capture.Text();
    EXPECT_EQ(expected, capture.Text());
}
