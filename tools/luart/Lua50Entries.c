/* Entry points of Lua 5.0's interface that 5.1 turned into macros over new functions.
   Code written against 5.0 (the engine's COM bridge) imports them by these names. */
#define LUA_CORE
#include "lua.h"

#undef lua_newtable
LUA_API void lua_newtable(lua_State* L) { lua_createtable(L, 0, 0); }
