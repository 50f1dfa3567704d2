#pragma once
// window.location: href, search, hash, pathname, protocol, host, hostname, port of the
// page's address; assigning href (or calling assign, replace, reload) navigates.
#include <windows.h>

#include <memory>

#include "tools/pageplayer/ScriptObject.h"

namespace pageplayer {

class Page;

class PageLocation : public ScriptObject {
public:
    static HRESULT Create(const std::shared_ptr<Page>& page, common::ComPtr<IDispatch>& out);

    COM_INTERFACE_MAP_BEGIN(IDispatchEx)
    COM_INTERFACE2(IDispatch, IDispatchEx)
    COM_INTERFACE(IDispatchEx)
    COM_INTERFACE_MAP_END()

protected:
    const ScriptMember* Members(size_t& count) const noexcept override;
    HRESULT InvokeOther(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                        IServiceProvider* caller) override;
    HRESULT InvokeMember(DISPID id, WORD kind, DISPPARAMS* params, VARIANT* result) override;

private:
    // Page objects hold their page; the page drops its objects when it is unloaded.
    std::shared_ptr<Page> page_;
};

}  // namespace pageplayer
