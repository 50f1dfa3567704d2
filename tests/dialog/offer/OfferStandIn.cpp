// A stand-in for the offer library OCSetupHlp.dll, built under names of its own; the
// tests copy it to where the installer looks for the library. The test chooses every
// answer through the environment of its own process (read at each call, so a test may
// change an answer between calls):
//   OFFER_STANDIN_READY      OCPRD504LoadOpenCandyDLL's result (default 1)
//   OFFER_STANDIN_INIT       OCPRD504Init2W's result (default 0)
//   OFFER_STANDIN_ASYNC      OCPRD504GetAsyncOfferStatus's answers, comma-separated, one
//                            per query counted from the last Init2W; the last one repeats
//                            (default 0: an offer is ready)
//   OFFER_STANDIN_CAN_LEAVE  OCPRD504CanLeaveOfferPage's result (default 1)
//   OFFER_STANDIN_STATE      OCPRD504GetOfferState's result (default 0)
//   OFFER_STANDIN_LOG        file that receives one line per call:
//                            "Name(arguments) -> result thread=<calling thread id>"
// OCPRD504RunDialog creates the offer "dialog", a child window of class
// OfferStandInDialog, in the window it is given, at the place OCPRD504NSISAdjust gave
// (0, 0 without one); OCPRD504Detach and OCPRD504Shutdown close it. Variants leave out
// chosen entry points (STANDIN_WITHOUT_<name>).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <type_traits>

#include "dialog/offer/OfferSdkApi.h"

namespace {

constexpr wchar_t kDialogClass[] = L"OfferStandInDialog";

HINSTANCE g_instance = nullptr;
HWND g_dialog = nullptr;
RECT g_place = {0, 0, offersdk::kOfferWidth, offersdk::kOfferHeight};
int g_queries = 0;
const wchar_t* g_advanced = nullptr;  // the pointer the installer gave, read again later

std::string Env(const char* name) {
    char buf[512];
    DWORD n = ::GetEnvironmentVariableA(name, buf, sizeof buf);
    return (n > 0 && n < sizeof buf) ? std::string(buf, n) : std::string();
}

int EnvNumber(const char* name, int fallback) {
    std::string v = Env(name);
    return v.empty() ? fallback : static_cast<int>(std::strtol(v.c_str(), nullptr, 0));
}

std::string Utf8(const wchar_t* s) {
    if (!s) return "(null)";
    int n = ::WideCharToMultiByte(CP_UTF8, 0, s, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return "";
    std::string out(n - 1, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, s, -1, &out[0], n, nullptr, nullptr);
    return out;
}

std::string Handle(HWND h) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%p", static_cast<void*>(h));
    return buf;
}

void Log(const std::string& call, int result, const std::string& extra = std::string()) {
    std::string path = Env("OFFER_STANDIN_LOG");
    if (path.empty()) return;
    char tail[64];
    std::snprintf(tail, sizeof tail, " thread=%lu\n", static_cast<unsigned long>(::GetCurrentThreadId()));
    std::string line = call + " -> " + std::to_string(result) + extra + tail;
    HANDLE f = ::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(f);
}

std::string KeptAdvanced() { return g_advanced ? " adv=" + Utf8(g_advanced) : std::string(); }

[[maybe_unused]] LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            ::DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            if (g_dialog == window) g_dialog = nullptr;
            return 0;
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

// Closes the dialog on its own thread.
void CloseDialog() {
    if (g_dialog && ::IsWindow(g_dialog)) ::SendMessageW(g_dialog, WM_CLOSE, 0, 0);
    g_dialog = nullptr;
}

int Plain(const char* name, int result) {
    Log(std::string(name) + "()", result);
    return result;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) g_instance = instance;
    return TRUE;
}

