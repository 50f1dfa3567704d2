// The queued-download hand-off between installer processes: stand-in installers
// (queue_installer.exe), each with the singleton control and its own main window, send and
// receive through the real broadcast and named mapping.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "Harness.h"
#include "InstallerProcess.h"
#include "common/Handle.h"

using queuetest::InstallerProcess;

namespace {

const wchar_t kMessageName[] = L"529B1BEA-70F6-4633-B305-B2A2EBC84DBC";
const wchar_t kMappingName[] = L"67018FAA-0BE0-4ce0-8E37-35EEBC826606";

std::wstring TempFolder() {
    wchar_t folder[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    return folder;
}

// The hand-off files in the temporary folder.
std::set<std::wstring> HandOffFiles() {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW data;
    common::UniqueFindHandle find(::FindFirstFileW((TempFolder() + L"PD*.tmp").c_str(), &data));
    if (!find) return names;
    do names.insert(data.cFileName);
    while (::FindNextFileW(find.get(), &data));
    return names;
}

std::wstring NewHandOffFile(const std::set<std::wstring>& before) {
    std::wstring found;
    for (const auto& name : HandOffFiles())
        if (!before.count(name)) {
            EXPECT_TRUE(found.empty()) << "more than one new hand-off file";
            found = name;
        }
    return found;
}

// A request in the shared mapping, as a sender puts it there (UTF-16, in 2048 bytes).
common::UniqueHandle SharedRequest(const std::wstring& text) {
    const DWORD bytes = 2048;
    common::UniqueHandle mapping(
        ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, bytes, kMappingName));
    EXPECT_TRUE(mapping) << ::GetLastError();
    void* view = mapping ? ::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, bytes) : nullptr;
    EXPECT_NE(nullptr, view);
    if (!view) return mapping;
    ZeroMemory(view, bytes);
    CopyMemory(view, text.data(), std::min<size_t>(text.size() * sizeof(wchar_t), bytes));
    ::UnmapViewOfFile(view);
    return mapping;
}

// Offers the text to one window the way a sender does: under the shared mapping name,
// then the registered message. Returns the window's answer.
LRESULT Deliver(HWND window, const std::wstring& text) {
    common::UniqueHandle mapping = SharedRequest(text);
    DWORD_PTR result = 0x7777;
    EXPECT_TRUE(::SendMessageTimeoutW(window, ::RegisterWindowMessageW(kMessageName), 0, 0, SMTO_NORMAL, 20000,
                                      &result))
        << "the window did not answer";
    return static_cast<LRESULT>(result);
}

}  // namespace

// Installers A (receiving) and B, then C: B's request reaches A once, B's own window
// ignores it and every later broadcast; requests that can't be carried are refused by the
// sender before anything is written, requests A can't read leave its mailbox empty.
TEST(QueueHandOff, SecondInstallerHandsItsRequestToTheFirst) {
    InstallerProcess a, b;
    ASSERT_TRUE(a.CreateWindowInMode(0));
    ASSERT_TRUE(b.CreateWindowInMode(0));
    EXPECT_FALSE(a.Poll()) << "no request yet";

    // Refused by the sender: nothing written, nothing sent.
    auto before = HandOffFiles();
    // 3 + 3 + 1015 characters, three line feeds and the NUL: one more than the block holds.
    EXPECT_HR(E_INVALIDARG, b.Send("123", "abc", std::string(1015, 'n')));
    EXPECT_HR(E_INVALIDARG, b.Send("1\\n2", "abc", "Game")) << "a line feed would shift the fields";
    EXPECT_HR(E_INVALIDARG, b.Send("123", "abc\\n", "Game"));
    EXPECT_EQ(before, HandOffFiles());
    EXPECT_FALSE(a.Poll());
    // Exactly the block is sent; A can't take a game name that long.
    EXPECT_TRUE(SUCCEEDED(b.Send("123", "abc", std::string(1014, 'n'))));
    EXPECT_EQ(1u, HandOffFiles().size() - before.size());
    EXPECT_FALSE(a.Poll());

    // B's request: A files it, B's own window does not.
    before = HandOffFiles();
    HRESULT sent = b.Send("123", "abc", "Game");
    EXPECT_TRUE(SUCCEEDED(sent)) << std::hex << sent;
    std::wstring file = NewHandOffFile(before);
    ASSERT_FALSE(file.empty()) << "the request travels in a temporary file";
    std::string block = harness::ReadFile(TempFolder() + file);
    const std::wstring expected = L"123\nabc\nGame\n";
    ASSERT_EQ(2048u, block.size());
    EXPECT_EQ(0, std::memcmp(block.data(), expected.data(), expected.size() * sizeof(wchar_t)));
    EXPECT_EQ(std::string(2048 - expected.size() * 2, '\0'), block.substr(expected.size() * 2));

    EXPECT_TRUE(a.Poll());
    EXPECT_FALSE(a.Poll()) << "a request is reported once";
    EXPECT_EQ("=123", a.Take("gameid"));
    EXPECT_EQ("empty", a.Take("gameid"));
    EXPECT_EQ("=abc", a.Take("tps"));
    EXPECT_EQ("empty", a.Take("tps"));
    EXPECT_EQ("=Game", a.Take("gamename"));
    EXPECT_EQ("empty", a.Take("gamename"));
    EXPECT_FALSE(b.Poll()) << "the sender's own window ignores its request";

    // A third installer: its 128-character game id is refused by A; its next request
    // reaches A but not B, whose window ignores every broadcast from now on.
    InstallerProcess c;
    ASSERT_TRUE(c.CreateWindowInMode(0));
    EXPECT_TRUE(SUCCEEDED(c.Send(std::string(128, '7'), "abc", "Game")));
    EXPECT_FALSE(a.Poll()) << "a game id of 128 characters is refused";
    EXPECT_EQ("empty", a.Take("gameid"));
    EXPECT_TRUE(SUCCEEDED(c.Send(std::string(127, '7'), "def", "Other Game")));
    EXPECT_TRUE(a.Poll());
    EXPECT_EQ("=" + std::string(127, '7'), a.Take("gameid"));
    EXPECT_EQ("=def", a.Take("tps"));
    EXPECT_EQ("=Other Game", a.Take("gamename"));
    EXPECT_FALSE(b.Poll());
    EXPECT_FALSE(c.Poll());

    // B sends again: A files it, C (now a sender too) and B don't.
    EXPECT_TRUE(SUCCEEDED(b.Send("9", "", "Third")));
    EXPECT_TRUE(a.Poll());
    EXPECT_EQ("=9", a.Take("gameid"));
    EXPECT_EQ("empty", a.Take("tps"));
    EXPECT_FALSE(b.Poll());
    EXPECT_FALSE(c.Poll());
}

