// The tree below the launched program: HasChildren and KillProcessAndDescendants on
// real process trees (with a rundll host branch), and the order of the listing.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "dialog/services/processes/ProcessTree.h"
#include "ProcessTestSupport.h"

using namespace proctest;

namespace {

common::ComPtr<IDispatch> NewMgr() { return harness::Create(L"PebbleUtil.ProcessMgr"); }

// The processes a "tree" child recorded in dir: index (0, 0.1, 0.1.2, r, r.1 ...) -> pid.
std::map<std::wstring, DWORD> Recorded(const harness::TempDir& dir) {
    std::map<std::wstring, DWORD> out;
    WIN32_FIND_DATAW fd;
    HANDLE f = ::FindFirstFileW((dir / L"proc-*.txt").c_str(), &fd);
    if (f == INVALID_HANDLE_VALUE) return out;
    do {
        std::wstring name = fd.cFileName;
        std::wstring index = name.substr(5, name.size() - 9);
        DWORD pid = std::strtoul(harness::ReadFile(dir / name).c_str(), nullptr, 10);
        if (pid) out[index] = pid;
    } while (::FindNextFileW(f, &fd));
    ::FindClose(f);
    return out;
}

bool WaitRecorded(const harness::TempDir& dir, const std::vector<std::wstring>& indexes) {
    return WaitUntil([&] {
        for (const auto& i : indexes)
            if (!WaitForFile(dir / (L"proc-" + i + L".txt"), 0)) return false;
        return Recorded(dir).size() >= indexes.size();
    });
}

// Ends whatever of a recorded tree still runs.
struct TreeCleanup {
    const harness::TempDir& dir;
    ~TreeCleanup() {
        for (auto& p : Recorded(dir)) Kill(p.second);
    }
};

bool AnyOrphanMarker(const harness::TempDir& dir) {
    WIN32_FIND_DATAW fd;
    HANDLE f = ::FindFirstFileW((dir / L"orphaned-*.txt").c_str(), &fd);
    if (f == INVALID_HANDLE_VALUE) return false;
    ::FindClose(f);
    return true;
}

const std::vector<std::wstring> kThreeLevels = {L"0", L"0.1", L"0.2", L"0.1.1", L"0.1.2", L"0.2.1", L"0.2.2"};

}  // namespace

TEST(ProcessTree, DescendantsAreListedDepthFirstInPreOrder) {
    harness::TempDir dir(L"tree");
    TreeCleanup cleanup{dir};
    std::wstring cmd = Child() + L" tree 3 30000 \"" + dir.path() + L"\" -";
    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    common::UniqueHandle process(pi.hProcess), thread(pi.hThread);
    ASSERT_TRUE(WaitRecorded(dir, kThreeLevels));
    auto pids = Recorded(dir);

    ProcessTree tree;
    ASSERT_TRUE(tree.Snapshot());
    std::vector<DWORD> expected;
    for (const wchar_t* i : {L"0.1", L"0.1.1", L"0.1.2", L"0.2", L"0.2.1", L"0.2.2"}) expected.push_back(pids[i]);
    EXPECT_EQ(expected, tree.Descendants(pi.dwProcessId));
    EXPECT_EQ(std::vector<DWORD>({pids[L"0.1.1"], pids[L"0.1.2"]}), tree.Descendants(pids[L"0.1"]));
    EXPECT_TRUE(tree.Descendants(pids[L"0.2.2"]).empty());
    // No tracked process: nothing, even though the idle process has id 0.
    EXPECT_TRUE(tree.Descendants(0).empty());
}

TEST(ProcessTree, ListingSkipsRundllBranchesAndStopsOnCycles) {
    ProcessTree tree;
    // Snapshot order: 10 (root), 11, 12, 13 (child of 11), a rundll host 14 with child 15,
    // and ids reused so that 20 -> 21 -> 22 -> 20 form a cycle.
    tree.Add(10, 1, L"setup.exe", 100);
    tree.Add(11, 10, L"a.exe", 110);
    tree.Add(12, 10, L"b.exe", 120);
    tree.Add(13, 11, L"c.exe", 130);
    tree.Add(14, 10, L"RunDLL32.EXE", 140);
    tree.Add(15, 14, L"d.exe", 150);
    tree.Add(20, 22, L"x.exe", 500);
    tree.Add(21, 20, L"y.exe", 500);
    tree.Add(22, 21, L"z.exe", 500);
    EXPECT_EQ(std::vector<DWORD>({11, 13, 12}), tree.Descendants(10));
    EXPECT_EQ(std::vector<DWORD>({21, 22}), tree.Descendants(20));
    EXPECT_EQ(std::vector<DWORD>({22, 20}), tree.Descendants(21));
    // 15 is there under its rundll parent, which itself never counts as anyone's child.
    EXPECT_EQ(std::vector<DWORD>({15}), tree.Descendants(14));
    EXPECT_TRUE(tree.Descendants(0).empty());
    tree.Add(0, 0, L"[System Process]");
    tree.Add(4, 0, L"System");
    EXPECT_TRUE(tree.Descendants(0).empty());
}

TEST(ProcessTree, ProcessOlderThanItsRecordedParentIsNoChild) {
    // 31 names 30 as its parent but was started before 30: its real parent had the
    // id 30 earlier and is gone. Killing 30's tree must not reach 31 or its children.
    ProcessTree tree;
    tree.Add(30, 1, L"setup.exe", 200);
    tree.Add(31, 30, L"services.exe", 100);
    tree.Add(33, 31, L"svchost.exe", 150);
    tree.Add(32, 30, L"child.exe", 300);
    tree.Add(34, 30, L"unknown.exe", 0);  // creation time unreadable: no child
    EXPECT_EQ(std::vector<DWORD>({32}), tree.Descendants(30));
}

