// The offer wrapper driven directly, the way the installer window and the script use it,
// against the stand-in offer library.
#include <gtest/gtest.h>

#include "OfferFixture.h"

using offertest::Matching;
using offertest::OfferTest;

namespace {

const char kLibraryCalls[] = "Init2W(Pub,Key,Sec,en,1,8000,0) -> 0";

bool Visible(HWND window) { return (::GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

HWND OfferDialog(HWND placeholder) { return ::FindWindowExW(placeholder, nullptr, L"OfferStandInDialog", nullptr); }

}  // namespace

// Before the script asks for an offer every operation answers "no offer" and the
// library is never loaded.
TEST_F(OfferTest, WithoutOptionsNothingTouchesTheLibrary) {
    InstallLibrary();
    EXPECT_FALSE(Initialize());
    EXPECT_FALSE(candy_->HasOffer());
    EXPECT_FALSE(candy_->ShowOffer(0, 0));
    candy_->HideOffer();
    EXPECT_TRUE(candy_->CheckOffer());  // nothing placed: the page may go on
    bool success = true;
    candy_->InstallOffer(success);
    EXPECT_FALSE(success);
    EXPECT_EQ(-2, candy_->GetOfferState());
    candy_->AbortInstall();

    std::string debug = DebugUntil("Candy::GetOfferState returned 0xfffffffe");
    EXPECT_NE(std::string::npos, debug.find("Candy::Initialize called - but not required\n"));
    EXPECT_NE(std::string::npos, debug.find("Candy::ShowOffer called - but no offer\n"));
    EXPECT_NE(std::string::npos, debug.find("Candy::HideOffer called with m_offerWnd == 0\n"));
    EXPECT_NE(std::string::npos, debug.find("Candy::CheckOffer called - but no selection\n"));
    EXPECT_NE(std::string::npos, debug.find("Candy::InstallOffer called - but no offer or alreadyInstalled\n"));
    EXPECT_EQ(std::string::npos, debug.find("AbortInstall"));
    EXPECT_EQ(0, owner_->created);
    EXPECT_FALSE(LibraryLoaded());
    EXPECT_TRUE(Calls().empty());
}

// An empty path loads the library from bin\ below the current folder; empty advanced
// options reach neither the library nor the debug line; a second Initialize leaves the
// library alone.
TEST_F(OfferTest, InitializeLoadsFromTheCurrentFolder) {
    InstallLibrary();
    SetOptions(L"");
    EXPECT_TRUE(Initialize());
    EXPECT_TRUE(LibraryLoaded());
    EXPECT_TRUE(Initialize());

    std::string debug = DebugUntil("Candy::Initialize called but we already have offer\n");
    EXPECT_NE(std::string::npos, debug.find("SetCandyOptions  Pub Key Sec en \n"));
    EXPECT_NE(std::string::npos, debug.find("Initialize Candy Options:  Pub: Pub Key: Key Sec: Sec Lang: en\n"));
    EXPECT_NE(std::string::npos,
              debug.find("Candy::Initialize(" + harness::Narrow(LibraryPath()) + ") returned 0\n"));
    EXPECT_EQ(std::string::npos, debug.find("Adv:"));
    EXPECT_EQ((std::vector<std::string>{"LoadOpenCandyDLL() -> 1", kLibraryCalls}), Calls());
}

// The library gets a copy of the advanced options of its own, before Init2W: it may
// keep the pointer, and it stays valid when the script gives new options.
TEST_F(OfferTest, AdvancedOptionsStayWithTheLibrary) {
    InstallLibrary();
    SetOptions(L"mode=silent");
    EXPECT_TRUE(Initialize(LibraryPath().c_str()));
    SetOptions(L"xxxxxxxxxxx");  // the wrapper's own copy is replaced
    EXPECT_TRUE(candy_->ShowOffer(0, 0));

    std::vector<std::string> calls = Calls();
    ASSERT_EQ(4u, calls.size());
    EXPECT_EQ("SetClientAdvancedOptionsW(mode=silent) -> 0", calls[1]);
    EXPECT_EQ(std::string(kLibraryCalls) + " adv=mode=silent", calls[2]);
    EXPECT_NE(std::string::npos, calls[3].find(" adv=mode=silent")) << calls[3];
    std::string debug = DebugUntil("Candy::ShowOffer called");
    EXPECT_NE(std::string::npos,
              debug.find("Initialize Candy Options:  Pub: Pub Key: Key Sec: Sec Lang: en Adv: mode=silent\n"));
}

// Every result of OCPRD504Init2W maps to the wrapper's code; only 0 gives an offer.
TEST_F(OfferTest, Init2WResultsMapToCodes) {
    InstallLibrary();
    const struct {
        const char* result;
        int code;
    } table[] = {{"0", 0},  {"-1", 9},   {"-2", 9},    {"-3", 9}, {"-2117", 9}, {"-5", 8},
                 {"-99", 6}, {"-2118", 7}, {"-4", 10}, {"1", 10}, {"2117", 10}, {"-6", 10}};
    for (const auto& row : table) {
        Answer("OFFER_STANDIN_INIT", row.result);
        candy_ = std::make_unique<stagehand::Candy>(*owner_);  // the last one unloads its library
        ASSERT_FALSE(LibraryLoaded());
        SetOptions();
        EXPECT_EQ(row.code == 0, Initialize()) << row.result;
        std::string line = "Candy::Initialize(" + harness::Narrow(LibraryPath()) + ") returned " +
                           std::to_string(row.code) + "\n";
        EXPECT_EQ(1u, Matching({DebugUntil(line)}, line).size()) << row.result;
        EXPECT_TRUE(LibraryLoaded()) << row.result;
        debug_->Clear();
    }
}

// A failure of Init2W leaves the library loaded: a second Initialize gives code 2 without
// calling it again, and there is nothing to abort.
TEST_F(OfferTest, RepeatedFailedInitializeKeepsTheLibrary) {
    InstallLibrary();
    Answer("OFFER_STANDIN_INIT", "-5");
    SetOptions(L"first");
    EXPECT_FALSE(Initialize());
    Answer("OFFER_STANDIN_INIT", "0");
    SetOptions(L"second");
    EXPECT_FALSE(Initialize());
    EXPECT_TRUE(LibraryLoaded());
    EXPECT_FALSE(candy_->HasOffer());
    candy_->AbortInstall();
    EXPECT_TRUE(candy_->CheckOffer());  // asks the library, which is still loaded

    std::string path = harness::Narrow(LibraryPath());
    std::string debug = DebugUntil("Candy::Initialize(" + path + ") returned 2\n");
    EXPECT_NE(std::string::npos, debug.find("Candy::Initialize(" + path + ") returned 8\n"));
    EXPECT_EQ(0u, DebugCount("Candy::HasOffer"));
    EXPECT_EQ(0u, DebugCount("AbortInstall"));
    std::vector<std::string> calls = Calls();
    EXPECT_EQ(1u, Matching(calls, "Init2W(").size());
    EXPECT_EQ(1u, Matching(calls, "LoadOpenCandyDLL").size());
    EXPECT_TRUE(Matching(calls, "SignalProductFailed").empty());
    // The library still reads the options it was given first.
    ASSERT_FALSE(Matching(calls, "GetAsyncOfferStatus").empty());
    EXPECT_NE(std::string::npos, Matching(calls, "GetAsyncOfferStatus")[0].find("adv=first"));
}

// A library that is missing, lacks an entry point or is not ready is unloaded again
// (code 4 or 5), so a later Initialize tries afresh.
TEST_F(OfferTest, UnusableLibrariesAreReleased) {
    SetOptions();
    EXPECT_FALSE(Initialize());  // no library at all
    InstallLibrary(L"offer_standin_noinit");
    EXPECT_FALSE(Initialize());
    EXPECT_FALSE(LibraryLoaded());
    EXPECT_FALSE(Initialize());
    InstallLibrary(L"offer_standin_bare");
    SetOptions(L"needs=options");
    EXPECT_FALSE(Initialize());  // advanced options but no way to give them
    EXPECT_FALSE(LibraryLoaded());
    InstallLibrary();
    Answer("OFFER_STANDIN_READY", "0");
    EXPECT_FALSE(Initialize());
    EXPECT_FALSE(LibraryLoaded());
    Answer("OFFER_STANDIN_READY", nullptr);
    EXPECT_TRUE(Initialize());

    std::string path = harness::Narrow(LibraryPath());
    DebugUntil("Candy::Initialize(" + path + ") returned 0\n");
    EXPECT_EQ(1u, DebugCount(") returned 4\n"));
    EXPECT_EQ(4u, DebugCount(") returned 5\n"));
    EXPECT_EQ(1u, Matching(Calls(), "Init2W(").size());
}

// HasOffer asks every 100 ms, up to ten times, and logs every answer.
TEST_F(OfferTest, HasOfferWaitsForTheOffer) {
    InstallLibrary();
    SetOptions();
    ASSERT_TRUE(Initialize());
    Answer("OFFER_STANDIN_ASYNC", "1,5,0");
    DWORD start = ::GetTickCount();
    EXPECT_TRUE(candy_->HasOffer());
    DWORD thirdQuery = ::GetTickCount() - start;
    DebugUntil("Candy::HasOffer returned true\n");
    EXPECT_EQ(2u, DebugCount("Candy::HasOffer returned false\n"));
    EXPECT_EQ(1u, DebugCount("Candy::HasOffer returned true\n"));
    EXPECT_GE(thirdQuery, 190u);
    EXPECT_LT(thirdQuery, 950u);

    debug_->Clear();
    Answer("OFFER_STANDIN_ASYNC", "1");
    start = ::GetTickCount();
    EXPECT_FALSE(candy_->HasOffer());
    DWORD none = ::GetTickCount() - start;
    EXPECT_GE(none, 990u);
    EXPECT_LT(none, 5000u);
    EXPECT_TRUE(WaitCount("Candy::HasOffer returned false\n", 10));
    EXPECT_EQ(0u, DebugCount("Candy::HasOffer returned true\n"));
    EXPECT_EQ(13u, Matching(Calls(), "GetAsyncOfferStatus(1)").size());
}

// The offer dialog runs once, as a child of the placeholder; x = y = 0 leaves its place
// to the library; hiding and showing again reuse the placeholder and the dialog.
TEST_F(OfferTest, ShowOfferRunsTheDialogOnce) {
    InstallLibrary();
    SetOptions();
    ASSERT_TRUE(Initialize());
    ClearCalls();
    EXPECT_TRUE(candy_->ShowOffer(0, 0));
    HWND placeholder = owner_->placeholder;
    ASSERT_NE(nullptr, placeholder);
    HWND dialog = OfferDialog(placeholder);
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(Visible(placeholder));
    char handle[32];
    std::snprintf(handle, sizeof handle, "%p", static_cast<void*>(placeholder));
    std::vector<std::string> calls = Calls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(0u, calls[0].find(std::string("RunDialog(") + handle + ") -> 0"));

    candy_->HideOffer();
    EXPECT_FALSE(Visible(placeholder));
    EXPECT_TRUE(candy_->ShowOffer(10, 0));
    EXPECT_TRUE(Visible(placeholder));
    EXPECT_EQ(dialog, OfferDialog(placeholder));
    EXPECT_EQ(1, owner_->created);
    EXPECT_EQ(1u, Calls().size());

    std::string debug = DebugUntil("Candy::ShowOffer recalled - show existing offer\n");
    EXPECT_NE(std::string::npos, debug.find("Candy::ShowOffer called - show offer at x: 0 y: 0 Returned: 0x1"));
    EXPECT_NE(std::string::npos, debug.find("Candy::HideOffer called\n"));
    EXPECT_EQ(std::string::npos, debug.find("UNEXPECTED"));
}

// A position asks the library to move its dialog there first; a library without that
// entry point still shows the dialog, and one without OCPRD504RunDialog shows none.
TEST_F(OfferTest, ShowOfferAdjustsWhenAsked) {
    InstallLibrary();
    SetOptions();
    ASSERT_TRUE(Initialize());
    ClearCalls();
    EXPECT_TRUE(candy_->ShowOffer(10, 0));
    char handle[32];
    std::snprintf(handle, sizeof handle, "%p", static_cast<void*>(owner_->placeholder));
    std::vector<std::string> calls = Calls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(std::string("NSISAdjust(") + handle + ",10,0,470,228) -> 0", calls[0]);
    EXPECT_EQ(0u, calls[1].find("RunDialog("));
    RECT r;
    ASSERT_TRUE(::GetWindowRect(OfferDialog(owner_->placeholder), &r));
    ::MapWindowPoints(nullptr, owner_->placeholder, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(10, r.left);
    EXPECT_EQ(0, r.top);
    DebugUntil("Candy::ShowOffer called - show offer at x: 10 y: 0 Returned: 0x1");

    for (const wchar_t* variant : {L"offer_standin_bare", L"offer_standin_norun"}) {
        owner_->Close();
        owner_ = std::make_unique<offertest::TestOwner>();
        candy_ = std::make_unique<stagehand::Candy>(*owner_);
        InstallLibrary(variant);
        ClearCalls();
        debug_->Clear();
        SetOptions();
        ASSERT_TRUE(Initialize());
        bool runs = std::wstring(variant) == L"offer_standin_bare";
        EXPECT_EQ(runs, candy_->ShowOffer(0, 12));
        EXPECT_EQ(runs, OfferDialog(owner_->placeholder) != nullptr);
        EXPECT_TRUE(Visible(owner_->placeholder));
        EXPECT_EQ(runs, Matching(Calls(), "NSISAdjust").empty());  // only the second variant has it
        DebugUntil(std::string("Candy::ShowOffer called - show offer at x: 0 y: 12 Returned: ") + (runs ? "0x1" : "0"));
    }
}

// The page may leave the offer page when nothing was placed, or once the library lets
// the user go: then the library lets go of the placeholder and it is destroyed.
TEST_F(OfferTest, CheckOfferHoldsThePageUntilTheUserMayLeave) {
    InstallLibrary();
    SetOptions();
    ASSERT_TRUE(Initialize());
    Answer("OFFER_STANDIN_CAN_LEAVE", "0");
    EXPECT_TRUE(candy_->CheckOffer());  // no offer placed yet
    EXPECT_EQ(0, owner_->destroyed);
    ASSERT_TRUE(candy_->ShowOffer(0, 0));
    HWND placeholder = owner_->placeholder;
    EXPECT_FALSE(candy_->CheckOffer());
    EXPECT_TRUE(::IsWindow(placeholder));
    EXPECT_NE(nullptr, OfferDialog(placeholder));
    EXPECT_TRUE(WaitCount("Candy::CheckOffer called - but no selection\n", 2));

    ClearCalls();
    Answer("OFFER_STANDIN_CAN_LEAVE", "1");
    EXPECT_TRUE(candy_->CheckOffer());
    EXPECT_FALSE(::IsWindow(placeholder));
    EXPECT_EQ(1, owner_->destroyed);
    EXPECT_EQ((std::vector<std::string>{"GetAsyncOfferStatus(1) -> 0", "CanLeaveOfferPage() -> 1", "Detach() -> 0"}),
              Calls());
    candy_->HideOffer();
    DebugUntil("Candy::HideOffer called with m_offerWnd == 0\n");
    EXPECT_EQ(1u, DebugCount("Candy::CheckOffer called\n"));

    // A library that can't say lets the page go.
    owner_->Close();
    owner_ = std::make_unique<offertest::TestOwner>();
    candy_ = std::make_unique<stagehand::Candy>(*owner_);
    InstallLibrary(L"offer_standin_bare");
    SetOptions();
    ASSERT_TRUE(Initialize());
    ASSERT_TRUE(candy_->ShowOffer(0, 0));
    EXPECT_TRUE(candy_->CheckOffer());
    EXPECT_EQ(nullptr, owner_->placeholder);
}

// The offer state is the library's only once the offer was shown, and -1 while the
// library has no offer ready.
TEST_F(OfferTest, OfferStateNeedsAShownOffer) {
    InstallLibrary();
    SetOptions();
    ASSERT_TRUE(Initialize());
    Answer("OFFER_STANDIN_STATE", "1");
    EXPECT_EQ(-2, candy_->GetOfferState());
    DebugUntil("Candy::GetOfferState returned 0xfffffffe");
    ASSERT_TRUE(candy_->ShowOffer(0, 0));
    EXPECT_EQ(1, candy_->GetOfferState());
    DebugUntil("Candy::GetOfferState returned 0x1");
    Answer("OFFER_STANDIN_ASYNC", "3");
    EXPECT_EQ(-1, candy_->GetOfferState());
    DebugUntil("Candy::GetOfferState returned 0xffffffff");
    Answer("OFFER_STANDIN_ASYNC", nullptr);
    Answer("OFFER_STANDIN_STATE", "0");
    EXPECT_EQ(0, candy_->GetOfferState());
    EXPECT_TRUE(WaitLast("Candy::GetOfferState returned 0"));
    EXPECT_EQ(2u, Matching(Calls(), "GetOfferState() ->").size());  // not asked while no offer is ready
}

// After the user accepted, InstallOffer starts the download, signals the installation,
// detaches and shuts the library down, once; a later abort signals nothing.
TEST_F(OfferTest, InstallOfferRunsTheSequenceOnce) {
    InstallLibrary();
    SetOptions();
    ASSERT_TRUE(Initialize());
    ASSERT_TRUE(candy_->ShowOffer(0, 0));
    Answer("OFFER_STANDIN_CAN_LEAVE", "0");
    bool success = true;
    candy_->InstallOffer(success);  // the user has not chosen yet
    EXPECT_FALSE(success);
    DebugUntil("Candy::InstallOffer called - but no user selection\n");

    Answer("OFFER_STANDIN_CAN_LEAVE", "1");
    Answer("OFFER_STANDIN_STATE", "1");
    ClearCalls();
    candy_->InstallOffer(success);
    EXPECT_TRUE(success);
    EXPECT_EQ((std::vector<std::string>{"GetAsyncOfferStatus(1) -> 0", "CanLeaveOfferPage() -> 1",
                                        "GetOfferType() -> 1", "PrepareDownload() -> 0", "GetOfferState() -> 1",
                                        "StartDLMgr2Download() -> 0", "SignalProductInstalled() -> 0",
                                        "Detach() -> 0", "Shutdown() -> 0"}),
              Calls());
    EXPECT_TRUE(LibraryLoaded());
    DebugUntil("Candy::InstallOffer() ProductInstalled returned 0 reply = 0x1\n");

    ClearCalls();
    candy_->InstallOffer(success);
    EXPECT_FALSE(success);
    candy_->AbortInstall();
    EXPECT_TRUE(Calls().empty());
    DebugUntil("Candy::InstallOffer called - but no offer or alreadyInstalled\n");
    EXPECT_EQ(0u, DebugCount("AbortInstall"));
}

// A declined offer is not downloaded; a library without the state entry point stops the
// sequence, and the installation still counts as done.
TEST_F(OfferTest, InstallOfferWithoutAcceptance) {
    InstallLibrary();
    SetOptions();
    ASSERT_TRUE(Initialize());
    bool success = false;
    candy_->InstallOffer(success);  // never shown: nothing to wait for
    EXPECT_TRUE(success);
    EXPECT_TRUE(Matching(Calls(), "StartDLMgr2Download").empty());
    EXPECT_EQ(1u, Matching(Calls(), "Shutdown").size());

    candy_ = std::make_unique<stagehand::Candy>(*owner_);
    InstallLibrary(L"offer_standin_bare");
    ClearCalls();
    SetOptions();
    ASSERT_TRUE(Initialize());
    candy_->InstallOffer(success);
    EXPECT_FALSE(success);
    EXPECT_EQ("PrepareDownload() -> 0", Calls().back());
    DebugUntil("Candy::InstallOffer() ProductInstalled returned 0x5 reply = 0\n");
    candy_->InstallOffer(success);
    DebugUntil("Candy::InstallOffer called - but no offer or alreadyInstalled\n");
}

// A failed product installation is reported to an initialized library every time the
// script says so.
TEST_F(OfferTest, AbortInstallSignalsTheFailure) {
    InstallLibrary();
    SetOptions();
    ASSERT_TRUE(Initialize());
    ClearCalls();
    candy_->AbortInstall();
    candy_->AbortInstall();
    EXPECT_EQ((std::vector<std::string>{"SignalProductFailed() -> 0", "Detach() -> 0", "Shutdown() -> 0",
                                        "SignalProductFailed() -> 0", "Detach() -> 0", "Shutdown() -> 0"}),
              Calls());
    EXPECT_TRUE(WaitCount("Candy::AbortInstall called\n", 2));
}
