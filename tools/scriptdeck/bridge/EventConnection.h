#pragma once
// com.Connect(obj, sink): connects the sink table to the object's default event
// interface (the class's [default, source] interface, found through
// IProvideClassInfo2, IProvideClassInfo or the object's type library) through its
// connection point. The connection stays until conn:Disconnect() / com.Disconnect(conn)
// or the end of the script, whether the script keeps the returned value or not.
#include <windows.h>
#include <ocidl.h>

#include "common/ComPtr.h"
#include "scriptdeck/bridge/EventSink.h"
#include "scriptdeck/bridge/Lua50.h"

namespace scriptdeck {

class ComBridge;

class EventConnection {
public:
    EventConnection(common::ComPtr<IConnectionPoint> point, DWORD cookie, common::ComPtr<EventSink> sink)
        : point_(std::move(point)), cookie_(cookie), sink_(std::move(sink)) {}
    ~EventConnection() { Close(); }
    EventConnection(const EventConnection&) = delete;
    EventConnection& operator=(const EventConnection&) = delete;

    // Creates the metatable of connections and the table that keeps them.
    static void Register(lua_State* L);
    // com.Connect(obj, sink) -> connection
    static int Connect(lua_State* L, ComBridge& bridge);
    // com.Disconnect(conn), conn:Disconnect()
    static int Disconnect(lua_State* L, ComBridge& bridge);

private:
    static int __cdecl Collect(lua_State* L);
    static EventConnection* At(lua_State* L, int index);
    // Ends the connection: Unadvise, and the sink forgets its table.
    void Close();

    common::ComPtr<IConnectionPoint> point_;
    DWORD cookie_;
    common::ComPtr<EventSink> sink_;
};

}  // namespace scriptdeck
