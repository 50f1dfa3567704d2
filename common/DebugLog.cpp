#include "common/DebugLog.h"

#include "common/Format.h"
#include "common/TextConvert.h"

#include <cwchar>

namespace common {

void DebugOut(const char* text) noexcept { ::OutputDebugStringA(text ? text : ""); }
void DebugOut(const wchar_t* text) noexcept { ::OutputDebugStringW(text ? text : L""); }

std::string Hex(DWORD value) {
    char buf[16];
    FormatText(buf, sizeof buf, "%lx", static_cast<unsigned long>(value));
    return buf;
}

// Written the way a stream with showbase writes hexadecimal: "0x" and lower-case
// digits, but a plain "0" for zero.
std::string LastErrSuffix(DWORD code) { return code ? " last err 0x" + Hex(code) : std::string(" last err 0"); }

std::string ErrorSuffix(DWORD code) { return " Error: 0x" + Hex(code); }

void DebugErrorSuffix(DWORD code) noexcept {
    char buf[24];
    FormatText(buf, sizeof buf, " Error: 0x%lx", static_cast<unsigned long>(code));
    ::OutputDebugStringA(buf);
}

void DebugError(const char* text, DWORD code) noexcept {
    try {
        ::OutputDebugStringA((std::string(text ? text : "") + ErrorSuffix(code)).c_str());
    } catch (...) {
        ::OutputDebugStringA(text ? text : "");
    }
}

void DebugError(const wchar_t* text, DWORD code) noexcept {
    try {
        std::wstring s(text ? text : L"");
        wchar_t buf[16];
        FormatText(buf, 16, L"%lx", static_cast<unsigned long>(code));
        s += L" Error: 0x";
        s += buf;
        ::OutputDebugStringW(s.c_str());
    } catch (...) {
        ::OutputDebugStringW(text ? text : L"");
    }
}

DebugLine& DebugLine::operator<<(const wchar_t* s) {
    text_ += ToNarrow(s, CP_ACP);
    return *this;
}

void DebugLine::Flush() noexcept {
    if (!text_.empty()) ::OutputDebugStringA(text_.c_str());
    text_.clear();
}

}  // namespace common