extern "C" {

__declspec(dllexport) int WINAPI OCPRD504LoadOpenCandyDLL() {
    return Plain("LoadOpenCandyDLL", EnvNumber("OFFER_STANDIN_READY", 1));
}

#ifndef STANDIN_WITHOUT_SetClientAdvancedOptionsW
__declspec(dllexport) int WINAPI OCPRD504SetClientAdvancedOptionsW(const wchar_t* options) {
    g_advanced = options;
    Log("SetClientAdvancedOptionsW(" + Utf8(options) + ")", 0);
    return 0;
}
#endif

#ifndef STANDIN_WITHOUT_Init2W
__declspec(dllexport) int WINAPI OCPRD504Init2W(const wchar_t* publisher, const wchar_t* key, const wchar_t* secret,
                                                const wchar_t* language, int async, int timeoutMs, int flags) {
    g_queries = 0;
    int result = EnvNumber("OFFER_STANDIN_INIT", 0);
    Log("Init2W(" + Utf8(publisher) + "," + Utf8(key) + "," + Utf8(secret) + "," + Utf8(language) + "," +
            std::to_string(async) + "," + std::to_string(timeoutMs) + "," + std::to_string(flags) + ")",
        result, KeptAdvanced());
    return result;
}
#endif

__declspec(dllexport) int WINAPI OCPRD504GetAsyncOfferStatus(int wantOffer) {
    // The answer of this query: the n-th of the list, or its last.
    std::string answers = Env("OFFER_STANDIN_ASYNC");
    if (answers.empty()) answers = "0";
    int index = g_queries++;
    size_t start = 0;
    for (int i = 0; i < index; ++i) {
        size_t comma = answers.find(',', start);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    int result = static_cast<int>(std::strtol(answers.c_str() + start, nullptr, 0));
    Log("GetAsyncOfferStatus(" + std::to_string(wantOffer) + ")", result, KeptAdvanced());
    return result;
}

#ifndef STANDIN_WITHOUT_NSISAdjust
__declspec(dllexport) int WINAPI OCPRD504NSISAdjust(HWND window, int x, int y, int width, int height) {
    g_place = {x, y, x + width, y + height};
    if (g_dialog) ::MoveWindow(g_dialog, x, y, width, height, TRUE);
    Log("NSISAdjust(" + Handle(window) + "," + std::to_string(x) + "," + std::to_string(y) + "," +
            std::to_string(width) + "," + std::to_string(height) + ")",
        0);
    return 0;
}
#endif

#ifndef STANDIN_WITHOUT_RunDialog
__declspec(dllexport) int WINAPI OCPRD504RunDialog(HWND window) {
    WNDCLASSEXW wc = {sizeof wc};
    if (!::GetClassInfoExW(g_instance, kDialogClass, &wc)) {
        wc.lpfnWndProc = DialogProc;
        wc.hInstance = g_instance;
        wc.lpszClassName = kDialogClass;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        ::RegisterClassExW(&wc);
    }
    CloseDialog();
    g_dialog = ::CreateWindowExW(0, kDialogClass, L"Offer", WS_CHILD | WS_VISIBLE, g_place.left, g_place.top,
                                 g_place.right - g_place.left, g_place.bottom - g_place.top, window, nullptr,
                                 g_instance, nullptr);
    Log("RunDialog(" + Handle(window) + ")", g_dialog ? 0 : -1, " dialog=" + Handle(g_dialog) + KeptAdvanced());
    return g_dialog ? 0 : -1;
}
#endif

#ifndef STANDIN_WITHOUT_CanLeaveOfferPage
__declspec(dllexport) int WINAPI OCPRD504CanLeaveOfferPage() {
    return Plain("CanLeaveOfferPage", EnvNumber("OFFER_STANDIN_CAN_LEAVE", 1));
}
#endif

#ifndef STANDIN_WITHOUT_GetOfferState
__declspec(dllexport) int WINAPI OCPRD504GetOfferState() { return Plain("GetOfferState", EnvNumber("OFFER_STANDIN_STATE", 0)); }
#endif

__declspec(dllexport) int WINAPI OCPRD504GetOfferType() { return Plain("GetOfferType", 1); }

__declspec(dllexport) int WINAPI OCPRD504PrepareDownload() { return Plain("PrepareDownload", 0); }

#ifndef STANDIN_WITHOUT_StartDLMgr2Download
__declspec(dllexport) int WINAPI OCPRD504StartDLMgr2Download() { return Plain("StartDLMgr2Download", 0); }
#endif

__declspec(dllexport) int WINAPI OCPRD504SignalProductInstalled() { return Plain("SignalProductInstalled", 0); }

__declspec(dllexport) int WINAPI OCPRD504SignalProductFailed() { return Plain("SignalProductFailed", 0); }

__declspec(dllexport) int WINAPI OCPRD504Detach() {
    CloseDialog();
    return Plain("Detach", 0);
}

__declspec(dllexport) int WINAPI OCPRD504Shutdown() {
    CloseDialog();
    g_advanced = nullptr;
    return Plain("Shutdown", 0);
}

}  // extern "C"

// Each export has exactly the type the installer calls it through.
static_assert(std::is_same<decltype(&OCPRD504LoadOpenCandyDLL), offersdk::LoadOpenCandyDllFn>::value, "");
static_assert(std::is_same<decltype(&OCPRD504GetAsyncOfferStatus), offersdk::GetAsyncOfferStatusFn>::value, "");
static_assert(std::is_same<decltype(&OCPRD504Detach), offersdk::PlainFn>::value, "");
#ifndef STANDIN_WITHOUT_Init2W
static_assert(std::is_same<decltype(&OCPRD504Init2W), offersdk::Init2WFn>::value, "");
#endif
#ifndef STANDIN_WITHOUT_SetClientAdvancedOptionsW
static_assert(std::is_same<decltype(&OCPRD504SetClientAdvancedOptionsW), offersdk::SetClientAdvancedOptionsWFn>::value,
              "");
#endif
#ifndef STANDIN_WITHOUT_NSISAdjust
static_assert(std::is_same<decltype(&OCPRD504NSISAdjust), offersdk::NSISAdjustFn>::value, "");
#endif
#ifndef STANDIN_WITHOUT_RunDialog
static_assert(std::is_same<decltype(&OCPRD504RunDialog), offersdk::RunDialogFn>::value, "");
#endif
