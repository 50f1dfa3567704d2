#include "tools/pageplayer/Page.h"

#include <cwctype>

#include "common/Handle.h"
#include "tools/pageplayer/EventLog.h"
#include "tools/pageplayer/ExternalProxy.h"
#include "tools/pageplayer/HtmlParser.h"
#include "tools/pageplayer/PageDocument.h"
#include "tools/pageplayer/PageElement.h"
#include "tools/pageplayer/PageLocation.h"
#include "tools/pageplayer/PageText.h"
#include "tools/pageplayer/PageWindow.h"
#include "tools/pageplayer/ScriptSite.h"
#include "tools/pageplayer/ScriptValue.h"

namespace pageplayer {

namespace {

// Timer ids are unique in the process, so a late WM_TIMER of an unloaded page never
// reaches the timer of another.
volatile LONG g_lastTimer = 0x1000;
// window.<name> ids of the engine's globals start here.
const DISPID kFirstGlobal = 0x40000000;
// The shortest interval of a repeating timer, so a page can't flood the thread.
const UINT kMinimumInterval = 10;

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

// Whether a <script> element holds JScript (no type or language, or a JavaScript one).
bool IsJScript(const DomNode& script) {
    const std::wstring type = Lower(script.AttributeOr(L"type"));
    const std::wstring language = Lower(script.AttributeOr(L"language"));
    if (!type.empty())
        return type == L"text/javascript" || type == L"application/javascript" || type == L"text/jscript" ||
               type == L"text/ecmascript" || type == L"application/ecmascript" || type == L"application/x-javascript";
    return language.empty() || language.compare(0, 10, L"javascript") == 0 || language == L"jscript" ||
           language == L"ecmascript";
}

void CollectScripts(const DomNode::Ptr& node, std::vector<DomNode::Ptr>& out) {
    for (const auto& c : node->children()) {
        if (c->Is(L"script"))
            out.push_back(c);
        else if (c->IsElement())
            CollectScripts(c, out);
    }
}

HRESULT ReadFileBytes(const std::wstring& path, std::string& bytes) {
    common::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return HRESULT_FROM_WIN32(::GetLastError());
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.get(), &size)) return HRESULT_FROM_WIN32(::GetLastError());
    if (size.QuadPart > 64 * 1024 * 1024) return E_OUTOFMEMORY;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() && !::ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr))
        return HRESULT_FROM_WIN32(::GetLastError());
    bytes.resize(read);
    return S_OK;
}

}  // namespace

Page::ScriptScope::~ScriptScope() {
    if (--page_->depth_ == 0 && page_->unloadPending_) page_->FinishUnload();
}

Page::Page(PageOwner& owner, const PageAddress& address, DomNode::Ptr root)
    : owner_(&owner), address_(address), root_(std::move(root)) {}

Page::~Page() {
    if (owner_)
        for (auto& t : timers_) ::KillTimer(owner_->TimerWindow(), t.first);
}

std::shared_ptr<Page> Page::Create(PageOwner& owner, const PageAddress& address, DomNode::Ptr root) {
    std::shared_ptr<Page> page(new Page(owner, address, root ? std::move(root) : DomNode::Element(L"#document")));
    if (FAILED(page->CreateObjects())) return nullptr;
    return page;
}

HRESULT Page::CreateObjects() {
    HRESULT hr = PageWindow::Create(shared_from_this(), window_);
    if (SUCCEEDED(hr)) hr = PageDocument::Create(shared_from_this(), document_);
    return hr;
}

void Page::Run(bool scriptsAllowed) {
    auto self = shared_from_this();
    if (scriptsAllowed && owner_) {
        common::ComPtr<IActiveScriptSite> site;
        HRESULT hr = ScriptSite::Create(self, site);
        if (SUCCEEDED(hr)) hr = script_.Start(site.get());
        if (FAILED(hr)) EventLog::Write(L"script-error", address_.Href() + L": no script engine (" + EventLog::Hex(hr) + L")");
    }
    if (script_.Started()) {
        std::vector<DomNode::Ptr> scripts;
        CollectScripts(root_, scripts);
        for (const auto& s : scripts) {
            if (!owner_ || unloadPending_) break;
            RunBlock(*s, nextCookie_++);
        }
        if (owner_ && !unloadPending_) {
            if (auto onload = Onload()) Call(onload.get(), window_.get(), {}, nullptr);
        }
    }
    ran_ = true;
}

void Page::RunBlock(const DomNode& script, DWORD cookie) {
    if (!IsJScript(script)) return;
    std::wstring code;
    unsigned long line = script.line();
    if (const std::wstring* src = script.Attribute(L"src")) {
        const PageAddress file = PageAddress::Resolve(*src, &address_);
        std::string bytes;
        HRESULT hr = file.IsFile() ? ReadFileBytes(file.Path(), bytes) : INET_E_RESOURCE_NOT_FOUND;
        if (FAILED(hr)) {
            EventLog::Write(L"script-error", file.Href() + L": cannot load the script (" + EventLog::Hex(hr) + L")");
            return;
        }
        code = HtmlParser::DecodeBytes(bytes);
        line = 0;
    } else {
        code = script.TextContent();
    }
    ScriptScope scope(*this);
    script_.Run(code, line, cookie);
}

