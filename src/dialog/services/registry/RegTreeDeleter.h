#pragma once
// Deletes a registry key with everything below it, depth first, relative to a root
// key. The path is kept in one buffer of kPathChars characters; a path that would
// not fit is never cut short: the branch is left in place and reported instead.
#include <windows.h>

class RegTreeDeleter {
public:
    static const size_t kPathChars = 520;
    // Longest subkey name read while walking (the rest of a 260-character buffer).
    static const DWORD kNameChars = 260;

    explicit RegTreeDeleter(HKEY root) noexcept : root_(root) {}

    // Deletes `path` (relative to the root) and its subtree. A missing key counts
    // as deleted. Returns false when some key could not be opened or deleted, or
    // when the path is empty or does not fit the buffer.
    bool Delete(const wchar_t* path) noexcept;

private:
    // Works on path_, whose text has length len.
    bool Recurse(size_t len) noexcept;

    HKEY root_;
    wchar_t path_[kPathChars] = {};
};
