#include "dialog/services/shell/DriveChooser.h"

#include <cwchar>
#include <cwctype>

namespace stagehand {

namespace {

// "c:\" and "C:\" are the same root.
bool SameRoot(const wchar_t* a, const wchar_t* b) noexcept {
    for (int i = 0; i < 3; ++i)
        if (std::towupper(a[i]) != std::towupper(b[i])) return false;
    return true;
}

}  // namespace

const DriveApi& DriveApi::System() noexcept {
    static const DriveApi api = {&::GetSystemDirectoryW, &::GetLogicalDrives, &::GetDriveTypeW,
                                 &::GetDiskFreeSpaceExW};
    return api;
}

bool DriveChooser::FreeMegabytes(const wchar_t* root, LONGLONG& mb) const noexcept {
    ULARGE_INTEGER freeToCaller = {}, total = {}, totalFree = {};
    if (!api_.getDiskFreeSpaceExW(root, &freeToCaller, &total, &totalFree)) return false;
    // Decimal megabytes, as drive sizes are advertised.
    mb = static_cast<LONGLONG>(freeToCaller.QuadPart / 1000000ull);
    return true;
}

std::wstring DriveChooser::Choose(int requiredMb) const {
    const LONGLONG required = requiredMb;  // signed: 0 or less is met by any drive

    // The system drive: "X:\" from the system directory; enough when free >= required.
    wchar_t systemRoot[4] = {};
    wchar_t sysdir[MAX_PATH + 1] = {};
    UINT n = api_.getSystemDirectoryW(sysdir, MAX_PATH);
    if (n >= 3 && n < MAX_PATH) {
        std::wmemcpy(systemRoot, sysdir, 3);
        LONGLONG mb = 0;
        if (FreeMegabytes(systemRoot, mb) && mb >= required) return std::wstring(systemRoot, 2);
    }

    // Any other fixed drive in letter order with strictly more than required.
    const DWORD mask = api_.getLogicalDrives();
    for (int bit = 0; bit < 26; ++bit) {
        if (!(mask & (1u << bit))) continue;
        const wchar_t root[4] = {static_cast<wchar_t>(L'A' + bit), L':', L'\\', L'\0'};
        if (SameRoot(root, systemRoot)) continue;
        if (api_.getDriveTypeW(root) != DRIVE_FIXED) continue;
        LONGLONG mb = 0;
        if (FreeMegabytes(root, mb) && mb > required) return std::wstring(root, 2);
    }
    return L"A:";
}

}  // namespace stagehand
