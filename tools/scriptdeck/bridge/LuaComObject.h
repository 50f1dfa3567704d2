#pragma once
// A COM object as the script sees it: a userdata holding one reference to the object's
// IDispatch, released when the userdata is collected (or by com.Release).
//
//   obj:Method(a, b)   a method call; out parameters come back as extra results
//   obj.Property       a property read (a parameterless property of the type information)
//   obj.Property = v   a property write
//   obj:Property(i)    a property read with arguments, or any member of an object
//                      without type information
//
// Names are resolved with GetIDsOfNames and described by the object's type information
// when it has some; calls go through IDispatch::Invoke.
#include <windows.h>
#include <oaidl.h>

#include <map>
#include <string>

#include "common/ComPtr.h"
#include "scriptdeck/bridge/Lua50.h"
#include "scriptdeck/bridge/MemberLookup.h"

namespace scriptdeck {

class ComBridge;

class LuaComObject {
public:
    explicit LuaComObject(common::ComPtr<IDispatch> dispatch) : dispatch_(std::move(dispatch)) {}
    LuaComObject(const LuaComObject&) = delete;
    LuaComObject& operator=(const LuaComObject&) = delete;

    // Creates the metatable of COM objects in the state.
    static void Register(lua_State* L);
    // Pushes a new COM object for `dispatch` (nil for null).
    static void Push(lua_State* L, IDispatch* dispatch);
    // The COM object at `index`, or null when the value is something else.
    static LuaComObject* At(lua_State* L, int index);

    // Null once released.
    IDispatch* Dispatch() const { return dispatch_.get(); }
    void Release();
    // What the object says about `name`; GetIDsOfNames' failure otherwise.
    HRESULT Member(const std::string& name, const MemberInfo*& member);
    // "IUnRar" or, without type information, "object".
    std::string TypeName();

private:
    static int Index(lua_State* L, ComBridge& bridge);
    static int NewIndex(lua_State* L, ComBridge& bridge);
    static int CallMember(lua_State* L, ComBridge& bridge);
    static int __cdecl Collect(lua_State* L);
    static int ToString(lua_State* L, ComBridge& bridge);
    static int Equal(lua_State* L, ComBridge& bridge);
    // The object at index 1 of a metamethod, or kRaise with a message pushed.
    static LuaComObject* Self(lua_State* L, int index, const char* what);

    ITypeInfo* TypeInfo();

    common::ComPtr<IDispatch> dispatch_;
    common::ComPtr<ITypeInfo> typeInfo_;
    bool typeInfoRead_ = false;
    std::map<std::string, MemberInfo> members_;
};

}  // namespace scriptdeck
