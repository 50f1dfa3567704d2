// GetLuaCompatiblePathImplementation, the one export of ZOZuzirorirPaths.dll. Its importers
// see the declaration in LuaCompatiblePath.h (dllimport), so that header is not included here.
#include <windows.h>

#include "dialog/paths/NarrowPath.h"

extern "C" HRESULT WINAPI GetLuaCompatiblePathImplementation(const wchar_t* path, char* buffer) {
    if (!path || !buffer) return E_POINTER;
    return stagehand::NarrowPath(stagehand::ThreadAnsiCodePage(), path, buffer, MAX_PATH);
}
