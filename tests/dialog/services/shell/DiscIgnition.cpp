// Stand-in for a disc's common\bin\ignition.exe: records how it was started (the
// raw command line, the arguments as the platform parses them, the current folder)
// into launch.txt next to itself, then ends.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& s) {
    if (s.empty()) return {};
    int n = ::WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &out[0], n, nullptr, nullptr);
    return out;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t self[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir(self, n);
    dir = dir.substr(0, dir.find_last_of(L'\\'));

    wchar_t cwd[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, cwd);

    std::wstring record = L"cmdline=" + std::wstring(::GetCommandLineW()) + L"\n";
    record += L"cwd=" + std::wstring(cwd) + L"\n";
    int argc = 0;
    if (LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc)) {
        for (int i = 1; i < argc; ++i) record += L"arg=" + std::wstring(argv[i]) + L"\n";
        ::LocalFree(argv);
    }

    // Written under another name first so a reader never sees half a record.
    const std::wstring tmp = dir + L"\\launch.tmp", done = dir + L"\\launch.txt";
    HANDLE h = ::CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 2;
    const std::string bytes = Utf8(record);
    DWORD written = 0;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(h);
    return ::MoveFileExW(tmp.c_str(), done.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 3;
}
