#pragma once
// What an object's type information says about one of its members: whether it is a
// method or a property, which parameters it takes, which of them are passed by
// reference or come back as out values, and whether it returns a value.
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "common/ComPtr.h"

namespace scriptdeck {

// How one parameter travels.
struct ParamShape {
    // The value type: a scalar VT_*, VT_VARIANT, VT_DISPATCH / VT_UNKNOWN for objects,
    // VT_ARRAY | element type for SAFEARRAYs; VT_EMPTY when the type is not one a
    // VARIANT can carry (the value is then passed as it converts naturally).
    VARTYPE vt = VT_VARIANT;
    bool byRef = false;     // passed by reference (VT_BYREF)
    bool in = true;         // takes a value from the caller
    bool out = false;       // its value comes back to the caller as an extra result
};

// One way of invoking a member: a method, a property read, write or write by reference.
struct Signature {
    bool present = false;
    bool returnsValue = false;       // a return value or an [out, retval] parameter
    std::vector<ParamShape> params;  // in order, without [lcid] and [retval] parameters
};

struct MemberInfo {
    DISPID id = DISPID_UNKNOWN;
    bool typed = false;  // found in the object's type information
    Signature method, get, put, putRef;
};

class MemberLookup {
public:
    // The type information an object describes itself with (the dispatch view of a
    // dual interface), or null when it gives none.
    static common::ComPtr<ITypeInfo> DispatchTypeInfo(IDispatch* object);
    // Fills `member` (whose id is set) from `info` and the interfaces it derives from.
    static void Describe(ITypeInfo* info, MemberInfo& member);
    // The type's own name ("IUnRar"), or empty.
    static std::wstring TypeName(ITypeInfo* info);
    // The name of member `id`, or empty.
    static std::wstring MemberName(ITypeInfo* info, DISPID id);
    // The default source (event) interface of `object`'s class and its type information.
    static HRESULT DefaultSource(IDispatch* object, IID& iid, common::ComPtr<ITypeInfo>& info);

private:
    static void DescribeFrom(ITypeInfo* info, MemberInfo& member, int depth);
    static void FillSignature(ITypeInfo* info, const FUNCDESC& desc, Signature& sig);
    static ParamShape ShapeOf(ITypeInfo* owner, const TYPEDESC& desc, bool* isInterface = nullptr);
    static HRESULT SourceOfClass(ITypeInfo* coclass, IID& iid, common::ComPtr<ITypeInfo>& info);
};

}  // namespace scriptdeck
