#include "scriptdeck/bridge/VariantBridge.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/Bstr.h"
#include "common/ComPtr.h"
#include "common/Variant.h"
#include "scriptdeck/bridge/AnsiText.h"
#include "scriptdeck/bridge/ComErrorText.h"
#include "scriptdeck/bridge/LuaComObject.h"

namespace scriptdeck {
namespace {

// Deeper nesting of tables or arrays is taken as a table that contains itself.
constexpr int kMaxDepth = 32;
// The largest element count a table may declare in its field n.
constexpr double kMaxElements = 0x7FFFFFF0;

const char kTooDeep[] = "tables nested more than 32 deep (does a table contain itself?)";

std::string LuaTypeName(lua_State* L, int index) { return lua_typename(L, lua_type(L, index)); }

bool PutBstr(const std::wstring& text, VARIANT* out, std::string& error) {
    BSTR s = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!s) {
        error = "not enough memory for a string";
        return false;
    }
    V_VT(out) = VT_BSTR;
    V_BSTR(out) = s;
    return true;
}

// Lua's own text for a number, as tostring gives it.
std::wstring NumberText(lua_Number n) {
    char text[64];
    std::snprintf(text, sizeof text, "%.14g", n);
    return AnsiToWide(text, std::strlen(text));
}

// Element types a SAFEARRAY may have that the conversions handle.
bool SupportedElement(VARTYPE vt) {
    switch (vt) {
        case VT_VARIANT: case VT_BSTR: case VT_BOOL: case VT_I1: case VT_I2: case VT_I4: case VT_I8:
        case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8: case VT_INT: case VT_UINT: case VT_R4:
        case VT_R8: case VT_CY: case VT_DATE: case VT_ERROR: case VT_DISPATCH: case VT_UNKNOWN:
        case VT_DECIMAL:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool VariantBridge::FromLua(lua_State* L, int index, VARIANT* out, std::string& error) {
    return FromLuaAt(L, lua_absindex50(L, index), out, error, 0);
}

bool VariantBridge::FromLuaAs(lua_State* L, int index, VARTYPE vt, VARIANT* out, std::string& error) {
    return FromLuaAsAt(L, lua_absindex50(L, index), vt, out, error, 0);
}

bool VariantBridge::ToLua(lua_State* L, const VARIANT* v, std::string& error) { return ToLuaAt(L, v, error, 0); }

bool VariantBridge::FromLuaAt(lua_State* L, int index, VARIANT* out, std::string& error, int depth) {
    switch (lua_type(L, index)) {
        case LUA_TNONE:
        case LUA_TNIL:
            V_VT(out) = VT_EMPTY;
            return true;
        case LUA_TBOOLEAN:
            V_VT(out) = VT_BOOL;
            V_BOOL(out) = lua_toboolean(L, index) ? VARIANT_TRUE : VARIANT_FALSE;
            return true;
        case LUA_TNUMBER: {
            const lua_Number n = lua_tonumber(L, index);
            if (n == std::floor(n) && n >= INT_MIN && n <= INT_MAX) {
                V_VT(out) = VT_I4;
                V_I4(out) = static_cast<LONG>(n);
            } else {
                V_VT(out) = VT_R8;
                V_R8(out) = n;
            }
            return true;
        }
        case LUA_TSTRING: {
            size_t length = 0;
            const char* text = luaL_checklstring(L, index, &length);
            return PutBstr(AnsiToWide(text, length), out, error);
        }
        case LUA_TTABLE:
            return TableToArray(L, index, VT_VARIANT, out, error, depth);
        case LUA_TUSERDATA: {
            LuaComObject* object = LuaComObject::At(L, index);
            if (!object) {
                error = "cannot pass a userdata that is not a COM object";
                return false;
            }
            IDispatch* dispatch = object->Dispatch();
            if (!dispatch) {
                error = "the COM object was released";
                return false;
            }
            dispatch->AddRef();
            V_VT(out) = VT_DISPATCH;
            V_DISPATCH(out) = dispatch;
            return true;
        }
        default:
            error = "cannot pass a " + LuaTypeName(L, index) + " to COM";
            return false;
    }
}

bool VariantBridge::FromLuaAsAt(lua_State* L, int index, VARTYPE vt, VARIANT* out, std::string& error, int depth) {
    if (vt == VT_VARIANT || vt == VT_EMPTY) return FromLuaAt(L, index, out, error, depth);
    const int type = lua_type(L, index);
    if (vt & VT_ARRAY) {
        if (type == LUA_TNIL || type == LUA_TNONE) {
            V_VT(out) = vt;
            V_ARRAY(out) = nullptr;
            return true;
        }
        if (type != LUA_TTABLE) {
            error = "expected a table for " + TypeName(vt) + ", got " + LuaTypeName(L, index);
            return false;
        }
        return TableToArray(L, index, static_cast<VARTYPE>(vt & VT_TYPEMASK), out, error, depth);
    }
    if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
        if (type == LUA_TNIL || type == LUA_TNONE) {
            V_VT(out) = vt;
            V_UNKNOWN(out) = nullptr;
            return true;
        }
        if (type != LUA_TUSERDATA || !LuaComObject::At(L, index)) {
            error = "expected a COM object for " + TypeName(vt) + ", got " + LuaTypeName(L, index);
            return false;
        }
        if (!FromLuaAt(L, index, out, error, depth)) return false;
        V_VT(out) = vt;  // an IDispatch pointer is an IUnknown pointer as well
        return true;
    }
    if (vt == VT_BSTR && type == LUA_TNUMBER) return PutBstr(NumberText(lua_tonumber(L, index)), out, error);
    if (vt == VT_BSTR && type == LUA_TBOOLEAN) return PutBstr(lua_toboolean(L, index) ? L"true" : L"false", out, error);

    if (!FromLuaAt(L, index, out, error, depth)) return false;
    if (V_VT(out) == vt) return true;
    const HRESULT hr = ::VariantChangeTypeEx(out, out, LOCALE_INVARIANT, 0, vt);
    if (FAILED(hr)) {
        ::VariantClear(out);
        error = "cannot convert " + LuaTypeName(L, index) + " to " + TypeName(vt) + " (" + ComErrorText::FromHResult(hr) + ")";
        return false;
    }
    return true;
}

bool VariantBridge::TableToArray(lua_State* L, int index, VARTYPE element, VARIANT* out, std::string& error,
                                 int depth) {
    if (depth >= kMaxDepth) {
        error = kTooDeep;
        return false;
    }
    if (!SupportedElement(element)) {
        error = "arrays of " + TypeName(element) + " are not supported";
        return false;
    }
    if (!lua_checkstack(L, 4)) {
        error = kTooDeep;
        return false;
    }
    // The element count: field n when the table has one (Lua 5.0's way of sizing an
    // array with holes), else the elements up to the first nil.
    double count = 0;
    bool hasN = false;
    lua_pushstring(L, "n");
    lua_rawget(L, index);
    if (lua_type(L, -1) == LUA_TNUMBER) {
        count = lua_tonumber(L, -1);
        hasN = true;
    }
    lua_pop(L, 1);
    if (hasN) {
        if (!(count >= 0 && count <= kMaxElements && count == std::floor(count))) {
            error = "a table's field n must be a whole number of elements";
            return false;
        }
    } else {
        for (;;) {
            lua_rawgeti(L, index, static_cast<int>(count) + 1);
            const bool present = lua_type(L, -1) != LUA_TNIL;
            lua_pop(L, 1);
            if (!present) break;
            count += 1;
        }
    }
    // Every other key would be lost on the way: refuse the table instead.
    lua_pushnil(L);
    while (lua_next(L, index)) {
        bool fits = false;
        if (lua_type(L, -2) == LUA_TNUMBER) {
            const double key = lua_tonumber(L, -2);
            fits = key >= 1 && key <= count && key == std::floor(key);
        } else if (hasN && lua_type(L, -2) == LUA_TSTRING) {
            size_t length = 0;
            const char* key = luaL_checklstring(L, -2, &length);
            fits = length == 1 && key[0] == 'n';
        }
        lua_pop(L, 1);
        if (!fits) {
            lua_pop(L, 1);
            error = "a table with keys other than 1..n can't become an array";
            return false;
        }
    }

    SAFEARRAYBOUND bound = {static_cast<ULONG>(count), 1};
    common::SafeArray array(::SafeArrayCreate(element, 1, &bound));
    if (!array) {
        error = "cannot create a " + TypeName(static_cast<VARTYPE>(VT_ARRAY | element)) + " of " +
                std::to_string(static_cast<unsigned long>(count)) + " elements";
        return false;
    }
    for (LONG i = 1; i <= static_cast<LONG>(count); ++i) {
        common::Variant value;
        lua_rawgeti(L, index, static_cast<int>(i));
        const bool ok = element == VT_VARIANT ? FromLuaAt(L, lua_gettop(L), value.get(), error, depth + 1)
                                              : FromLuaAsAt(L, lua_gettop(L), element, value.get(), error, depth + 1);
        lua_pop(L, 1);
        if (!ok) {
            if (error != kTooDeep) error = "element " + std::to_string(i) + ": " + error;
            return false;
        }
        VARIANT* v = value.get();
        void* data = nullptr;
        switch (element) {
            case VT_VARIANT: data = v; break;
            case VT_BSTR: data = V_BSTR(v); break;
            case VT_DISPATCH:
            case VT_UNKNOWN: data = V_UNKNOWN(v); break;
            case VT_DECIMAL: data = &V_DECIMAL(v); break;
            default: data = &V_UI1(v); break;
        }
        const HRESULT hr = ::SafeArrayPutElement(array.get(), &i, data);
        if (FAILED(hr)) {
            error = "element " + std::to_string(i) + ": " + ComErrorText::FromHResult(hr);
            return false;
        }
    }
    V_VT(out) = static_cast<VARTYPE>(VT_ARRAY | element);
    V_ARRAY(out) = array.release();
    return true;
}

bool VariantBridge::ToLuaAt(lua_State* L, const VARIANT* v, std::string& error, int depth) {
    if (depth >= kMaxDepth) {
        error = "values nested more than 32 deep";
        return false;
    }
    const VARTYPE vt = V_VT(v);
    if (vt & VT_BYREF) {
        if (vt == (VT_BYREF | VT_VARIANT)) {
            if (!V_VARIANTREF(v)) {
                lua_pushnil(L);
                return true;
            }
            return ToLuaAt(L, V_VARIANTREF(v), error, depth + 1);
        }
        common::Variant value;
        const HRESULT hr = ::VariantCopyInd(value.get(), const_cast<VARIANT*>(v));
        if (FAILED(hr)) {
            error = "cannot read a " + TypeName(vt) + " (" + ComErrorText::FromHResult(hr) + ")";
            return false;
        }
        return ToLuaAt(L, value.get(), error, depth + 1);
    }
    if (vt & VT_ARRAY) return ArrayToTable(L, V_ARRAY(v), static_cast<VARTYPE>(vt & VT_TYPEMASK), error, depth);
    switch (vt) {
        case VT_EMPTY:
        case VT_NULL:
            lua_pushnil(L);
            return true;
        case VT_BOOL:
            lua_pushboolean(L, V_BOOL(v) != VARIANT_FALSE);
            return true;
        case VT_BSTR: {
            const std::string text = WideToAnsi(V_BSTR(v), ::SysStringLen(V_BSTR(v)));
            lua_pushlstring(L, text.data(), text.size());
            return true;
        }
        case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_INT: case VT_UI1: case VT_UI2: case VT_UI4:
        case VT_UI8: case VT_UINT: case VT_R4: case VT_R8: case VT_CY: case VT_DECIMAL: {
            common::Variant number;
            const HRESULT hr = ::VariantChangeType(number.get(), const_cast<VARIANT*>(v), 0, VT_R8);
            if (FAILED(hr)) {
                error = "cannot read a " + TypeName(vt) + " as a number (" + ComErrorText::FromHResult(hr) + ")";
                return false;
            }
            lua_pushnumber(L, V_R8(number.get()));
            return true;
        }
        case VT_DATE: {
            common::Variant text;
            const HRESULT hr = ::VariantChangeTypeEx(text.get(), const_cast<VARIANT*>(v), LOCALE_USER_DEFAULT, 0, VT_BSTR);
            if (FAILED(hr)) {
                error = "cannot read a DATE (" + ComErrorText::FromHResult(hr) + ")";
                return false;
            }
            return ToLuaAt(L, text.get(), error, depth + 1);
        }
        case VT_ERROR:
            // A parameter left out reads as nil; any other code as its number.
            if (V_ERROR(v) == DISP_E_PARAMNOTFOUND) {
                lua_pushnil(L);
            } else {
                lua_pushnumber(L, static_cast<lua_Number>(static_cast<unsigned long>(V_ERROR(v))));
            }
            return true;
        case VT_DISPATCH:
            LuaComObject::Push(L, V_DISPATCH(v));
            return true;
        case VT_UNKNOWN: {
            if (!V_UNKNOWN(v)) {
                lua_pushnil(L);
                return true;
            }
            common::ComPtr<IDispatch> dispatch;
            if (FAILED(V_UNKNOWN(v)->QueryInterface(IID_IDispatch, dispatch.put_void()))) {
                error = "an object without IDispatch can't be used from Lua";
                return false;
            }
            LuaComObject::Push(L, dispatch.get());
            return true;
        }
        default:
            error = "unsupported VARIANT type " + TypeName(vt);
            return false;
    }
}

bool VariantBridge::ArrayToTable(lua_State* L, SAFEARRAY* array, VARTYPE element, std::string& error, int depth) {
    if (!lua_checkstack(L, 4)) {
        error = "arrays nested too deep";
        return false;
    }
    const UINT dimensions = array ? ::SafeArrayGetDim(array) : 0;
    if (dimensions == 0) {
        lua_newtable(L);
        lua_pushstring(L, "n");
        lua_pushnumber(L, 0);
        lua_rawset(L, -3);
        return true;
    }
    if (!SupportedElement(element)) {
        error = "arrays of " + TypeName(element) + " are not supported";
        return false;
    }
    std::vector<LONG> indices(dimensions);
    return DimensionToTable(L, array, element, indices.data(), 1, dimensions, error, depth);
}

bool VariantBridge::DimensionToTable(lua_State* L, SAFEARRAY* array, VARTYPE element, LONG* indices, UINT dimension,
                                     UINT dimensions, std::string& error, int depth) {
    if (depth >= kMaxDepth || !lua_checkstack(L, 4)) {
        error = "arrays nested too deep";
        return false;
    }
    LONG lower = 0, upper = -1;
    if (FAILED(::SafeArrayGetLBound(array, dimension, &lower)) || FAILED(::SafeArrayGetUBound(array, dimension, &upper))) {
        error = "cannot read an array's bounds";
        return false;
    }
    const LONG count = upper >= lower ? upper - lower + 1 : 0;
    lua_newtable(L);
    const int table = lua_gettop(L);
    for (LONG i = 0; i < count; ++i) {
        indices[dimension - 1] = lower + i;
        if (dimension < dimensions) {
            if (!DimensionToTable(L, array, element, indices, dimension + 1, dimensions, error, depth + 1)) {
                lua_settop(L, table - 1);
                return false;
            }
        } else {
            common::Variant value;
            VARIANT* v = value.get();
            HRESULT hr;
            if (element == VT_VARIANT) {
                hr = ::SafeArrayGetElement(array, indices, v);
            } else if (element == VT_DECIMAL) {
                DECIMAL d;
                hr = ::SafeArrayGetElement(array, indices, &d);
                if (SUCCEEDED(hr)) {
                    V_DECIMAL(v) = d;
                    V_VT(v) = VT_DECIMAL;
                }
            } else {
                // The element is copied into the value's union; its type is set only once
                // the copy succeeded, so a failure leaves nothing to free.
                hr = ::SafeArrayGetElement(array, indices, &V_UI1(v));
                if (SUCCEEDED(hr)) V_VT(v) = element;
            }
            if (FAILED(hr) || !ToLuaAt(L, v, error, depth + 1)) {
                if (FAILED(hr)) error = "cannot read an array element (" + ComErrorText::FromHResult(hr) + ")";
                lua_settop(L, table - 1);
                return false;
            }
        }
        lua_rawseti(L, table, static_cast<int>(i + 1));
    }
    lua_pushstring(L, "n");
    lua_pushnumber(L, count);
    lua_rawset(L, table);
    return true;
}

std::string VariantBridge::TypeName(VARTYPE vt) {
    if (vt & VT_ARRAY) return "SAFEARRAY(" + TypeName(static_cast<VARTYPE>(vt & VT_TYPEMASK)) + ")";
    if (vt & VT_BYREF) return TypeName(static_cast<VARTYPE>(vt & ~VT_BYREF)) + "*";
    switch (vt) {
        case VT_EMPTY: return "EMPTY";
        case VT_NULL: return "NULL";
        case VT_I1: return "CHAR";
        case VT_I2: return "SHORT";
        case VT_I4: return "LONG";
        case VT_I8: return "LONGLONG";
        case VT_UI1: return "BYTE";
        case VT_UI2: return "USHORT";
        case VT_UI4: return "ULONG";
        case VT_UI8: return "ULONGLONG";
        case VT_INT: return "INT";
        case VT_UINT: return "UINT";
        case VT_R4: return "FLOAT";
        case VT_R8: return "DOUBLE";
        case VT_CY: return "CURRENCY";
        case VT_DATE: return "DATE";
        case VT_BSTR: return "BSTR";
        case VT_BOOL: return "VARIANT_BOOL";
        case VT_ERROR: return "SCODE";
        case VT_VARIANT: return "VARIANT";
        case VT_DECIMAL: return "DECIMAL";
        case VT_DISPATCH: return "IDispatch*";
        case VT_UNKNOWN: return "IUnknown*";
        default: {
            char text[32];
            std::snprintf(text, sizeof text, "VARTYPE 0x%04X", static_cast<unsigned>(vt));
            return text;
        }
    }
}

}  // namespace scriptdeck
