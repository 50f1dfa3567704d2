#pragma once
// The offer library's programming interface (OCSetupHlp.dll), as far as the installer
// uses it: the exported names and the signatures they are called with. Every entry
// point is a standard Windows API function (stdcall) exported under its plain name.
// The wrapper and the tests' stand-in library are both built against this one
// declaration.
#include <windows.h>

namespace offersdk {

// Ready check before initialization: non-zero when the library can be used.
using LoadOpenCandyDllFn = int(WINAPI*)();
// Hands over the advanced-options text; the library may keep the pointer.
using SetClientAdvancedOptionsWFn = int(WINAPI*)(const wchar_t* options);
// publisher, key, secret, language, then the asynchronous mode, the time-out in
// milliseconds and the flags. 0 = success.
using Init2WFn = int(WINAPI*)(const wchar_t* publisher, const wchar_t* key, const wchar_t* secret,
                              const wchar_t* language, int async, int timeoutMs, int flags);
// 0 when an offer is ready.
using GetAsyncOfferStatusFn = int(WINAPI*)(int wantOffer);
// Moves the offer dialog inside its parent window.
using NSISAdjustFn = int(WINAPI*)(HWND window, int x, int y, int width, int height);
// Starts the offer dialog as a child of the window.
using RunDialogFn = int(WINAPI*)(HWND window);
// Every other entry point takes nothing and returns a number.
using PlainFn = int(WINAPI*)();

inline constexpr char kLoadOpenCandyDll[] = "OCPRD504LoadOpenCandyDLL";
inline constexpr char kSetClientAdvancedOptionsW[] = "OCPRD504SetClientAdvancedOptionsW";
inline constexpr char kInit2W[] = "OCPRD504Init2W";
inline constexpr char kGetAsyncOfferStatus[] = "OCPRD504GetAsyncOfferStatus";
inline constexpr char kNSISAdjust[] = "OCPRD504NSISAdjust";
inline constexpr char kRunDialog[] = "OCPRD504RunDialog";
inline constexpr char kCanLeaveOfferPage[] = "OCPRD504CanLeaveOfferPage";
inline constexpr char kGetOfferState[] = "OCPRD504GetOfferState";
inline constexpr char kGetOfferType[] = "OCPRD504GetOfferType";
inline constexpr char kPrepareDownload[] = "OCPRD504PrepareDownload";
inline constexpr char kStartDLMgr2Download[] = "OCPRD504StartDLMgr2Download";
inline constexpr char kSignalProductInstalled[] = "OCPRD504SignalProductInstalled";
inline constexpr char kSignalProductFailed[] = "OCPRD504SignalProductFailed";
inline constexpr char kDetach[] = "OCPRD504Detach";
inline constexpr char kShutdown[] = "OCPRD504Shutdown";

// The arguments the installer always initializes with.
inline constexpr int kInitAsync = 1;
inline constexpr int kInitTimeoutMs = 8000;

// Size of the offer dialog's area.
inline constexpr int kOfferWidth = 470;
inline constexpr int kOfferHeight = 228;

// GetOfferState's answer when the user accepted the offer.
inline constexpr int kOfferAccepted = 1;

}  // namespace offersdk
