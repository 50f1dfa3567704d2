// Stand-in for the browser started by the browser probe. It records how it was
// started, then opens a top-level window of the browser's main-window class after a
// delay, and ends by itself after a while. Settings come from the environment it
// inherits from the test:
//   PROBE_BROWSER_LOG          file that receives "pid=", "module=", "cmdline=" and "window" lines;
//   PROBE_BROWSER_DELAY_MS     milliseconds before the window opens; "never" opens none (default 0);
//   PROBE_BROWSER_LIFETIME_MS  milliseconds after start when the program ends (default 15000).
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool Env(const char* name, char* buf, DWORD size) {
    DWORD n = ::GetEnvironmentVariableA(name, buf, size);
    return n > 0 && n < size;
}

std::string Utf8(const wchar_t* s) {
    int n = ::WideCharToMultiByte(CP_UTF8, 0, s, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, s, -1, &out[0], n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

void Log(const std::string& line) {
    char path[MAX_PATH];
    if (!Env("PROBE_BROWSER_LOG", path, MAX_PATH)) return;
    HANDLE f = ::CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(f);
}

DWORD Setting(const char* name, DWORD fallback) {
    char buf[32];
    return Env(name, buf, sizeof buf) ? std::strtoul(buf, nullptr, 0) : fallback;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    const DWORD start = ::GetTickCount();
    wchar_t module[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    int argc = 0;
    if (LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc)) ::LocalFree(argv);
    Log("pid=" + std::to_string(::GetCurrentProcessId()) + "\nmodule=" + Utf8(module) +
        "\ncmdline=" + Utf8(::GetCommandLineW()) + "\nargc=" + std::to_string(argc) + "\n");

    const DWORD lifetime = Setting("PROBE_BROWSER_LIFETIME_MS", 15000);
    char delayText[32] = "0";
    Env("PROBE_BROWSER_DELAY_MS", delayText, sizeof delayText);
    const bool never = std::strcmp(delayText, "never") == 0;
    const DWORD delay = never ? lifetime : std::strtoul(delayText, nullptr, 0);
    ::Sleep(delay < lifetime ? delay : lifetime);

    HWND window = nullptr;
    if (!never && ::GetTickCount() - start < lifetime) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = instance;
        wc.lpszClassName = L"Chrome_WidgetWin_0";
        ::RegisterClassW(&wc);
        window = ::CreateWindowExW(0, wc.lpszClassName, L"browser stand-in", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                   nullptr, nullptr, instance, nullptr);
        Log(window ? "window\n" : "no window\n");
    }
    // Keep the window serviced until the lifetime is over.
    for (;;) {
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= lifetime) break;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, lifetime - elapsed, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    }
    if (window) ::DestroyWindow(window);
    return 0;
}
