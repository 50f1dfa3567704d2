#pragma once
// The late-bound COM bridge of the engine's Lua state: the `com` library, objects as
// userdata, event sinks, and the engine thread's message loop. One bridge per Lua
// state, owned by the host, which closes the state before it destroys the bridge.
//
// Lua errors unwind with longjmp, which skips C++ destructors. Every Lua-facing
// function of the bridge therefore runs through Run(): its work function may hold C++
// objects and reports a failure by pushing the message and returning kRaise; the error
// is raised only after the work function has returned.
#include <windows.h>

#include <string>
#include <vector>

#include "common/Variant.h"
#include "scriptdeck/bridge/EventQueue.h"

// The Lua types by name only: the host includes this header beside the runtime's own
// Lua headers.
struct lua_State;
struct lua_Debug;

namespace scriptdeck {

// What a work function returns when its error message is on the stack.
constexpr int kRaise = -1;

class ComBridge {
public:
    using Work = int (*)(lua_State* L, ComBridge& bridge);

    ComBridge() = default;
    ComBridge(const ComBridge&) = delete;
    ComBridge& operator=(const ComBridge&) = delete;

    // Installs the bridge in the engine's main state: the global table `com`, the
    // metatables of objects and connections, and the engine thread's event window.
    // False when the window can't be created.
    bool Open(lua_State* L);
    // The bridge of a state in which Open ran.
    static ComBridge& From(lua_State* L);
    // The state is about to close: from now on no event handler runs (objects released
    // while the state closes may still fire events).
    void Close() { closing_ = true; }

    // Runs one Lua-facing function (see above). Before and after the work: a quit
    // message ends the script; an event handler that failed during the work has its
    // error raised here.
    int Run(lua_State* L, Work work);

    // The message loop. PumpMessages dispatches what is waiting and answers whether the
    // script goes on (false once a quit message came); Wait keeps dispatching for a time.
    bool PumpMessages();
    void Wait(DWORD milliseconds);
    // A quit message ended the script; its exit code.
    bool Quitting() const { return quitting_; }
    int QuitCode() const { return quitCode_; }

    // Runs the function `event` of the sink table `tableRef` with the event's arguments,
    // on the engine thread, in the state whose bridge call is under way.
    void RunHandler(int tableRef, const std::wstring& event, std::vector<common::Variant>& args);
    // References to Lua values that C++ objects keep (sink tables).
    int NewRef(lua_State* L, int index);
    void FreeRef(int ref);

    EventQueue& Events() { return events_; }

private:
    int Guarded(lua_State* L, Work work) noexcept;
    int Finish(lua_State* L, int results, int depth);
    int RaiseQuit(lua_State* L);
    static void __cdecl QuitHook(lua_State* L, lua_Debug* ar);
    static int __cdecl CallHandler(lua_State* L);

    lua_State* main_ = nullptr;
    lua_State* active_ = nullptr;  // the state of the innermost bridge call under way
    int depth_ = 0;                // bridge calls under way
    bool closing_ = false;
    bool quitting_ = false;
    int quitCode_ = 0;
    bool handlerFailed_ = false;   // an event handler failed; its error waits to be raised
    int handlerDepth_ = 0;         // in the bridge call at this depth
    std::string handlerError_;
    EventQueue events_;
};

// The C function Lua calls for a work function.
template <ComBridge::Work W>
int __cdecl LuaEntry(lua_State* L) {
    return ComBridge::From(L).Run(L, W);
}

}  // namespace scriptdeck
