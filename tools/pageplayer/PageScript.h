#pragma once
// The page's script engine: the platform's JScript (IActiveScript) in this thread, with
// the page's `window` as a named item whose members are globals, object creation
// guarded by the host's security manager (INTERFACE_USES_SECURITY_MANAGER), and the
// engine's global object reachable for window.<name> lookups.
#include <windows.h>
#include <activscp.h>
#include <dispex.h>

#include <string>

#include "common/ComPtr.h"

namespace pageplayer {

class PageScript {
public:
    PageScript() = default;
    ~PageScript() { Close(); }
    PageScript(const PageScript&) = delete;
    PageScript& operator=(const PageScript&) = delete;

    // Creates and starts the engine with the given site (which must answer GetItemInfo
    // for "window").
    HRESULT Start(IActiveScriptSite* site);
    bool Started() const { return static_cast<bool>(engine_); }

    // Runs global code. line: the first line's number in its file (counted from 0);
    // cookie: the source context passed to the site's error reports. A thrown
    // exception or a syntax error fails (the site has reported it).
    HRESULT Run(const std::wstring& code, unsigned long line, DWORD cookie);
    // The code as the body of a new function (an event handler attribute).
    HRESULT Compile(const std::wstring& body, unsigned long line, DWORD cookie, common::ComPtr<IDispatch>& function);
    // The engine's global object.
    HRESULT Globals(common::ComPtr<IDispatchEx>& out);

    // Ends the engine: it releases the site and every object of the page it held.
    void Close() noexcept;

private:
    common::ComPtr<IActiveScript> engine_;
    common::ComPtr<IActiveScriptParse> parse_;
};

}  // namespace pageplayer
