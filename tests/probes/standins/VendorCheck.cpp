// Stand-in for the vendors' compatibility libraries (gcapi_dll.dll with
// GoogleChromeCompatibilityCheck, gtapi_signed.dll with ToolbarCompatibilityCheck).
// Built once per vendor (VENDOR_BROWSER or VENDOR_TOOLBAR). The test chooses the
// answer through the environment of its own process, which loads the library:
//   PROBE_VENDOR_ANSWER   return value of the check (strtoul syntax, default 1);
//   PROBE_VENDOR_REASONS  word written into the reasons argument (not written if unset);
//   PROBE_VENDOR_LOG      file that receives one line per load, call and unload;
//   PROBE_VENDOR_THREAD   when set, call lines end in " thread=<id of the calling thread>".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool Env(const char* name, char* buf, DWORD size) {
    DWORD n = ::GetEnvironmentVariableA(name, buf, size);
    return n > 0 && n < size;
}

// Appends the calling thread to a call line when the test asked for it.
void LogCall(char* line, size_t size) {
    char flag[8];
    if (Env("PROBE_VENDOR_THREAD", flag, sizeof flag)) {
        size_t n = std::strlen(line);
        if (n && line[n - 1] == '\n') line[--n] = '\0';
        std::snprintf(line + n, size - n, " thread=%lu\n", static_cast<unsigned long>(::GetCurrentThreadId()));
    }
}

void Log(const char* line) {
    char path[MAX_PATH];
    if (!Env("PROBE_VENDOR_LOG", path, MAX_PATH)) return;
    HANDLE f = ::CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(f, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
    ::CloseHandle(f);
}

BOOL Answer(DWORD* reasons) {
    char buf[64];
    if (Env("PROBE_VENDOR_REASONS", buf, sizeof buf) && reasons) *reasons = std::strtoul(buf, nullptr, 0);
    return Env("PROBE_VENDOR_ANSWER", buf, sizeof buf) ? static_cast<BOOL>(std::strtoul(buf, nullptr, 0)) : TRUE;
}

}  // namespace

#if defined(VENDOR_BROWSER)
extern "C" __declspec(dllexport) BOOL WINAPI GoogleChromeCompatibilityCheck(LONG record, DWORD* reasons) {
    char line[128];
    std::snprintf(line, sizeof line, "call record=%ld reasons=0x%08lx\n", static_cast<long>(record),
                  reasons ? static_cast<unsigned long>(*reasons) : 0ul);
    LogCall(line, sizeof line);
    Log(line);
    return Answer(reasons);
}
#elif defined(VENDOR_TOOLBAR)
extern "C" __declspec(dllexport) BOOL WINAPI ToolbarCompatibilityCheck(LONG record, HKEY key, DWORD* reasons) {
    char line[128];
    std::snprintf(line, sizeof line, "call record=%ld key=0x%08lx reasons=0x%08lx\n", static_cast<long>(record),
                  static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(key)),
                  reasons ? static_cast<unsigned long>(*reasons) : 0ul);
    LogCall(line, sizeof line);
    Log(line);
    return Answer(reasons);
}
#else
#error "choose VENDOR_BROWSER or VENDOR_TOOLBAR"
#endif

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) Log("load\n");
    if (reason == DLL_PROCESS_DETACH) Log("unload\n");
    return TRUE;
}
