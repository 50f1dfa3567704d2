#include "launcher/Cleanup.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "common/Handle.h"
#include "launcher/Diagnostics.h"
#include "launcher/FolderGuard.h"

namespace ignition {

namespace {

const wchar_t kInstallerMutex[] = L"RUDU2InstallerInst";
const wchar_t kCleanerMutex[] = L"RUDU2MrClean";
const wchar_t kInstallLog[] = L"installLog.txt";
const wchar_t kUninstallLog[] = L"uninstLog.txt";
const wchar_t kInstallerSubfolder[] = L"Installer";
const wchar_t kRebootMarker[] = L"\\rebootPending";
const wchar_t kRunOnceKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const wchar_t kRunOnceValue[] = L"ZOZuzirorir";
const wchar_t kRemoveCommand[] = L"cmd.exe /c \"rmdir /S /Q \"";

constexpr int kRemoveAttempts = 10;
constexpr DWORD kRemovePauseMs = 1000;
constexpr int kDeleteCycles = 10;
constexpr DWORD kDeletePauseMs = 2000;
constexpr int kRemoveDirAttempts = 10;
constexpr DWORD kRemoveDirPauseMs = 2000;

// base joined with more into out (one backslash between); false when it doesn't fit.
bool JoinPath(wchar_t (&out)[MAX_PATH], const wchar_t* base, const wchar_t* more) {
    if (::lstrlenW(base) >= MAX_PATH) return false;
    ::lstrcpynW(out, base, MAX_PATH);
    return ::PathAppendW(out, more) != FALSE;
}

// Appends text to out (capacity MAX_PATH); false when it doesn't fit.
bool AppendText(wchar_t (&out)[MAX_PATH], const wchar_t* text) {
    const int used = ::lstrlenW(out);
    const int n = ::lstrlenW(text);
    if (used + n >= MAX_PATH) return false;
    ::lstrcpynW(out + used, text, MAX_PATH - used);
    return true;
}

bool IsDotOrDotDot(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// Cleanup ends with exit code 0 whatever happens inside it, a fault included.
LONG WINAPI EndQuietly(EXCEPTION_POINTERS*) {
    ::ExitProcess(0);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

void Cleanup::WaitForMutex(const wchar_t* name) {
    Log("WaitForMutex");
    Log(name);
    common::UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, name));
    if (!mutex) {
        const DWORD error = ::GetLastError();  // before the debug output can change it
        Log("CreateMutex FAILED");
        LogErrorCode(error);
        return;
    }
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        // Returns once the holder released or abandoned it; the mutex is then ours and
        // is closed without release, which frees it as well.
        ::WaitForSingleObject(mutex.get(), INFINITE);
        Log("mutex signaled");
    } else {
        Log("mutex did not exist");
    }
}

void Cleanup::DeleteWithRetry(const wchar_t* folder, const wchar_t* fileName) {
    wchar_t path[MAX_PATH];
    auto attempt = [&]() -> bool {
        if (!JoinPath(path, folder, fileName)) return false;
        if (::DeleteFileW(path)) return true;
        const DWORD error = ::GetLastError();
        Log("Failed to delete: ");
        Log(path);
        LogErrorCode(error);
        return error == 0;
    };
    for (int cycle = 0; cycle < kDeleteCycles; ++cycle) {
        if (attempt()) return;
        ::Sleep(kDeletePauseMs);
        if (attempt()) return;
    }
}

bool Cleanup::ShellDelete(const wchar_t* path) {
    // The shell takes a list of paths ending in an empty one.
    wchar_t from[MAX_PATH + 1];
    const int len = ::lstrlenW(path);
    if (len >= MAX_PATH) return false;
    ::CopyMemory(from, path, len * sizeof(wchar_t));
    from[len] = L'\0';
    from[len + 1] = L'\0';

    SHFILEOPSTRUCTW op;
    ::ZeroMemory(&op, sizeof op);
    op.wFunc = FO_DELETE;
    op.pFrom = from;
    // Silent, no confirmation, no recycle bin, and no error box: cleanup runs unattended
    // and must never wait for a click.
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    const int result = ::SHFileOperationW(&op);
    if (result != 0) {
        Log("SHFileOperation FAILED");
        Log(path);
        LogErrorCode(static_cast<DWORD>(result));
        return false;
    }
    if (op.fAnyOperationsAborted) {
        Log("SHFileOperation OperationsAborted");
        Log(path);
        return false;
    }
    return true;
}

bool Cleanup::isEmpty(const wchar_t* folder) {
    wchar_t pattern[MAX_PATH];
    if (!JoinPath(pattern, folder, L"\\*")) return false;
    WIN32_FIND_DATAW entry;
    common::UniqueFindHandle search(::FindFirstFileW(pattern, &entry));
    if (!search) return false;
    // The first entry is the folder itself (".").
    while (::FindNextFileW(search.get(), &entry)) {
        if (IsDotOrDotDot(entry.cFileName)) continue;
        Log("isEmpty Found: ");
        Log(entry.cFileName);
        return false;
    }
    Log("isEmpty is true");
    return true;
}

bool Cleanup::RemoveDir(const wchar_t* folder) {
    if (::RemoveDirectoryW(folder)) return true;
    if (::GetLastError() == ERROR_SHARING_VIOLATION) {
        if (isEmpty(folder)) return ShellDelete(folder);
        Log(".");
    }
    return false;
}

bool Cleanup::TryRemovePaths(const wchar_t* installerFolder, const wchar_t* folder) {
    if (!ShellDelete(installerFolder)) return false;
    for (int i = 0; i < kRemoveDirAttempts; ++i) {
        if (RemoveDir(folder)) return true;
        ::Sleep(kRemoveDirPauseMs);
    }
    return false;
}

void Cleanup::ScheduleRemoval(const wchar_t* installerFolder, const wchar_t* folder) {
    common::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunOnceKey, 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS) return;

