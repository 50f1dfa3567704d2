#pragma once
// An element of the page as script sees it through getElementById: id, tagName, value,
// innerText / innerHTML / textContent, checked, disabled, style, onclick and click(),
// className, href, type, name and the attribute methods. Changes show in the player's
// window at once.
#include <windows.h>

#include <memory>

#include "common/ComPtr.h"
#include "tools/pageplayer/DomNode.h"
#include "tools/pageplayer/ScriptObject.h"

namespace pageplayer {

class Page;

class PageElement : public ScriptObject {
public:
    static HRESULT Create(const std::shared_ptr<Page>& page, const DomNode::Ptr& node, common::ComPtr<IDispatch>& out);

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
    HRESULT Click();
    std::wstring Value() const;
    void SetValue(const std::wstring& value);
    void SetText(const std::wstring& text, bool lineBreaks);
    void SetFlag(const wchar_t* attribute, bool on);

    std::shared_ptr<Page> page_;
    DomNode::Ptr node_;
    common::ComPtr<IDispatch> style_;
    common::ComPtr<IDispatch> onclick_;
    bool onclickSet_ = false;
};

}  // namespace pageplayer
