#pragma once
// Small file helpers shared by the stand-ins: they talk to the tests through files
// beside their own module.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace standin {

inline std::wstring ModuleDir(HMODULE module) {
    wchar_t path[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(module, path, MAX_PATH);
    std::wstring p(path, n < MAX_PATH ? n : 0);
    return p.substr(0, p.find_last_of(L'\\'));
}

inline std::string Utf8(const std::wstring& s) {
    if (s.empty()) return {};
    int n = ::WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &out[0], n, nullptr, nullptr);
    return out;
}

inline bool ReadText(const std::wstring& path, std::string& out) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    char buf[4096];
    DWORD n = 0;
    out.clear();
    while (::ReadFile(h, buf, sizeof buf, &n, nullptr) && n) out.append(buf, n);
    ::CloseHandle(h);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) out.pop_back();
    return true;
}

inline void AppendText(const std::wstring& path, const std::string& text) {
    HANDLE h = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(h);
}

inline std::wstring CurrentDir() {
    wchar_t dir[MAX_PATH];
    DWORD n = ::GetCurrentDirectoryW(MAX_PATH, dir);
    return std::wstring(dir, n < MAX_PATH ? n : 0);
}

// A number from a file (decimal or 0x hexadecimal); fallback when there is none.
inline unsigned long NumberFromFile(const std::wstring& path, unsigned long fallback) {
    std::string text;
    if (!ReadText(path, text) || text.empty()) return fallback;
    return std::strtoul(text.c_str(), nullptr, 0);
}

}  // namespace standin
