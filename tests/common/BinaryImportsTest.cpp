// Every binary in the build folder runs without the MinGW runtime DLLs, and the COM
// servers export their entry points undecorated.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Harness.h"
#include "common/Handle.h"

namespace {

struct PeFile {
    std::string bytes;
    const IMAGE_NT_HEADERS32* nt = nullptr;

    explicit PeFile(const std::wstring& path) : bytes(harness::ReadFile(path)) {
        if (bytes.size() < sizeof(IMAGE_DOS_HEADER)) return;
        auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
        if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew + sizeof(IMAGE_NT_HEADERS32) > bytes.size()) return;
        nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(bytes.data() + dos->e_lfanew);
    }
    // File offset of a relative virtual address, or 0.
    size_t Offset(DWORD rva) const {
        auto sec = IMAGE_FIRST_SECTION(nt);
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++sec) {
            if (rva >= sec->VirtualAddress && rva < sec->VirtualAddress + sec->Misc.VirtualSize)
                return rva - sec->VirtualAddress + sec->PointerToRawData;
        }
        return 0;
    }
    const char* Str(DWORD rva) const {
        size_t o = Offset(rva);
        return o && o < bytes.size() ? bytes.data() + o : "";
    }
    std::vector<std::string> Imports() const {
        std::vector<std::string> out;
        auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        if (!dir.VirtualAddress) return out;
        for (size_t o = Offset(dir.VirtualAddress); o + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= bytes.size();
             o += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
            auto d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(bytes.data() + o);
            if (!d->Name) break;
            out.push_back(Str(d->Name));
        }
        return out;
    }
    std::vector<std::string> Exports() const {
        std::vector<std::string> out;
        auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
        if (!dir.VirtualAddress) return out;
        auto e = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(bytes.data() + Offset(dir.VirtualAddress));
        auto names = reinterpret_cast<const DWORD*>(bytes.data() + Offset(e->AddressOfNames));
        for (DWORD i = 0; i < e->NumberOfNames; ++i) out.push_back(Str(names[i]));
        return out;
    }
};

std::vector<std::wstring> Binaries() {
    std::vector<std::wstring> out;
    for (const wchar_t* pattern : {L"*.dll", L"*.exe"}) {
        WIN32_FIND_DATAW fd;
        common::UniqueFindHandle f(::FindFirstFileW(harness::Join(harness::BinDir(), pattern).c_str(), &fd));
        if (!f) continue;
        do out.push_back(fd.cFileName);
        while (::FindNextFileW(f.get(), &fd));
    }
    return out;
}

bool IsMinGwRuntime(std::string name) {
    for (auto& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return name.find("libgcc") == 0 || name.find("libstdc++") == 0 || name.find("libwinpthread") == 0 ||
           name.find("mingw") != std::string::npos;
}

}  // namespace

TEST(Binaries, NoneImportsAMinGwRuntimeDll) {
    auto all = Binaries();
    ASSERT_FALSE(all.empty());
    for (const auto& name : all) {
        PeFile pe(harness::Join(harness::BinDir(), name));
        ASSERT_NE(nullptr, pe.nt) << harness::Narrow(name);
        EXPECT_EQ(IMAGE_FILE_MACHINE_I386, pe.nt->FileHeader.Machine) << harness::Narrow(name);
        for (const auto& dll : pe.Imports()) EXPECT_FALSE(IsMinGwRuntime(dll)) << harness::Narrow(name) << " imports " << dll;
    }
}

TEST(Binaries, ServersExportTheFourEntryPointsUndecorated) {
    for (const wchar_t* server : {L"stagehand.dll", L"browserprobe.dll", L"toolbarprobe.dll"}) {
        const std::wstring path = harness::Join(harness::BinDir(), server);
        if (server != std::wstring(L"stagehand.dll") && !harness::FileExists(path)) continue;
        PeFile pe(path);
        ASSERT_NE(nullptr, pe.nt) << harness::Narrow(server);
        auto exports = pe.Exports();
        for (const char* want : {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"}) {
            bool found = false;
            for (auto& e : exports) found = found || e == want;
            EXPECT_TRUE(found) << harness::Narrow(server) << " lacks " << want;
        }
        for (auto& e : exports) EXPECT_EQ(std::string::npos, e.find('@')) << e;
    }
}

TEST(Binaries, ShippedBinariesCarryVersionInformation) {
    int checked = 0;
    for (const wchar_t* name : {L"stagehand.dll", L"ZOZuzirorirPaths.dll", L"ignition.exe", L"browserprobe.dll",
                                L"toolbarprobe.dll", L"suitebridge.dll"}) {
        const std::wstring path = harness::Join(harness::BinDir(), name);
        if (!harness::FileExists(path)) continue;
        DWORD handle = 0;
        DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
        ASSERT_GT(size, 0u) << harness::Narrow(name);
        std::vector<char> data(size);
        ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT len = 0;
        ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
        EXPECT_EQ(VS_FFI_SIGNATURE, fixed->dwSignature);
        EXPECT_EQ(1u, HIWORD(fixed->dwFileVersionMS)) << harness::Narrow(name);
        ++checked;
    }
    EXPECT_GE(checked, 2);

    // UnRAR.dll is built from its maker's source and keeps the version resource that
    // source gives it, not ours.
    const std::wstring unrar = harness::Join(harness::BinDir(), L"UnRAR.dll");
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeW(unrar.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(::GetFileVersionInfoW(unrar.c_str(), 0, size, data.data()));
    wchar_t* product = nullptr;
    UINT len = 0;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\StringFileInfo\\040904E4\\ProductName",
                                 reinterpret_cast<void**>(&product), &len));
    EXPECT_EQ(std::wstring(L"RAR decompression library"), std::wstring(product));
    VS_FIXEDFILEINFO* fixed = nullptr;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
    EXPECT_GE(HIWORD(fixed->dwFileVersionMS), 6u);
}
