#include "scriptdeck/bridge/LuaComObject.h"

#include <cstdio>
#include <new>

#include "scriptdeck/bridge/AnsiText.h"
#include "scriptdeck/bridge/ComBridge.h"
#include "scriptdeck/bridge/ComErrorText.h"
#include "scriptdeck/bridge/DispatchCall.h"

namespace scriptdeck {
namespace {

const char kMetatable[] = "scriptdeck.object";

void PushMetatable(lua_State* L) {
    lua_pushstring(L, kMetatable);
    lua_rawget(L, LUA_REGISTRYINDEX);
}

void SetField(lua_State* L, const char* name, lua_CFunction fn) {
    lua_pushstring(L, name);
    lua_pushcclosure(L, fn, 0);
    lua_rawset(L, -3);
}

// Pushes "<where><text>" and returns kRaise.
int Fail(lua_State* L, const std::string& text) {
    luaL_where(L, 1);
    lua_pushlstring(L, text.data(), text.size());
    lua_concat(L, 2);
    return kRaise;
}

std::string StringAt(lua_State* L, int index) {
    size_t length = 0;
    const char* text = luaL_checklstring(L, index, &length);
    return std::string(text, length);
}

bool HasInputs(const Signature& sig) {
    for (const ParamShape& p : sig.params)
        if (p.in) return true;
    return false;
}

}  // namespace

void LuaComObject::Register(lua_State* L) {
    luaL_newmetatable(L, kMetatable);
    SetField(L, "__index", LuaEntry<Index>);
    SetField(L, "__newindex", LuaEntry<NewIndex>);
    SetField(L, "__tostring", LuaEntry<ToString>);
    SetField(L, "__eq", LuaEntry<Equal>);
    // Collection runs also while the state closes: never through the bridge's checks.
    SetField(L, "__gc", Collect);
    // getmetatable(obj) in a script gets this instead of the table itself.
    lua_pushstring(L, "__metatable");
    lua_pushstring(L, "COM object");
    lua_rawset(L, -3);
    lua_pop(L, 1);
}

void LuaComObject::Push(lua_State* L, IDispatch* dispatch) {
    if (!dispatch) {
        lua_pushnil(L);
        return;
    }
    void* memory = lua_newuserdata(L, sizeof(LuaComObject));
    new (memory) LuaComObject(common::ComPtr<IDispatch>(dispatch));
    PushMetatable(L);
    lua_setmetatable(L, -2);
}

LuaComObject* LuaComObject::At(lua_State* L, int index) {
    if (lua_type(L, index) != LUA_TUSERDATA || !lua_getmetatable(L, index)) return nullptr;
    PushMetatable(L);
    const bool ours = lua_rawequal(L, -1, -2) != 0;
    lua_pop(L, 2);
    return ours ? static_cast<LuaComObject*>(lua_touserdata(L, index)) : nullptr;
}

void LuaComObject::Release() {
    members_.clear();
    typeInfo_.reset();
    typeInfoRead_ = true;
    dispatch_.reset();
}

ITypeInfo* LuaComObject::TypeInfo() {
    if (!typeInfoRead_) {
        typeInfo_ = MemberLookup::DispatchTypeInfo(dispatch_.get());
        typeInfoRead_ = true;
    }
    return typeInfo_.get();
}

HRESULT LuaComObject::Member(const std::string& name, const MemberInfo*& member) {
    member = nullptr;
    if (!dispatch_) return E_POINTER;
    auto found = members_.find(name);
    if (found == members_.end()) {
        std::wstring wide = AnsiToWide(name.data(), name.size());
        LPOLESTR names[] = {&wide[0]};
        MemberInfo info;
        const HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &info.id);
        if (FAILED(hr)) return hr;
        MemberLookup::Describe(TypeInfo(), info);
        found = members_.emplace(name, std::move(info)).first;
    }
    member = &found->second;
    return S_OK;
}

std::string LuaComObject::TypeName() {
    const std::wstring name = MemberLookup::TypeName(TypeInfo());
    return name.empty() ? std::string("object") : WideToAnsi(name.data(), name.size());
}

LuaComObject* LuaComObject::Self(lua_State* L, int index, const char* what) {
    LuaComObject* self = At(L, index);
    if (!self) {
        Fail(L, std::string(what) + ": call it as a method of a COM object, obj:" + what + "(...)");
        return nullptr;
    }
    return self;
}

