#pragma once
// Chooses the drive for an installation that needs a number of decimal megabytes:
// the system drive when it has at least that much free, else the first other fixed
// drive with more than that, else drive A.
#include <windows.h>

#include <string>

namespace stagehand {

// The platform calls the choice is made from. System() gives the real ones; a test
// may supply its own to describe other drives and free space.
struct DriveApi {
    UINT(WINAPI* getSystemDirectoryW)(LPWSTR buffer, UINT size);
    DWORD(WINAPI* getLogicalDrives)();
    UINT(WINAPI* getDriveTypeW)(LPCWSTR root);
    BOOL(WINAPI* getDiskFreeSpaceExW)(LPCWSTR root, PULARGE_INTEGER freeToCaller, PULARGE_INTEGER total,
                                      PULARGE_INTEGER totalFree);

    static const DriveApi& System() noexcept;
};

class DriveChooser {
public:
    explicit DriveChooser(const DriveApi& api = DriveApi::System()) noexcept : api_(api) {}

    // The chosen drive as letter and colon ("C:"), never with a backslash.
    std::wstring Choose(int requiredMb) const;

private:
    // Free space available to the caller in decimal megabytes; false when unreadable.
    bool FreeMegabytes(const wchar_t* root, LONGLONG& mb) const noexcept;

    const DriveApi& api_;
};

}  // namespace stagehand
