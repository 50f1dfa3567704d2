#pragma once
// A page the player shows: its document tree, its script engine with the objects script
// sees (window, document, elements, location), its timers and its event handlers. A
// page lives on the player's thread. Unloading it ends its script and timers and cuts
// it from the player; objects the host or script still hold then answer without effect.
#include <windows.h>
#include <oaidl.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/ComPtr.h"
#include "common/Variant.h"
#include "tools/pageplayer/DomNode.h"
#include "tools/pageplayer/PageAddress.h"
#include "tools/pageplayer/PageOwner.h"
#include "tools/pageplayer/PageScript.h"

namespace pageplayer {

class Page : public std::enable_shared_from_this<Page> {
public:
    // A page for the document tree root at address, with its window and document
    // objects. The tree may be empty (about:blank, an error page).
    static std::shared_ptr<Page> Create(PageOwner& owner, const PageAddress& address, DomNode::Ptr root);
    ~Page();
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    // Runs the page: the script blocks in document order (inline and src= files), then
    // the onload handler. Without scriptsAllowed nothing runs and the page stays without
    // script. A block that fails does not stop the next one.
    void Run(bool scriptsAllowed);
    // Ends script and timers and forgets the owner. When script is running (the
    // host was called from script), the engine is closed once that script returns.
    void Unload() noexcept;

    PageOwner* Owner() const { return owner_; }
    const PageAddress& Address() const { return address_; }
    bool ScriptsEnabled() const { return script_.Started(); }

    // --- document ------------------------------------------------------------------
    DomNode& Root() { return *root_; }
    std::wstring Title() const;
    void SetTitle(const std::wstring& title);
    std::vector<std::wstring> TextLines() const;
    // The element's script object (one per node, cached), or null for null.
    common::ComPtr<IDispatch> ElementObject(const DomNode::Ptr& node);
    common::ComPtr<IDispatch> WindowObject() const { return window_; }
    common::ComPtr<IDispatch> DocumentObject() const { return document_; }
    // window.location and document.location (one object, made when first asked for).
    common::ComPtr<IDispatch> LocationObject();
    // The text of the page changed (an element's text, value or style, the title).
    void Changed(bool titleChanged = false);
    const wchar_t* ReadyState() const { return ran_ ? L"complete" : L"interactive"; }

    // --- script ----------------------------------------------------------------------
    // Runs code in the page's engine, as execScript does. Fails when the page has no
    // script, or the code throws or does not parse.
    HRESULT Execute(const std::wstring& code);
    // The function an event handler attribute (onclick="...") stands for, compiled once
    // per node and attribute; null without script.
    common::ComPtr<IDispatch> Handler(const DomNode::Ptr& node, const wchar_t* attribute);
    // Drops the compiled handler of an attribute that changed.
    void ForgetHandler(const DomNode::Ptr& node, const std::wstring& attribute);
    // Calls a script function with `self` as this (when given) and args in call order.
    HRESULT Call(IDispatch* function, IDispatch* self, const std::vector<VARIANT>& args, VARIANT* result);
    // window.<name> for names the page's script defined (function f() {...}, var x).
    HRESULT GlobalDispId(BSTR name, DWORD grfdex, DISPID* id);
    HRESULT InvokeGlobal(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                         IServiceProvider* caller);
    HRESULT GlobalName(DISPID id, BSTR* name);
    // window.onload as set by script, else the body's onload attribute.
    common::ComPtr<IDispatch> Onload();
    void SetOnload(IDispatch* handler) { onload_ = handler; }

    // --- window services ----------------------------------------------------------------
    // setTimeout / setInterval: handler is a function or code text; extra holds the
    // arguments passed on to a function. Returns the timer's id (0 on failure).
    LONG SetTimer(const VARIANT* handler, LONG ms, std::vector<common::Variant> extra, bool repeat);
    void ClearTimer(LONG id);
    // A WM_TIMER of the owner's timer window; false when the timer is not this page's.
    bool OnTimer(UINT_PTR id);
    // Navigation asked for by the page (location, navigate(), links); javascript:
    // addresses run their code instead.
    void Navigate(const std::wstring& url);
    // alert() and confirm(): recorded in the log (there is no one to answer).
    void Alert(const std::wstring& text, const wchar_t* kind);
    // window.external: the host's object behind a logging proxy, or null.
    common::ComPtr<IDispatch> External();

    // Whether script of this page is running on the stack (events and timers wait).
    bool InScript() const { return depth_ > 0; }

private:
    Page(PageOwner& owner, const PageAddress& address, DomNode::Ptr root);
    HRESULT CreateObjects();
    void RunBlock(const DomNode& script, DWORD cookie);
    void FinishUnload() noexcept;
    // Counts script on the stack; the last one out completes a pending unload.
    class ScriptScope {
    public:
        explicit ScriptScope(Page& page) : page_(page.shared_from_this()) { ++page_->depth_; }
        ~ScriptScope();
        ScriptScope(const ScriptScope&) = delete;
        ScriptScope& operator=(const ScriptScope&) = delete;

    private:
        std::shared_ptr<Page> page_;
    };

    struct Timer {
        common::ComPtr<IDispatch> function;
        std::wstring code;
        std::vector<common::Variant> args;
        UINT ms = 0;
        bool repeat = false;
    };

    PageOwner* owner_;
    PageAddress address_;
    DomNode::Ptr root_;
    std::wstring title_;
    bool titleSet_ = false;
    bool ran_ = false;
    bool unloadPending_ = false;
    int depth_ = 0;
    DWORD nextCookie_ = 1;
    PageScript script_;
    common::ComPtr<IDispatch> window_;
    common::ComPtr<IDispatch> document_;
    common::ComPtr<IDispatch> location_;
    common::ComPtr<IDispatch> onload_;
    std::map<const DomNode*, common::ComPtr<IDispatch>> elements_;
    std::map<std::pair<const DomNode*, std::wstring>, common::ComPtr<IDispatch>> handlers_;
    std::map<UINT_PTR, Timer> timers_;
    std::vector<DISPID> globals_;
    bool forwarding_ = false;
};

}  // namespace pageplayer
