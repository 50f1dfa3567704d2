#pragma once
// The base of the objects page script sees (window, document, elements, location,
// style): IDispatchEx over a table of member names, the way JScript talks to host
// objects. Reading a method as a property yields a callable object, so feature tests
// like `if (document.getElementById)` work.
#include <windows.h>
#include <dispex.h>

#include "common/ComObject.h"

namespace pageplayer {

struct ScriptMember {
    const wchar_t* name;
    DISPID id;
    bool method;
};

class ScriptObject : public IDispatchEx, public common::ComObjectRoot {
public:
    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;
    // IDispatchEx
    STDMETHODIMP GetDispID(BSTR name, DWORD grfdex, DISPID* id) override;
    STDMETHODIMP InvokeEx(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                          IServiceProvider* caller) override;
    STDMETHODIMP DeleteMemberByName(BSTR name, DWORD grfdex) override;
    STDMETHODIMP DeleteMemberByDispID(DISPID id) override;
    STDMETHODIMP GetMemberProperties(DISPID id, DWORD fetch, DWORD* props) override;
    STDMETHODIMP GetMemberName(DISPID id, BSTR* name) override;
    STDMETHODIMP GetNextDispID(DWORD grfdex, DISPID id, DISPID* next) override;
    STDMETHODIMP GetNameSpaceParent(IUnknown** parent) override;

protected:
    virtual const ScriptMember* Members(size_t& count) const noexcept = 0;
    // Names beyond the table (style properties, script globals seen through window).
    virtual HRESULT OtherDispId(BSTR name, DWORD grfdex, DISPID* id);
    virtual HRESULT OtherName(DISPID id, BSTR* name);
    // Calls beyond the table: DISPID_VALUE and ids from OtherDispId. flags as given.
    virtual HRESULT InvokeOther(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                EXCEPINFO* excep, IServiceProvider* caller);
    // A table member: DISPATCH_METHOD for methods; DISPATCH_PROPERTYGET or
    // DISPATCH_PROPERTYPUT for properties.
    virtual HRESULT InvokeMember(DISPID id, WORD kind, DISPPARAMS* params, VARIANT* result) = 0;

private:
    const ScriptMember* Find(DISPID id) const noexcept;
    HRESULT Dispatch(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                     IServiceProvider* caller);
};

}  // namespace pageplayer
