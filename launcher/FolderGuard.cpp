#include "launcher/FolderGuard.h"

#include <shlobj.h>

#include "common/Handle.h"
#include "launcher/Diagnostics.h"

namespace ignition {

namespace {

bool IsSlash(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// Characters no folder name holds, and "%", which cmd.exe would expand in the logon
// command; a double quote there could otherwise end the quoted folder early.
bool HasUnsafeCharacter(const wchar_t* path) {
    for (const wchar_t* p = path; *p; ++p) {
        if (*p < 32) return true;
        switch (*p) {
            case L'"': case L'<': case L'>': case L'|': case L'*': case L'?': case L'%': return true;
            case L':':
                if (p != path + 1) return true;  // only after the drive letter
                break;
            default: break;
        }
    }
    return false;
}

void Refuse(const char* reason, const wchar_t* folder) {
    Log(reason);
    Log(folder);
}

}  // namespace

bool FolderGuard::IsAbsolute(const wchar_t* path) {
    // "X:\..." with a drive letter.
    if (IsDriveLetter(path[0]) && path[1] == L':' && IsSlash(path[2])) return true;
    // "\\server\share\..."; device and literal forms ("\\?\", "\\.\") are not accepted.
    return path[0] == L'\\' && path[1] == L'\\' && path[2] && path[2] != L'?' && path[2] != L'.' &&
           !IsSlash(path[2]);
}

bool FolderGuard::Normalize(const wchar_t* path, wchar_t (&out)[MAX_PATH]) {
    wchar_t full[MAX_PATH];
    DWORD n = ::GetFullPathNameW(path, MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH) return false;
    // Short (8.3) names of existing folders are compared in their long form.
    n = ::GetLongPathNameW(full, out, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) ::lstrcpynW(out, full, MAX_PATH);
    int len = ::lstrlenW(out);
    while (len > 3 && IsSlash(out[len - 1])) out[--len] = L'\0';
    for (int i = 0; i < len; ++i)
        if (out[i] == L'/') out[i] = L'\\';
    ::CharUpperBuffW(out, static_cast<DWORD>(len));
    return true;
}

bool FolderGuard::IsRoot(const wchar_t* normalized) {
    if (IsDriveLetter(normalized[0]) && normalized[1] == L':')
        return normalized[2] == L'\0' || (normalized[2] == L'\\' && normalized[3] == L'\0');
    if (normalized[0] == L'\\' && normalized[1] == L'\\') {
        // \\server\share with nothing (or only a backslash) after the share name.
        const wchar_t* p = normalized + 2;
        int separators = 0;
        for (; *p; ++p) {
            if (*p == L'\\' && ++separators == 2) break;
        }
        return *p == L'\0' || p[1] == L'\0';
    }
    return true;
}

bool FolderGuard::Covers(const wchar_t* folder, const wchar_t* protectedPath) {
    int i = 0;
    while (folder[i] && folder[i] == protectedPath[i]) ++i;
    if (folder[i] != L'\0') return false;
    // Equal, or the protected path continues below the folder.
    return protectedPath[i] == L'\0' || protectedPath[i] == L'\\' || (i > 0 && folder[i - 1] == L'\\');
}

template <typename Visit>
bool FolderGuard::AnyProtectedFolder(Visit&& visit) {
    wchar_t path[MAX_PATH];

    if (::GetWindowsDirectoryW(path, MAX_PATH) - 1u < MAX_PATH - 1u && visit(path)) return true;
    if (::GetSystemWindowsDirectoryW(path, MAX_PATH) - 1u < MAX_PATH - 1u && visit(path)) return true;
    if (::GetSystemDirectoryW(path, MAX_PATH) - 1u < MAX_PATH - 1u && visit(path)) return true;
    // The temporary folder itself (a folder below it may be cleaned up).
    if (::GetTempPathW(MAX_PATH, path) - 1u < MAX_PATH - 1u && visit(path)) return true;

    static const int kFolders[] = {CSIDL_WINDOWS,          CSIDL_SYSTEM,           CSIDL_SYSTEMX86,
                                   CSIDL_PROGRAM_FILES,    CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMON,
                                   CSIDL_COMMON_APPDATA,   CSIDL_PROFILE,          CSIDL_COMMON_DOCUMENTS,
                                   CSIDL_PERSONAL,         CSIDL_DESKTOPDIRECTORY, CSIDL_APPDATA,
                                   CSIDL_LOCAL_APPDATA};
    for (int csidl : kFolders) {
        if (::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) continue;
        if (visit(path)) return true;
        if (csidl == CSIDL_PROFILE) {
            // The folder holding every user's profile.
            int len = ::lstrlenW(path);
            while (len > 0 && !IsSlash(path[len - 1])) --len;
            while (len > 0 && IsSlash(path[len - 1])) --len;
            path[len] = L'\0';
            if (len > 2 && visit(path)) return true;
        }
    }

    static const wchar_t* const kVariables[] = {L"ProgramFiles", L"ProgramW6432",    L"CommonProgramFiles",
                                                L"ProgramData",  L"ALLUSERSPROFILE", L"USERPROFILE",
                                                L"PUBLIC",       L"SystemRoot",      L"windir",
                                                L"TEMP",         L"TMP",             L"APPDATA",
                                                L"LOCALAPPDATA"};
    for (const wchar_t* name : kVariables) {
        DWORD n = ::GetEnvironmentVariableW(name, path, MAX_PATH);
        if (n > 0 && n < MAX_PATH && visit(path)) return true;
    }

    // The profiles folder as the system records it.
    common::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", 0,
                        KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS) {
        wchar_t raw[MAX_PATH];
        DWORD bytes = sizeof raw - sizeof(wchar_t);
        DWORD type = 0;
        if (::RegQueryValueExW(key.get(), L"ProfilesDirectory", nullptr, &type, reinterpret_cast<BYTE*>(raw),
                               &bytes) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ)) {
            raw[bytes / sizeof(wchar_t)] = L'\0';
            DWORD n = ::ExpandEnvironmentStringsW(raw, path, MAX_PATH);
            if (n > 0 && n <= MAX_PATH && visit(path)) return true;
        }
    }
    return false;
}

