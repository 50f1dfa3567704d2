#pragma once
// The installer's side of a partner offer: keeps the options the installer script gives,
// loads and initializes the offer library, asks whether an offer is ready, places the
// library's offer dialog in a placeholder inside the installer window, tells the page
// whether the user may leave the offer page, and at the end lets the library download
// the accepted offer or reports a failed installation.
//
// The script's operations (SetOptions, Initialize, HasOffer, InstallOffer,
// GetOfferState, AbortInstall) run on the engine's thread, the page's (ShowOffer,
// HideOffer, CheckOffer) on the window's UI thread. The wrapper takes no lock of its own:
// an installation takes the steps one after the other (options, initialization, the
// offer page, the install step), and a lock held around a library call could deadlock
// with the library's own dialog on the UI thread. Nothing is reported to callers as an
// error: failures mean "no offer" and show only in the debug output.
#include <windows.h>
#include <oleauto.h>

#include "common/Bstr.h"
#include "dialog/browser/PageOffer.h"
#include "dialog/offer/OfferOwner.h"
#include "dialog/offer/OfferSdk.h"

namespace stagehand {

class Candy final : public PageOffer {
public:
    explicit Candy(OfferOwner& owner) noexcept;
    ~Candy() = default;
    Candy(const Candy&) = delete;
    Candy& operator=(const Candy&) = delete;

    // Keeps copies of the five options (null stays null): an offer is wanted.
    // E_OUTOFMEMORY, with nothing changed, when a copy can't be made.
    HRESULT SetOptions(BSTR publisher, BSTR key, BSTR secret, BSTR language, BSTR advanced) noexcept;
    // Loads and initializes the library from `libraryPath`, or from the current
    // folder's bin\OCSetupHlp.dll when it is empty. Whether an offer can be made.
    bool Initialize(BSTR libraryPath) noexcept;
    // Asks the library up to ten times, 100 ms apart, whether an offer is ready.
    bool HasOffer() noexcept;
    // Places the offer dialog in a placeholder window, moved to (x, y) when either is
    // not 0; a second call shows the existing placeholder again. Whether the dialog runs.
    bool ShowOffer(int x, int y) noexcept override;
    // Hides the placeholder; a later ShowOffer shows it again.
    void HideOffer() noexcept override;
    // Whether the page may leave the offer page; releases the placeholder when it may.
    bool CheckOffer() noexcept override;
    // Lets the library download an accepted offer, once, after the product's installation.
    void InstallOffer(bool& success) noexcept;
    // The library's offer state once an offer was shown (1 = accepted), else -2.
    int GetOfferState() noexcept;
    // The product's installation failed: tells the library, unless the offer was installed.
    void AbortInstall() noexcept;

private:
    OfferOwner* m_owner;
    bool m_haveOffer = false;
    bool m_optionsSet = false;
    bool m_showedOffer = false;
    bool m_alreadyInstalled = false;
    bool m_canAbort = false;
    OfferSdk m_sdk;
    HWND m_offerWnd = nullptr;
    common::Bstr m_publisher;
    common::Bstr m_key;
    common::Bstr m_secret;
    common::Bstr m_language;
    common::Bstr m_advanced;
};

}  // namespace stagehand
