#include "CChromeCompatibilityChecker.h"

#include <cwchar>

#include "VendorCheck.h"
#include "common/DispatchArgs.h"
#include "common/Handle.h"
#include "common/HResult.h"

namespace {

const common::NameEntry kNames[] = {
    {L"record", 0}, {L"ret", 1}, {L"ChromeCheck", 1}, {L"StartGoogleChrome", 2},
};

// The vendor's compatibility library, loaded for each check and freed after it.
const wchar_t kVendorLibrary[] = L"gcapi_dll.dll";
const char kCheckEntryPoint[] = "GoogleChromeCompatibilityCheck";
// Non-zero when the browser may be offered; otherwise *reasons holds the vendor's reasons.
typedef BOOL(WINAPI* CompatibilityCheckFn)(LONG record, DWORD* reasons);

// The browser's registered open command, and the class of its main window.
const wchar_t kOpenCommandKey[] = L"Applications\\chrome.exe\\shell\\open\\command";
const wchar_t kMainWindowClass[] = L"Chrome_WidgetWin_0";
const int kWindowLookups = 5;
const DWORD kLookupPauseMs = 1000;

// The program path of a registered command: the text between its first two double
// quotation marks (the command's arguments are not used). False when the text has
// no quoted path or the path does not fit a path buffer.
bool QuotedProgramPath(const wchar_t* command, wchar_t (&path)[MAX_PATH]) {
    const wchar_t* open = std::wcschr(command, L'"');
    if (!open) return false;
    const wchar_t* close = std::wcschr(open + 1, L'"');
    if (!close) return false;
    const size_t length = static_cast<size_t>(close - open - 1);
    if (length >= MAX_PATH) return false;
    std::wmemset(path, 0, MAX_PATH);
    std::wmemcpy(path, open + 1, length);
    return true;
}

// The default value of the open-command key, in a block the caller frees: S_FALSE when it
// is missing or not a string, E_OUTOFMEMORY when no memory is left.
HRESULT ReadOpenCommand(common::UniqueLocalMem& text) {
    common::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, kOpenCommandKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return S_FALSE;
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(key.get(), nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return S_FALSE;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return S_FALSE;
    // The stored size rounded up to whole characters, plus a terminator of our own:
    // the stored text need not end in one.
    const size_t chars = size / sizeof(wchar_t) + 2;
    text.reset(::LocalAlloc(LMEM_ZEROINIT, chars * sizeof(wchar_t)));
    if (!text) return E_OUTOFMEMORY;
    DWORD read = size;
    return ::RegQueryValueExW(key.get(), nullptr, nullptr, &type, static_cast<BYTE*>(text.get()), &read) ==
                   ERROR_SUCCESS
               ? S_OK
               : S_FALSE;
}

}  // namespace

CChromeCompatibilityChecker::CChromeCompatibilityChecker()
    : common::ProvideClassInfoImpl(CLSID_CChromeCompatibilityChecker) {}

CChromeCompatibilityChecker::~CChromeCompatibilityChecker() = default;

const common::NameEntry* CChromeCompatibilityChecker::NameTable(size_t& size) const noexcept {
    size = sizeof kNames / sizeof kNames[0];
    return kNames;
}

STDMETHODIMP CChromeCompatibilityChecker::ChromeCheck(LONG record, LONG* ret) {
    return probes::AskVendor(kVendorLibrary, kCheckEntryPoint, ret, [record](FARPROC entry, DWORD* reasons) {
        return reinterpret_cast<CompatibilityCheckFn>(entry)(record, reasons);
    });
}

STDMETHODIMP CChromeCompatibilityChecker::StartGoogleChrome() {
    common::UniqueLocalMem command;
    const HRESULT read = ReadOpenCommand(command);
    if (read != S_OK) return read;
    wchar_t path[MAX_PATH];
    if (!QuotedProgramPath(static_cast<const wchar_t*>(command.get()), path)) return S_FALSE;

    // The command line is the quoted path without arguments, so the browser sees its own
    // path as one argument even when it contains blanks. The path is also named as the
    // program itself, so that very file starts and never one named after a leading part.
    wchar_t commandLine[MAX_PATH + 2];
    const size_t length = std::wcslen(path);
    commandLine[0] = L'"';
    std::wmemcpy(commandLine + 1, path, length);
    commandLine[length + 1] = L'"';
    commandLine[length + 2] = L'\0';
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessW(path, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return S_FALSE;
    common::UniqueHandle process(started.hProcess);
    common::UniqueHandle thread(started.hThread);

    // Give the browser a few seconds to show its main window; the result is the same
    // whether it did or not.
    for (int i = 0; i < kWindowLookups; ++i) {
        if (::FindWindowW(kMainWindowClass, nullptr)) break;
        ::Sleep(kLookupPauseMs);
    }
    return S_OK;
}

STDMETHODIMP CChromeCompatibilityChecker::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                                 EXCEPINFO* excep, UINT* argErr) {
    common::DispatchArgs args;
    HRESULT hr = args.Init(params, 2, argErr);
    if (FAILED(hr)) return hr;
    if (result) ::VariantInit(result);
    ::SetErrorInfo(0, nullptr);
    switch (id) {
    case 1: {
        if (args.Count() != 1) return DISP_E_BADPARAMCOUNT;
        LONG record = 0;
        RETURN_IF_FAILED(args.I4At(0, &record, argErr));
        LONG ret = 0;
        hr = ChromeCheck(record, &ret);
        if (SUCCEEDED(hr) && result) {
            V_VT(result) = VT_I4;
            V_I4(result) = ret;
        }
        break;
    }
    case 2:
        if (args.Count() != 0) return DISP_E_BADPARAMCOUNT;
        hr = StartGoogleChrome();
        break;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
    if (FAILED(hr)) common::FillExcepInfo(excep, hr);
    return hr;
}
