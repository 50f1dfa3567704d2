// Unpack's two passes, the process-wide byte counters and the OnProgress events, driven
// through the scripted UnRAR.dll stand-in. Each case runs in a process of its own, so
// the counters start at 0 in every case.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "UnRarFixture.h"

using harness::Narrow;
using unrartest::ProgressSink;
using unrartest::UnRarTest;
using Strings = std::vector<std::string>;

TEST_F(UnRarTest, FilesOf100And300BytesFire25And100) {
    ProgressSink sink;
    DWORD cookie = Connect(&sink);
    harness::DebugCapture debug;
    std::wstring arc = Archive(L"two.rar", "dir data\nfile data\\a.txt 100\nfile data\\b.txt 300\n");
    std::wstring dest = dir_ / L"out";
    ASSERT_TRUE(::CreateDirectoryW(dest.c_str(), nullptr));

    EXPECT_HR(S_OK, Unpack(arc, dest));

    EXPECT_EQ((std::vector<LONG>{25, 100}), sink.values);
    EXPECT_EQ(0, sink.malformed);
    for (DWORD t : sink.threads) EXPECT_EQ(::GetCurrentThreadId(), t);
    EXPECT_EQ(100, Percent());
    EXPECT_EQ(100u, harness::ReadFile(dest + L"\\data\\a.txt").size());
    EXPECT_EQ(300u, harness::ReadFile(dest + L"\\data\\b.txt").size());

    // Counting pass in list mode: folders are neither counted nor skipped; then the
    // extraction pass processes every entry into the destination, with no name.
    const std::string d = "\"" + Narrow(dest) + "\"";
    EXPECT_EQ((Strings{"open 0 clean", "read data", "read data\\a.txt", "process 0 \"\" (null)", "read data\\b.txt",
                       "process 0 \"\" (null)", "read end", "close", "open 1 clean", "callback set user",
                       "read data", "process 2 " + d + " (null)", "read data\\a.txt", "process 2 " + d + " (null)",
                       "read data\\b.txt", "process 2 " + d + " (null)", "read end", "close"}),
              CallLog(arc));

    EXPECT_TRUE(debug.WaitFor("Unpacking " + Narrow(arc) + Narrow(dest) + "\n"));
    // The library is released before Unpack returns.
    EXPECT_EQ(nullptr, ::GetModuleHandleW(L"UnRAR.dll"));
    EXPECT_TRUE(::DeleteFileW((dir_ / L"bin\\UnRAR.dll").c_str()));
    Disconnect(cookie);
}

TEST_F(UnRarTest, SecondArchiveContinuesFromTheFirst) {
    std::wstring first = Archive(L"first.rar", "file a 100\nfile b 300\n");
    std::wstring second = Archive(L"second.rar", "file c 400 chunks=200,200\n");
    ProgressSink sink;
    DWORD cookie = Connect(&sink);
    ASSERT_HR(S_OK, Unpack(first, dir_.path()));
    ASSERT_EQ((std::vector<LONG>{25, 100}), sink.values);

    // The running total becomes 800: 600 of 800 bytes is 75, not 50.
    EXPECT_HR(S_OK, Unpack(second, dir_.path()));
    EXPECT_EQ((std::vector<LONG>{25, 100, 75, 100}), sink.values);
    EXPECT_EQ(100, Percent());
    Disconnect(cookie);
}

TEST_F(UnRarTest, FoldersOnlyFireNothingAndKeepThePercentage) {
    // An earlier call that ended with 40 of its 100 bytes.
    ASSERT_HR(E_UNEXPECTED, Unpack(Archive(L"part.rar", "file a 100 chunks=40\nfile b 1 extractfail\n"), dir_.path()));
    ASSERT_EQ(39, Percent());
    ProgressSink sink;
    DWORD cookie = Connect(&sink);
    std::wstring dest = dir_ / L"tree";
    ASSERT_TRUE(::CreateDirectoryW(dest.c_str(), nullptr));
    std::wstring arc = Archive(L"folders.rar", "dir x\ndir x\\y\n");
    EXPECT_HR(S_OK, Unpack(arc, dest + L"\\"));
    EXPECT_TRUE(sink.values.empty());
    EXPECT_EQ(39, Percent());
    EXPECT_TRUE(harness::DirExists(dest + L"\\x\\y"));
    Strings log = CallLog(arc);
    EXPECT_EQ(0, std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.rfind("process 0", 0) == 0; }));
    Disconnect(cookie);
}

TEST_F(UnRarTest, CompleteWalkAccountsForBytesTheLibraryNeverReported) {
    // Headers announce 100 + 50 bytes; the library reports 60 of the first entry and
    // nothing of the second (a link it doesn't create). The walk is complete, so the
    // rest counts as unpacked: one more event, at 100, and the next archive starts
    // from a whole first one.
    ProgressSink sink;
    DWORD cookie = Connect(&sink);
    EXPECT_HR(S_OK, Unpack(Archive(L"short.rar", "file a 100 chunks=60\nfile link 50 chunks=\n"), dir_.path()));
    EXPECT_EQ((std::vector<LONG>{40, 100}), sink.values);
    EXPECT_HR(S_OK, Unpack(Archive(L"next.rar", "file b 150\n"), dir_.path()));
    EXPECT_EQ((std::vector<LONG>{40, 100, 100}), sink.values);
    // A failed walk accounts for nothing beyond what was reported.
    EXPECT_HR(E_UNEXPECTED, Unpack(Archive(L"failed.rar", "file c 100 chunks=50\nfile d 1 extractfail\n"), dir_.path()));
    EXPECT_EQ((std::vector<LONG>{40, 100, 100, 87}), sink.values);
    EXPECT_EQ(87, Percent());
    Disconnect(cookie);
}

