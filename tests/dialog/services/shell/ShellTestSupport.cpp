#include "ShellTestSupport.h"

#include <gtest/gtest.h>
#include <wincrypt.h>

#include "Harness.h"

namespace shelltest {

HostResult HostCall(const std::wstring& method, const std::vector<std::wstring>& args, const std::wstring& workDir,
                    const std::wstring& hostExe) {
    HostResult r;
    harness::TempDir out(L"hostcall");
    const std::wstring answer = out / L"answer.txt";
    const std::wstring exe = hostExe.empty() ? harness::Join(harness::BinDir(), L"shell_host.exe") : hostExe;
    std::wstring cmd = L"\"" + exe + L"\" call \"" + answer + L"\" " + method;
    for (const auto& a : args) cmd += L" \"" + a + L"\"";
    harness::ProcessResult p = harness::Run(cmd, workDir, 60000);
    if (p.timedOut || p.exitCode != 0 || !harness::FileExists(answer)) {
        ADD_FAILURE() << "host call " << harness::Narrow(method) << " failed, exit " << p.exitCode;
        return r;
    }
    const std::wstring content = Utf8ToWide(harness::ReadFile(answer));
    const size_t eol = content.find(L'\n');
    r.ran = eol != std::wstring::npos;
    r.hr = static_cast<HRESULT>(std::wcstoul(content.substr(0, eol).c_str(), nullptr, 16));
    if (r.ran) r.text = content.substr(eol + 1);
    return r;
}

bool WaitForFile(const std::wstring& path, std::string& content, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (!harness::FileExists(path)) {
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(50);
    }
    content = harness::ReadFile(path);
    return true;
}

std::wstring Utf8ToWide(const std::string& s) {
    if (s.empty()) return {};
    int n = ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

Block Md5(const Block& data) {
    Block digest = {};
    HCRYPTPROV prov = 0;
    if (!::CryptAcquireContextW(&prov, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        ADD_FAILURE() << "no crypto provider";
        return digest;
    }
    HCRYPTHASH hash = 0;
    DWORD size = sizeof digest;
    bool ok = ::CryptCreateHash(prov, CALG_MD5, 0, 0, &hash) && ::CryptHashData(hash, data.data(), 16, 0) &&
              ::CryptGetHashParam(hash, HP_HASHVAL, digest.data(), &size, 0);
    EXPECT_TRUE(ok) << "MD5 failed";
    if (hash) ::CryptDestroyHash(hash);
    ::CryptReleaseContext(prov, 0);
    return digest;
}

void XorInto(Block& acc, const Block& digest) {
    for (size_t i = 0; i < acc.size(); ++i) acc[i] ^= digest[i];
}

std::wstring HexUpper(const Block& bytes) {
    std::wstring s;
    wchar_t two[3];
    for (BYTE b : bytes) {
        swprintf(two, 3, L"%02X", b);
        s += two;
    }
    return s;
}

MachineLock::MachineLock(const wchar_t* name) : mutex_(::CreateMutexW(nullptr, FALSE, name)) {
    DWORD w = ::WaitForSingleObject(mutex_, 120000);
    if (w != WAIT_OBJECT_0 && w != WAIT_ABANDONED) ADD_FAILURE() << "lock busy";
}

MachineLock::~MachineLock() {
    ::ReleaseMutex(mutex_);
    ::CloseHandle(mutex_);
}

}  // namespace shelltest
