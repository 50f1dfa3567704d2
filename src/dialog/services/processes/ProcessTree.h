#pragma once
// A moment's picture of the process tree: parent process id -> child ids in snapshot
// order. Processes whose executable name begins with "rundl" (rundll hosts) are left
// out, so neither they nor anything they started count as descendants.
#include <windows.h>

#include <map>
#include <vector>

class ProcessTree {
public:
    // Takes one snapshot of all processes; false (and an empty tree) when that fails.
    bool Snapshot();

    // Descendants of `pid`, depth-first in pre-order: each child followed at once by its
    // own descendants, children in snapshot order. Empty for id 0; a process already
    // listed is not visited again, so reused ids that make cycles end the walk.
    std::vector<DWORD> Descendants(DWORD pid) const;

    // Enters one process of a snapshot (in snapshot order); rundll hosts are skipped.
    // `created` is the process's creation time (0 when unknown).
    void Add(DWORD pid, DWORD parentPid, const wchar_t* exeName, ULONGLONG created = 0);

    // Whether an executable name (with or without a folder) is one of the rundll hosts.
    static bool IsRundllHost(const wchar_t* exeName) noexcept;

private:
    // A process started before its recorded parent can't be that parent's child: its
    // parent id belongs to an earlier process whose id was reused.
    bool IsChildOf(DWORD child, DWORD parent) const;

    std::map<DWORD, std::vector<DWORD>> children_;
    std::map<DWORD, ULONGLONG> created_;
};
