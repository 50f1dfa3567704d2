#include "Harness.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cstdio>

#include "common/Handle.h"

namespace harness {

using common::ComPtr;
using common::UniqueHandle;
using common::Variant;

std::wstring BinDir() {
    wchar_t buf[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, buf, MAX_PATH);
    std::wstring p(buf, n);
    return p.substr(0, p.find_last_of(L"\\/"));
}

std::wstring Join(const std::wstring& a, const std::wstring& b) {
    if (a.empty()) return b;
    if (a.back() == L'\\' || a.back() == L'/') return a + b;
    return a + L"\\" + b;
}

bool FileExists(const std::wstring& path) {
    DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::wstring& path) {
    DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void WriteFile(const std::wstring& path, const std::string& bytes) {
    UniqueHandle h(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) throw std::runtime_error("cannot create " + Narrow(path));
    DWORD written = 0;
    if (!bytes.empty() && !::WriteFile(h.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        throw std::runtime_error("cannot write " + Narrow(path));
}

std::string ReadFile(const std::wstring& path) {
    UniqueHandle h(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, 0, nullptr));
    if (!h) return {};
    std::string out;
    char buf[65536];
    DWORD n = 0;
    while (::ReadFile(h.get(), buf, sizeof buf, &n, nullptr) && n) out.append(buf, n);
    return out;
}

void CopyFileOrThrow(const std::wstring& from, const std::wstring& to) {
    if (!::CopyFileW(from.c_str(), to.c_str(), FALSE))
        throw std::runtime_error("cannot copy " + Narrow(from) + " to " + Narrow(to));
}

std::wstring Widen(const std::string& s) {
    if (s.empty()) return {};
    int n = ::MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

std::string Narrow(const std::wstring& s) {
    if (s.empty()) return {};
    int n = ::WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string o(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &o[0], n, nullptr, nullptr);
    return o;
}

TempDir::TempDir(const wchar_t* tag) {
    wchar_t base[MAX_PATH];
    ::GetTempPathW(MAX_PATH, base);
    static LONG counter = 0;
    for (;;) {
        wchar_t name[64];
        std::swprintf(name, 64, L"%ls%lu_%ld", tag, ::GetCurrentProcessId(), ::InterlockedIncrement(&counter));
        path_ = Join(base, name);
        if (::CreateDirectoryW(path_.c_str(), nullptr)) break;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create temp dir");
    }
}

TempDir::~TempDir() { RemoveTree(path_); }

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW fd;
    common::UniqueFindHandle f(::FindFirstFileW(Join(path, L"*").c_str(), &fd));
    if (f) {
        do {
            std::wstring n = fd.cFileName;
            if (n == L"." || n == L"..") continue;
            std::wstring full = Join(path, n);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full);
            } else {
                ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(full.c_str());
            }
        } while (::FindNextFileW(f.get(), &fd));
    }
    f.reset();
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryW(path.c_str());
}

ProcessResult Run(const std::wstring& cmdline, const std::wstring& workDir, DWORD timeoutMs) {
    ProcessResult r;
    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    std::wstring cmd = cmdline;
    if (!::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                          workDir.empty() ? nullptr : workDir.c_str(), &si, &pi)) {
        r.exitCode = static_cast<DWORD>(-1);
        ADD_FAILURE() << "CreateProcess failed (" << ::GetLastError() << "): " << Narrow(cmdline);
        return r;
    }
    UniqueHandle process(pi.hProcess), thread(pi.hThread);
    r.pid = pi.dwProcessId;
    if (::WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0) {
        r.timedOut = true;
        ::TerminateProcess(process.get(), 9999);
        ::WaitForSingleObject(process.get(), 5000);
    }
    ::GetExitCodeProcess(process.get(), &r.exitCode);
    return r;
}

DWORD Regsvr32(const std::wstring& dll, bool unregister) {
    wchar_t sys[MAX_PATH];
    ::GetSystemDirectoryW(sys, MAX_PATH);
    std::wstring cmd = L"\"" + Join(sys, L"regsvr32.exe") + L"\" /s " + (unregister ? L"/u " : L"") + L"\"" + dll + L"\"";
    ProcessResult r = Run(cmd, L"", 60000);
    EXPECT_FALSE(r.timedOut) << "regsvr32 timed out";
    return r.exitCode;
}

// --- late binding -------------------------------------------------------------------

ComPtr<IDispatch> Create(const wchar_t* progId, HRESULT* hrOut) {
    ComPtr<IDispatch> obj;
    CLSID clsid;
    HRESULT hr = ::CLSIDFromProgID(progId, &clsid);
    if (SUCCEEDED(hr))
        hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, obj.put_void());
    if (hrOut)
        *hrOut = hr;
    else
        EXPECT_HR(S_OK, hr) << "creating " << Narrow(progId);
    return obj;
}

