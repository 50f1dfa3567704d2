/* A minimal Lua host for tests: lua.exe <script> [args...]. Runs the script with the
   standard libraries; an uncaught error goes to stderr and the exit code is 1.
   The script's own os.exit(n) sets any other exit code. A crash ends the process at
   once with the exception code as exit code, rather than waiting for a debugger. */
#include <windows.h>
#include <stdio.h>

#include "lauxlib.h"
#include "lua.h"
#include "lualib.h"

static int traceback(lua_State* L) {
    lua_getglobal(L, "debug");
    lua_getfield(L, -1, "traceback");
    lua_pushvalue(L, 1);
    lua_pushinteger(L, 2);
    lua_call(L, 2, 1);
    return 1;
}

static LONG WINAPI crashed(EXCEPTION_POINTERS* e) {
    DWORD code = e->ExceptionRecord->ExceptionCode;
    fprintf(stderr, "lua: unhandled exception %08lX\n", (unsigned long)code);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

int main(int argc, char** argv) {
    SetUnhandledExceptionFilter(crashed);
    if (argc < 2) {
        fprintf(stderr, "usage: lua script.lua [args...]\n");
        return 2;
    }
    lua_State* L = luaL_newstate();
    if (!L) return 3;
    luaL_openlibs(L);

    /* arg table as the standard interpreter builds it */
    lua_createtable(L, argc, 0);
    for (int i = 0; i < argc; ++i) {
        lua_pushstring(L, argv[i]);
        lua_rawseti(L, -2, i - 1);
    }
    lua_setglobal(L, "arg");

    lua_pushcfunction(L, traceback);
    int rc = luaL_loadfile(L, argv[1]);
    if (rc == 0) rc = lua_pcall(L, 0, 0, -2);
    if (rc != 0) {
        const char* msg = lua_tostring(L, -1);
        fprintf(stderr, "lua: %s\n", msg ? msg : "(error object is not a string)");
        fflush(stderr);
        lua_close(L);
        return 1;
    }
    lua_close(L);
    return 0;
}
