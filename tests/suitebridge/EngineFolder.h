#pragma once
// Test support for the Lua module: a scratch folder laid out like the engine's (the
// Lua host and runtime, the shipped suitebridge.dll, optionally a SymCCIS.dll
// stand-in), Lua scripts run there through the host, and the stand-in's records.
#include <windows.h>

#include <string>
#include <vector>

#include "Harness.h"

namespace suitetest {

// Stand-in variants in bin/: with both entry points, and without RunInstallStub.
extern const wchar_t kFullStandIn[];
extern const wchar_t kNoStubStandIn[];

// Sets an environment variable (inherited by the Lua host) for the object's lifetime.
class ScopedEnv {
public:
    ScopedEnv(const wchar_t* name, const std::wstring& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::wstring name_, previous_;
    bool hadPrevious_ = false;
};

struct ScriptRun {
    DWORD exitCode = 0;
    bool timedOut = false;
    std::vector<std::string> out;  // lines the script wrote with out(...)
};

class EngineFolder {
public:
    // standIn: which stand-in becomes SymCCIS.dll beside lua.exe (nullptr: none).
    explicit EngineFolder(const wchar_t* standIn = kFullStandIn);

    const std::wstring& path() const { return dir_.path(); }
    std::wstring operator/(const std::wstring& name) const { return dir_ / name; }

    // Copies a stand-in into `folder` as SymCCIS.dll.
    static void PlaceStandIn(const std::wstring& folder, const wchar_t* standIn = kFullStandIn);

    // Writes the script (a prelude that loads the module and defines out/show, then
    // `body`) as script.lua into workDir (default: this folder) and runs lua.exe there.
    ScriptRun Run(const std::string& body, const std::wstring& workDir = L"") const;

    // The stand-in's records, all or those of one kind ("load", "ccc", "ris", ...),
    // each split at '|' (the kind itself removed).
    std::vector<std::string> Records() const;
    std::vector<std::vector<std::string>> Records(const std::string& kind) const;

private:
    harness::TempDir dir_;
    std::wstring log_;
    ScopedEnv logEnv_;
};

// A uniquely named folder directly in the root of the drive that holds the temporary
// folders ("C:\sbXXXX", 9 characters), removed with its contents.
class RootFolder {
public:
    RootFolder();
    ~RootFolder();
    RootFolder(const RootFolder&) = delete;
    RootFolder& operator=(const RootFolder&) = delete;
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

// Creates nested folders under `base` so the result is exactly `length` characters long.
std::wstring MakeFolderOfLength(const std::wstring& base, size_t length);

// Text conversions for expectations: the ANSI code page (what Lua sees) and UTF-8
// (what the stand-in records).
std::string Ansi(const std::wstring& s);
std::string Utf8(const std::wstring& s);
// Lua source for a string literal holding `bytes` (decimal escapes for non-ASCII).
std::string LuaQuote(const std::string& bytes);

}  // namespace suitetest
