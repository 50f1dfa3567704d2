// The module's binary interface: one export, the Lua 5.0 entry points it imports from
// lua50.dll by their undecorated names, no compiler runtime DLL; and the test runtime
// exporting every one of those names.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>

#include "Harness.h"

namespace {

// A DLL mapped as an image without running or resolving anything.
class MappedImage {
public:
    explicit MappedImage(const std::wstring& path)
        : module_(::LoadLibraryExW(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES)) {}
    ~MappedImage() {
        if (module_) ::FreeLibrary(module_);
    }
    MappedImage(const MappedImage&) = delete;
    MappedImage& operator=(const MappedImage&) = delete;

    bool ok() const { return module_ != nullptr; }

    std::set<std::string> Exports() const {
        std::set<std::string> names;
        const IMAGE_DATA_DIRECTORY& dir = Directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
        if (!dir.VirtualAddress) return names;
        auto* exports = At<IMAGE_EXPORT_DIRECTORY>(dir.VirtualAddress);
        auto* nameRvas = At<DWORD>(exports->AddressOfNames);
        for (DWORD i = 0; i < exports->NumberOfNames; ++i) names.insert(At<char>(nameRvas[i]));
        return names;
    }

    // Imported DLL names (lower case) and, for `dll`, the imported function names.
    std::set<std::string> ImportedDlls(const std::string& dll, std::set<std::string>* functions) const {
        std::set<std::string> dlls;
        const IMAGE_DATA_DIRECTORY& dir = Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
        if (!dir.VirtualAddress) return dlls;
        for (auto* d = At<IMAGE_IMPORT_DESCRIPTOR>(dir.VirtualAddress); d->Name; ++d) {
            std::string name = At<char>(d->Name);
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
            dlls.insert(name);
            if (name != dll || !functions) continue;
            auto* thunk = At<IMAGE_THUNK_DATA32>(d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk);
            for (; thunk->u1.AddressOfData; ++thunk) {
                if (IMAGE_SNAP_BY_ORDINAL32(thunk->u1.Ordinal)) {
                    functions->insert("#ordinal");
                } else {
                    functions->insert(At<IMAGE_IMPORT_BY_NAME>(thunk->u1.AddressOfData)->Name);
                }
            }
        }
        return dlls;
    }

private:
    template <class T>
    T* At(DWORD rva) const {
        return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(module_) + rva);
    }
    const IMAGE_DATA_DIRECTORY& Directory(int index) const {
        auto* dos = At<IMAGE_DOS_HEADER>(0);
        auto* nt = At<IMAGE_NT_HEADERS32>(dos->e_lfanew);
        return nt->OptionalHeader.DataDirectory[index];
    }

    HMODULE module_;
};

const std::set<std::string> kLuaFunctions = {
    "lua_gettop",    "lua_settop",     "lua_pushnil",    "lua_pushnumber",    "lua_pushstring",   "lua_pushcclosure",
    "lua_settable",  "lua_toboolean",  "luaL_checktype", "luaL_checklstring", "luaL_checknumber", "luaL_error"};

}  // namespace

TEST(SuiteBridgeImage, ExportsTheOpenFunctionAndImportsTheLuaApiByName) {
    MappedImage module(harness::Join(harness::BinDir(), L"suitebridge.dll"));
    ASSERT_TRUE(module.ok());
    EXPECT_EQ(std::set<std::string>{"luaopen_suitebridge"}, module.Exports());

    std::set<std::string> lua;
    const std::set<std::string> dlls = module.ImportedDlls("lua50.dll", &lua);
    EXPECT_EQ(kLuaFunctions, lua);
    const std::set<std::string> allowed = {"kernel32.dll", "msvcrt.dll", "ole32.dll", "shlwapi.dll", "lua50.dll"};
    for (const std::string& dll : dlls) EXPECT_TRUE(allowed.count(dll)) << "unexpected import " << dll;
}

TEST(SuiteBridgeImage, TestRuntimeExportsEveryFunctionTheModuleImports) {
    MappedImage runtime(harness::Join(harness::Join(harness::BinDir(), L"luart"), L"lua50.dll"));
    ASSERT_TRUE(runtime.ok());
    const std::set<std::string> exports = runtime.Exports();
    for (const std::string& name : kLuaFunctions) EXPECT_TRUE(exports.count(name)) << name;
}