TEST(ProcessTree, RundllHostsAreRecognisedInAnyCase) {
    EXPECT_TRUE(ProcessTree::IsRundllHost(L"rundll32.exe"));
    EXPECT_TRUE(ProcessTree::IsRundllHost(L"RUNDLL32.EXE"));
    EXPECT_TRUE(ProcessTree::IsRundllHost(L"C:\\windows\\system32\\RunDll32.exe"));
    EXPECT_TRUE(ProcessTree::IsRundllHost(L"rundl.exe"));
    EXPECT_FALSE(ProcessTree::IsRundllHost(L"rund.exe"));
    EXPECT_FALSE(ProcessTree::IsRundllHost(L"xrundll32.exe"));
    EXPECT_FALSE(ProcessTree::IsRundllHost(nullptr));
}

// Three levels below the launch plus a rundll host with children of its own: the host
// branch is neither counted nor killed; the parent dies first and each process before
// its children (a process that saw its child end first would leave a marker).
TEST(ProcessTree, KillProcessAndDescendantsSparesRundllBranch) {
    harness::TempDir dir(L"tree");
    TreeCleanup cleanup{dir};
    std::wstring rundll = dir / L"RunDll32.exe";
    harness::CopyFileOrThrow(ChildPath(), rundll);
    auto mgr = NewMgr();
    ASSERT_TRUE(Exec(mgr.get(), Child(), L"tree 3 30000 \"" + dir.path() + L"\" \"" + rundll + L"\"", true, true));
    std::vector<std::wstring> all = kThreeLevels;
    for (const wchar_t* i : {L"r", L"r.1", L"r.2"}) all.push_back(i);
    ASSERT_TRUE(WaitRecorded(dir, all));
    auto pids = Recorded(dir);
    EXPECT_TRUE(harness::AsBool(*harness::CallOk(mgr.get(), L"HasChildren").get()));

    harness::CallOk(mgr.get(), L"KillProcessAndDescendants");
    for (const auto& i : kThreeLevels)
        EXPECT_TRUE(WaitUntil([&] { return !ProcessAlive(pids[i]); }, 10000)) << harness::Narrow(i);
    for (const wchar_t* i : {L"r", L"r.1", L"r.2"}) EXPECT_TRUE(ProcessAlive(pids[i])) << harness::Narrow(i);
    ::Sleep(300);
    EXPECT_FALSE(AnyOrphanMarker(dir));
    ASSERT_TRUE(WaitFinished(mgr.get()));
    EXPECT_EQ(4294967295u, ExitCode(mgr.get()));
}

TEST(ProcessTree, OnlyARundllChildIsNoChild) {
    harness::TempDir dir(L"tree");
    TreeCleanup cleanup{dir};
    std::wstring rundll = dir / L"rundll32.exe";
    harness::CopyFileOrThrow(ChildPath(), rundll);
    auto mgr = NewMgr();
    ASSERT_TRUE(Exec(mgr.get(), Child(), L"tree 1 30000 \"" + dir.path() + L"\" \"" + rundll + L"\"", true, true));
    ASSERT_TRUE(WaitRecorded(dir, {L"0", L"r", L"r.1", L"r.2"}));
    auto pids = Recorded(dir);
    EXPECT_FALSE(harness::AsBool(*harness::CallOk(mgr.get(), L"HasChildren").get()));
    harness::CallOk(mgr.get(), L"KillProcessAndDescendants");
    EXPECT_TRUE(WaitUntil([&] { return !ProcessAlive(pids[L"0"]); }, 10000));
    for (const wchar_t* i : {L"r", L"r.1", L"r.2"}) EXPECT_TRUE(ProcessAlive(pids[i])) << harness::Narrow(i);
}

TEST(ProcessTree, HasChildrenFalseOnceTheWatcherSawTheEndEvenWithOrphans) {
    harness::TempDir dir(L"tree");
    TreeCleanup cleanup{dir};
    auto mgr = NewMgr();
    EXPECT_FALSE(harness::AsBool(*harness::CallOk(mgr.get(), L"HasChildren").get()));  // nothing launched
    // The parent lives 4 s, its children 30 s.
    ASSERT_TRUE(Exec(mgr.get(), Child(), L"tree 2 4000 \"" + dir.path() + L"\" - 0 30000", true, true));
    ASSERT_TRUE(WaitRecorded(dir, {L"0", L"0.1", L"0.2"}));
    auto pids = Recorded(dir);
    EXPECT_TRUE(harness::AsBool(*harness::CallOk(mgr.get(), L"HasChildren").get()));
    ASSERT_TRUE(WaitFinished(mgr.get()));
    ASSERT_TRUE(ProcessAlive(pids[L"0.1"]));
    EXPECT_FALSE(harness::AsBool(*harness::CallOk(mgr.get(), L"HasChildren").get()));
}

TEST(ProcessTree, KillWithNothingTrackedKillsNothing) {
    harness::TempDir dir(L"tree");
    TreeCleanup cleanup{dir};
    // A process of ours that the object doesn't track survives.
    std::wstring cmd = Child() + L" tree 1 30000 \"" + dir.path() + L"\" -";
    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    common::UniqueHandle process(pi.hProcess), thread(pi.hThread);
    ASSERT_TRUE(WaitRecorded(dir, {L"0"}));
    auto mgr = NewMgr();
    EXPECT_FALSE(Exec(mgr.get(), L"\"Z:\\no\\such\\program.exe\"", L"", true, true));
    EXPECT_HR(S_OK, harness::Call(mgr.get(), L"KillProcessAndDescendants", {}));
    ::Sleep(300);
    EXPECT_TRUE(ProcessAlive(pi.dwProcessId));
}
