#pragma once
// The part of the Lua 5.0 C interface this module uses. Declared here rather than
// taken from Lua's headers so the module binds to the engine's lua50.dll by the 5.0
// binary interface: cdecl entry points with undecorated names (see lua50.def), and
// 5.0's pseudo-index for the globals table.
#include <stddef.h>

extern "C" {

struct lua_State;
typedef int(__cdecl* lua_CFunction)(lua_State* L);
typedef double lua_Number;

__declspec(dllimport) int __cdecl lua_gettop(lua_State* L);
__declspec(dllimport) void __cdecl lua_settop(lua_State* L, int index);
__declspec(dllimport) void __cdecl lua_pushnil(lua_State* L);
__declspec(dllimport) void __cdecl lua_pushnumber(lua_State* L, lua_Number n);
__declspec(dllimport) void __cdecl lua_pushstring(lua_State* L, const char* s);
__declspec(dllimport) void __cdecl lua_pushcclosure(lua_State* L, lua_CFunction fn, int upvalues);
__declspec(dllimport) void __cdecl lua_settable(lua_State* L, int index);
__declspec(dllimport) int __cdecl lua_toboolean(lua_State* L, int index);
__declspec(dllimport) void __cdecl luaL_checktype(lua_State* L, int arg, int type);
__declspec(dllimport) const char* __cdecl luaL_checklstring(lua_State* L, int arg, size_t* len);
__declspec(dllimport) lua_Number __cdecl luaL_checknumber(lua_State* L, int arg);
__declspec(dllimport) int __cdecl luaL_error(lua_State* L, const char* format, ...);

}  // extern "C"

// Lua 5.0 values (5.1 moved the globals table to -10002).
constexpr int LUA_GLOBALSINDEX = -10001;
constexpr int LUA_TBOOLEAN = 1;
constexpr int LUA_TNUMBER = 3;
constexpr int LUA_TSTRING = 4;
