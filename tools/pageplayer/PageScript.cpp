#include "tools/pageplayer/PageScript.h"

#include <objsafe.h>

#include "common/HResult.h"

namespace pageplayer {

namespace {

// The platform's JScript engine.
const CLSID kJScript = {0xF414C260, 0x6AC0, 0x11CF, {0xB6, 0xD1, 0x00, 0xAA, 0x00, 0xBB, 0xBB, 0x58}};

}  // namespace

HRESULT PageScript::Start(IActiveScriptSite* site) {
    Close();
    common::ComPtr<IActiveScript> engine;
    RETURN_IF_FAILED(::CoCreateInstance(kJScript, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IActiveScript),
                                        engine.put_void()));
    common::ComPtr<IActiveScriptParse> parse;
    RETURN_IF_FAILED(engine.As(parse));
    // As a browser runs page script: untrusted data, and object creation decided by the
    // security manager the site hands out (without this the engine creates any object).
    common::ComPtr<IObjectSafety> safety;
    RETURN_IF_FAILED(engine->QueryInterface(IID_IObjectSafety, safety.put_void()));
    const DWORD options = INTERFACESAFE_FOR_UNTRUSTED_DATA | INTERFACE_USES_DISPEX | INTERFACE_USES_SECURITY_MANAGER;
    RETURN_IF_FAILED(safety->SetInterfaceSafetyOptions(__uuidof(IActiveScriptParse), options, options));
    RETURN_IF_FAILED(engine->SetScriptSite(site));
    engine_ = engine;  // from here on Close() undoes the set-up
    parse_ = parse;
    HRESULT hr = parse->InitNew();
    if (SUCCEEDED(hr)) hr = engine->AddNamedItem(L"window", SCRIPTITEM_ISVISIBLE | SCRIPTITEM_GLOBALMEMBERS);
    if (SUCCEEDED(hr)) hr = engine->SetScriptState(SCRIPTSTATE_STARTED);
    if (FAILED(hr)) Close();
    return hr;
}

HRESULT PageScript::Run(const std::wstring& code, unsigned long line, DWORD cookie) {
    if (!parse_) return E_UNEXPECTED;
    EXCEPINFO excep = {};
    HRESULT hr = parse_->ParseScriptText(code.c_str(), nullptr, nullptr, nullptr, cookie, line, SCRIPTTEXT_ISVISIBLE,
                                         nullptr, &excep);
    ::SysFreeString(excep.bstrSource);
    ::SysFreeString(excep.bstrDescription);
    ::SysFreeString(excep.bstrHelpFile);
    return hr;
}

HRESULT PageScript::Compile(const std::wstring& body, unsigned long line, DWORD cookie,
                            common::ComPtr<IDispatch>& function) {
    if (!engine_) return E_UNEXPECTED;
    common::ComPtr<IActiveScriptParseProcedure2> procedure;
    RETURN_IF_FAILED(engine_.As(procedure));
    return procedure->ParseProcedureText(body.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, cookie, line, 0,
                                         function.put());
}

HRESULT PageScript::Globals(common::ComPtr<IDispatchEx>& out) {
    if (!engine_) return E_UNEXPECTED;
    common::ComPtr<IDispatch> globals;
    RETURN_IF_FAILED(engine_->GetScriptDispatch(nullptr, globals.put()));
    return globals.As(out);
}

void PageScript::Close() noexcept {
    parse_.reset();
    if (auto engine = std::move(engine_)) LOG_IF_FAILED(engine->Close());
}

}  // namespace pageplayer
