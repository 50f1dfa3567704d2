#include "dialog/services/shell/ProcessKiller.h"

// The psapi.dll entry points, present on every Windows version the server runs on.
#define PSAPI_VERSION 1
#include <psapi.h>

#include <cwchar>
#include <vector>

#include "common/Handle.h"

namespace stagehand {

namespace {

BOOL WINAPI RealEnumProcesses(DWORD* ids, DWORD bytes, DWORD* bytesReturned) {
    return ::EnumProcesses(ids, bytes, bytesReturned);
}

// The process ids of the machine. The list call doesn't say how many there are, so
// the buffer grows until the list comes back with room to spare.
std::vector<DWORD> ProcessIds(const ProcessListApi& api) {
    std::vector<DWORD> ids(1024);
    for (;;) {
        const DWORD bytes = static_cast<DWORD>(ids.size() * sizeof(DWORD));
        DWORD returned = 0;
        if (!api.enumProcesses(ids.data(), bytes, &returned)) return {};
        if (returned < bytes) {
            ids.resize(returned / sizeof(DWORD));
            return ids;
        }
        if (ids.size() >= (1u << 22)) return ids;  // no machine has this many processes
        ids.resize(ids.size() * 2);
    }
}

// The base name of the process's first module; false when it can't be read.
bool ImageName(DWORD pid, wchar_t (&name)[MAX_PATH + 1]) noexcept {
    common::UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process) return false;
    HMODULE first = nullptr;
    DWORD needed = 0;
    if (!::EnumProcessModules(process.get(), &first, sizeof first, &needed) || !first) return false;
    DWORD n = ::GetModuleBaseNameW(process.get(), first, name, MAX_PATH);
    if (n == 0) return false;
    name[n < MAX_PATH ? n : MAX_PATH] = L'\0';
    return true;
}

}  // namespace

const ProcessListApi& ProcessListApi::System() noexcept {
    static const ProcessListApi api = {&RealEnumProcesses};
    return api;
}

bool ProcessKiller::Kill(const wchar_t* imageName, ULONG& result) const {
    result = kNoneFound;
    const std::vector<DWORD> ids = ProcessIds(api_);
    if (ids.empty()) return false;
    const wchar_t* wanted = imageName ? imageName : L"";
    for (DWORD pid : ids) {
        wchar_t name[MAX_PATH + 1] = {};
        if (!ImageName(pid, name) || std::wcscmp(name, wanted) != 0) continue;
        result = kNotEnded;
        common::UniqueHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, pid));
        if (process && ::TerminateProcess(process.get(), 0)) {
            result = kEnded;
            break;
        }
    }
    return true;
}

}  // namespace stagehand
