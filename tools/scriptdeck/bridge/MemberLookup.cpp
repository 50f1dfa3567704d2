#include "scriptdeck/bridge/MemberLookup.h"

#include <ocidl.h>

#include "common/Bstr.h"

namespace scriptdeck {
namespace {

// Owners of the descriptions a type information hands out.
class TypeAttr {
public:
    explicit TypeAttr(ITypeInfo* info) : info_(info) {
        if (FAILED(info_->GetTypeAttr(&attr_))) attr_ = nullptr;
    }
    ~TypeAttr() {
        if (attr_) info_->ReleaseTypeAttr(attr_);
    }
    TypeAttr(const TypeAttr&) = delete;
    TypeAttr& operator=(const TypeAttr&) = delete;
    const TYPEATTR* operator->() const { return attr_; }
    explicit operator bool() const { return attr_ != nullptr; }

private:
    ITypeInfo* info_;
    TYPEATTR* attr_ = nullptr;
};

class FuncDesc {
public:
    FuncDesc(ITypeInfo* info, UINT index) : info_(info) {
        if (FAILED(info_->GetFuncDesc(index, &desc_))) desc_ = nullptr;
    }
    ~FuncDesc() {
        if (desc_) info_->ReleaseFuncDesc(desc_);
    }
    FuncDesc(const FuncDesc&) = delete;
    FuncDesc& operator=(const FuncDesc&) = delete;
    const FUNCDESC* get() const { return desc_; }

private:
    ITypeInfo* info_;
    FUNCDESC* desc_ = nullptr;
};

class VarDesc {
public:
    VarDesc(ITypeInfo* info, UINT index) : info_(info) {
        if (FAILED(info_->GetVarDesc(index, &desc_))) desc_ = nullptr;
    }
    ~VarDesc() {
        if (desc_) info_->ReleaseVarDesc(desc_);
    }
    VarDesc(const VarDesc&) = delete;
    VarDesc& operator=(const VarDesc&) = delete;
    const VARDESC* get() const { return desc_; }

private:
    ITypeInfo* info_;
    VARDESC* desc_ = nullptr;
};

// Derivation chains longer than this are taken as broken type information.
constexpr int kMaxBaseDepth = 16;

common::ComPtr<ITypeInfo> RefInfo(ITypeInfo* owner, HREFTYPE ref) {
    common::ComPtr<ITypeInfo> info;
    if (FAILED(owner->GetRefTypeInfo(ref, info.put()))) info.reset();
    return info;
}

}  // namespace

common::ComPtr<ITypeInfo> MemberLookup::DispatchTypeInfo(IDispatch* object) {
    common::ComPtr<ITypeInfo> info;
    UINT count = 0;
    if (!object || FAILED(object->GetTypeInfoCount(&count)) || count == 0) return info;
    if (FAILED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put())) || !info) return nullptr;
    TypeAttr attr(info.get());
    if (attr && attr->typekind == TKIND_INTERFACE && (attr->wTypeFlags & TYPEFLAG_FDUAL)) {
        // The dispatch view of a dual interface describes the members as Invoke sees them.
        HREFTYPE ref = 0;
        if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref))) {
            if (common::ComPtr<ITypeInfo> dispatchView = RefInfo(info.get(), ref)) return dispatchView;
        }
    }
    return info;
}

void MemberLookup::Describe(ITypeInfo* info, MemberInfo& member) {
    if (info) DescribeFrom(info, member, 0);
    member.typed = member.method.present || member.get.present || member.put.present || member.putRef.present;
}

void MemberLookup::DescribeFrom(ITypeInfo* info, MemberInfo& member, int depth) {
    TypeAttr attr(info);
    if (!attr) return;
    bool found = false;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FuncDesc fd(info, i);
        const FUNCDESC* desc = fd.get();
        if (!desc || desc->memid != member.id) continue;
        Signature* sig = nullptr;
        switch (desc->invkind) {
            case INVOKE_FUNC: sig = &member.method; break;
            case INVOKE_PROPERTYGET: sig = &member.get; break;
            case INVOKE_PROPERTYPUT: sig = &member.put; break;
            case INVOKE_PROPERTYPUTREF: sig = &member.putRef; break;
        }
        if (!sig || sig->present) continue;
        FillSignature(info, *desc, *sig);
        found = true;
    }
    for (UINT i = 0; i < attr->cVars; ++i) {
        VarDesc vd(info, i);
        const VARDESC* desc = vd.get();
        if (!desc || desc->memid != member.id || desc->varkind != VAR_DISPATCH) continue;
        // A dispinterface property: read without arguments, written with one value.
        ParamShape value = ShapeOf(info, desc->elemdescVar.tdesc);
        value.byRef = false;
        if (!member.get.present) {
            member.get.present = true;
            member.get.returnsValue = true;
        }
        if (!(desc->wVarFlags & VARFLAG_FREADONLY) && !member.put.present) {
            member.put.present = true;
            member.put.params.push_back(value);
        }
        found = true;
    }
    // A plain interface lists only its own methods; the ones it derives come from its base.
    if (!found && attr->typekind == TKIND_INTERFACE && attr->cImplTypes > 0 && depth < kMaxBaseDepth) {
        HREFTYPE ref = 0;
        if (FAILED(info->GetRefTypeOfImplType(0, &ref))) return;
        common::ComPtr<ITypeInfo> base = RefInfo(info, ref);
        if (!base) return;
        TypeAttr baseAttr(base.get());
        if (!baseAttr || baseAttr->guid == IID_IDispatch || baseAttr->guid == IID_IUnknown) return;
        DescribeFrom(base.get(), member, depth + 1);
    }
}