// What the receiving window accepts, offered to it directly under the shared mapping name:
// each line within its limit and ended by a line feed, all within the first 1024 bytes.
TEST(QueueHandOff, ReceiverReadsOnlyWellFormedRequestsFromItsView) {
    InstallerProcess a;
    ASSERT_TRUE(a.CreateWindowInMode(0));
    HWND window = a.Window();
    ASSERT_NE(nullptr, window);
    const UINT message = ::RegisterWindowMessageW(kMessageName);

    // No mapping at all.
    DWORD_PTR result = 0;
    ASSERT_TRUE(::SendMessageTimeoutW(window, message, 0, 0, SMTO_NORMAL, 60000, &result));
    EXPECT_EQ(E_FAIL, static_cast<HRESULT>(result));

    const std::wstring id127(127, L'i'), tps127(127, L't'), name255(255, L'n');
    EXPECT_EQ(E_FAIL, Deliver(window, id127 + L"i\nabc\nGame\n"));
    EXPECT_EQ(E_FAIL, Deliver(window, L"1\n" + tps127 + L"t\nGame\n"));
    EXPECT_EQ(E_FAIL, Deliver(window, L"1\n2\n" + name255 + L"n\n"));
    EXPECT_EQ(E_FAIL, Deliver(window, L"1\n2\nGame")) << "the third line feed is missing";
    EXPECT_EQ(E_FAIL, Deliver(window, std::wstring(L"1\n2\0\n3\n", 7))) << "a NUL inside a line";
    EXPECT_FALSE(a.Poll()) << "refused requests leave the mailbox empty";

    // All three at their limits fill exactly the 1024 bytes the receiver reads.
    EXPECT_EQ(0, Deliver(window, id127 + L"\n" + tps127 + L"\n" + name255 + L"\n"));
    EXPECT_TRUE(a.Poll());
    EXPECT_EQ("=" + harness::Narrow(id127), a.Take("gameid"));
    EXPECT_EQ("=" + harness::Narrow(tps127), a.Take("tps"));
    EXPECT_EQ("=" + harness::Narrow(name255), a.Take("gamename"));

    // Only the last of two requests survives when the engine has not fetched the first.
    EXPECT_EQ(0, Deliver(window, L"1\nfirst\nOne\n"));
    EXPECT_EQ(0, Deliver(window, L"2\nsecond\nTwo\n"));
    EXPECT_TRUE(a.Poll());
    EXPECT_FALSE(a.Poll());
    EXPECT_EQ("=2", a.Take("gameid"));
    EXPECT_EQ("=second", a.Take("tps"));
    EXPECT_EQ("=Two", a.Take("gamename"));
}

// The hand-off next to other work: a message box of the engine holds the control lock
// while it is open, yet the window files a request and the engine's poll answers; another
// hand-off in progress holds the mapping's name, and a sender gives up after a few
// seconds rather than broadcast the other's request.
TEST(QueueHandOff, BusyEngineOrBusyNameMixUpNothing) {
    InstallerProcess a;
    ASSERT_TRUE(a.CreateWindowInMode(2));
    HWND window = a.Window();
    ASSERT_NE(nullptr, window);

    ASSERT_EQ("shown", a.Do("box"));
    EXPECT_EQ(0, Deliver(window, L"5\nboxed\nFive\n"));
    EXPECT_TRUE(a.Poll());
    EXPECT_EQ("=5", a.Take("gameid"));
    EXPECT_EQ("closed", a.Do("closebox"));

    {
        common::UniqueHandle busy = SharedRequest(L"666\nother\nBusy\n");
        EXPECT_HR(E_FAIL, a.Send("123", "abc", "Game"));
    }
    EXPECT_TRUE(SUCCEEDED(a.Send("123", "abc", "Game")));
}
