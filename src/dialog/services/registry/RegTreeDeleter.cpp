#include "dialog/services/registry/RegTreeDeleter.h"

#include <cwchar>

#include "dialog/services/registry/RegDebug.h"
#include "common/Handle.h"

bool RegTreeDeleter::Delete(const wchar_t* path) noexcept {
    if (!path || !*path) return false;
    size_t len = std::wcslen(path);
    if (len >= kPathChars) {
        RegDebug("RegDelnodeRecurse path too long:", path);
        return false;
    }
    std::wmemcpy(path_, path, len + 1);
    return Recurse(len);
}

bool RegTreeDeleter::Recurse(size_t len) noexcept {
    // A key without subkeys goes at once.
    if (::RegDeleteKeyW(root_, path_) == ERROR_SUCCESS) return true;

    common::UniqueKey key;
    LONG err = ::RegOpenKeyExW(root_, path_, 0, KEY_READ, key.put());
    if (err == ERROR_FILE_NOT_FOUND) {
        RegDebug("RegDelnodeRecurse Key not found:", path_);
        return true;
    }
    if (err != ERROR_SUCCESS) {
        RegDebug("RegDelnodeRecurse Error opening key:", path_, static_cast<DWORD>(err));
        return false;
    }

    size_t base = len;
    if (base == 0 || path_[base - 1] != L'\\') {
        if (base + 2 > kPathChars) {
            RegDebug("RegDelnodeRecurse path too long:", path_);
            return false;
        }
        path_[base++] = L'\\';
        path_[base] = L'\0';
    }

    // Index 0 each time: the subkey just deleted is gone, so the next one moves up.
    bool ok = true;
    wchar_t name[kNameChars];
    wchar_t last[kNameChars];
    last[0] = L'\0';
    for (;;) {
        DWORD nameLen = kNameChars;
        if (::RegEnumKeyExW(key.get(), 0, name, &nameLen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        // A subkey that reported success but is still listed (it vanished while being
        // opened, or cannot be reached by its path) would be met again forever.
        if (last[0] && std::wcscmp(last, name) == 0) {
            ok = false;
            break;
        }
        if (base + nameLen + 1 > kPathChars) {
            path_[base] = L'\0';
            RegDebug("RegDelnodeRecurse path too long:", path_);
            ok = false;
            break;
        }
        std::wmemcpy(path_ + base, name, nameLen + 1);
        if (!Recurse(base + nameLen)) {
            ok = false;
            break;
        }
        std::wmemcpy(last, name, nameLen + 1);
    }

    // Back to the path as it was given.
    path_[len] = L'\0';
    key.reset();
    return ::RegDeleteKeyW(root_, path_) == ERROR_SUCCESS && ok;
}
