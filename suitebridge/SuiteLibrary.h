#pragma once
// The security-suite installer library (SymCCIS.dll) as this module knows it: one
// copy per process, shared by every Lua state that loads the module. A loaded library
// stays loaded until the process ends; a later successful load replaces the handle and
// both entry points (the earlier library stays mapped, so nothing dangles).
#include <windows.h>

namespace suitebridge {

// Exports of the suite library (cdecl, each returning an HRESULT).
typedef HRESULT(__cdecl* CallCriteriaCheckerFn)(const wchar_t* s1, const wchar_t* s2, const wchar_t* s3,
                                                int number, wchar_t** buffer1, wchar_t** buffer2,
                                                BOOL flag);
typedef HRESULT(__cdecl* RunInstallStubFn)(const wchar_t* s1, const wchar_t* s2, const wchar_t* s3,
                                           const wchar_t* s4, const wchar_t* s5, const wchar_t* s6,
                                           const wchar_t* s7, const wchar_t* s8, BOOL b1, BOOL b2, BOOL b3,
                                           DWORD* result);

class SuiteLibrary {
public:
    enum class LoadResult { Complete, MissingEntryPoints, Failed };

    static SuiteLibrary& Instance();

    // Loads the library file at `path`. On failure `error` receives the Win32 error
    // and the earlier library, if any, stays in use.
    LoadResult Load(const wchar_t* path, DWORD& error);

    CallCriteriaCheckerFn CriteriaChecker() const { return criteriaChecker_; }
    RunInstallStubFn InstallStub() const { return installStub_; }

private:
    SuiteLibrary() = default;
    SuiteLibrary(const SuiteLibrary&) = delete;
    SuiteLibrary& operator=(const SuiteLibrary&) = delete;

    // Deliberately never freed: the entry points must stay valid for the process.
    HMODULE module_ = nullptr;
    CallCriteriaCheckerFn criteriaChecker_ = nullptr;
    RunInstallStubFn installStub_ = nullptr;
};

}  // namespace suitebridge
