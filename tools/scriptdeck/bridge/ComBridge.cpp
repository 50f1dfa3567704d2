#include "scriptdeck/bridge/ComBridge.h"

#include <new>

#include "common/DebugLog.h"
#include "scriptdeck/bridge/AnsiText.h"
#include "scriptdeck/bridge/ComLibrary.h"
#include "scriptdeck/bridge/EventConnection.h"
#include "scriptdeck/bridge/Lua50.h"
#include "scriptdeck/bridge/LuaComObject.h"
#include "scriptdeck/bridge/MessagePump.h"
#include "scriptdeck/bridge/VariantBridge.h"

namespace scriptdeck {
namespace {

// Registry key of the bridge pointer (the address is the key).
char kBridgeKey;

const char kQuitMessage[] = "the script was ended by a quit message";

// What CallHandler needs; it lives in RunHandler's frame.
struct HandlerCall {
    int tableRef;
    const std::string* name;
    std::vector<common::Variant>* args;
    std::string* error;  // a conversion failure, set before the Lua error is raised
};

}  // namespace

bool ComBridge::Open(lua_State* L) {
    main_ = L;
    if (!events_.Create()) return false;
    lua_pushlightuserdata(L, &kBridgeKey);
    lua_pushlightuserdata(L, this);
    lua_rawset(L, LUA_REGISTRYINDEX);
    LuaComObject::Register(L);
    EventConnection::Register(L);
    ComLibrary::Register(L);
    return true;
}

ComBridge& ComBridge::From(lua_State* L) {
    lua_pushlightuserdata(L, &kBridgeKey);
    lua_rawget(L, LUA_REGISTRYINDEX);
    auto* bridge = static_cast<ComBridge*>(lua_touserdata(L, -1));
    lua_pop(L, 1);
    return *bridge;
}

int ComBridge::Run(lua_State* L, Work work) {
    if (quitting_) return RaiseQuit(L);
    lua_State* const previous = active_;
    active_ = L;
    const int depth = ++depth_;
    const int results = Guarded(L, work);
    --depth_;
    active_ = previous;
    return Finish(L, results, depth);
}

int ComBridge::Guarded(lua_State* L, Work work) noexcept {
    const char* failure = nullptr;
    try {
        return work(L, *this);
    } catch (const std::bad_alloc&) {
        failure = "scriptdeck: not enough memory";
    } catch (...) {
        failure = "scriptdeck: unexpected failure in the COM bridge";
    }
    lua_pushstring(L, failure);
    return kRaise;
}

int ComBridge::Finish(lua_State* L, int results, int depth) {
    if (quitting_) return RaiseQuit(L);
    if (handlerFailed_ && handlerDepth_ >= depth) {
        // The handler failed during this call: its error comes first.
        handlerFailed_ = false;
        lua_pushlstring(L, handlerError_.data(), handlerError_.size());
        handlerError_.clear();
        return lua_error(L);
    }
    if (results == kRaise) return lua_error(L);
    return results;
}

int ComBridge::RaiseQuit(lua_State* L) {
    // A pcall in the script must not catch the end: every further instruction raises
    // it again, in this state and in the main one (when L is a coroutine).
    lua_sethook(L, QuitHook, LUA_MASKCOUNT, 1);
    if (main_ && main_ != L) lua_sethook(main_, QuitHook, LUA_MASKCOUNT, 1);
    lua_pushstring(L, kQuitMessage);
    return lua_error(L);
}

void __cdecl ComBridge::QuitHook(lua_State* L, lua_Debug*) {
    lua_pushstring(L, kQuitMessage);
    lua_error(L);
}

bool ComBridge::PumpMessages() {
    int code = 0;
    if (!quitting_ && MessagePump::Drain(code)) {
        quitting_ = true;
        quitCode_ = code;
    }
    return !quitting_;
}

void ComBridge::Wait(DWORD milliseconds) {
    int code = 0;
    if (!quitting_ && MessagePump::Wait(milliseconds, code)) {
        quitting_ = true;
        quitCode_ = code;
    }
}

int ComBridge::NewRef(lua_State* L, int index) {
    lua_pushvalue(L, index);
    return luaL_ref(L, LUA_REGISTRYINDEX);
}

void ComBridge::FreeRef(int ref) {
    if (main_ && ref != LUA_NOREF && ref != LUA_REFNIL) luaL_unref(main_, LUA_REGISTRYINDEX, ref);
}

void ComBridge::RunHandler(int tableRef, const std::wstring& event, std::vector<common::Variant>& args) {
    // After a failure the other handlers wait until its error has been raised.
    if (closing_ || quitting_ || handlerFailed_ || !main_) return;
    lua_State* const L = active_ ? active_ : main_;
    const std::string name = WideToAnsi(event.data(), event.size());
    std::string conversionError;
    HandlerCall call = {tableRef, &name, &args, &conversionError};
    const int top = lua_gettop(L);
    if (lua_cpcall(L, CallHandler, &call) != 0) {
        std::string message = conversionError;
        if (message.empty()) {
            size_t length = 0;
            const char* text = lua_type(L, -1) == LUA_TSTRING ? luaL_checklstring(L, -1, &length) : nullptr;
            message = text ? std::string(text, length) : std::string("(error object is not a string)");
        }
        // A handler ended by the quit message just ends; the quit is raised anyway.
        if (!quitting_) {
            handlerFailed_ = true;
            handlerDepth_ = depth_;
            handlerError_ = "event handler " + name + ": " + message;
            common::DebugOut(("scriptdeck: " + handlerError_ + "\n").c_str());
        }
    }
    lua_settop(L, top);
}

int __cdecl ComBridge::CallHandler(lua_State* L) {
    auto* call = static_cast<HandlerCall*>(lua_touserdata(L, 1));
    const int argCount = static_cast<int>(call->args->size());
    if (!lua_checkstack(L, argCount + 8)) {
        lua_pushstring(L, "too many event arguments");
        return lua_error(L);
    }
    lua_rawgeti(L, LUA_REGISTRYINDEX, call->tableRef);  // 2: the sink table
    lua_pushlstring(L, call->name->data(), call->name->size());
    lua_gettable(L, 2);  // 3: its function for the event (metatables apply)
    if (lua_type(L, 3) == LUA_TNIL) return 0;  // the script doesn't handle this event
    lua_pushvalue(L, 2);  // the table is the handler's first argument (sink:OnProgress(p))
    bool converted = true;
    try {
        for (int i = 0; i < argCount && converted; ++i) {
            converted = VariantBridge::ToLua(L, (*call->args)[static_cast<size_t>(i)].get(), *call->error);
            if (!converted) *call->error = "argument " + std::to_string(i + 1) + ": " + *call->error;
        }
    } catch (...) {
        converted = false;
        *call->error = "not enough memory for the event's arguments";
    }
    if (!converted) {
        lua_pushlstring(L, call->error->data(), call->error->size());
        return lua_error(L);
    }
    lua_call(L, argCount + 1, 0);
    return 0;
}

}  // namespace scriptdeck
