#include "dialog/offer/Candy.h"

#include <cwchar>
#include <initializer_list>
#include <string>

#include "common/Format.h"
#include "common/DebugLog.h"
#include "dialog/offer/OfferSdkApi.h"

namespace stagehand {

namespace {

constexpr DWORD kOfferPollTries = 10;
constexpr DWORD kOfferPollIntervalMs = 100;
constexpr wchar_t kDefaultLibrary[] = L"\\bin\\OCSetupHlp.dll";

// Writes the pieces as one wide debug text. Diagnostics are never worth a failure:
// without memory for the text nothing is written.
void DebugWide(std::initializer_list<const wchar_t*> pieces) noexcept {
    try {
        std::wstring text;
        for (const wchar_t* piece : pieces) text += piece ? piece : L"";
        ::OutputDebugStringW(text.c_str());
    } catch (...) {
    }
}

// A number in hexadecimal the way a stream with showbase writes it: "0x1", but "0".
void HexWithBase(wchar_t* buffer, size_t size, long value) noexcept {
    common::FormatText(buffer, size, L"%#lx", static_cast<unsigned long>(value));
}

// A copy of a BSTR that keeps its length; a null BSTR stays null.
bool CopyBstr(BSTR from, common::Bstr& to) noexcept {
    if (!from) {
        to.reset();
        return true;
    }
    to.reset(::SysAllocStringLen(from, ::SysStringLen(from)));
    return static_cast<bool>(to);
}

// The current folder followed by bin\OCSetupHlp.dll; empty when the folder is unknown.
std::wstring DefaultLibraryPath() {
    DWORD size = ::GetCurrentDirectoryW(0, nullptr);
    if (size == 0) return std::wstring();
    std::wstring folder(size, L'\0');
    DWORD length = ::GetCurrentDirectoryW(size, &folder[0]);
    if (length == 0 || length >= size) return std::wstring();
    folder.resize(length);
    // A root folder ("C:\") already ends in the separator.
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return folder + kDefaultLibrary;
}

}  // namespace

Candy::Candy(OfferOwner& owner) noexcept : m_owner(&owner) {}

HRESULT Candy::SetOptions(BSTR publisher, BSTR key, BSTR secret, BSTR language, BSTR advanced) noexcept {
    common::Bstr copies[5];
    BSTR given[5] = {publisher, key, secret, language, advanced};
    for (int i = 0; i < 5; ++i) {
        if (!CopyBstr(given[i], copies[i])) return E_OUTOFMEMORY;
    }
    m_publisher = std::move(copies[0]);
    m_key = std::move(copies[1]);
    m_secret = std::move(copies[2]);
    m_language = std::move(copies[3]);
    m_advanced = std::move(copies[4]);
    m_optionsSet = true;
    DebugWide({L"SetCandyOptions ", L" ", m_publisher.c_str(), L" ", m_key.c_str(), L" ", m_secret.c_str(), L" ",
               m_language.c_str(), L" ", m_advanced.c_str(), L"\n"});
    return S_OK;
}

bool Candy::Initialize(BSTR libraryPath) noexcept {
    if (m_haveOffer) {
        common::DebugOut("Candy::Initialize called but we already have offer\n");
        return true;
    }
    if (!m_optionsSet) {
        common::DebugOut("Candy::Initialize called - but not required\n");
        return false;
    }
    bool advanced = !m_advanced.empty();
    DebugWide({L"Initialize Candy Options: ", L" Pub: ", m_publisher.c_str(), L" Key: ", m_key.c_str(), L" Sec: ",
               m_secret.c_str(), L" Lang: ", m_language.c_str(), advanced ? L" Adv: " : L"",
               advanced ? m_advanced.c_str() : L"", L"\n"});
    // The library gets a copy of its own; without advanced options it gets none (an
    // earlier attempt's copy is dropped, unless a library still holds it).
    m_sdk.SetAdvancedOptions(advanced ? m_advanced.c_str() : nullptr);

    std::wstring path;
    try {
        path = common::BstrText(libraryPath);
        if (path.empty()) path = DefaultLibraryPath();
    } catch (...) {
        path.clear();
    }
    int result = path.empty() ? OfferSdk::kLoadFailed
                              : m_sdk.Init(m_publisher.get(), m_key.get(), m_secret.get(), m_language.get(), 0,
                                           path.c_str());
    m_haveOffer = m_canAbort = (result == OfferSdk::kOk);

    wchar_t code[16];
    common::FormatText(code, 16, L"%d", result);
    DebugWide({L"Candy::Initialize(", path.c_str(), L") returned ", code, L"\n"});
    return m_haveOffer;
}

bool Candy::HasOffer() noexcept {
    if (!m_haveOffer) return false;
    for (DWORD attempt = 0; attempt < kOfferPollTries; ++attempt) {
        bool ready = m_sdk.GetAsyncOfferStatus();
        common::DebugOut(ready ? "Candy::HasOffer returned true\n" : "Candy::HasOffer returned false\n");
        if (ready) return true;
        ::Sleep(kOfferPollIntervalMs);
    }
    return false;
}

bool Candy::ShowOffer(int x, int y) noexcept {
    if (!(m_optionsSet && m_haveOffer)) {
        common::DebugOut("Candy::ShowOffer called - but no offer\n");
        return false;
    }
    if (m_offerWnd) {
        if (!m_showedOffer) common::DebugOut("Candy::ShowOffer UNEXPECTED - no m_showedOffer but have m_offerWnd\n");
        common::DebugOut("Candy::ShowOffer recalled - show existing offer\n");
        ::ShowWindow(m_offerWnd, SW_SHOWNORMAL);
        return true;
    }
    m_offerWnd = m_owner->CreateOfferPlaceholder();
    m_showedOffer = (m_sdk.RunDialog(m_offerWnd, x, y) == OfferSdk::kOk);

    char text[128];
    common::FormatText(text, sizeof text, "Candy::ShowOffer called - show offer at x: %d y: %d Returned: %#x", x, y,
                  m_showedOffer ? 1u : 0u);
    common::DebugOut(text);
    if (m_offerWnd) ::ShowWindow(m_offerWnd, SW_SHOWNORMAL);
    return m_showedOffer;
}

void Candy::HideOffer() noexcept {
    if (!m_offerWnd) {
        common::DebugOut("Candy::HideOffer called with m_offerWnd == 0\n");
        return;
    }
    ::ShowWindow(m_offerWnd, SW_HIDE);
    common::DebugOut("Candy::HideOffer called\n");
}

bool Candy::CheckOffer() noexcept {
    if (m_optionsSet && m_sdk.CanLeaveOfferPage()) {
        m_sdk.Detach(m_offerWnd);
        m_owner->DestroyOfferPlaceholder();
        m_offerWnd = nullptr;
        common::DebugOut("Candy::CheckOffer called\n");
        return true;
    }
    common::DebugOut("Candy::CheckOffer called - but no selection\n");
    // Nothing placed: nothing to wait for. A placed offer waits for the user's choice.
    return m_offerWnd == nullptr;
}

int Candy::GetOfferState() noexcept {
    int state = (m_optionsSet && m_haveOffer && m_showedOffer) ? m_sdk.GetOfferState() : -2;
    char text[64];
    common::FormatText(text, sizeof text, "Candy::GetOfferState returned %#lx", static_cast<unsigned long>(state));
    common::DebugOut(text);
    return state;
}

void Candy::InstallOffer(bool& success) noexcept {
    success = false;
    if (!m_optionsSet || m_alreadyInstalled) {
        common::DebugOut("Candy::InstallOffer called - but no offer or alreadyInstalled\n");
        return;
    }
    if (m_showedOffer && !m_sdk.CanLeaveOfferPage()) {
        common::DebugOut("Candy::InstallOffer called - but no user selection\n");
        return;
    }
    int result = m_sdk.CompleteInstall();
    success = (result == OfferSdk::kOk);
    m_alreadyInstalled = true;
    m_canAbort = false;

    wchar_t code[16], reply[16];
    HexWithBase(code, 16, result);
    HexWithBase(reply, 16, success ? 1 : 0);
    DebugWide({L"Candy::InstallOffer(", L") ProductInstalled returned ", code, L" reply = ", reply, L"\n"});
}

void Candy::AbortInstall() noexcept {
    if (!m_canAbort) return;
    common::DebugOut("Candy::AbortInstall called\n");
    m_sdk.SignalFailed();
}

}  // namespace stagehand
