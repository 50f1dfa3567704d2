#pragma once
// The part of the Lua 5.0 C interface the COM bridge uses, declared here instead of
// taken from the runtime's headers: the bridge is written against the engine's Lua 5.0,
// so it can only call what 5.0's lua50.dll exports (cdecl, undecorated names) and uses
// 5.0's pseudo-indices. Every function below exists with this prototype in Lua 5.0.
#include <stddef.h>

extern "C" {

struct lua_State;
struct lua_Debug;
typedef int(__cdecl* lua_CFunction)(lua_State* L);
typedef void(__cdecl* lua_Hook)(lua_State* L, lua_Debug* ar);
typedef double lua_Number;

#define SCRIPTDECK_LUA_API __declspec(dllimport)

// Stack
SCRIPTDECK_LUA_API int __cdecl lua_gettop(lua_State* L);
SCRIPTDECK_LUA_API void __cdecl lua_settop(lua_State* L, int index);
SCRIPTDECK_LUA_API void __cdecl lua_pushvalue(lua_State* L, int index);
SCRIPTDECK_LUA_API int __cdecl lua_checkstack(lua_State* L, int extra);

// Access
SCRIPTDECK_LUA_API int __cdecl lua_type(lua_State* L, int index);
SCRIPTDECK_LUA_API const char* __cdecl lua_typename(lua_State* L, int type);
SCRIPTDECK_LUA_API int __cdecl lua_rawequal(lua_State* L, int index1, int index2);
SCRIPTDECK_LUA_API lua_Number __cdecl lua_tonumber(lua_State* L, int index);
SCRIPTDECK_LUA_API int __cdecl lua_toboolean(lua_State* L, int index);
SCRIPTDECK_LUA_API void* __cdecl lua_touserdata(lua_State* L, int index);

// Push
SCRIPTDECK_LUA_API void __cdecl lua_pushnil(lua_State* L);
SCRIPTDECK_LUA_API void __cdecl lua_pushnumber(lua_State* L, lua_Number n);
SCRIPTDECK_LUA_API void __cdecl lua_pushlstring(lua_State* L, const char* s, size_t length);
SCRIPTDECK_LUA_API void __cdecl lua_pushstring(lua_State* L, const char* s);
SCRIPTDECK_LUA_API void __cdecl lua_pushcclosure(lua_State* L, lua_CFunction fn, int upvalues);
SCRIPTDECK_LUA_API void __cdecl lua_pushboolean(lua_State* L, int b);
SCRIPTDECK_LUA_API void __cdecl lua_pushlightuserdata(lua_State* L, void* p);

// Get
SCRIPTDECK_LUA_API void __cdecl lua_gettable(lua_State* L, int index);
SCRIPTDECK_LUA_API void __cdecl lua_rawget(lua_State* L, int index);
SCRIPTDECK_LUA_API void __cdecl lua_rawgeti(lua_State* L, int index, int n);
SCRIPTDECK_LUA_API void __cdecl lua_newtable(lua_State* L);
SCRIPTDECK_LUA_API void* __cdecl lua_newuserdata(lua_State* L, size_t size);
SCRIPTDECK_LUA_API int __cdecl lua_getmetatable(lua_State* L, int index);

// Set
SCRIPTDECK_LUA_API void __cdecl lua_settable(lua_State* L, int index);
SCRIPTDECK_LUA_API void __cdecl lua_rawset(lua_State* L, int index);
SCRIPTDECK_LUA_API void __cdecl lua_rawseti(lua_State* L, int index, int n);
SCRIPTDECK_LUA_API int __cdecl lua_setmetatable(lua_State* L, int index);

// Calls and errors
SCRIPTDECK_LUA_API void __cdecl lua_call(lua_State* L, int args, int results);
SCRIPTDECK_LUA_API int __cdecl lua_cpcall(lua_State* L, lua_CFunction fn, void* ud);
SCRIPTDECK_LUA_API int __cdecl lua_error(lua_State* L);
SCRIPTDECK_LUA_API int __cdecl lua_next(lua_State* L, int index);
SCRIPTDECK_LUA_API void __cdecl lua_concat(lua_State* L, int n);
SCRIPTDECK_LUA_API int __cdecl lua_sethook(lua_State* L, lua_Hook fn, int mask, int count);

// Auxiliary library
SCRIPTDECK_LUA_API int __cdecl luaL_newmetatable(lua_State* L, const char* name);
SCRIPTDECK_LUA_API void __cdecl luaL_where(lua_State* L, int level);
SCRIPTDECK_LUA_API const char* __cdecl luaL_checklstring(lua_State* L, int arg, size_t* length);
SCRIPTDECK_LUA_API int __cdecl luaL_ref(lua_State* L, int table);
SCRIPTDECK_LUA_API void __cdecl luaL_unref(lua_State* L, int table, int ref);

#undef SCRIPTDECK_LUA_API

}  // extern "C"

// Lua 5.0's pseudo-indices (5.1 moved the globals table to -10002).
constexpr int LUA_REGISTRYINDEX = -10000;
constexpr int LUA_GLOBALSINDEX = -10001;
constexpr int lua_upvalueindex(int i) { return LUA_GLOBALSINDEX - i; }

constexpr int LUA_MULTRET = -1;
constexpr int LUA_NOREF = -2;
constexpr int LUA_REFNIL = -1;

constexpr int LUA_TNONE = -1;
constexpr int LUA_TNIL = 0;
constexpr int LUA_TBOOLEAN = 1;
constexpr int LUA_TLIGHTUSERDATA = 2;
constexpr int LUA_TNUMBER = 3;
constexpr int LUA_TSTRING = 4;
constexpr int LUA_TTABLE = 5;
constexpr int LUA_TFUNCTION = 6;
constexpr int LUA_TUSERDATA = 7;
constexpr int LUA_TTHREAD = 8;

constexpr int LUA_MASKCOUNT = 1 << 3;

inline void lua_pop(lua_State* L, int n) { lua_settop(L, -n - 1); }
// An absolute stack index for a relative one (pseudo-indices stay as they are).
inline int lua_absindex50(lua_State* L, int index) {
    return (index < 0 && index > LUA_REGISTRYINDEX) ? lua_gettop(L) + index + 1 : index;
}