bool FolderGuard::IsProtected(const wchar_t* normalized) {
    wchar_t norm[MAX_PATH];
    return AnyProtectedFolder([&](const wchar_t* candidate) {
        return candidate[0] && Normalize(candidate, norm) && Covers(normalized, norm);
    });
}

bool FolderGuard::ReadIdentity(const wchar_t* path, Identity& id) {
    // No access rights are needed to read a folder's identity; backup semantics open
    // folders, and junctions are followed to the folder they name.
    common::UniqueHandle folder(::CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(folder.get(), &info)) return false;
    id.volume = info.dwVolumeSerialNumber;
    id.indexHigh = info.nFileIndexHigh;
    id.indexLow = info.nFileIndexLow;
    return true;
}

bool FolderGuard::IsProtectedIdentity(const Identity& target) {
    return AnyProtectedFolder([&](const wchar_t* candidate) {
        // The protected folder and each of its ancestors, as the file system knows them.
        wchar_t path[MAX_PATH];
        if (!candidate[0] || !Normalize(candidate, path)) return false;
        for (int len = ::lstrlenW(path); len > 0;) {
            Identity id;
            if (ReadIdentity(path, id) && id == target) return true;
            while (len > 0 && path[len - 1] != L'\\') --len;   // up to the parent's separator
            if (len <= 3) break;                               // the root is refused on its own
            path[--len] = L'\0';
        }
        return false;
    });
}

bool FolderGuard::IsAdministrativeShare(const wchar_t* normalized) {
    // \\host\share\...: shares whose name ends in "$" (C$, ADMIN$, ...) expose whole
    // drives and the Windows folder whatever the host is called.
    if (normalized[0] != L'\\' || normalized[1] != L'\\') return false;
    const wchar_t* share = normalized + 2;
    while (*share && *share != L'\\') ++share;
    if (!*share) return false;
    const wchar_t* end = ++share;
    while (*end && *end != L'\\') ++end;
    return end > share && end[-1] == L'$';
}

bool FolderGuard::MayRemove(const wchar_t* folder) {
    const int len = ::lstrlenW(folder);
    if (len == 0 || !IsAbsolute(folder)) {
        Refuse("cleanup refused, not an absolute path: ", folder);
        return false;
    }
    if (HasUnsafeCharacter(folder)) {
        Refuse("cleanup refused, invalid characters: ", folder);
        return false;
    }
    if (len > kMaxFolderChars) {
        Refuse("cleanup refused, path too long: ", folder);
        return false;
    }
    wchar_t normalized[MAX_PATH];
    if (!Normalize(folder, normalized)) {
        Refuse("cleanup refused, path too long: ", folder);
        return false;
    }
    if (IsRoot(normalized)) {
        Refuse("cleanup refused, drive or share root: ", folder);
        return false;
    }
    if (IsAdministrativeShare(normalized)) {
        Refuse("cleanup refused, administrative share: ", folder);
        return false;
    }
    if (IsProtected(normalized)) {
        Refuse("cleanup refused, system or profile folder: ", folder);
        return false;
    }
    // Another name for a protected folder (a share, a substituted drive, a junction)
    // passes the text comparison; the file system's identity of the folder does not.
    Identity id;
    if (ReadIdentity(normalized, id) && IsProtectedIdentity(id)) {
        Refuse("cleanup refused, system or profile folder: ", folder);
        return false;
    }
    return true;
}

}  // namespace ignition
