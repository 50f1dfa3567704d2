#include "tools/pageplayer/EventLog.h"

#include <cwchar>
#include <vector>

#include "common/Handle.h"
#include "common/Variant.h"

namespace pageplayer {

namespace {

// Serializes writers of every process on this machine, so a line written by one
// process is never split by another's (appends are atomic on Windows, but Wine's
// emulation of append-only handles is not guaranteed to be).
const wchar_t kLogMutex[] = L"PagePlayerEventLog";

std::wstring LogPath() {
    wchar_t buf[MAX_PATH];
    DWORD n = ::GetEnvironmentVariableW(L"PAGEPLAYER_LOG", buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::wstring();
    return std::wstring(buf, n);
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                  nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

// Keeps a line one line: breaks and other control characters become escapes.
std::wstring OneLine(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        if (c == L'\n')
            out += L"\\n";
        else if (c == L'\r')
            out += L"\\r";
        else if (c < 0x20)
            out += L' ';
        else
            out += c;
    }
    return out;
}

}  // namespace

void EventLog::Write(const wchar_t* kind, const std::wstring& text) noexcept {
    try {
        const std::wstring path = LogPath();
        if (path.empty()) return;
        const std::string line = Utf8(std::to_wstring(::GetCurrentProcessId()) + L" " + kind + L" " + OneLine(text)) + "\n";
        common::UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, kLogMutex));
        const bool locked = mutex && ::WaitForSingleObject(mutex.get(), 5000) != WAIT_TIMEOUT;
        {
            common::UniqueHandle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (file) {
                DWORD written = 0;
                ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            }
        }
        if (locked) ::ReleaseMutex(mutex.get());
    } catch (...) {
        // The log is a diagnostic aid: failing to write it never disturbs the page.
    }
}

std::wstring EventLog::Quote(const wchar_t* text, size_t length) {
    std::wstring out = L"\"";
    for (size_t i = 0; i < length; ++i) {
        wchar_t c = text[i];
        switch (c) {
        case L'"': out += L"\\\""; break;
        case L'\\': out += L"\\\\"; break;
        case L'\n': out += L"\\n"; break;
        case L'\r': out += L"\\r"; break;
        case L'\t': out += L"\\t"; break;
        default:
            if (c < 0x20) {
                wchar_t buf[8];
                std::swprintf(buf, 8, L"\\u%04x", static_cast<unsigned>(c));
                out += buf;
            } else {
                out += c;
            }
        }
    }
    out += L'"';
    return out;
}

std::wstring EventLog::Hex(DWORD value) {
    wchar_t buf[16];
    std::swprintf(buf, 16, L"0x%08lx", static_cast<unsigned long>(value));
    return buf;
}

std::wstring EventLog::Format(const VARIANT& value) {
    const VARIANT* v = &value;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
    switch (v->vt & ~VT_BYREF) {
    case VT_EMPTY: return L"undefined";
    case VT_NULL: return L"null";
    case VT_BOOL: {
        VARIANT_BOOL b = (v->vt & VT_BYREF) ? *v->pboolVal : v->boolVal;
        return b ? L"true" : L"false";
    }
    case VT_BSTR: {
        BSTR s = (v->vt & VT_BYREF) ? *v->pbstrVal : v->bstrVal;
        return Quote(s ? s : L"", ::SysStringLen(s));
    }
    case VT_DISPATCH:
    case VT_UNKNOWN: {
        IUnknown* p = (v->vt & VT_BYREF) ? *v->ppunkVal : v->punkVal;
        return p ? L"[object]" : L"null";
    }
    default: break;
    }
    common::Variant text;
    // Numbers in the script's own spelling (a dot), whatever the user's locale.
    if (FAILED(::VariantChangeTypeEx(text.get(), const_cast<VARIANT*>(v), MAKELCID(0x0409, SORT_DEFAULT), 0, VT_BSTR)))
        return L"[value]";
    return std::wstring(V_BSTR(text.get()) ? V_BSTR(text.get()) : L"", ::SysStringLen(V_BSTR(text.get())));
}

}  // namespace pageplayer