void MemberLookup::FillSignature(ITypeInfo* info, const FUNCDESC& desc, Signature& sig) {
    sig.present = true;
    const SHORT count = desc.cParams;
    for (SHORT i = 0; i < count; ++i) {
        const ELEMDESC& elem = desc.lprgelemdescParam[i];
        const USHORT flags = elem.paramdesc.wParamFlags;
        if (flags & PARAMFLAG_FLCID) continue;
        if (flags & PARAMFLAG_FRETVAL) {
            sig.returnsValue = true;
            continue;
        }
        ParamShape p = ShapeOf(info, elem.tdesc);
        const bool in = (flags & PARAMFLAG_FIN) != 0, out = (flags & PARAMFLAG_FOUT) != 0;
        p.in = in || !out;
        // Only a reference can carry a value back.
        p.out = out && p.byRef;
        sig.params.push_back(p);
    }
    const VARTYPE ret = desc.elemdescFunc.tdesc.vt;
    if (ret != VT_VOID && ret != VT_HRESULT && ret != VT_EMPTY) sig.returnsValue = true;
}

ParamShape MemberLookup::ShapeOf(ITypeInfo* owner, const TYPEDESC& desc, bool* isInterface) {
    ParamShape p;
    if (isInterface) *isInterface = false;
    switch (desc.vt) {
        case VT_PTR: {
            bool pointsAtInterface = false;
            ParamShape inner = ShapeOf(owner, *desc.lptdesc, &pointsAtInterface);
            // A pointer to an interface is the object itself, passed by value.
            if (!pointsAtInterface) inner.byRef = true;
            return inner;
        }
        case VT_SAFEARRAY: {
            ParamShape element = ShapeOf(owner, *desc.lptdesc);
            // Arrays of arrays and of types a VARIANT can't hold travel as arrays of VARIANT.
            const VARTYPE vt = ((element.vt & VT_ARRAY) || element.vt == VT_EMPTY) ? VARTYPE(VT_VARIANT) : element.vt;
            p.vt = static_cast<VARTYPE>(VT_ARRAY | vt);
            return p;
        }
        case VT_USERDEFINED: {
            common::ComPtr<ITypeInfo> ref = RefInfo(owner, desc.hreftype);
            if (!ref) {
                p.vt = VT_EMPTY;
                return p;
            }
            TypeAttr attr(ref.get());
            if (!attr) {
                p.vt = VT_EMPTY;
                return p;
            }
            switch (attr->typekind) {
                case TKIND_ENUM: p.vt = VT_I4; break;
                case TKIND_ALIAS: return ShapeOf(ref.get(), attr->tdescAlias, isInterface);
                case TKIND_DISPATCH:
                case TKIND_COCLASS:
                    p.vt = VT_DISPATCH;
                    if (isInterface) *isInterface = true;
                    break;
                case TKIND_INTERFACE:
                    p.vt = (attr->wTypeFlags & TYPEFLAG_FDISPATCHABLE) ? VT_DISPATCH : VT_UNKNOWN;
                    if (isInterface) *isInterface = true;
                    break;
                default: p.vt = VT_EMPTY; break;
            }
            return p;
        }
        case VT_LPSTR:
        case VT_LPWSTR: p.vt = VT_BSTR; return p;
        case VT_VOID:
        case VT_HRESULT:
        case VT_DECIMAL:
        case VT_RECORD: p.vt = VT_EMPTY; return p;
        default: p.vt = desc.vt; return p;
    }
}

