// Registration of the page player in the WebBrowser's place through the real regsvr32.
// Register.* runs first (fixture set-up), Unregister.* last (fixture clean-up).
#include <gtest/gtest.h>
#include <exdisp.h>

#include <cwctype>

#include "Harness.h"
#include "common/Bstr.h"
#include "common/ComPtr.h"

namespace {

const std::wstring kServerKey = L"CLSID\\{8856F961-340A-11D0-A96B-00C04FD705A2}\\InprocServer32";
const std::wstring kSavedKey = L"CLSID\\{8856F961-340A-11D0-A96B-00C04FD705A2}\\PagePlayerSaved";

const CLSID kWebBrowser = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};

std::wstring Dll() { return harness::Join(harness::BinDir(), L"pageplayer.dll"); }

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

// The name of whatever the WebBrowser's class id creates now.
std::wstring BrowserName() {
    common::ComPtr<IWebBrowser2> browser;
    if (FAILED(::CoCreateInstance(kWebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IWebBrowser2,
                                  browser.put_void())))
        return L"<none>";
    common::Bstr name;
    browser->get_Name(name.put());
    return name.c_str();
}

}  // namespace

TEST(Register, PutsThePlayerInTheWebBrowsersPlaceAndKeepsWhatWasThere) {
    std::wstring before;
    const bool had = harness::ReadString(HKEY_CLASSES_ROOT, kServerKey, L"", before);
    ASSERT_EQ(0u, harness::Regsvr32(Dll(), false));
    EXPECT_EQ(Lower(Dll()), Lower(harness::StringValue(HKEY_CLASSES_ROOT, kServerKey)));
    EXPECT_EQ(L"Apartment", harness::StringValue(HKEY_CLASSES_ROOT, kServerKey, L"ThreadingModel"));
    std::wstring saved;
    if (had && Lower(before) != Lower(Dll())) {
        EXPECT_TRUE(harness::ReadString(HKEY_CLASSES_ROOT, kSavedKey, L"InprocServer32", saved));
        EXPECT_EQ(before, saved);
    }
    // Registering again keeps the first saved registration.
    ASSERT_EQ(0u, harness::Regsvr32(Dll(), false));
    if (had && Lower(before) != Lower(Dll())) {
        EXPECT_EQ(before, harness::StringValue(HKEY_CLASSES_ROOT, kSavedKey, L"InprocServer32"));
    }
    EXPECT_EQ(L"Page Player", BrowserName());
}

TEST(Unregister, RestoresThePlatformsWebBrowser) {
    std::wstring saved;
    const bool hadSaved = harness::ReadString(HKEY_CLASSES_ROOT, kSavedKey, L"InprocServer32", saved);
    ASSERT_EQ(0u, harness::Regsvr32(Dll(), true));
    EXPECT_FALSE(harness::KeyExists(HKEY_CLASSES_ROOT, kSavedKey));
    if (hadSaved) {
        EXPECT_EQ(saved, harness::StringValue(HKEY_CLASSES_ROOT, kServerKey));
    }
    EXPECT_NE(L"Page Player", BrowserName());
}