DISPID DispId(IDispatch* obj, const wchar_t* name, HRESULT* hrOut) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR n = const_cast<LPOLESTR>(name);
    HRESULT hr = obj->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
    if (hrOut) *hrOut = hr;
    return id;
}

namespace {
HRESULT InvokeByName(IDispatch* obj, const wchar_t* name, std::vector<VARIANT>& args, VARIANT* result, WORD flags,
                     UINT* argErr, EXCEPINFO* excep) {
    HRESULT hr = S_OK;
    DISPID id = DispId(obj, name, &hr);
    if (SUCCEEDED(hr)) {
        // DISPPARAMS hold the arguments right to left.
        std::vector<VARIANT> rev(args.rbegin(), args.rend());
        DISPID put = DISPID_PROPERTYPUT;
        DISPPARAMS dp = {rev.empty() ? nullptr : rev.data(), nullptr, static_cast<UINT>(rev.size()), 0};
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            dp.rgdispidNamedArgs = &put;
            dp.cNamedArgs = 1;
        }
        UINT err = 0;
        hr = obj->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp, result, excep, argErr ? argErr : &err);
    }
    for (auto& v : args) ::VariantClear(&v);
    return hr;
}
}  // namespace

HRESULT Call(IDispatch* obj, const wchar_t* name, std::vector<VARIANT> args, VARIANT* result, WORD flags,
             UINT* argErr) {
    return InvokeByName(obj, name, args, result, flags, argErr, nullptr);
}

HRESULT CallScode(IDispatch* obj, const wchar_t* name, std::vector<VARIANT> args, VARIANT* result) {
    EXCEPINFO ex = {};
    HRESULT hr = InvokeByName(obj, name, args, result, DISPATCH_METHOD, nullptr, &ex);
    if (hr == DISP_E_EXCEPTION) {
        if (ex.pfnDeferredFillIn) ex.pfnDeferredFillIn(&ex);
        if (ex.scode) hr = ex.scode;
    }
    ::SysFreeString(ex.bstrSource);
    ::SysFreeString(ex.bstrDescription);
    ::SysFreeString(ex.bstrHelpFile);
    return hr;
}

Variant CallOk(IDispatch* obj, const wchar_t* name, std::vector<VARIANT> args) {
    Variant r;
    HRESULT hr = Call(obj, name, std::move(args), r.get());
    EXPECT_TRUE(SUCCEEDED(hr)) << "call " << Narrow(name) << " failed: 0x" << std::hex << hr;
    return r;
}

HRESULT Get(IDispatch* obj, const wchar_t* name, VARIANT* result) {
    return Call(obj, name, {}, result, DISPATCH_PROPERTYGET);
}

HRESULT Put(IDispatch* obj, const wchar_t* name, VARIANT value) {
    return Call(obj, name, {value}, nullptr, DISPATCH_PROPERTYPUT);
}

VARIANT Str(const wchar_t* s) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = s ? ::SysAllocString(s) : nullptr;
    return v;
}
VARIANT Str(const std::wstring& s) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = ::SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    return v;
}
VARIANT I4(LONG x) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = x;
    return v;
}
VARIANT UI4(ULONG x) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_UI4;
    V_UI4(&v) = x;
    return v;
}
VARIANT Bool(bool b) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = b ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}
VARIANT Ref(BSTR* s) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&v) = s;
    return v;
}
VARIANT RefVar(VARIANT* x) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&v) = x;
    return v;
}
VARIANT Missing() {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_ERROR;
    V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
    return v;
}

std::wstring AsString(const VARIANT& v) {
    Variant c;
    if (FAILED(::VariantChangeType(c.get(), const_cast<VARIANT*>(&v), 0, VT_BSTR))) return L"<not a string>";
    return V_BSTR(c.get()) ? V_BSTR(c.get()) : L"";
}
LONG AsLong(const VARIANT& v) {
    Variant c;
    if (FAILED(::VariantChangeType(c.get(), const_cast<VARIANT*>(&v), 0, VT_I4))) {
        ADD_FAILURE() << "not a number, vt " << v.vt;
        return 0;
    }
    return V_I4(c.get());
}
bool AsBool(const VARIANT& v) {
    EXPECT_EQ(VT_BOOL, v.vt);
    return v.vt == VT_BOOL && V_BOOL(&v) != VARIANT_FALSE;
}

// --- registry ----------------------------------------------------------------------

bool KeyExists(HKEY root, const std::wstring& path) {
    common::UniqueKey k;
    return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, k.put()) == ERROR_SUCCESS;
}

