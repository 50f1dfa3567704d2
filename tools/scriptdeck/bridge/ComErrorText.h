#pragma once
// The text of a COM failure as the bridge reports it in a Lua error:
// "HRESULT 80070005: <description> [<source>]".
#include <windows.h>
#include <oaidl.h>

#include <string>

namespace scriptdeck {

class ComErrorText {
public:
    // A failed IDispatch::Invoke: with DISP_E_EXCEPTION the exception record's code,
    // description and source (deferred fill-in done first); else `hr` with the system's
    // text for it. Frees the record's strings.
    static std::string FromInvoke(HRESULT hr, EXCEPINFO& excep);
    // Any other failed call: the code and the system's text for it.
    static std::string FromHResult(HRESULT hr);
    // The code alone: "HRESULT 8007007E".
    static std::string Code(HRESULT hr);

private:
    static std::string SystemText(HRESULT hr);
};

}  // namespace scriptdeck