TEST_F(UnRarTest, QuotientIsFormedBeforeTheMultiplication) {
    ProgressSink sink;
    DWORD cookie = Connect(&sink);
    // 29, 57, 58 and 100 of 100 bytes: each quotient is rounded before it is scaled.
    EXPECT_HR(S_OK, Unpack(Archive(L"q.rar", "file q 100 chunks=29,28,1,42\n"), dir_.path()));
    EXPECT_EQ((std::vector<LONG>{28, 56, 57, 100}), sink.values);
    Disconnect(cookie);
}

TEST_F(UnRarTest, EveryDataNotificationFiresEvenWithoutChange) {
    ProgressSink sink;
    DWORD cookie = Connect(&sink);
    EXPECT_HR(S_OK, Unpack(Archive(L"slow.rar", "file s 1000 chunks=1,1,1,997\n"), dir_.path()));
    EXPECT_EQ((std::vector<LONG>{0, 0, 0, 100}), sink.values);
    Disconnect(cookie);
}

TEST_F(UnRarTest, TwoSinksOneFailingBothCalledEveryTime) {
    ProgressSink failing(E_FAIL), good;
    DWORD c1 = Connect(&failing);
    DWORD c2 = Connect(&good);
    EXPECT_HR(S_OK, Unpack(Archive(L"s.rar", "file a 200 chunks=50,50,100\nfile b 200 chunks=200\n"), dir_.path()));
    const std::vector<LONG> expected{12, 25, 50, 100};
    EXPECT_EQ(expected, failing.values);
    EXPECT_EQ(expected, good.values);
    Disconnect(c1);
    Disconnect(c2);
}

TEST_F(UnRarTest, CountingPassThatCannotOpenLeavesTheTotalAtZero) {
    ProgressSink sink;
    DWORD cookie = Connect(&sink);
    // Sizes unknown: nothing to divide by, the events still fire with 0.
    EXPECT_HR(S_OK, Unpack(Archive(L"z.rar", "openfail list\nfile a 100 chunks=60,40\n"), dir_.path()));
    EXPECT_EQ((std::vector<LONG>{0, 0}), sink.values);
    EXPECT_EQ(0, Percent());
    EXPECT_EQ(100u, harness::ReadFile(dir_ / L"a").size());
    Disconnect(cookie);
}

TEST_F(UnRarTest, FailedSkipStopsTheCountButNotTheExtraction) {
    harness::DebugCapture debug;
    ProgressSink sink;
    DWORD cookie = Connect(&sink);
    std::wstring arc = Archive(L"k.rar", "file a 100\nfile b 100 skipfail\nfile c 200\n");
    EXPECT_HR(S_OK, Unpack(arc, dir_.path()));
    EXPECT_TRUE(debug.WaitFor("ERROR processing RAR file\n"));
    // Only the first entry was counted: the percentage never goes beyond 100.
    EXPECT_EQ((std::vector<LONG>{100, 100, 100}), sink.values);
    EXPECT_EQ(100, Percent());
    Strings log = CallLog(arc);
    auto close = std::find(log.begin(), log.end(), "close");
    ASSERT_NE(log.end(), close);
    EXPECT_EQ("process 0 \"\" (null)", *(close - 1));  // counting ended at the failed skip
    EXPECT_EQ(200u, harness::ReadFile(dir_ / L"c").size());
    Disconnect(cookie);
}

namespace {
struct Poller {
    HANDLE stop;
    std::vector<LONG> seen;
    HRESULT created = E_FAIL;
};

DWORD WINAPI PollPercent(void* p) {
    auto* poller = static_cast<Poller*>(p);
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
        // The singleton: the same object the test thread is unpacking with.
        common::ComPtr<IDispatch> obj = harness::Create(L"PebbleUtil.UnRar", &poller->created);
        while (obj && ::WaitForSingleObject(poller->stop, 2) == WAIT_TIMEOUT) {
            VARIANT v;
            ::VariantInit(&v);
            if (SUCCEEDED(harness::Call(obj.get(), L"PercentComplete", {}, &v)) && V_VT(&v) == VT_I4)
                poller->seen.push_back(V_I4(&v));
            ::VariantClear(&v);
        }
    }
    ::CoUninitialize();
    return 0;
}
}  // namespace

TEST_F(UnRarTest, PercentCompleteFromAnotherThreadDuringUnpack) {
    Poller poller;
    poller.stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = ::CreateThread(nullptr, 0, PollPercent, &poller, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    std::string chunks = "chunks=";
    for (int i = 0; i < 20; ++i) chunks += i ? ",50" : "50";
    HRESULT hr = Unpack(Archive(L"long.rar", "file big 1000 delay=25 " + chunks + "\n"), dir_.path());
    ::Sleep(50);
    ::SetEvent(poller.stop);
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(thread, 30000));
    ::CloseHandle(thread);
    ::CloseHandle(poller.stop);

    EXPECT_HR(S_OK, hr);
    ASSERT_HR(S_OK, poller.created);
    ASSERT_FALSE(poller.seen.empty());
    EXPECT_TRUE(std::is_sorted(poller.seen.begin(), poller.seen.end()));
    std::set<LONG> distinct(poller.seen.begin(), poller.seen.end());
    distinct.erase(0);
    distinct.erase(100);
    EXPECT_GE(distinct.size(), 3u) << "values between start and end seen while unpacking";
    EXPECT_EQ(100, poller.seen.back());
}
