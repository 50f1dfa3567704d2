#pragma once
// element.style: every property name reads and writes one declaration of the element's
// style attribute (style.display, style.width, style.backgroundColor, ...), and
// cssText the whole attribute.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "tools/pageplayer/DomNode.h"
#include "tools/pageplayer/ScriptObject.h"

namespace pageplayer {

class Page;

class ElementStyle : public ScriptObject {
public:
    static HRESULT Create(const std::shared_ptr<Page>& page, const DomNode::Ptr& node, common::ComPtr<IDispatch>& out);

    COM_INTERFACE_MAP_BEGIN(IDispatchEx)
    COM_INTERFACE2(IDispatch, IDispatchEx)
    COM_INTERFACE(IDispatchEx)
    COM_INTERFACE_MAP_END()

protected:
    const ScriptMember* Members(size_t& count) const noexcept override;
    HRESULT OtherDispId(BSTR name, DWORD grfdex, DISPID* id) override;
    HRESULT OtherName(DISPID id, BSTR* name) override;
    HRESULT InvokeOther(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                        IServiceProvider* caller) override;
    HRESULT InvokeMember(DISPID id, WORD kind, DISPPARAMS* params, VARIANT* result) override;

private:
    std::shared_ptr<Page> page_;
    DomNode::Ptr node_;
    std::vector<std::wstring> names_;
};

}  // namespace pageplayer