bool ReadString(HKEY root, const std::wstring& path, const std::wstring& name, std::wstring& out) {
    common::UniqueKey k;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, k.put()) != ERROR_SUCCESS) return false;
    DWORD type = 0, size = 0;
    const wchar_t* n = name.empty() ? nullptr : name.c_str();
    if (::RegQueryValueExW(k.get(), n, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    std::wstring buf(size / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(k.get(), n, nullptr, &type, reinterpret_cast<BYTE*>(&buf[0]), &size) != ERROR_SUCCESS)
        return false;
    buf.resize(wcslen(buf.c_str()));
    out = buf;
    return true;
}

std::wstring StringValue(HKEY root, const std::wstring& path, const std::wstring& name) {
    std::wstring v;
    if (!ReadString(root, path, name, v)) return L"<missing>";
    return v;
}

std::vector<std::wstring> SubKeys(HKEY root, const std::wstring& path) {
    std::vector<std::wstring> out;
    common::UniqueKey k;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, k.put()) != ERROR_SUCCESS) return out;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD len = 256;
        if (::RegEnumKeyExW(k.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        out.emplace_back(name, len);
    }
    return out;
}

// --- debug output ------------------------------------------------------------------

DebugCapture::DebugCapture(std::vector<DWORD> pids) : pids_(std::move(pids)) {
    ::InitializeCriticalSection(&cs_);
    if (pids_.empty()) pids_.push_back(::GetCurrentProcessId());
    // One listener at a time on the machine: parallel test programs take turns.
    turn_ = ::CreateMutexW(nullptr, FALSE, L"harness-dbwin-listener");
    DWORD w = ::WaitForSingleObject(turn_, 120000);
    if (w != WAIT_OBJECT_0 && w != WAIT_ABANDONED) ADD_FAILURE() << "debug-output channel busy";
    bufferReady_ = ::CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY");
    dataReady_ = ::CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
    mapping_ = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"DBWIN_BUFFER");
    view_ = mapping_ ? ::MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 4096) : nullptr;
    if (!view_) ADD_FAILURE() << "cannot map DBWIN_BUFFER";
    thread_ = ::CreateThread(nullptr, 0, &DebugCapture::Thread, this, 0, nullptr);
}

DebugCapture::~DebugCapture() {
    ::InterlockedExchange(&stop_, 1);
    ::SetEvent(dataReady_);
    ::WaitForSingleObject(thread_, 5000);
    ::CloseHandle(thread_);
    if (view_) ::UnmapViewOfFile(view_);
    ::CloseHandle(mapping_);
    ::CloseHandle(dataReady_);
    ::CloseHandle(bufferReady_);
    ::ReleaseMutex(turn_);
    ::CloseHandle(turn_);
    ::DeleteCriticalSection(&cs_);
}

DWORD WINAPI DebugCapture::Thread(void* self) {
    static_cast<DebugCapture*>(self)->Loop();
    return 0;
}

void DebugCapture::Loop() {
    // The buffer is offered again only after its text was read: a writer that took the
    // offer may still be writing when a wait times out, and a second offer would let
    // the next writer overwrite that text before it is read.
    ::SetEvent(bufferReady_);
    while (!stop_) {
        if (::WaitForSingleObject(dataReady_, 200) != WAIT_OBJECT_0) continue;
        if (stop_ || !view_) break;
        const char* base = static_cast<const char*>(view_);
        DWORD pid = *reinterpret_cast<const DWORD*>(base);
        std::string text(base + sizeof(DWORD), strnlen(base + sizeof(DWORD), 4096 - sizeof(DWORD)));
        ::EnterCriticalSection(&cs_);
        for (DWORD p : pids_) {
            if (p == pid) {
                fragments_.push_back(text);
                break;
            }
        }
        ::LeaveCriticalSection(&cs_);
        ::SetEvent(bufferReady_);
    }
}

void DebugCapture::AddPid(DWORD pid) {
    ::EnterCriticalSection(&cs_);
    pids_.push_back(pid);
    ::LeaveCriticalSection(&cs_);
}

std::vector<std::string> DebugCapture::Fragments() {
    ::EnterCriticalSection(&cs_);
    auto out = fragments_;
    ::LeaveCriticalSection(&cs_);
    return out;
}

std::string DebugCapture::Text() {
    std::string all;
    for (auto& f : Fragments()) all += f;
    return all;
}

bool DebugCapture::WaitFor(const std::string& needle, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    do {
        if (Text().find(needle) != std::string::npos) return true;
        ::Sleep(20);
    } while (::GetTickCount() - start < timeoutMs);
    return Text().find(needle) != std::string::npos;
}

void DebugCapture::Clear() {
    ::Sleep(50);  // let a fragment in flight arrive first
    ::EnterCriticalSection(&cs_);
    fragments_.clear();
    ::LeaveCriticalSection(&cs_);
}

// --- message boxes -----------------------------------------------------------------

