#pragma once
// One late-bound call: the Lua arguments become the DISPPARAMS the member's signature
// asks for (by-reference parameters get storage of their declared type, [out]-only
// parameters take no Lua argument, left-out optional ones are passed as missing), the
// thread's messages are dispatched, IDispatch::Invoke runs, and the results come back:
// the return value (when the member has one), then every out parameter in order.
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "common/Variant.h"
#include "scriptdeck/bridge/Lua50.h"
#include "scriptdeck/bridge/MemberLookup.h"

namespace scriptdeck {

class ComBridge;
class LuaComObject;

enum class CallKind {
    Method,   // DISPATCH_METHOD
    Get,      // DISPATCH_PROPERTYGET
    Put,      // DISPATCH_PROPERTYPUT, the last argument the value
    PutRef,   // DISPATCH_PROPERTYPUTREF
    Untyped,  // no type information: DISPATCH_METHOD | DISPATCH_PROPERTYGET, as Visual Basic calls
};

class DispatchCall {
public:
    // Calls `name` with the Lua values first..last and pushes the results: returns their
    // count, or kRaise with the error message pushed.
    static int Run(lua_State* L, ComBridge& bridge, LuaComObject& object, const std::string& name,
                   const MemberInfo& member, CallKind kind, int first, int last);

private:
    // One argument: its storage (the value, or the referenced value for VT_BYREF) and
    // what Invoke receives.
    struct Slot {
        common::Variant storage;
        VARIANT passed;
        bool returns = false;  // an out parameter: its value is a result
    };

    DispatchCall(lua_State* L, const std::string& label) : L_(L), label_(label) {}
    bool AddValue(int index, const ParamShape* shape);
    bool AddOutOnly(const ParamShape& shape);
    void AddMissing();
    int Fail(const std::string& text);

    lua_State* L_;
    std::string label_;  // "IDeckProbe.Divide" for messages
    std::vector<Slot> slots_;
};

}  // namespace scriptdeck
