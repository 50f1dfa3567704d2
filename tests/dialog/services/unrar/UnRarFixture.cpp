#include "UnRarFixture.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

#include "common/Handle.h"
#include "stagehand.h"

namespace unrartest {

using harness::Join;

STDMETHODIMP ProgressSink::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID__IUnRarEvents) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ProgressSink::Release() {
    // Owned by the test; never deleted through Release.
    return static_cast<ULONG>(::InterlockedDecrement(&refs_));
}

STDMETHODIMP ProgressSink::GetTypeInfoCount(UINT* count) {
    if (count) *count = 0;
    return S_OK;
}

STDMETHODIMP ProgressSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ProgressSink::Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                  EXCEPINFO*, UINT*) {
    threads.push_back(::GetCurrentThreadId());
    // An event is a method call without a result variant.
    if (id != 1 || lcid != LOCALE_USER_DEFAULT || flags != DISPATCH_METHOD || result || !params ||
        params->cArgs != 1 || params->cNamedArgs != 0 || V_VT(&params->rgvarg[0]) != VT_I4) {
        ++malformed;
        return answer_;
    }
    values.push_back(V_I4(&params->rgvarg[0]));
    return answer_;
}

void UnRarTest::SetUp() {
    wchar_t cwd[MAX_PATH];
    DWORD n = ::GetCurrentDirectoryW(MAX_PATH, cwd);
    ASSERT_TRUE(n > 0 && n < MAX_PATH);
    savedCwd_ = cwd;
    ASSERT_TRUE(::CreateDirectoryW((dir_ / L"bin").c_str(), nullptr));
    InstallLibrary(L"unrar_standin.dll");
    ASSERT_TRUE(::SetCurrentDirectoryW(dir_.path().c_str()));
    unrar_ = harness::Create(L"PebbleUtil.UnRar");
    ASSERT_TRUE(unrar_);
}

void UnRarTest::TearDown() {
    unrar_.reset();
    ::SetCurrentDirectoryW(savedCwd_.c_str());
}

void UnRarTest::InstallLibrary(const wchar_t* library) {
    harness::CopyFileOrThrow(Join(harness::BinDir(), library), dir_ / L"bin\\UnRAR.dll");
}

std::wstring UnRarTest::Archive(const std::wstring& name, const std::string& script) {
    std::wstring path = dir_ / name;
    harness::WriteFile(path, script);
    return path;
}

std::vector<std::string> UnRarTest::CallLog(const std::wstring& archive) {
    std::vector<std::string> lines;
    std::stringstream in(harness::ReadFile(archive + L".log"));
    std::string line;
    while (std::getline(in, line)) {
        // The thread id of the callback registration varies; tests look at it separately.
        if (line.rfind("callback ", 0) == 0) line = line.substr(0, line.find(" thread="));
        lines.push_back(line);
    }
    return lines;
}

HRESULT UnRarTest::Unpack(const std::wstring& archive, const std::wstring& destination) {
    return harness::Call(unrar_.get(), L"Unpack", {harness::Str(archive), harness::Str(destination)});
}

LONG UnRarTest::Percent() { return harness::AsLong(*harness::CallOk(unrar_.get(), L"PercentComplete").get()); }

DWORD UnRarTest::Connect(ProgressSink* sink) {
    common::ComPtr<IConnectionPointContainer> container;
    EXPECT_HR(S_OK, unrar_->QueryInterface(IID_IConnectionPointContainer, container.put_void()));
    if (!container) return 0;
    common::ComPtr<IConnectionPoint> point;
    EXPECT_HR(S_OK, container->FindConnectionPoint(DIID__IUnRarEvents, point.put()));
    if (!point) return 0;
    DWORD cookie = 0;
    EXPECT_HR(S_OK, point->Advise(sink, &cookie));
    return cookie;
}

void UnRarTest::Disconnect(DWORD cookie) {
    common::ComPtr<IConnectionPointContainer> container;
    ASSERT_HR(S_OK, unrar_->QueryInterface(IID_IConnectionPointContainer, container.put_void()));
    common::ComPtr<IConnectionPoint> point;
    ASSERT_HR(S_OK, container->FindConnectionPoint(DIID__IUnRarEvents, point.put()));
    EXPECT_HR(S_OK, point->Unadvise(cookie));
}

void ShippedUnRarTest::SetUp() {
    UnRarTest::SetUp();
    if (!HasFatalFailure()) InstallLibrary(L"UnRAR.dll");
}

std::wstring ShippedUnRarTest::Sample(const std::wstring& uuName, const std::wstring& as) {
    const std::string text = harness::ReadFile(Join(harness::BinDir(), L"rarsamples\\" + uuName));
    if (text.empty()) throw std::runtime_error("sample missing: " + harness::Narrow(uuName));
    const std::string bytes = UuDecode(text);
    // Named after the sample file: the names inside are often "-", and volume sets
    // keep their numbering.
    const std::wstring path = dir_ / (as.empty() ? uuName.substr(0, uuName.size() - 3) : as);
    harness::WriteFile(path, bytes);
    return path;
}

std::string UuDecode(const std::string& text, std::string* name) {
    std::stringstream in(text);
    std::string line;
    while (std::getline(in, line) && line.rfind("begin ", 0) != 0) {
    }
    if (line.rfind("begin ", 0) != 0) throw std::runtime_error("not uuencoded");
    if (name) {
        // "begin 644 name"
        const size_t space = line.find(' ', 6);
        *name = space == std::string::npos ? std::string() : line.substr(space + 1);
        while (!name->empty() && (name->back() == '\r' || name->back() == ' ')) name->pop_back();
    }
    // Each character carries 6 bits as (c - 32) & 63 (a backquote is 0); the first
    // character of a line is its byte count.
    auto value = [](char c) { return static_cast<unsigned>((c - 32) & 63); };
    std::string out;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "end") return out;
        if (line.empty()) continue;
        const unsigned count = value(line[0]);
        std::string bytes;
        for (size_t i = 1; i < line.size() && bytes.size() < count; i += 4) {
            unsigned v = 0;
            for (size_t k = 0; k < 4; ++k) v = (v << 6) | (i + k < line.size() ? value(line[i + k]) : 0);
            bytes += static_cast<char>((v >> 16) & 0xFF);
            bytes += static_cast<char>((v >> 8) & 0xFF);
            bytes += static_cast<char>(v & 0xFF);
        }
        if (bytes.size() < count) throw std::runtime_error("short uuencoded line");
        out.append(bytes, 0, count);
    }
    throw std::runtime_error("uuencoded text without end");
}

namespace {
void TreeBelow(const std::wstring& root, const std::wstring& prefix, std::vector<std::wstring>& out) {
    WIN32_FIND_DATAW fd;
    common::UniqueFindHandle f(::FindFirstFileW((root + L"\\*").c_str(), &fd));
    if (!f) return;
    do {
        const std::wstring n = fd.cFileName;
        if (n == L"." || n == L"..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.push_back(prefix + n + L"\\");
            TreeBelow(root + L"\\" + n, prefix + n + L"\\", out);
        } else {
            out.push_back(prefix + n);
        }
    } while (::FindNextFileW(f.get(), &fd));
}
}  // namespace

std::vector<std::wstring> Tree(const std::wstring& root) {
    std::vector<std::wstring> out;
    TreeBelow(root, L"", out);
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace unrartest
