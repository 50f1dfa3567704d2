#include "scriptdeck/bridge/DispatchCall.h"

#include <cstring>

#include "common/Bstr.h"
#include "common/ComPtr.h"
#include "scriptdeck/bridge/ComBridge.h"
#include "scriptdeck/bridge/ComErrorText.h"
#include "scriptdeck/bridge/LuaComObject.h"
#include "scriptdeck/bridge/VariantBridge.h"

namespace scriptdeck {
namespace {

const Signature* SignatureFor(const MemberInfo& member, CallKind kind) {
    if (!member.typed) return nullptr;
    const Signature* sig = nullptr;
    switch (kind) {
        case CallKind::Method: sig = &member.method; break;
        case CallKind::Get: sig = &member.get; break;
        case CallKind::Put: sig = &member.put; break;
        case CallKind::PutRef: sig = &member.putRef; break;
        case CallKind::Untyped: break;
    }
    return sig && sig->present ? sig : nullptr;
}

WORD FlagsFor(CallKind kind) {
    switch (kind) {
        case CallKind::Method: return DISPATCH_METHOD;
        case CallKind::Get: return DISPATCH_PROPERTYGET;
        case CallKind::Put: return DISPATCH_PROPERTYPUT;
        case CallKind::PutRef: return DISPATCH_PROPERTYPUTREF;
        case CallKind::Untyped: break;
    }
    return DISPATCH_METHOD | DISPATCH_PROPERTYGET;
}

// Points `passed` at the value held in `storage`, as a reference of type vt.
void MakeReference(VARIANT* storage, VARTYPE vt, VARIANT* passed) {
    if (vt == VT_VARIANT || vt == VT_EMPTY) {
        V_VT(passed) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(passed) = storage;
    } else {
        // Every member of the value union starts at the same address.
        V_VT(passed) = static_cast<VARTYPE>(VT_BYREF | vt);
        V_BYREF(passed) = &V_UI1(storage);
    }
}

}  // namespace

int DispatchCall::Run(lua_State* L, ComBridge& bridge, LuaComObject& object, const std::string& name,
                      const MemberInfo& member, CallKind kind, int first, int last) {
    DispatchCall call(L, object.TypeName() + "." + name);
    const Signature* sig = SignatureFor(member, kind);
    const int luaCount = last >= first ? last - first + 1 : 0;
    // Slots never move once made: references point into their storage.
    call.slots_.reserve((sig ? sig->params.size() : 0) + static_cast<size_t>(luaCount));

    int next = first;
    if (sig) {
        size_t missing = 0;  // optional parameters left out so far
        for (const ParamShape& p : sig->params) {
            if (p.in && next <= last) {
                if (!call.AddValue(next++, &p)) return kRaise;
            } else if (p.in) {
                ++missing;
            } else {
                // An out parameter after left-out ones: those must hold their places.
                for (; missing > 0; --missing) call.AddMissing();
                if (!call.AddOutOnly(p)) return kRaise;
            }
        }
    }
    // Values beyond the declared parameters (all of them without type information):
    // the object judges them.
    for (; next <= last; ++next)
        if (!call.AddValue(next, nullptr)) return kRaise;

    const bool put = kind == CallKind::Put || kind == CallKind::PutRef;
    const UINT count = static_cast<UINT>(call.slots_.size());
    if (put && count == 0) return call.Fail("no value to assign");
    std::vector<VARIANT> args(count);
    for (UINT i = 0; i < count; ++i) args[count - 1 - i] = call.slots_[i].passed;
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params = {count ? args.data() : nullptr, put ? &putId : nullptr, count, put ? 1u : 0u};

    // The engine's loop runs between calls: what other threads and timers sent is
    // handled before the object is called. A quit message ends the script instead.
    if (!bridge.PumpMessages()) return 0;

    common::ComPtr<IDispatch> target(object.Dispatch());  // alive through the call
    if (!target) return call.Fail("the COM object was released");
    common::Variant result;
    EXCEPINFO excep;
    std::memset(&excep, 0, sizeof excep);
    UINT argErr = 0;
    const HRESULT hr = target->Invoke(member.id, IID_NULL, LOCALE_USER_DEFAULT, FlagsFor(kind), &params,
                                      put ? nullptr : result.get(), &excep, &argErr);
    if (FAILED(hr)) {
        std::string where;
        if ((hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND || hr == DISP_E_OVERFLOW) && argErr < count)
            where = "argument " + std::to_string(count - argErr) + ": ";
        return call.Fail(where + ComErrorText::FromInvoke(hr, excep));
    }
    common::Bstr source = common::Bstr::Attach(excep.bstrSource);
    common::Bstr description = common::Bstr::Attach(excep.bstrDescription);
    common::Bstr helpFile = common::Bstr::Attach(excep.bstrHelpFile);

    // The return value, then the out parameters in their order.
    const bool returns = sig ? sig->returnsValue : !put;
    if (!lua_checkstack(L, static_cast<int>(count) + 2)) return call.Fail("too many results");
    int results = 0;
    std::string error;
    if (returns) {
        if (!VariantBridge::ToLua(L, result.get(), error)) return call.Fail("result: " + error);
        ++results;
    }
    for (UINT i = 0; i < count; ++i) {
        if (!call.slots_[i].returns) continue;
        if (!VariantBridge::ToLua(L, call.slots_[i].storage.get(), error))
            return call.Fail("out parameter " + std::to_string(i + 1) + ": " + error);
        ++results;
    }
    return results;
}

bool DispatchCall::AddValue(int index, const ParamShape* shape) {
    slots_.emplace_back();
    Slot& slot = slots_.back();
    ::VariantInit(&slot.passed);
    std::string error;
    const bool ok = shape ? VariantBridge::FromLuaAs(L_, index, shape->vt, slot.storage.get(), error)
                          : VariantBridge::FromLua(L_, index, slot.storage.get(), error);
    if (!ok) {
        Fail("argument " + std::to_string(slots_.size()) + ": " + error);
        return false;
    }
    if (shape && shape->byRef) {
        MakeReference(slot.storage.get(), shape->vt, &slot.passed);
        slot.returns = shape->out;
    } else {
        slot.passed = *slot.storage.get();  // the storage keeps ownership
    }
    return true;
}

bool DispatchCall::AddOutOnly(const ParamShape& shape) {
    slots_.emplace_back();
    Slot& slot = slots_.back();
    ::VariantInit(&slot.passed);
    VARIANT* storage = slot.storage.get();
    if (shape.vt != VT_VARIANT && shape.vt != VT_EMPTY) {
        // A zero value of the declared type (a null string, array or object) for the
        // object to fill in.
        std::memset(storage, 0, sizeof *storage);
        V_VT(storage) = shape.vt;
    }
    MakeReference(storage, shape.vt, &slot.passed);
    slot.returns = true;
    return true;
}

void DispatchCall::AddMissing() {
    slots_.emplace_back();
    Slot& slot = slots_.back();
    V_VT(&slot.passed) = VT_ERROR;
    V_ERROR(&slot.passed) = DISP_E_PARAMNOTFOUND;
}

int DispatchCall::Fail(const std::string& text) {
    luaL_where(L_, 1);
    const std::string message = label_ + ": " + text;
    lua_pushlstring(L_, message.data(), message.size());
    lua_concat(L_, 2);
    return kRaise;
}

}  // namespace scriptdeck
