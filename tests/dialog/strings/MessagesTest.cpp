// The control's message boxes as the engine's script meets them: called late-bound on
// the registered singleton, each box read and answered by the test. This program runs
// with an English (United States) UI language.
#include <gtest/gtest.h>

#include "StringsTestSupport.h"

using common::Bstr;
using common::Variant;
using harness::BoxAnswerer;
using harness::Call;
using harness::I4;
using harness::SeenBox;
using harness::Str;
using stringstest::Control;
using stringstest::ControlVtable;
using stringstest::LoopEnds;

namespace {

const std::wstring kDiskSpace250 =
    L"Insufficient disk space for installation. Please ensure you have at least 250 MB available and restart "
    L"installation. ";
const std::wstring kCancel = L"Really cancel installation?";
const std::wstring kRestart = L"Please restart your computer before installing this game again";
const std::wstring kDriveMissing = L"Your selected drive cannot be accessed.\nPlease select a different folder.";
const std::wstring kUpdateRetry =
    L"The game downloader needs to be updated.\n\nPlease close ALL open web browser windows including our web site, "
    L"then click the Retry button to start the update.\n\nIf the update does not start, click the Cancel button, "
    L"reboot your computer and try downloading again.";

DWORD Self() { return ::GetCurrentProcessId(); }

// The one box a call showed.
SeenBox OnlyBox(BoxAnswerer& boxes) {
    auto seen = boxes.Seen();
    EXPECT_EQ(1u, seen.size());
    return seen.empty() ? SeenBox() : seen.back();
}

// A call on its own thread, so the test thread can watch the boxes it opens. The
// thread first makes an unlocked call, so it is running and the type information is
// loaded when `ready` is signalled; the call under test follows at once.
class CallThread {
public:
    CallThread(IDispatch* obj, std::wstring name, INT id)
        : obj_(obj), name_(std::move(name)), id_(id), ready_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        thread_.reset(::CreateThread(nullptr, 0, &CallThread::Main, this, 0, nullptr));
    }
    ~CallThread() { Finished(20000); }
    bool Ready(DWORD ms) { return ::WaitForSingleObject(ready_.get(), ms) == WAIT_OBJECT_0; }
    bool Finished(DWORD ms) { return ::WaitForSingleObject(thread_.get(), ms) == WAIT_OBJECT_0; }
    HRESULT hr = E_PENDING;
    Variant result;

private:
    static DWORD WINAPI Main(void* p) {
        auto* self = static_cast<CallThread*>(p);
        ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        Variant warmUp;
        Call(self->obj_, L"GetStringById", {I4(1022)}, warmUp.get());
        ::SetEvent(self->ready_.get());
        self->hr = Call(self->obj_, self->name_.c_str(), {I4(self->id_)}, self->result.get());
        ::CoUninitialize();
        return 0;
    }
    IDispatch* obj_;
    std::wstring name_;
    INT id_;
    common::UniqueHandle ready_, thread_;
};

// Waits until the process shows exactly `count` boxes; returns them.
std::vector<HWND> WaitForBoxes(size_t count, DWORD ms = 5000) {
    DWORD start = ::GetTickCount();
    std::vector<HWND> open;
    do {
        open = harness::OpenBoxes(Self());
        if (open.size() == count) return open;
        ::Sleep(20);
    } while (::GetTickCount() - start < ms);
    return open;
}

}  // namespace

TEST(Messages, DisplayErrorFillsInTheArgumentAndEndsOnlyTheCallersLoop) {
    auto ctl = Control();
    ASSERT_TRUE(ctl);
    stringstest::LoopThread uiThread;
    BoxAnswerer boxes(IDOK, Self());

    EXPECT_HR(S_OK, Call(ctl.get(), L"DisplayError", {I4(1004), Str(L"250")}));
    SeenBox box = OnlyBox(boxes);
    EXPECT_EQ(kDiskSpace250, box.text);
    EXPECT_EQ(L"Error", box.caption);  // no caption before Create: the system's own
    EXPECT_EQ(std::vector<int>{IDOK}, box.buttons);
    EXPECT_TRUE(box.topmost);  // system-modal
    EXPECT_EQ(nullptr, box.owner);

    // The quit message went to this thread: its loop ends with exit code 0...
    WPARAM code = 99;
    EXPECT_TRUE(LoopEnds(5000, &code));
    EXPECT_EQ(0u, code);
    // ...while another thread's loop, the UI thread's, runs on.
    EXPECT_TRUE(uiThread.Answers());
}

TEST(Messages, EmptyOrNullArgumentShowsThePlaceholderItself) {
    auto itf = ControlVtable();
    ASSERT_TRUE(itf);
    BoxAnswerer boxes(IDOK, Self());
    const std::wstring shown =
        L"Insufficient disk space for installation. Please ensure you have at least %ls MB available and restart "
        L"installation. ";

    Bstr empty(L"");
    EXPECT_HR(S_OK, itf->DisplayError(1004, empty.get()));
    EXPECT_TRUE(LoopEnds(5000));
    EXPECT_HR(S_OK, itf->DisplayError(1004, nullptr));
    EXPECT_TRUE(LoopEnds(5000));
    auto seen = boxes.Seen();
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ(shown, seen[0].text);
    EXPECT_EQ(shown, seen[1].text);
}

