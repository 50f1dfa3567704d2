// A stand-in host process for the shell object, the way the installer engine hosts it:
//   shell_host call <outfile> <method> [string arguments...]
//       creates "PebbleUtil.ShellCtl", calls the method by name and writes
//       "<hresult hex>\n<result as text>" to outfile (UTF-8);
//   shell_host record <outfile> [anything...]
//       writes its own command line and current folder to outfile;
//   shell_host sleep <ms>
//       waits, then ends with exit code 7 (a process for others to end).
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& s) {
    if (s.empty()) return {};
    int n = ::WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &out[0], n, nullptr, nullptr);
    return out;
}

bool WriteText(const wchar_t* path, const std::wstring& text) {
    const std::wstring tmp = std::wstring(path) + L".tmp";
    HANDLE h = ::CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const std::string bytes = Utf8(text);
    DWORD written = 0;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(h);
    return ::MoveFileExW(tmp.c_str(), path, MOVEFILE_REPLACE_EXISTING) != FALSE;
}

int Call(int argc, wchar_t** argv) {
    if (argc < 4) return 64;
    ::OleInitialize(nullptr);
    HRESULT hr = S_OK;
    std::wstring text;
    CLSID clsid;
    IDispatch* obj = nullptr;
    hr = ::CLSIDFromProgID(L"PebbleUtil.ShellCtl", &clsid);
    if (SUCCEEDED(hr))
        hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&obj));
    if (SUCCEEDED(hr)) {
        LPOLESTR name = argv[3];
        DISPID id = DISPID_UNKNOWN;
        hr = obj->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
        if (SUCCEEDED(hr)) {
            std::vector<VARIANT> args;  // right to left
            for (int i = argc - 1; i >= 4; --i) {
                VARIANT v;
                ::VariantInit(&v);
                V_VT(&v) = VT_BSTR;
                V_BSTR(&v) = ::SysAllocString(argv[i]);
                args.push_back(v);
            }
            DISPPARAMS dp = {args.empty() ? nullptr : args.data(), nullptr, static_cast<UINT>(args.size()), 0};
            VARIANT result;
            ::VariantInit(&result);
            EXCEPINFO ex = {};
            UINT argErr = 0;
            hr = obj->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &dp, &result, &ex, &argErr);
            if (hr == DISP_E_EXCEPTION) hr = ex.scode;
            ::SysFreeString(ex.bstrSource);
            ::SysFreeString(ex.bstrDescription);
            ::SysFreeString(ex.bstrHelpFile);
            VARIANT asText;
            ::VariantInit(&asText);
            if (V_VT(&result) != VT_EMPTY && SUCCEEDED(::VariantChangeType(&asText, &result, 0, VT_BSTR)))
                text = V_BSTR(&asText) ? V_BSTR(&asText) : L"";
            ::VariantClear(&asText);
            ::VariantClear(&result);
            for (auto& v : args) ::VariantClear(&v);
        }
        obj->Release();
    }
    wchar_t code[16];
    std::swprintf(code, 16, L"%08lx", static_cast<unsigned long>(hr));
    bool ok = WriteText(argv[2], std::wstring(code) + L"\n" + text);
    ::OleUninitialize();
    return ok ? 0 : 65;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    if (argc >= 2 && std::wcscmp(argv[1], L"call") == 0) return Call(argc, argv);
    if (argc >= 3 && std::wcscmp(argv[1], L"record") == 0) {
        wchar_t cwd[MAX_PATH] = {};
        ::GetCurrentDirectoryW(MAX_PATH, cwd);
        return WriteText(argv[2], std::wstring(::GetCommandLineW()) + L"\n" + cwd) ? 0 : 65;
    }
    if (argc >= 3 && std::wcscmp(argv[1], L"sleep") == 0) {
        ::Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
        return 7;
    }
    return 64;
}
