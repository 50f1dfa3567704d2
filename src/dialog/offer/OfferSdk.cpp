#include "dialog/offer/OfferSdk.h"

#include <cwchar>
#include <new>

#include "common/LibraryLoad.h"
#include "dialog/offer/OfferSdkApi.h"

namespace stagehand {

bool OfferSdk::SetAdvancedOptions(const wchar_t* text) noexcept {
    // A loaded library may still read the copy it was given.
    if (IsLoaded()) return false;
    if (!text || !*text) {
        advanced_.reset();
        return true;
    }
    size_t length = std::wcslen(text);
    std::unique_ptr<wchar_t[]> copy(new (std::nothrow) wchar_t[length + 1]);
    if (!copy) return false;
    std::wmemcpy(copy.get(), text, length + 1);
    advanced_ = std::move(copy);
    return true;
}

int OfferSdk::MapInitResult(int result) noexcept {
    switch (result) {
        case 0:
            return kOk;
        case -1:
        case -2:
        case -3:
        case -2117:
            return 9;
        case -5:
            return 8;
        case -99:
            return 6;
        case -2118:
            return 7;
        default:  // -4, every positive value and everything else
            return 10;
    }
}

int OfferSdk::Init(const wchar_t* publisher, const wchar_t* key, const wchar_t* secret, const wchar_t* language,
                   int flags, const wchar_t* libraryPath) noexcept {
    if (!publisher || !key || !secret || !language) return kMissingArgument;
    if (IsLoaded()) return kAlreadyLoaded;

    module_.reset(common::LoadLibraryAt(libraryPath && *libraryPath ? libraryPath : L"OCSetupHlp.dll"));
    if (!module_) return kLoadFailed;

    auto loadOpenCandy = Lookup<offersdk::LoadOpenCandyDllFn>(offersdk::kLoadOpenCandyDll);
    offersdk::SetClientAdvancedOptionsWFn setAdvanced = nullptr;
    if (advanced_) setAdvanced = Lookup<offersdk::SetClientAdvancedOptionsWFn>(offersdk::kSetClientAdvancedOptionsW);
    auto init2 = Lookup<offersdk::Init2WFn>(offersdk::kInit2W);
    if (!loadOpenCandy || (advanced_ && !setAdvanced) || !init2 || loadOpenCandy() == 0) {
        module_.reset();
        return kMissingEntryPoint;
    }

    if (advanced_) setAdvanced(advanced_.get());
    return MapInitResult(init2(publisher, key, secret, language, offersdk::kInitAsync, offersdk::kInitTimeoutMs, flags));
}

bool OfferSdk::GetAsyncOfferStatus() const noexcept {
    auto status = Lookup<offersdk::GetAsyncOfferStatusFn>(offersdk::kGetAsyncOfferStatus);
    return status && status(1) == 0;
}

int OfferSdk::RunDialog(HWND window, int x, int y) const noexcept {
    if (!window) return kNoWindow;
    if (!IsLoaded()) return kNotLoaded;
    if (x != 0 || y != 0) {
        // Optional: a library without it shows the dialog where it likes.
        if (auto adjust = Lookup<offersdk::NSISAdjustFn>(offersdk::kNSISAdjust))
            adjust(window, x, y, offersdk::kOfferWidth, offersdk::kOfferHeight);
    }
    auto run = Lookup<offersdk::RunDialogFn>(offersdk::kRunDialog);
    if (!run) return kMissingEntryPoint;
    run(window);
    return kOk;
}

bool OfferSdk::CanLeaveOfferPage() const noexcept {
    if (!IsLoaded() || !GetAsyncOfferStatus()) return true;
    auto canLeave = Lookup<offersdk::PlainFn>(offersdk::kCanLeaveOfferPage);
    return !canLeave || canLeave() == 1;
}

void OfferSdk::Detach(HWND window) const noexcept {
    if (!window) return;
    CallPlain(offersdk::kDetach);
    // The library's dialog is gone from it: paint what is left.
    if (::IsWindow(window)) {
        ::InvalidateRect(window, nullptr, TRUE);
        ::UpdateWindow(window);
    }
}

int OfferSdk::GetOfferState() const noexcept {
    auto state = Lookup<offersdk::PlainFn>(offersdk::kGetOfferState);
    if (!state) return 0;
    if (!GetAsyncOfferStatus()) return -1;
    return state();
}

int OfferSdk::CompleteInstall() const noexcept {
    if (!IsLoaded()) return kNotLoaded;
    int state = 0;
    if (!CallPlain(offersdk::kGetOfferType) || !CallPlain(offersdk::kPrepareDownload) ||
        !CallPlain(offersdk::kGetOfferState, &state))
        return kMissingEntryPoint;
    if (state == offersdk::kOfferAccepted && !CallPlain(offersdk::kStartDLMgr2Download)) return kMissingEntryPoint;
    if (!CallPlain(offersdk::kSignalProductInstalled) || !CallPlain(offersdk::kDetach) ||
        !CallPlain(offersdk::kShutdown))
        return kMissingEntryPoint;
    return kOk;
}

void OfferSdk::SignalFailed() const noexcept {
    if (!IsLoaded()) return;
    CallPlain(offersdk::kSignalProductFailed) && CallPlain(offersdk::kDetach) && CallPlain(offersdk::kShutdown);
}

bool OfferSdk::CallPlain(const char* name, int* result) const noexcept {
    auto fn = Lookup<offersdk::PlainFn>(name);
    if (!fn) return false;
    int value = fn();
    if (result) *result = value;
    return true;
}

}  // namespace stagehand