TEST(Messages, ArgumentFillsOnlyATextWithOneStringPlaceholderAndIsCutToTheBuffer) {
    auto ctl = Control();
    ASSERT_TRUE(ctl);
    BoxAnswerer boxes(IDOK, Self());

    // Two number placeholders the one string can't fill: shown as they stand, nothing
    // read from arguments that were never passed.
    EXPECT_HR(S_OK, Call(ctl.get(), L"DisplayError", {I4(1037), Str(L"5")}));
    EXPECT_TRUE(LoopEnds(5000));
    // No placeholder: the text unchanged.
    EXPECT_HR(S_OK, Call(ctl.get(), L"DisplayError", {I4(1040), Str(L"ignored")}));
    EXPECT_TRUE(LoopEnds(5000));
    // A huge argument: the text ends at the 1024-unit buffer (1023 and the terminator).
    const std::wstring huge(5000, L'9');
    EXPECT_HR(S_OK, Call(ctl.get(), L"DisplayError", {I4(1004), Str(huge)}));
    EXPECT_TRUE(LoopEnds(5000));
    // The argument ends at an embedded null, as the box would end it.
    EXPECT_HR(S_OK, Call(ctl.get(), L"DisplayError", {I4(1004), Str(std::wstring(L"25\0" L"0", 4))}));
    EXPECT_TRUE(LoopEnds(5000));

    auto seen = boxes.Seen();
    ASSERT_EQ(4u, seen.size());
    EXPECT_EQ(L"Downloading  %d of %d game files", seen[0].text);
    EXPECT_EQ(kRestart, seen[1].text);
    const std::wstring head = L"Insufficient disk space for installation. Please ensure you have at least ";
    EXPECT_EQ(1023u, seen[2].text.size());
    EXPECT_EQ(head + std::wstring(1023 - head.size(), L'9'), seen[2].text);
    EXPECT_EQ(head + L"25 MB available and restart installation. ", seen[3].text);
}

TEST(Messages, QuestionsAnswerYesRetryOrFalseAndLeaveTheLoopRunning) {
    auto ctl = Control();
    ASSERT_TRUE(ctl);
    BoxAnswerer boxes(IDYES, Self());
    Variant r;
    EXPECT_HR(S_OK, Call(ctl.get(), L"DisplayErrorYN", {I4(1022)}, r.get()));
    EXPECT_TRUE(harness::AsBool(*r.get()));
    boxes.SetButton(IDNO);
    EXPECT_HR(S_OK, Call(ctl.get(), L"DisplayErrorYN", {I4(1022)}, r.get()));
    EXPECT_FALSE(harness::AsBool(*r.get()));
    EXPECT_EQ(VT_BOOL, r.get()->vt);

    boxes.SetButton(IDRETRY);
    EXPECT_HR(S_OK, Call(ctl.get(), L"DisplayErrorRetryCancel", {I4(1019)}, r.get()));
    EXPECT_TRUE(harness::AsBool(*r.get()));
    boxes.SetButton(IDCANCEL);
    EXPECT_HR(S_OK, Call(ctl.get(), L"DisplayErrorRetryCancel", {I4(1019)}, r.get()));
    EXPECT_FALSE(harness::AsBool(*r.get()));
    boxes.SetButton(BoxAnswerer::kEscape);
    EXPECT_HR(S_OK, Call(ctl.get(), L"DisplayErrorRetryCancel", {I4(1019)}, r.get()));
    EXPECT_FALSE(harness::AsBool(*r.get()));

    boxes.SetButton(IDOK);
    EXPECT_HR(S_OK, Call(ctl.get(), L"DisplayWarning", {I4(1039)}));

    auto seen = boxes.Seen();
    ASSERT_EQ(6u, seen.size());
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(kCancel, seen[i].text);
        EXPECT_EQ((std::vector<int>{IDYES, IDNO}), seen[i].buttons);
    }
    for (int i = 2; i < 5; ++i) {
        EXPECT_EQ(kUpdateRetry, seen[i].text);
        EXPECT_EQ((std::vector<int>{IDRETRY, IDCANCEL}), seen[i].buttons);
    }
    EXPECT_EQ(kDriveMissing, seen[5].text);
    EXPECT_EQ(std::vector<int>{IDOK}, seen[5].buttons);
    for (const auto& box : seen) {
        EXPECT_EQ(L"Error", box.caption);
        EXPECT_TRUE(box.topmost);
    }
    // None of these ends the engine's loop.
    EXPECT_FALSE(LoopEnds(300));
}