namespace {
BOOL CALLBACK CollectButton(HWND child, LPARAM param) {
    wchar_t cls[32] = L"";
    ::GetClassNameW(child, cls, 32);
    if (lstrcmpiW(cls, L"Button") == 0 && ::IsWindowVisible(child))
        reinterpret_cast<std::vector<int>*>(param)->push_back(::GetDlgCtrlID(child));
    return TRUE;
}
}  // namespace

namespace {
// Whether pid is this process or one it started (directly or further down).
bool InOwnProcessTree(DWORD pid) {
    const DWORD self = ::GetCurrentProcessId();
    if (pid == self) return true;
    common::UniqueHandle snap(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap) return false;
    std::vector<std::pair<DWORD, DWORD>> parents;  // (process, parent)
    PROCESSENTRY32W e;
    e.dwSize = sizeof e;
    for (BOOL ok = ::Process32FirstW(snap.get(), &e); ok; ok = ::Process32NextW(snap.get(), &e))
        parents.emplace_back(e.th32ProcessID, e.th32ParentProcessID);
    // Up the parent chain; the depth bound guards against reused ids forming a loop.
    for (int depth = 0; depth < 32 && pid != 0; ++depth) {
        DWORD parent = 0;
        for (const auto& p : parents)
            if (p.first == pid) parent = p.second;
        if (parent == self) return true;
        pid = parent;
    }
    return false;
}
}  // namespace

SeenBox ReadBox(HWND w) {
    SeenBox box;
    ::GetWindowThreadProcessId(w, &box.pid);
    wchar_t buf[4096];
    buf[0] = 0;
    ::GetWindowTextW(w, buf, 4096);
    box.caption = buf;
    buf[0] = 0;
    // The message text is the static control with id 0xFFFF.
    ::GetDlgItemTextW(w, 0xFFFF, buf, 4096);
    box.text = buf;
    box.owner = ::GetWindow(w, GW_OWNER);
    box.topmost = (::GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    ::EnumChildWindows(w, &CollectButton, reinterpret_cast<LPARAM>(&box.buttons));
    return box;
}

std::vector<HWND> OpenBoxes(DWORD pid) {
    std::vector<HWND> boxes;
    HWND w = nullptr;
    while ((w = ::FindWindowExW(nullptr, w, L"#32770", nullptr)) != nullptr) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(w, &owner);
        if (owner == pid && ::IsWindowVisible(w)) boxes.push_back(w);
    }
    return boxes;
}

BoxAnswerer::BoxAnswerer(int button, DWORD onlyPid) : button_(button), onlyPid_(onlyPid) {
    ::InitializeCriticalSection(&cs_);
    thread_ = ::CreateThread(nullptr, 0, &BoxAnswerer::Thread, this, 0, nullptr);
}

BoxAnswerer::~BoxAnswerer() {
    ::InterlockedExchange(&stop_, 1);
    ::WaitForSingleObject(thread_, 5000);
    ::CloseHandle(thread_);
    ::DeleteCriticalSection(&cs_);
}

void BoxAnswerer::SetButton(int button) { ::InterlockedExchange(&button_, button); }

std::vector<SeenBox> BoxAnswerer::Seen() {
    ::EnterCriticalSection(&cs_);
    auto out = seen_;
    ::LeaveCriticalSection(&cs_);
    return out;
}

bool BoxAnswerer::WaitForBox(DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < timeoutMs) {
        if (!Seen().empty()) return true;
        ::Sleep(20);
    }
    return !Seen().empty();
}

DWORD WINAPI BoxAnswerer::Thread(void* self) {
    static_cast<BoxAnswerer*>(self)->Loop();
    return 0;
}

void BoxAnswerer::Loop() {
    std::vector<HWND> answered;
    while (!stop_) {
        HWND w = nullptr;
        while ((w = ::FindWindowExW(nullptr, w, L"#32770", nullptr)) != nullptr) {
            DWORD pid = 0;
            ::GetWindowThreadProcessId(w, &pid);
            if (onlyPid_ == kOwnProcessTree) {
                if (!InOwnProcessTree(pid)) continue;
            } else if (onlyPid_ && pid != onlyPid_) {
                continue;
            }
            if (!::IsWindowVisible(w)) continue;
            bool done = false;
            for (HWND a : answered) done = done || a == w;
            if (done) continue;
            SeenBox box = ReadBox(w);
            ::EnterCriticalSection(&cs_);
            seen_.push_back(box);
            ::LeaveCriticalSection(&cs_);
            answered.push_back(w);
            if (button_ == kEscape) {
                // The key as the user presses it; the box's dialog loop turns it into IDCANCEL.
                ::PostMessageW(w, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
                ::PostMessageW(w, WM_KEYUP, VK_ESCAPE, 0xC0010001);
            } else {
                ::PostMessageW(w, WM_COMMAND, MAKEWPARAM(button_, BN_CLICKED), 0);
            }
        }
        ::Sleep(30);
    }
}

}  // namespace harness
