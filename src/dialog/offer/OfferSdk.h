#pragma once
// Run-time binding of the offer library OCSetupHlp.dll. Holds the loaded module and a
// private copy of the advanced-options text (the library may keep the pointer it is
// given). Every entry point is looked up by name when it is used; an operation that
// returns a code fails with kMissingEntryPoint when its entry point is missing.
// The destructor unloads the library without calling any of its functions.
#include <windows.h>

#include <memory>

#include "common/Handle.h"

namespace stagehand {

class OfferSdk {
public:
    // Result codes of the operations.
    enum Code : int {
        kOk = 0,
        kMissingArgument = 1,    // a string given to Init was null
        kAlreadyLoaded = 2,      // Init with the library already loaded
        kNotLoaded = 2,          // an operation that needs the library without it
        kNoWindow = 1,           // RunDialog without a window
        kLoadFailed = 4,         // the library could not be loaded
        kMissingEntryPoint = 5,  // an entry point was missing (or the library was not ready)
        // 6 to 10: OCPRD504Init2W's failures, see MapInitResult.
    };

    OfferSdk() = default;
    ~OfferSdk() = default;
    OfferSdk(const OfferSdk&) = delete;
    OfferSdk& operator=(const OfferSdk&) = delete;

    // Keeps a copy of the text for the next Init, replacing an earlier copy; an empty or
    // null text means no advanced options. While the library is loaded the copy it was
    // given stays untouched (it may still read it): false then, and when memory ran out.
    bool SetAdvancedOptions(const wchar_t* text) noexcept;

    // Loads the library from `libraryPath` ("OCSetupHlp.dll" when null or empty) and
    // initializes it. 0 on success; see Code for the rest. The library stays loaded
    // once OCPRD504Init2W has been called, whatever it returned.
    int Init(const wchar_t* publisher, const wchar_t* key, const wchar_t* secret, const wchar_t* language,
             int flags, const wchar_t* libraryPath) noexcept;

    // OCPRD504Init2W's result as one of the codes.
    static int MapInitResult(int result) noexcept;

    bool IsLoaded() const noexcept { return module_.valid(); }

    // True when the library is loaded and OCPRD504GetAsyncOfferStatus(1) returns 0.
    bool GetAsyncOfferStatus() const noexcept;
    // Runs the offer dialog in `window`; moves it to (x, y) first when either is not 0
    // and the library can.
    int RunDialog(HWND window, int x, int y) const noexcept;
    // True unless the library says the user may not leave the offer page yet.
    bool CanLeaveOfferPage() const noexcept;
    // Lets the library let go of `window` and repaints the window.
    void Detach(HWND window) const noexcept;
    // The library's offer state: 0 without the library or its entry point, -1 while no
    // offer is ready.
    int GetOfferState() const noexcept;
    // The install sequence after the product was installed. The library stays loaded.
    int CompleteInstall() const noexcept;
    // Reports a failed product installation and shuts the library down.
    void SignalFailed() const noexcept;

private:
    // The entry point `name` of the loaded library, or null.
    template <class Fn>
    Fn Lookup(const char* name) const noexcept {
        return module_ ? reinterpret_cast<Fn>(::GetProcAddress(module_.get(), name)) : nullptr;
    }
    // Calls a plain entry point; false when it is missing.
    bool CallPlain(const char* name, int* result = nullptr) const noexcept;

    common::UniqueModule module_;
    std::unique_ptr<wchar_t[]> advanced_;
};

}  // namespace stagehand