TEST(Messages, MissingStringsShowNoBox) {
    auto itf = ControlVtable();
    ASSERT_TRUE(itf);
    BoxAnswerer boxes(IDYES, Self());
    const HRESULT notFound = HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);

    // 1003 has no string; 99999 and 1022 + 0x100000 are beyond the 16-bit ids (the latter
    // must not turn into 1022); -1 is below them.
    for (INT id : {1003, 99999, 1022 + 0x100000, -1}) {
        SCOPED_TRACE(id);
        EXPECT_HR(S_FALSE, itf->DisplayError(id, Bstr(L"250").get()));
        EXPECT_TRUE(LoopEnds(5000));  // the quit message all the same
        VARIANT_BOOL answer = VARIANT_TRUE;
        EXPECT_HR(S_FALSE, itf->DisplayErrorYN(id, &answer));
        EXPECT_EQ(VARIANT_FALSE, answer);
        answer = VARIANT_TRUE;
        EXPECT_HR(S_FALSE, itf->DisplayErrorRetryCancel(id, &answer));
        EXPECT_EQ(VARIANT_FALSE, answer);
        // Never a success without a box.
        EXPECT_HR(notFound, itf->DisplayWarning(id));
        BSTR text = reinterpret_cast<BSTR>(1);
        EXPECT_HR(S_FALSE, itf->GetStringById(id, &text));
        EXPECT_EQ(nullptr, text);
        EXPECT_FALSE(LoopEnds(100));
    }
    // A script sees DisplayWarning's failure as an error of the call.
    auto ctl = Control();
    EXPECT_HR(notFound, harness::CallScode(ctl.get(), L"DisplayWarning", {I4(1003)}));
    ::Sleep(300);
    EXPECT_TRUE(boxes.Seen().empty());
}

TEST(Messages, DisplayErrorStringShowsTheTextUnderTheSystemCaptionAndEndsTheLoop) {
    auto ctl = Control();
    ASSERT_TRUE(ctl);
    BoxAnswerer boxes(IDOK, Self());
    const std::wstring text = L"Unpacking failed: data.rar\nCRC error (100% sure)";
    // As a script passes it (a string by value) and as the interface declares it.
    EXPECT_HR(S_OK, Call(ctl.get(), L"DisplayErrorString", {Str(text)}));
    EXPECT_TRUE(LoopEnds(5000));
    Bstr byRef(text.c_str());
    BSTR p = byRef.get();
    EXPECT_HR(S_OK, Call(ctl.get(), L"DisplayErrorString", {harness::Ref(&p)}));
    EXPECT_TRUE(LoopEnds(5000));
    auto seen = boxes.Seen();
    ASSERT_EQ(2u, seen.size());
    for (const auto& box : seen) {
        EXPECT_EQ(text, box.text);
        EXPECT_EQ(L"Error", box.caption);
        EXPECT_EQ(std::vector<int>{IDOK}, box.buttons);
    }
}

TEST(Messages, AnOpenBoxHoldsTheControlLockUntilAnswered) {
    auto ctl = Control();
    ASSERT_TRUE(ctl);
    CallThread first(ctl.get(), L"DisplayErrorYN", 1022);
    auto open = WaitForBoxes(1, 20000);
    ASSERT_EQ(1u, open.size());

    // A second control-locked call waits while the first box is open: no second box
    // shows, however long the first one stays.
    CallThread second(ctl.get(), L"DisplayWarning", 1040);
    ASSERT_TRUE(second.Ready(20000));
    EXPECT_EQ(1u, WaitForBoxes(2, 3000).size());
    EXPECT_FALSE(second.Finished(0));
    EXPECT_EQ(kCancel, harness::ReadBox(open[0]).text);

    ::PostMessageW(open[0], WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
    ASSERT_TRUE(first.Finished(10000));
    EXPECT_HR(S_OK, first.hr);
    EXPECT_FALSE(harness::AsBool(*first.result.get()));

    auto next = WaitForBoxes(1, 20000);
    ASSERT_EQ(1u, next.size());
    EXPECT_EQ(kRestart, harness::ReadBox(next[0]).text);
    ::PostMessageW(next[0], WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(second.Finished(10000));
    EXPECT_HR(S_OK, second.hr);
}

TEST(Strings, EnglishStringsAndLocale) {
    auto ctl = Control();
    ASSERT_TRUE(ctl);
    EXPECT_EQ(kCancel, harness::AsString(*harness::CallOk(ctl.get(), L"GetStringById", {I4(1022)}).get()));
    EXPECT_EQ(L"Downloading  %d of %d game files",
              harness::AsString(*harness::CallOk(ctl.get(), L"GetStringById", {I4(1037)}).get()));
    EXPECT_EQ(kUpdateRetry, harness::AsString(*harness::CallOk(ctl.get(), L"GetStringById", {I4(1019)}).get()));
    Variant locale = harness::CallOk(ctl.get(), L"GetUserLocale");
    EXPECT_EQ(VT_UI4, locale.get()->vt);  // zero-extended LANGID
    EXPECT_EQ(0x0409, harness::AsLong(*locale.get()));
}