    // The folder was checked to fit, so the command is never cut short.
    wchar_t command[MAX_PATH] = L"";
    if (!AppendText(command, kRemoveCommand) || !AppendText(command, folder) || !AppendText(command, L"\"\""))
        return;
    const DWORD bytes = static_cast<DWORD>((::lstrlenW(command) + 1) * sizeof(wchar_t));
    if (::RegSetValueExW(key.get(), kRunOnceValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command), bytes) !=
        ERROR_SUCCESS)
        return;

    wchar_t marker[MAX_PATH];
    if (!JoinPath(marker, installerFolder, kRebootMarker)) return;
    common::UniqueHandle file(::CreateFileW(marker, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    file.reset();
    ::MoveFileExW(marker, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

void Cleanup::Run(const wchar_t* folder) {
    if (!FolderGuard::MayRemove(folder)) return;

    WaitForMutex(kInstallerMutex);
    WaitForMutex(kCleanerMutex);

    DeleteWithRetry(folder, kInstallLog);
    DeleteWithRetry(folder, kUninstallLog);

    wchar_t installerFolder[MAX_PATH];
    if (!JoinPath(installerFolder, folder, kInstallerSubfolder)) return;

    for (int i = 0; i < kRemoveAttempts; ++i) {
        Log("TryRemovePaths");
        if (TryRemovePaths(installerFolder, folder)) break;
        ::Sleep(kRemovePauseMs);
    }

    if (::RemoveDirectoryW(folder)) return;
    // Gone already (file not found) ends here; anything else, a missing parent
    // included, leaves the removal to the next logon.
    if (::GetLastError() < ERROR_PATH_NOT_FOUND) return;
    ScheduleRemoval(installerFolder, folder);
}

int Cleanup::cleanup(int argc, wchar_t** argv) {
    LPTOP_LEVEL_EXCEPTION_FILTER previous = ::SetUnhandledExceptionFilter(&EndQuietly);
    if (argc > 2 && argv && argv[2]) Run(argv[2]);
    ::SetUnhandledExceptionFilter(previous);
    return 0;
}

}  // namespace ignition
