#pragma once
// The global table `com` scripts use:
//   com.CreateObject(progId)       a new object by ProgID (or "{CLSID}")
//   com.Connect(obj, sink)         connects a table's functions to the object's events
//   com.Disconnect(connection)     ends a connection
//   com.Sleep(ms)                  waits while running the thread's message loop
//   com.Release(obj)               lets go of the object now instead of at collection
//   com.Get(obj, name, ...)        reads a property (with arguments)
//   com.Put(obj, name, ..., value) writes a property (with arguments)
//   com.Invoke(obj, name, ...)     calls a method
#include "scriptdeck/bridge/Lua50.h"

namespace scriptdeck {

class ComBridge;

class ComLibrary {
public:
    static void Register(lua_State* L);

private:
    static int CreateObject(lua_State* L, ComBridge& bridge);
    static int Sleep(lua_State* L, ComBridge& bridge);
    static int Release(lua_State* L, ComBridge& bridge);
    static int Get(lua_State* L, ComBridge& bridge);
    static int Put(lua_State* L, ComBridge& bridge);
    static int Invoke(lua_State* L, ComBridge& bridge);
};

}  // namespace scriptdeck
