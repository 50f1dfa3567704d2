#include "scriptdeck/bridge/ComLibrary.h"

#include <string>

#include "common/ComPtr.h"
#include "scriptdeck/bridge/AnsiText.h"
#include "scriptdeck/bridge/ComBridge.h"
#include "scriptdeck/bridge/ComErrorText.h"
#include "scriptdeck/bridge/DispatchCall.h"
#include "scriptdeck/bridge/EventConnection.h"
#include "scriptdeck/bridge/LuaComObject.h"

namespace scriptdeck {
namespace {

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

void SetFunction(lua_State* L, const char* name, lua_CFunction fn) {
    lua_pushstring(L, name);
    lua_pushcclosure(L, fn, 0);
    lua_rawset(L, -3);
}

// com.Get / com.Put / com.Invoke: the object and member name at 1 and 2, arguments after.
int CallByName(lua_State* L, ComBridge& bridge, CallKind kind, const char* function) {
    LuaComObject* object = LuaComObject::At(L, 1);
    if (!object || lua_type(L, 2) != LUA_TSTRING)
        return Fail(L, std::string(function) + "(obj, name, ...): expected a COM object and a member name");
    const std::string name = StringAt(L, 2);
    if (!object->Dispatch()) return Fail(L, std::string(function) + ": the COM object was released");
    const MemberInfo* member = nullptr;
    const HRESULT hr = object->Member(name, member);
    if (FAILED(hr))
        return Fail(L, object->TypeName() + " has no member " + name + " (" + ComErrorText::FromHResult(hr) + ")");
    if (kind == CallKind::Put && member->typed && !member->put.present && member->putRef.present) kind = CallKind::PutRef;
    return DispatchCall::Run(L, bridge, *object, name, *member, kind, 3, lua_gettop(L));
}

}  // namespace

void ComLibrary::Register(lua_State* L) {
    lua_pushstring(L, "com");
    lua_newtable(L);
    SetFunction(L, "CreateObject", LuaEntry<CreateObject>);
    SetFunction(L, "Connect", LuaEntry<EventConnection::Connect>);
    SetFunction(L, "Disconnect", LuaEntry<EventConnection::Disconnect>);
    SetFunction(L, "Sleep", LuaEntry<Sleep>);
    SetFunction(L, "Release", LuaEntry<Release>);
    SetFunction(L, "Get", LuaEntry<Get>);
    SetFunction(L, "Put", LuaEntry<Put>);
    SetFunction(L, "Invoke", LuaEntry<Invoke>);
    lua_settable(L, LUA_GLOBALSINDEX);
}

int ComLibrary::CreateObject(lua_State* L, ComBridge& bridge) {
    if (lua_type(L, 1) != LUA_TSTRING) return Fail(L, "com.CreateObject(progId): expected a ProgID string");
    const std::string progId = StringAt(L, 1);
    const std::string label = "com.CreateObject(\"" + progId + "\"): ";
    const std::wstring wide = AnsiToWide(progId.data(), progId.size());
    CLSID clsid;
    HRESULT hr = (!wide.empty() && wide[0] == L'{') ? ::CLSIDFromString(wide.c_str(), &clsid)
                                                    : ::CLSIDFromProgID(wide.c_str(), &clsid);
    if (FAILED(hr)) return Fail(L, label + ComErrorText::FromHResult(hr));
    if (!bridge.PumpMessages()) return 0;
    common::ComPtr<IDispatch> object;
    hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                            object.put_void());
    if (FAILED(hr)) return Fail(L, label + ComErrorText::FromHResult(hr));
    LuaComObject::Push(L, object.get());
    return 1;
}

int ComLibrary::Sleep(lua_State* L, ComBridge& bridge) {
    const int type = lua_type(L, 1);
    if (type != LUA_TNUMBER && type != LUA_TNIL && type != LUA_TNONE)
        return Fail(L, "com.Sleep(ms): expected a number of milliseconds");
    const lua_Number ms = type == LUA_TNUMBER ? lua_tonumber(L, 1) : 0;
    // Negative (and not-a-number) waits are no wait; the longest is just short of INFINITE.
    const DWORD wait = ms > 0 ? (ms < 4294967294.0 ? static_cast<DWORD>(ms) : 4294967294u) : 0;
    bridge.Wait(wait);
    return 0;
}

int ComLibrary::Release(lua_State* L, ComBridge&) {
    LuaComObject* object = LuaComObject::At(L, 1);
    if (!object) return Fail(L, "com.Release(obj): expected a COM object");
    object->Release();
    return 0;
}

int ComLibrary::Get(lua_State* L, ComBridge& bridge) { return CallByName(L, bridge, CallKind::Get, "com.Get"); }

int ComLibrary::Put(lua_State* L, ComBridge& bridge) { return CallByName(L, bridge, CallKind::Put, "com.Put"); }

int ComLibrary::Invoke(lua_State* L, ComBridge& bridge) {
    return CallByName(L, bridge, CallKind::Method, "com.Invoke");
}

}  // namespace scriptdeck
