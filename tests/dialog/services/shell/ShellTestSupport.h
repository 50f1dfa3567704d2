#pragma once
// Helpers for the shell-object tests: the stand-in host process, files written by
// other processes, MD5 digests and calls that report a method's own failure code.
#include <windows.h>
#include <oaidl.h>

#include <array>
#include <string>
#include <vector>

namespace shelltest {

// What a method call made in the stand-in host process returned.
struct HostResult {
    bool ran = false;       // the host ran and wrote its answer
    HRESULT hr = E_FAIL;    // the method's HRESULT
    std::wstring text;      // its result as text
};

// Runs "shell_host call <out> <method> args..." (the host may be a renamed copy, hostExe)
// in workDir and reads its answer.
HostResult HostCall(const std::wstring& method, const std::vector<std::wstring>& args = {},
                    const std::wstring& workDir = L"", const std::wstring& hostExe = L"");

// Waits until a file exists (written whole by its writer) and returns its content.
bool WaitForFile(const std::wstring& path, std::string& content, DWORD timeoutMs = 15000);

std::wstring Utf8ToWide(const std::string& s);


using Block = std::array<BYTE, 16>;
// MD5 of 16 bytes through the platform's cryptographic service.
Block Md5(const Block& data);
void XorInto(Block& acc, const Block& digest);
std::wstring HexUpper(const Block& bytes);

// A named lock shared by every test program of this folder, for tests that change
// machine-wide state (top-level windows, the volume serial, the computer name).
class MachineLock {
public:
    explicit MachineLock(const wchar_t* name);
    ~MachineLock();
    MachineLock(const MachineLock&) = delete;
    MachineLock& operator=(const MachineLock&) = delete;

private:
    HANDLE mutex_;
};

}  // namespace shelltest