std::wstring MemberLookup::TypeName(ITypeInfo* info) {
    common::Bstr name;
    if (!info || FAILED(info->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr))) return {};
    return std::wstring(name.c_str(), name.length());
}

std::wstring MemberLookup::MemberName(ITypeInfo* info, DISPID id) {
    common::Bstr name;
    UINT count = 0;
    if (!info || FAILED(info->GetNames(id, name.put(), 1, &count)) || count == 0) return {};
    return std::wstring(name.c_str(), name.length());
}

HRESULT MemberLookup::SourceOfClass(ITypeInfo* coclass, IID& iid, common::ComPtr<ITypeInfo>& info) {
    TypeAttr attr(coclass);
    if (!attr || attr->typekind != TKIND_COCLASS) return E_NOINTERFACE;
    for (UINT i = 0; i < attr->cImplTypes; ++i) {
        INT flags = 0;
        if (FAILED(coclass->GetImplTypeFlags(i, &flags))) continue;
        const INT wanted = IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE;
        if ((flags & wanted) != wanted) continue;
        HREFTYPE ref = 0;
        if (FAILED(coclass->GetRefTypeOfImplType(i, &ref))) continue;
        common::ComPtr<ITypeInfo> source = RefInfo(coclass, ref);
        if (!source) continue;
        TypeAttr sourceAttr(source.get());
        if (!sourceAttr) continue;
        iid = sourceAttr->guid;
        info = source;
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT MemberLookup::DefaultSource(IDispatch* object, IID& iid, common::ComPtr<ITypeInfo>& info) {
    common::ComPtr<ITypeInfo> own = DispatchTypeInfo(object);
    common::ComPtr<ITypeLib> library;
    UINT index = 0;
    if (own && FAILED(own->GetContainingTypeLib(library.put(), &index))) library.reset();

    // The class names its default source itself...
    common::ComPtr<IProvideClassInfo2> classInfo2;
    if (SUCCEEDED(object->QueryInterface(IID_IProvideClassInfo2, classInfo2.put_void())) &&
        SUCCEEDED(classInfo2->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &iid))) {
        common::ComPtr<ITypeInfo> coclass;
        common::ComPtr<ITypeLib> classLibrary;
        if (SUCCEEDED(classInfo2->GetClassInfo(coclass.put())) && coclass &&
            SUCCEEDED(coclass->GetContainingTypeLib(classLibrary.put(), &index)) &&
            SUCCEEDED(classLibrary->GetTypeInfoOfGuid(iid, info.put())))
            return S_OK;
        if (library && SUCCEEDED(library->GetTypeInfoOfGuid(iid, info.put()))) return S_OK;
    }
    // ...or through its class's type information...
    common::ComPtr<IProvideClassInfo> classInfo;
    if (SUCCEEDED(object->QueryInterface(IID_IProvideClassInfo, classInfo.put_void()))) {
        common::ComPtr<ITypeInfo> coclass;
        if (SUCCEEDED(classInfo->GetClassInfo(coclass.put())) && coclass &&
            SUCCEEDED(SourceOfClass(coclass.get(), iid, info)))
            return S_OK;
    }
    // ...else the class in the object's type library whose default interface it is.
    if (!library) return E_NOINTERFACE;
    TypeAttr ownAttr(own.get());
    if (!ownAttr) return E_NOINTERFACE;
    const GUID ownIid = ownAttr->guid;
    const UINT count = library->GetTypeInfoCount();
    for (UINT i = 0; i < count; ++i) {
        TYPEKIND kind;
        if (FAILED(library->GetTypeInfoType(i, &kind)) || kind != TKIND_COCLASS) continue;
        common::ComPtr<ITypeInfo> coclass;
        if (FAILED(library->GetTypeInfo(i, coclass.put()))) continue;
        TypeAttr attr(coclass.get());
        if (!attr) continue;
        for (UINT j = 0; j < attr->cImplTypes; ++j) {
            INT flags = 0;
            HREFTYPE ref = 0;
            if (FAILED(coclass->GetImplTypeFlags(j, &flags)) || !(flags & IMPLTYPEFLAG_FDEFAULT) ||
                (flags & IMPLTYPEFLAG_FSOURCE) || FAILED(coclass->GetRefTypeOfImplType(j, &ref)))
                continue;
            common::ComPtr<ITypeInfo> itf = RefInfo(coclass.get(), ref);
            if (!itf) continue;
            TypeAttr itfAttr(itf.get());
            if (itfAttr && itfAttr->guid == ownIid && SUCCEEDED(SourceOfClass(coclass.get(), iid, info))) return S_OK;
        }
    }
    return E_NOINTERFACE;
}

}  // namespace scriptdeck