int LuaComObject::Index(lua_State* L, ComBridge& bridge) {
    LuaComObject* self = At(L, 1);
    if (!self) return Fail(L, "not a COM object");
    if (lua_type(L, 2) != LUA_TSTRING) return Fail(L, "COM object members are indexed by name");
    const std::string name = StringAt(L, 2);
    if (!self->Dispatch()) return Fail(L, name + ": the COM object was released");
    const MemberInfo* member = nullptr;
    const HRESULT hr = self->Member(name, member);
    if (FAILED(hr)) return Fail(L, self->TypeName() + " has no member " + name + " (" + ComErrorText::FromHResult(hr) + ")");
    if (member->typed && !member->method.present) {
        if (member->get.present && !HasInputs(member->get))
            return DispatchCall::Run(L, bridge, *self, name, *member, CallKind::Get, 3, 2);
        if (!member->get.present) return Fail(L, self->TypeName() + "." + name + " is a write-only property");
    }
    // A method (or a member the type information doesn't describe): a function the
    // script calls with the object, obj:Name(...).
    lua_pushvalue(L, 2);
    lua_pushcclosure(L, LuaEntry<CallMember>, 1);
    return 1;
}

int LuaComObject::CallMember(lua_State* L, ComBridge& bridge) {
    const std::string name = StringAt(L, lua_upvalueindex(1));
    LuaComObject* self = Self(L, 1, name.c_str());
    if (!self) return kRaise;
    if (!self->Dispatch()) return Fail(L, name + ": the COM object was released");
    const MemberInfo* member = nullptr;
    const HRESULT hr = self->Member(name, member);
    if (FAILED(hr)) return Fail(L, self->TypeName() + " has no member " + name + " (" + ComErrorText::FromHResult(hr) + ")");
    CallKind kind = CallKind::Untyped;
    if (member->typed) {
        if (member->method.present) kind = CallKind::Method;
        else if (member->get.present) kind = CallKind::Get;
        else return Fail(L, self->TypeName() + "." + name + " is a write-only property");
    }
    return DispatchCall::Run(L, bridge, *self, name, *member, kind, 2, lua_gettop(L));
}

int LuaComObject::NewIndex(lua_State* L, ComBridge& bridge) {
    LuaComObject* self = At(L, 1);
    if (!self) return Fail(L, "not a COM object");
    if (lua_type(L, 2) != LUA_TSTRING) return Fail(L, "COM object members are indexed by name");
    const std::string name = StringAt(L, 2);
    if (!self->Dispatch()) return Fail(L, name + ": the COM object was released");
    const MemberInfo* member = nullptr;
    const HRESULT hr = self->Member(name, member);
    if (FAILED(hr)) return Fail(L, self->TypeName() + " has no member " + name + " (" + ComErrorText::FromHResult(hr) + ")");
    CallKind kind = CallKind::Put;
    if (member->typed) {
        if (member->put.present) kind = CallKind::Put;
        else if (member->putRef.present) kind = CallKind::PutRef;
        else if (member->method.present) return Fail(L, self->TypeName() + "." + name + " is a method, not a property");
        else return Fail(L, self->TypeName() + "." + name + " is a read-only property");
    }
    return DispatchCall::Run(L, bridge, *self, name, *member, kind, 3, 3);
}

int __cdecl LuaComObject::Collect(lua_State* L) {
    auto* self = static_cast<LuaComObject*>(lua_touserdata(L, 1));
    if (self) self->~LuaComObject();
    return 0;
}

int LuaComObject::ToString(lua_State* L, ComBridge&) {
    LuaComObject* self = At(L, 1);
    if (!self) return Fail(L, "not a COM object");
    char text[160];
    if (self->Dispatch()) {
        std::snprintf(text, sizeof text, "COM object %s: %p", self->TypeName().c_str(), static_cast<void*>(self->Dispatch()));
    } else {
        std::snprintf(text, sizeof text, "COM object (released)");
    }
    lua_pushstring(L, text);
    return 1;
}

int LuaComObject::Equal(lua_State* L, ComBridge&) {
    LuaComObject* a = At(L, 1);
    LuaComObject* b = At(L, 2);
    bool same = lua_rawequal(L, 1, 2) != 0;
    if (!same && a && b && a->Dispatch() && b->Dispatch()) {
        // Two userdata for one object: COM identity is the IUnknown pointer.
        common::ComPtr<IUnknown> ua, ub;
        same = SUCCEEDED(a->Dispatch()->QueryInterface(IID_IUnknown, ua.put_void())) &&
               SUCCEEDED(b->Dispatch()->QueryInterface(IID_IUnknown, ub.put_void())) && ua.get() == ub.get();
    }
    lua_pushboolean(L, same);
    return 1;
}

}  // namespace scriptdeck
