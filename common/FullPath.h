#pragma once
// The full path of a path name, as the system resolves it against the current folder.
#include <string>

namespace common {

// `path` made absolute, "." and ".." resolved; empty (with the thread's last error set)
// when the system gives none. May throw std::bad_alloc.
std::wstring FullPath(const wchar_t* path);

}  // namespace common
