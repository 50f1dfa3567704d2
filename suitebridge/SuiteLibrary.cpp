#include "suitebridge/SuiteLibrary.h"

namespace suitebridge {

SuiteLibrary& SuiteLibrary::Instance() {
    static SuiteLibrary instance;
    return instance;
}

SuiteLibrary::LoadResult SuiteLibrary::Load(const wchar_t* path, DWORD& error) {
    HMODULE module = ::LoadLibraryW(path);
    if (!module) {
        error = ::GetLastError();
        return LoadResult::Failed;
    }
    module_ = module;
    criteriaChecker_ = reinterpret_cast<CallCriteriaCheckerFn>(
        reinterpret_cast<void*>(::GetProcAddress(module, "CallCriteriaChecker")));
    installStub_ = reinterpret_cast<RunInstallStubFn>(
        reinterpret_cast<void*>(::GetProcAddress(module, "RunInstallStub")));
    error = ERROR_SUCCESS;
    return criteriaChecker_ && installStub_ ? LoadResult::Complete : LoadResult::MissingEntryPoints;
}

}  // namespace suitebridge
