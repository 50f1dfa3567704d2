// The module's Lua face: luaopen_suitebridge registers three global functions that
// pass Lua values to the security-suite library and its results back.
//
// Every function checks its arguments before it creates anything that needs cleaning
// up: the argument errors unwind the Lua call with longjmp, which would skip
// destructors.
#include <windows.h>
#include <shlwapi.h>

#include <limits.h>
#include <math.h>
#include <wchar.h>

#include "suitebridge/CodePage.h"
#include "suitebridge/CriteriaBuffers.h"
#include "suitebridge/HeapText.h"
#include "suitebridge/LuaApi.h"
#include "suitebridge/SehGuard.h"
#include "suitebridge/SuiteLibrary.h"

namespace suitebridge {
namespace {

const char kLoadName[] = "SymCCISLoadSymCCIS";
const char kCriteriaName[] = "SymCCISCallCriteriaChecker";
const char kInstallName[] = "SymCCISRunInstallStub";

// Path arguments outside this length range are ignored (the library is then looked
// for in the root of the current drive).
constexpr size_t kMinPathArg = 11;
constexpr size_t kMaxPathArg = MAX_PATH - 1;
const wchar_t kLibraryName[] = L"\\SymCCIS.dll";

int CountError(lua_State* L, const char* name, int required, int supplied) {
    return luaL_error(L, "function %s takes %d arguments, %d supplied", name, required, supplied);
}

// A string argument (its type checked before) as wide text.
bool WideArg(lua_State* L, int arg, HeapText<wchar_t>& out) {
    size_t length = 0;
    const char* text = luaL_checklstring(L, arg, &length);
    return ToWide(text, length, out);
}

// Lua number to a 32-bit integer, truncated toward zero; values beyond the range
// stop at its ends (and NaN gives 0) instead of leaving the result undefined.
int TruncateToInt(lua_Number n) {
    if (isnan(n)) return 0;
    if (n >= 2147483647.0) return INT_MAX;
    if (n <= -2147483648.0) return INT_MIN;
    return static_cast<int>(n);
}

// Every function ends with exactly two results on an otherwise empty stack.
int PushPair(lua_State* L, const char* first, const char* second) {
    lua_settop(L, 0);
    if (first) lua_pushstring(L, first); else lua_pushnil(L);
    if (second) lua_pushstring(L, second); else lua_pushnil(L);
    return 2;
}

// nil, "HRESULT XXXXXXXX".
int PushFailure(lua_State* L, DWORD code) {
    char message[32];
    ::wnsprintfA(message, sizeof message, "HRESULT %08lX", static_cast<unsigned long>(code));
    return PushPair(L, nullptr, message);
}

// SymCCISLoadSymCCIS([path]): loads SymCCIS.dll from the folder of `path`, or from
// the folder of the running program without an argument.
int LoadSymCCIS(lua_State* L) {
    const int count = lua_gettop(L);
    if (count > 1) return CountError(L, kLoadName, 1, count);
    if (count == 1) luaL_checktype(L, 1, LUA_TSTRING);

    wchar_t folder[MAX_PATH] = {};
    if (count == 0) {
        DWORD n = ::GetModuleFileNameW(nullptr, folder, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return PushFailure(L, n == 0 ? ::GetLastError() : ERROR_INSUFFICIENT_BUFFER);
    } else {
        size_t length = 0;
        const char* path = luaL_checklstring(L, 1, &length);
        // A wide conversion is never longer than its 8-bit source, so it fits whole.
        if (length >= kMinPathArg && length <= kMaxPathArg) ToWide(path, length, folder, MAX_PATH);
    }
    ::PathRemoveFileSpecW(folder);

    // A folder too long for the library's name is not tried (nor cut short).
    wchar_t library[MAX_PATH];
    if (::wcslen(folder) + ::wcslen(kLibraryName) >= MAX_PATH) return PushFailure(L, ERROR_INSUFFICIENT_BUFFER);
    ::wnsprintfW(library, MAX_PATH, L"%s\\SymCCIS.dll", folder);

    DWORD error = ERROR_SUCCESS;
    switch (SuiteLibrary::Instance().Load(library, error)) {
    case SuiteLibrary::LoadResult::Complete:
        return PushPair(L, "success", nullptr);
    case SuiteLibrary::LoadResult::MissingEntryPoints:
        return PushPair(L, nullptr, "Missing entry points");
    case SuiteLibrary::LoadResult::Failed:
        break;
    }
    return PushFailure(L, error);
}

struct CriteriaCall {
    CallCriteriaCheckerFn fn;
    const wchar_t* s[3];
    int number;
    CriteriaBuffers* buffers;
    BOOL flag;
};

HRESULT InvokeCriteria(void* context) {
    auto* c = static_cast<CriteriaCall*>(context);
    return c->fn(c->s[0], c->s[1], c->s[2], c->number, c->buffers->First(), c->buffers->Second(), c->flag);
}

// Converts the arguments, calls the library and reads both texts.
HRESULT CheckCriteria(lua_State* L, CallCriteriaCheckerFn fn, lua_Number number, HeapText<char>& first,
                      HeapText<char>& second) {
    HeapText<wchar_t> s[3];
    for (int i = 0; i < 3; ++i)
        if (!WideArg(L, i + 1, s[i])) return E_OUTOFMEMORY;
    CriteriaBuffers buffers;
    if (!buffers.Allocated()) return E_OUTOFMEMORY;
    CriteriaCall call = {fn, {s[0].c_str(), s[1].c_str(), s[2].c_str()}, TruncateToInt(number), &buffers,
                         lua_toboolean(L, 5) ? TRUE : FALSE};
    bool raised = false;
    const HRESULT hr = CallGuarded(&InvokeCriteria, &call, &raised);
    if (raised) buffers.Abandon();
    if (FAILED(hr)) return hr;
    return buffers.Text(0, first) && buffers.Text(1, second) ? hr : E_OUTOFMEMORY;
}

// SymCCISCallCriteriaChecker(s1, s2, s3, n, flag): the suite library's two texts.
int CallCriteriaChecker(lua_State* L) {
    const int count = lua_gettop(L);
    if (count != 5) return CountError(L, kCriteriaName, 5, count);
    for (int i = 1; i <= 3; ++i) luaL_checktype(L, i, LUA_TSTRING);
    const lua_Number number = luaL_checknumber(L, 4);
    luaL_checktype(L, 5, LUA_TBOOLEAN);

    const CallCriteriaCheckerFn fn = SuiteLibrary::Instance().CriteriaChecker();
    if (!fn) return PushPair(L, nullptr, "sequence error");
    HeapText<char> first, second;
    const HRESULT hr = CheckCriteria(L, fn, number, first, second);
    if (FAILED(hr)) return PushFailure(L, static_cast<DWORD>(hr));
    return PushPair(L, first.c_str(), second.c_str());
}

struct InstallCall {
    RunInstallStubFn fn;
    const wchar_t* s[8];
    BOOL b[3];
    DWORD* result;
};

HRESULT InvokeInstall(void* context) {
    auto* c = static_cast<InstallCall*>(context);
    return c->fn(c->s[0], c->s[1], c->s[2], c->s[3], c->s[4], c->s[5], c->s[6], c->s[7], c->b[0], c->b[1],
                 c->b[2], c->result);
}

// Converts the arguments and calls the library.
HRESULT InstallStub(lua_State* L, RunInstallStubFn fn, DWORD& result) {
    HeapText<wchar_t> s[8];
    InstallCall call = {fn, {}, {}, &result};
    for (int i = 0; i < 8; ++i) {
        if (!WideArg(L, i + 1, s[i])) return E_OUTOFMEMORY;
        call.s[i] = s[i].c_str();
    }
    for (int i = 0; i < 3; ++i) call.b[i] = lua_toboolean(L, 9 + i) ? TRUE : FALSE;
    return CallGuarded(&InvokeInstall, &call);
}

// SymCCISRunInstallStub(s1, ..., s8, b1, b2, b3): the suite library's result word.
int RunInstallStub(lua_State* L) {
    const int count = lua_gettop(L);
    if (count != 11) return CountError(L, kInstallName, 11, count);
    for (int i = 1; i <= 8; ++i) luaL_checktype(L, i, LUA_TSTRING);
    for (int i = 9; i <= 11; ++i) luaL_checktype(L, i, LUA_TBOOLEAN);

    const RunInstallStubFn fn = SuiteLibrary::Instance().InstallStub();
    if (!fn) return PushPair(L, nullptr, "sequence error");
    DWORD result = 0;
    const HRESULT hr = InstallStub(L, fn, result);
    if (FAILED(hr)) return PushFailure(L, static_cast<DWORD>(hr));
    lua_settop(L, 0);
    lua_pushnumber(L, static_cast<lua_Number>(result));
    lua_pushnil(L);
    return 2;
}

void RegisterGlobal(lua_State* L, const char* name, lua_CFunction fn) {
    lua_pushstring(L, name);
    lua_pushcclosure(L, fn, 0);
    lua_settable(L, LUA_GLOBALSINDEX);
}

}  // namespace
}  // namespace suitebridge

// The module's entry point: registers the three functions as globals and returns no
// value to the loader (the functions are reached through the globals).
extern "C" __declspec(dllexport) int __cdecl luaopen_suitebridge(lua_State* L) {
    using namespace suitebridge;
    RegisterGlobal(L, kCriteriaName, &CallCriteriaChecker);
    RegisterGlobal(L, kInstallName, &RunInstallStub);
    RegisterGlobal(L, kLoadName, &LoadSymCCIS);
    return 0;
}
