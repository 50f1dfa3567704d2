#pragma once
// Decides whether a folder given to cleanup mode may be removed at all. Cleanup deletes
// trees and schedules "rmdir /S /Q" for the next logon, so a wrong argument must not
// reach a drive, a share or a folder Windows or the user's profile depends on.
#include <windows.h>

namespace ignition {

class FolderGuard {
public:
    // Longest folder whose every derived text fits a MAX_PATH buffer: the marker
    // "<folder>\Installer\rebootPending" and the logon command
    // cmd.exe /c "rmdir /S /Q "<folder>"" (the longer one, 27 characters more).
    static constexpr int kMaxFolderChars = MAX_PATH - 1 - 27;

    // True when the folder may be cleaned up; otherwise logs why and returns false.
    static bool MayRemove(const wchar_t* folder);

private:
    // Full, long-name form without trailing backslash (a drive root keeps it).
    // False when the result doesn't fit.
    static bool Normalize(const wchar_t* path, wchar_t (&out)[MAX_PATH]);
    static bool IsAbsolute(const wchar_t* path);
    static bool IsRoot(const wchar_t* normalized);
    // True when `folder` is `protectedPath` or one of its ancestors.
    static bool Covers(const wchar_t* folder, const wchar_t* protectedPath);
    static bool IsProtected(const wchar_t* normalized);
    static bool IsAdministrativeShare(const wchar_t* normalized);

    // A folder as the file system identifies it, whatever the path that reached it.
    struct Identity {
        DWORD volume = 0;
        DWORD indexHigh = 0;
        DWORD indexLow = 0;
        bool operator==(const Identity& o) const {
            return volume == o.volume && indexHigh == o.indexHigh && indexLow == o.indexLow;
        }
    };
    static bool ReadIdentity(const wchar_t* path, Identity& id);
    // True when the identity is that of a protected folder or of one of its ancestors.
    static bool IsProtectedIdentity(const Identity& id);
    // Calls visit(path) for each protected folder until it returns true.
    template <typename Visit>
    static bool AnyProtectedFolder(Visit&& visit);
};

}  // namespace ignition
