// windowshot.dll: a Lua module for the engine's scripts that saves a picture of an
// installer window as a PNG file. scripts/demo puts it in the installer's bin folder;
// the script loads it with loadlib and calls
//
//   local size = windowshot(title, path)   -- "640x480", or nil and a message
//
// on the engine's thread while the window runs on its own.
#include <windows.h>

#include <exception>
#include <string>

#include "PngFile.h"
#include "WindowShot.h"
#include "suitebridge/LuaApi.h"

namespace {

std::wstring Wide(const char* text) {
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], n);
    wide.resize(static_cast<size_t>(n - 1));
    return wide;
}

// The work, with its own objects, apart from the Lua calls that may unwind.
std::string Shoot(const char* title, const char* path, bool& ok) noexcept {
    ok = false;
    try {
        sample::WindowShot shot;
        if (!shot.Find(Wide(title))) return "no visible window of this process has that title";
        if (!shot.Capture()) return "the window could not be printed";
        sample::PngFile png(shot.width(), shot.height());
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const uint32_t p = shot.pixels()[static_cast<size_t>(y) * shot.width() + x];
                png.Set(x, y, static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p));
            }
        if (!png.Save(Wide(path))) return "the picture could not be written";
        ok = true;
        return std::to_string(shot.width()) + "x" + std::to_string(shot.height());
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unexpected failure";
    }
}

int __cdecl SaveWindow(lua_State* L) {
    // Arguments first: a wrong one unwinds before anything needs cleaning up.
    const char* title = luaL_checklstring(L, 1, nullptr);
    const char* path = luaL_checklstring(L, 2, nullptr);
    bool ok = false;
    const std::string result = Shoot(title, path, ok);
    if (ok) {
        lua_pushstring(L, result.c_str());
        return 1;
    }
    lua_pushnil(L);
    lua_pushstring(L, result.c_str());
    return 2;
}

}  // namespace

extern "C" __declspec(dllexport) int __cdecl luaopen_windowshot(lua_State* L) {
    lua_pushstring(L, "windowshot");
    lua_pushcclosure(L, &SaveWindow, 0);
    lua_settable(L, LUA_GLOBALSINDEX);
    return 0;
}
