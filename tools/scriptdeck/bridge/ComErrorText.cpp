#include "scriptdeck/bridge/ComErrorText.h"

#include <cstdio>

#include "common/Bstr.h"
#include "common/Handle.h"
#include "scriptdeck/bridge/AnsiText.h"

namespace scriptdeck {
namespace {

std::string Text(const common::Bstr& s) { return WideToAnsi(s.c_str(), s.length()); }

// Drops the line break and blanks the system appends to its messages.
std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace

std::string ComErrorText::Code(HRESULT hr) {
    char code[32];
    std::snprintf(code, sizeof code, "HRESULT %08lX", static_cast<unsigned long>(hr));
    return code;
}

std::string ComErrorText::SystemText(HRESULT hr) {
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    common::UniqueLocalMem owner(buffer);
    if (n == 0 || !buffer) return {};
    return Trimmed(WideToAnsi(buffer, n));
}

std::string ComErrorText::FromHResult(HRESULT hr) {
    std::string text = Code(hr);
    const std::string system = SystemText(hr);
    if (!system.empty()) text += ": " + system;
    return text;
}

std::string ComErrorText::FromInvoke(HRESULT hr, EXCEPINFO& excep) {
    if (hr == DISP_E_EXCEPTION && excep.pfnDeferredFillIn) {
        excep.pfnDeferredFillIn(&excep);
        excep.pfnDeferredFillIn = nullptr;
    }
    common::Bstr source = common::Bstr::Attach(excep.bstrSource);
    common::Bstr description = common::Bstr::Attach(excep.bstrDescription);
    common::Bstr helpFile = common::Bstr::Attach(excep.bstrHelpFile);
    excep.bstrSource = excep.bstrDescription = excep.bstrHelpFile = nullptr;
    if (hr != DISP_E_EXCEPTION) return FromHResult(hr);

    // The object's own code; an exception with only a 16-bit code keeps DISP_E_EXCEPTION.
    const HRESULT code = excep.scode ? excep.scode : hr;
    std::string text = Code(code);
    if (!excep.scode && excep.wCode) text += " (code " + std::to_string(excep.wCode) + ")";
    const std::string said = Trimmed(Text(description));
    const std::string system = said.empty() ? SystemText(code) : std::string();
    if (!said.empty()) text += ": " + said;
    else if (!system.empty()) text += ": " + system;
    if (!source.empty()) text += " [" + Text(source) + "]";
    return text;
}

}  // namespace scriptdeck
