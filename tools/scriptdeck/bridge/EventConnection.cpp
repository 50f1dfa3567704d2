#include "scriptdeck/bridge/EventConnection.h"

#include <new>
#include <string>

#include "common/HResult.h"
#include "scriptdeck/bridge/ComBridge.h"
#include "scriptdeck/bridge/ComErrorText.h"
#include "scriptdeck/bridge/LuaComObject.h"
#include "scriptdeck/bridge/MemberLookup.h"

namespace scriptdeck {
namespace {

const char kMetatable[] = "scriptdeck.connection";
// Registry key of the table of live connections (the address is the key).
char kConnectionsKey;

void PushMetatable(lua_State* L) {
    lua_pushstring(L, kMetatable);
    lua_rawget(L, LUA_REGISTRYINDEX);
}

void PushConnections(lua_State* L) {
    lua_pushlightuserdata(L, &kConnectionsKey);
    lua_rawget(L, LUA_REGISTRYINDEX);
}

int Fail(lua_State* L, const std::string& text) {
    luaL_where(L, 1);
    lua_pushlstring(L, text.data(), text.size());
    lua_concat(L, 2);
    return kRaise;
}

}  // namespace

void EventConnection::Register(lua_State* L) {
    luaL_newmetatable(L, kMetatable);
    lua_pushstring(L, "__index");
    lua_newtable(L);
    lua_pushstring(L, "Disconnect");
    lua_pushcclosure(L, LuaEntry<Disconnect>, 0);
    lua_rawset(L, -3);
    lua_rawset(L, -3);
    lua_pushstring(L, "__gc");
    lua_pushcclosure(L, Collect, 0);
    lua_rawset(L, -3);
    lua_pushstring(L, "__metatable");
    lua_pushstring(L, "COM connection");
    lua_rawset(L, -3);
    lua_pop(L, 1);

    lua_pushlightuserdata(L, &kConnectionsKey);
    lua_newtable(L);
    lua_rawset(L, LUA_REGISTRYINDEX);
}

EventConnection* EventConnection::At(lua_State* L, int index) {
    if (lua_type(L, index) != LUA_TUSERDATA || !lua_getmetatable(L, index)) return nullptr;
    PushMetatable(L);
    const bool ours = lua_rawequal(L, -1, -2) != 0;
    lua_pop(L, 2);
    return ours ? static_cast<EventConnection*>(lua_touserdata(L, index)) : nullptr;
}

int EventConnection::Connect(lua_State* L, ComBridge& bridge) {
    LuaComObject* object = LuaComObject::At(L, 1);
    if (!object || lua_type(L, 2) != LUA_TTABLE) return Fail(L, "com.Connect(obj, sink): expected a COM object and a table");
    IDispatch* dispatch = object->Dispatch();
    if (!dispatch) return Fail(L, "com.Connect: the COM object was released");
    const std::string label = "com.Connect(" + object->TypeName() + "): ";

    IID iid;
    common::ComPtr<ITypeInfo> events;
    HRESULT hr = MemberLookup::DefaultSource(dispatch, iid, events);
    if (FAILED(hr)) return Fail(L, label + "the object names no event interface (" + ComErrorText::FromHResult(hr) + ")");
    common::ComPtr<IConnectionPointContainer> container;
    hr = dispatch->QueryInterface(IID_IConnectionPointContainer, container.put_void());
    if (FAILED(hr)) return Fail(L, label + "the object has no connection points (" + ComErrorText::FromHResult(hr) + ")");
    common::ComPtr<IConnectionPoint> point;
    hr = container->FindConnectionPoint(iid, point.put());
    if (FAILED(hr)) return Fail(L, label + "no connection point for its events (" + ComErrorText::FromHResult(hr) + ")");

    const int tableRef = bridge.NewRef(L, 2);
    common::ComPtr<EventSink> sink =
        common::ComPtr<EventSink>::Attach(new (std::nothrow) EventSink(bridge, iid, events, tableRef));
    if (!sink) {
        bridge.FreeRef(tableRef);
        return Fail(L, label + "not enough memory");
    }
    if (!bridge.PumpMessages()) {
        sink->Detach();
        return 0;
    }
    DWORD cookie = 0;
    hr = point->Advise(sink.get(), &cookie);
    if (FAILED(hr)) {
        sink->Detach();
        return Fail(L, label + "Advise failed (" + ComErrorText::FromHResult(hr) + ")");
    }

    void* memory = lua_newuserdata(L, sizeof(EventConnection));
    new (memory) EventConnection(point, cookie, sink);
    PushMetatable(L);
    lua_setmetatable(L, -2);
    // Kept until disconnected: a connection the script doesn't store goes on working.
    PushConnections(L);
    lua_pushvalue(L, -2);
    lua_pushboolean(L, 1);
    lua_rawset(L, -3);
    lua_pop(L, 1);
    return 1;
}

int EventConnection::Disconnect(lua_State* L, ComBridge&) {
    EventConnection* connection = At(L, 1);
    if (!connection) return Fail(L, "Disconnect: expected a connection made by com.Connect");
    connection->Close();
    PushConnections(L);
    lua_pushvalue(L, 1);
    lua_pushnil(L);
    lua_rawset(L, -3);
    lua_pop(L, 1);
    return 0;
}

void EventConnection::Close() {
    if (point_) LOG_IF_FAILED(point_->Unadvise(cookie_));
    if (sink_) sink_->Detach();
    point_.reset();
    sink_.reset();
    cookie_ = 0;
}

int __cdecl EventConnection::Collect(lua_State* L) {
    auto* connection = static_cast<EventConnection*>(lua_touserdata(L, 1));
    if (connection) connection->~EventConnection();
    return 0;
}

}  // namespace scriptdeck