void Page::Unload() noexcept {
    auto self = shared_from_this();
    if (owner_) {
        for (auto& t : timers_) ::KillTimer(owner_->TimerWindow(), t.first);
    }
    timers_.clear();
    owner_ = nullptr;
    if (depth_ > 0) {
        unloadPending_ = true;
        return;
    }
    FinishUnload();
}

void Page::FinishUnload() noexcept {
    auto self = shared_from_this();
    unloadPending_ = false;
    script_.Close();
    handlers_.clear();
    elements_.clear();
    onload_.reset();
    globals_.clear();
    window_.reset();
    document_.reset();
    location_.reset();
}

common::ComPtr<IDispatch> Page::LocationObject() {
    if (!location_ && window_) PageLocation::Create(shared_from_this(), location_);
    return location_;
}

std::wstring Page::Title() const { return titleSet_ ? title_ : PageText::Title(*root_); }

void Page::SetTitle(const std::wstring& title) {
    title_ = title;
    titleSet_ = true;
    Changed(true);
}

std::vector<std::wstring> Page::TextLines() const { return PageText::Lines(*root_, script_.Started()); }

common::ComPtr<IDispatch> Page::ElementObject(const DomNode::Ptr& node) {
    if (!node || !window_) return nullptr;
    auto found = elements_.find(node.get());
    if (found != elements_.end()) return found->second;
    common::ComPtr<IDispatch> element;
    if (FAILED(PageElement::Create(shared_from_this(), node, element))) return nullptr;
    elements_[node.get()] = element;
    return element;
}

void Page::Changed(bool titleChanged) {
    if (owner_) owner_->PageChanged(titleChanged);
}

HRESULT Page::Execute(const std::wstring& code) {
    if (!owner_) return E_UNEXPECTED;
    if (!script_.Started()) return E_ACCESSDENIED;  // the page runs no script
    ScriptScope scope(*this);
    return script_.Run(code, 0, nextCookie_++);
}

common::ComPtr<IDispatch> Page::Handler(const DomNode::Ptr& node, const wchar_t* attribute) {
    if (!node || !owner_ || !script_.Started()) return nullptr;
    const std::wstring* code = node->Attribute(attribute);
    if (!code) return nullptr;
    auto key = std::make_pair(static_cast<const DomNode*>(node.get()), std::wstring(attribute));
    auto found = handlers_.find(key);
    if (found != handlers_.end()) return found->second;
    common::ComPtr<IDispatch> function;
    {
        ScriptScope scope(*this);
        if (FAILED(script_.Compile(*code, node->line(), nextCookie_++, function))) function.reset();
    }
    if (function) handlers_[key] = function;
    return function;
}

void Page::ForgetHandler(const DomNode::Ptr& node, const std::wstring& attribute) {
    handlers_.erase(std::make_pair(static_cast<const DomNode*>(node.get()), attribute));
}

HRESULT Page::Call(IDispatch* function, IDispatch* self, const std::vector<VARIANT>& args, VARIANT* result) {
    if (!function) return E_POINTER;
    if (!owner_) return E_UNEXPECTED;
    ScriptScope scope(*this);
    std::vector<VARIANT> argv(args.rbegin(), args.rend());  // last argument first
    common::ComPtr<IDispatchEx> ex;
    common::ComPtr<IDispatch> fn(function);
    if (self && SUCCEEDED(fn.As(ex))) {
        VARIANT thisArg;
        thisArg.vt = VT_DISPATCH;
        thisArg.pdispVal = self;
        argv.insert(argv.begin(), thisArg);  // named arguments come first
        DISPID named = DISPID_THIS;
        DISPPARAMS params = {argv.data(), &named, static_cast<UINT>(argv.size()), 1};
        return ex->InvokeEx(DISPID_VALUE, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, nullptr, nullptr);
    }
    DISPPARAMS params = {argv.empty() ? nullptr : argv.data(), nullptr, static_cast<UINT>(argv.size()), 0};
    return fn->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, nullptr, nullptr);
}

HRESULT Page::GlobalDispId(BSTR name, DWORD grfdex, DISPID* id) {
    if (!script_.Started() || forwarding_) return DISP_E_UNKNOWNNAME;
    common::ComPtr<IDispatchEx> globals;
    if (FAILED(script_.Globals(globals))) return DISP_E_UNKNOWNNAME;
    DISPID real = DISPID_UNKNOWN;
    forwarding_ = true;  // the engine may ask the window back for the same name
    HRESULT hr = globals->GetDispID(name, grfdex, &real);
    forwarding_ = false;
    if (FAILED(hr)) return hr;
    for (size_t i = 0; i < globals_.size(); ++i) {
        if (globals_[i] == real) {
            *id = kFirstGlobal + static_cast<DISPID>(i);
            return S_OK;
        }
    }
    globals_.push_back(real);
    *id = kFirstGlobal + static_cast<DISPID>(globals_.size() - 1);
    return S_OK;
}

