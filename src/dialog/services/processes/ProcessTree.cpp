#include "dialog/services/processes/ProcessTree.h"

#include <tlhelp32.h>
#include <wchar.h>

#include <set>

#include "common/Handle.h"

bool ProcessTree::IsRundllHost(const wchar_t* exeName) noexcept {
    if (!exeName) return false;
    const wchar_t* base = exeName;
    for (const wchar_t* p = exeName; *p; ++p)
        if (*p == L'\\' || *p == L'/') base = p + 1;
    return ::_wcsnicmp(base, L"rundl", 5) == 0;
}

namespace {
// From Vista on, protected and system processes refuse PROCESS_QUERY_INFORMATION but
// grant the limited right, which is enough for their times; older systems know only
// the full right (and refuse the unknown limited one).
ULONGLONG CreationTime(DWORD pid) {
    common::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) process.reset(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
    FILETIME created, exited, kernel, user;
    if (!process || !::GetProcessTimes(process.get(), &created, &exited, &kernel, &user)) return 0;
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}
}  // namespace

bool ProcessTree::Snapshot() {
    children_.clear();
    created_.clear();
    common::UniqueHandle snap(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap) return false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snap.get(), &entry); more; more = ::Process32NextW(snap.get(), &entry)) {
        entry.szExeFile[MAX_PATH - 1] = L'\0';
        Add(entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile, CreationTime(entry.th32ProcessID));
    }
    return true;
}

void ProcessTree::Add(DWORD pid, DWORD parentPid, const wchar_t* exeName, ULONGLONG created) {
    if (created) created_[pid] = created;
    if (IsRundllHost(exeName)) return;
    if (pid == parentPid) return;  // the idle process is its own parent
    children_[parentPid].push_back(pid);
}

bool ProcessTree::IsChildOf(DWORD child, DWORD parent) const {
    // A process whose age is unknown could be anyone's: it is never taken for a child
    // (killing it, or waiting for it forever, would hit an unrelated process).
    auto c = created_.find(child);
    if (c == created_.end()) return false;
    auto p = created_.find(parent);
    return p == created_.end() || c->second >= p->second;
}

std::vector<DWORD> ProcessTree::Descendants(DWORD pid) const {
    std::vector<DWORD> out;
    if (pid == 0) return out;
    std::set<DWORD> seen{pid};
    // Explicit stack instead of recursion: children pushed in reverse so that they come
    // off in snapshot order.
    std::vector<DWORD> stack;
    auto pushChildren = [&](DWORD parent) {
        auto it = children_.find(parent);
        if (it == children_.end()) return;
        for (auto c = it->second.rbegin(); c != it->second.rend(); ++c)
            if (IsChildOf(*c, parent)) stack.push_back(*c);
    };
    pushChildren(pid);
    while (!stack.empty()) {
        DWORD id = stack.back();
        stack.pop_back();
        if (id == 0 || !seen.insert(id).second) continue;
        out.push_back(id);
        pushChildren(id);
    }
    return out;
}
