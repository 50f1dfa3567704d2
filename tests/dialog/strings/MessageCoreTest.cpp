// The message classes of stagehand_core used directly, for what a script can't reach
// yet: the owner window the control sets once its main window exists, the caption
// Create stores, and templates our own table doesn't have.
#include <gtest/gtest.h>

#include "Harness.h"
#include "common/CriticalSection.h"
#include "dialog/strings/ControlResources.h"
#include "dialog/strings/MessageBoxes.h"
#include "dialog/strings/MessageTemplate.h"

using harness::BoxAnswerer;
using stagehand::ControlResources;
using stagehand::MessageBoxes;
using stagehand::MessageTemplate;

namespace {

std::wstring Format(const std::wstring& templ, const std::wstring& argument, size_t capacity = 1024) {
    return MessageTemplate::Format(templ, argument.c_str(), argument.size(), capacity);
}

std::wstring StagehandPath() { return harness::Join(harness::BinDir(), L"stagehand.dll"); }

// Drops the quit message a fatal-error box leaves for this thread.
void DropQuitMessage() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

}  // namespace

TEST(MessageTemplate, OnlyOneStringPlaceholderIsFilled) {
    EXPECT_EQ(L"at least 250 MB", Format(L"at least %ls MB", L"250"));
    EXPECT_EQ(L"at least 250 MB", Format(L"at least %s MB", L"250"));
    EXPECT_EQ(L"100% of 250", Format(L"100%% of %ls", L"250"));
    // Templates the one argument can't fill stay as they are: a translated %d, two
    // strings, a width, a lone percent sign at the end.
    EXPECT_EQ(L"Downloading %d of %d", Format(L"Downloading %d of %d", L"5"));
    EXPECT_EQ(L"%ls and %ls", Format(L"%ls and %ls", L"5"));
    EXPECT_EQ(L"%ls of %d", Format(L"%ls of %d", L"5"));
    EXPECT_EQ(L"[%10ls]", Format(L"[%10ls]", L"5"));
    EXPECT_EQ(L"%ls 100%", Format(L"%ls 100%", L"5"));
    EXPECT_EQ(L"no placeholder", Format(L"no placeholder", L"5"));
    // Bounded: capacity - 1 units whatever the argument's length.
    EXPECT_EQ(L"ab12345", Format(L"ab%lscd", L"123456789", 8));
    EXPECT_EQ(L"abcdefg", Format(L"abcdefghij%ls", L"1", 8));
    EXPECT_EQ(L"", Format(L"%ls", L"1", 1));
}

TEST(MessageBoxesOwner, BoxesBelongToTheOwnerWindowWhileItExists) {
    ControlResources resources(StagehandPath().c_str());
    ASSERT_TRUE(resources.module());
    common::CriticalSection lock;
    MessageBoxes messages(resources, lock);
    HWND owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(owner);
    messages.SetOwnerWindow(owner);
    resources.SetCaption(L"Game Installer");  // as Create sets it

    BoxAnswerer boxes(IDOK, ::GetCurrentProcessId());
    EXPECT_HR(S_OK, messages.DisplayWarning(1040));
    BSTR text = ::SysAllocString(L"fatal");
    EXPECT_HR(S_OK, messages.DisplayErrorString(&text));
    ::SysFreeString(text);
    DropQuitMessage();
    // The main window gone: the box is shown without owner rather than not at all.
    ::DestroyWindow(owner);
    EXPECT_HR(S_OK, messages.DisplayWarning(1022));

    auto seen = boxes.Seen();
    ASSERT_EQ(3u, seen.size());
    EXPECT_EQ(owner, seen[0].owner);
    EXPECT_EQ(L"Game Installer", seen[0].caption);
    EXPECT_EQ(owner, seen[1].owner);
    EXPECT_EQ(L"Error", seen[1].caption);  // DisplayErrorString never uses the caption
    EXPECT_EQ(nullptr, seen[2].owner);
    EXPECT_EQ(L"Really cancel installation?", seen[2].text);
    EXPECT_EQ(L"Game Installer", seen[2].caption);
}

TEST(ControlResources, MissingModuleGivesNoStringsNotTheProgramsOwn) {
    ControlResources resources(L"C:\\no such folder\\stagehand.dll");
    EXPECT_EQ(nullptr, resources.module());
    std::wstring text;
    DWORD error = 0;
    EXPECT_FALSE(resources.LoadLocalized(1022, 1024, text, &error));
    EXPECT_NE(0u, error);
    BSTR s = reinterpret_cast<BSTR>(1);
    EXPECT_HR(S_FALSE, resources.StringById(1022, &s));
    EXPECT_EQ(nullptr, s);
}