HRESULT Page::InvokeGlobal(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                           IServiceProvider* caller) {
    if (id < kFirstGlobal || static_cast<size_t>(id - kFirstGlobal) >= globals_.size()) return DISP_E_MEMBERNOTFOUND;
    common::ComPtr<IDispatchEx> globals;
    if (!owner_ || FAILED(script_.Globals(globals))) return DISP_E_MEMBERNOTFOUND;
    ScriptScope scope(*this);
    return globals->InvokeEx(globals_[static_cast<size_t>(id - kFirstGlobal)], lcid, flags, params, result, excep,
                             caller);
}

HRESULT Page::GlobalName(DISPID id, BSTR* name) {
    if (id < kFirstGlobal || static_cast<size_t>(id - kFirstGlobal) >= globals_.size()) return DISP_E_MEMBERNOTFOUND;
    common::ComPtr<IDispatchEx> globals;
    if (FAILED(script_.Globals(globals))) return DISP_E_MEMBERNOTFOUND;
    return globals->GetMemberName(globals_[static_cast<size_t>(id - kFirstGlobal)], name);
}

common::ComPtr<IDispatch> Page::Onload() {
    if (onload_) return onload_;
    auto body = root_->FindTag(L"body");
    return body ? Handler(body, L"onload") : nullptr;
}

LONG Page::SetTimer(const VARIANT* handler, LONG ms, std::vector<common::Variant> extra, bool repeat) {
    if (!owner_ || !handler) return 0;
    Timer t;
    if (IDispatch* fn = ScriptValue::Object(handler))
        t.function = fn;
    else
        t.code = ScriptValue::String(handler);
    t.args = std::move(extra);
    t.repeat = repeat;
    t.ms = ms < 0 ? 0 : static_cast<UINT>(ms);
    if (repeat && t.ms < kMinimumInterval) t.ms = kMinimumInterval;
    const UINT_PTR id = static_cast<UINT_PTR>(::InterlockedIncrement(&g_lastTimer));
    if (!::SetTimer(owner_->TimerWindow(), id, t.ms < USER_TIMER_MINIMUM ? USER_TIMER_MINIMUM : t.ms, nullptr))
        return 0;
    timers_[id] = std::move(t);
    return static_cast<LONG>(id);
}

void Page::ClearTimer(LONG id) {
    auto found = timers_.find(static_cast<UINT_PTR>(id));
    if (found == timers_.end()) return;
    if (owner_) ::KillTimer(owner_->TimerWindow(), found->first);
    timers_.erase(found);
}

bool Page::OnTimer(UINT_PTR id) {
    auto found = timers_.find(id);
    if (found == timers_.end() || !owner_) return false;
    if (depth_ > 0) {
        // Script is running further up this thread's stack (a host dialog pumps
        // messages): run the timer once it has returned.
        ::SetTimer(owner_->TimerWindow(), id, kMinimumInterval, nullptr);
        return true;
    }
    auto self = shared_from_this();
    common::ComPtr<IDispatch> function = found->second.function;
    const std::wstring code = found->second.code;
    // Copies: the callback may clear its own timer.
    std::vector<common::Variant> keep(found->second.args.size());
    std::vector<VARIANT> args;
    for (size_t i = 0; i < keep.size(); ++i) {
        keep[i].CopyFrom(found->second.args[i].get());
        args.push_back(*keep[i].get());
    }
    if (found->second.repeat) {
        // Back to its own interval (a deferred run re-armed it shorter).
        ::SetTimer(owner_->TimerWindow(), id, found->second.ms < USER_TIMER_MINIMUM ? USER_TIMER_MINIMUM : found->second.ms,
                   nullptr);
    } else {
        ::KillTimer(owner_->TimerWindow(), id);
        timers_.erase(found);
    }
    HRESULT hr = function ? Call(function.get(), nullptr, args, nullptr) : Execute(code);
    if (FAILED(hr)) EventLog::Write(L"timer-error", L"timer " + std::to_wstring(id) + L" " + EventLog::Hex(hr));
    return true;
}

void Page::Navigate(const std::wstring& url) {
    const PageAddress target = PageAddress::Resolve(url, &address_);
    if (target.IsScript()) {
        Execute(target.ScriptCode());
        return;
    }
    if (owner_) owner_->NavigateFromPage(target.Href());
}

void Page::Alert(const std::wstring& text, const wchar_t* kind) { EventLog::Write(kind, text); }

common::ComPtr<IDispatch> Page::External() {
    if (!owner_) return nullptr;
    common::ComPtr<IDispatch> host = owner_->HostExternal();
    if (!host) return nullptr;
    common::ComPtr<IDispatch> proxy;
    if (FAILED(ExternalProxy::Create(host.get(), proxy))) return nullptr;
    return proxy;
}

}  // namespace pageplayer
