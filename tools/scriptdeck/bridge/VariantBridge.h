#pragma once
// Conversions between Lua values and VARIANTs.
//
// Lua to COM: nil -> VT_EMPTY; boolean -> VT_BOOL; a number -> VT_I4 when it is a
// whole number in range, else VT_R8; a string -> VT_BSTR; a COM object -> VT_DISPATCH;
// a table -> a one-dimensional SAFEARRAY with lower bound 1 holding t[1]..t[n] (n is
// t.n when set, else the length up to the first nil), of VARIANTs unless the parameter
// declares another element type. When a parameter's type is known the value is then
// converted to it by Automation's rules.
//
// COM to Lua: VT_EMPTY / VT_NULL -> nil; VT_BOOL -> boolean; numbers -> number;
// VT_BSTR -> string; VT_DATE -> string; objects -> COM object (nil for null); arrays ->
// tables indexed from 1 with the element count in field n (nested tables for arrays
// of more dimensions); references are followed.
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "scriptdeck/bridge/Lua50.h"

namespace scriptdeck {

class VariantBridge {
public:
    // The Lua value at `index` converted naturally into *out (which must be empty).
    // On failure *out stays empty and `error` says why.
    static bool FromLua(lua_State* L, int index, VARIANT* out, std::string& error);
    // The Lua value converted to the declared type `vt` (VT_VARIANT or VT_EMPTY: naturally).
    static bool FromLuaAs(lua_State* L, int index, VARTYPE vt, VARIANT* out, std::string& error);
    // Pushes the Lua value for *v (exactly one value on success, none on failure).
    static bool ToLua(lua_State* L, const VARIANT* v, std::string& error);
    // A type's name as IDL spells it, for messages ("BSTR", "SAFEARRAY(BSTR)").
    static std::string TypeName(VARTYPE vt);

private:
    static bool FromLuaAt(lua_State* L, int index, VARIANT* out, std::string& error, int depth);
    static bool FromLuaAsAt(lua_State* L, int index, VARTYPE vt, VARIANT* out, std::string& error, int depth);
    static bool TableToArray(lua_State* L, int index, VARTYPE element, VARIANT* out, std::string& error, int depth);
    static bool ToLuaAt(lua_State* L, const VARIANT* v, std::string& error, int depth);
    static bool ArrayToTable(lua_State* L, SAFEARRAY* array, VARTYPE element, std::string& error, int depth);
    static bool DimensionToTable(lua_State* L, SAFEARRAY* array, VARTYPE element, LONG* indices, UINT dimension,
                                 UINT dimensions, std::string& error, int depth);
};

}  // namespace scriptdeck
