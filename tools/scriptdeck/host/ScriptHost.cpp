#include "scriptdeck/host/ScriptHost.h"

#include <windows.h>
#include <ole2.h>

#include <cmath>
#include <cstdio>

extern "C" {
#include "lauxlib.h"
#include "lua.h"
#include "lualib.h"
}

#include "common/DebugLog.h"
#include "common/TextConvert.h"
#include "scriptdeck/bridge/ComBridge.h"

namespace scriptdeck {
namespace {

// OLE on the engine thread while the script runs.
class OleSession {
public:
    OleSession() : hr_(::OleInitialize(nullptr)) {}
    ~OleSession() {
        if (SUCCEEDED(hr_)) ::OleUninitialize();
    }
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;
    HRESULT Result() const { return hr_; }

private:
    HRESULT hr_;
};

// The Lua state, closed (its COM objects released) before the bridge goes; no event
// handler runs while it closes.
class LuaState {
public:
    explicit LuaState(ComBridge& bridge) : bridge_(bridge), L_(luaL_newstate()) {}
    ~LuaState() {
        if (L_) {
            bridge_.Close();
            lua_sethook(L_, nullptr, 0, 0);
            lua_close(L_);
        }
    }
    LuaState(const LuaState&) = delete;
    LuaState& operator=(const LuaState&) = delete;
    lua_State* get() const { return L_; }

private:
    ComBridge& bridge_;
    lua_State* L_;
};

void Report(const std::string& text) {
    const std::string line = "scriptdeck: " + text + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    common::DebugOut(line.c_str());
}

// Message handler of the script's call: the error with a stack traceback.
int Traceback(lua_State* L) {
    if (!lua_isstring(L, 1)) return 1;
    lua_getfield(L, LUA_GLOBALSINDEX, "debug");
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return 1;
    }
    lua_getfield(L, -1, "traceback");
    if (!lua_isfunction(L, -1)) {
        lua_pop(L, 2);
        return 1;
    }
    lua_pushvalue(L, 1);
    lua_pushinteger(L, 2);
    lua_call(L, 2, 1);
    return 1;
}

// The exit code a chunk's return value stands for.
int ExitCodeOf(lua_State* L, int index) {
    switch (lua_type(L, index)) {
        case LUA_TNUMBER: {
            // Whole numbers of the exit code's 32 bits (negative ones as Windows shows
            // them, 4294967295 as -1); anything else is no exit code: 1.
            const lua_Number n = std::trunc(lua_tonumber(L, index));
            if (n >= 0 && n <= 4294967295.0) return static_cast<int>(static_cast<unsigned long>(n));
            if (n < 0 && n >= -2147483648.0) return static_cast<int>(n);
            return 1;
        }
        case LUA_TBOOLEAN:
            return lua_toboolean(L, index) ? 0 : 1;
        default:
            return 0;
    }
}

}  // namespace

int ScriptHost::Run(const std::vector<std::wstring>& args) {
    if (args.size() < 2) {
        Report("usage: scriptdeck <script> [arguments...]");
        return 2;
    }
    OleSession ole;
    if (FAILED(ole.Result())) {
        Report("cannot initialize OLE on the engine thread");
        return 1;
    }
    ComBridge bridge;
    LuaState state(bridge);
    lua_State* L = state.get();
    if (!L) {
        Report("not enough memory for the Lua state");
        return 1;
    }
    luaL_openlibs(L);
    if (!bridge.Open(L)) {
        Report("cannot create the engine thread's event window");
        return 1;
    }

    // arg as Lua 5.0's stand-alone interpreter builds it: arg[0] the script, arg[1..n]
    // its arguments, arg[-1] this program, arg.n the argument count.
    std::vector<std::string> narrow;
    for (const std::wstring& a : args) narrow.push_back(common::ToNarrow(a.c_str()));
    const int scriptArgs = static_cast<int>(narrow.size()) - 2;
    lua_createtable(L, scriptArgs, 2);
    for (size_t i = 0; i < narrow.size(); ++i) {
        lua_pushstring(L, narrow[i].c_str());
        lua_rawseti(L, -2, static_cast<int>(i) - 1);
    }
    lua_pushinteger(L, scriptArgs);
    lua_setfield(L, -2, "n");
    lua_setglobal(L, "arg");

    lua_pushcfunction(L, Traceback);
    const int handler = lua_gettop(L);
    int rc = luaL_loadfile(L, narrow[1].c_str());
    if (rc == 0) {
        // The chunk also receives its arguments as ... .
        luaL_checkstack(L, scriptArgs + 1, "too many arguments");
        for (size_t i = 2; i < narrow.size(); ++i) lua_pushstring(L, narrow[i].c_str());
        rc = lua_pcall(L, scriptArgs, LUA_MULTRET, handler);
    }
    if (bridge.Quitting()) return bridge.QuitCode();
    if (rc != 0) {
        const char* message = lua_tostring(L, -1);
        Report(message ? message : "(error object is not a string)");
        return 1;
    }
    return lua_gettop(L) > handler ? ExitCodeOf(L, handler + 1) : 0;
}

}  // namespace scriptdeck
