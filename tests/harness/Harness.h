#pragma once
// Test support shared by every test program: paths, scratch folders, processes,
// late-bound calls, registry reads, debug-output capture and message-box answering.
#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <string>
#include <vector>

#include "common/Bstr.h"
#include "common/ComPtr.h"
#include "common/Variant.h"

namespace harness {

// Folder of the running test program (the build's bin folder, with every binary).
std::wstring BinDir();
std::wstring Join(const std::wstring& a, const std::wstring& b);
bool FileExists(const std::wstring& path);
bool DirExists(const std::wstring& path);
void WriteFile(const std::wstring& path, const std::string& bytes);
std::string ReadFile(const std::wstring& path);
void CopyFileOrThrow(const std::wstring& from, const std::wstring& to);

std::wstring Widen(const std::string& s);
std::string Narrow(const std::wstring& s);

// A unique scratch folder under %TEMP%, removed with everything in it.
class TempDir {
public:
    explicit TempDir(const wchar_t* tag = L"t");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return Join(path_, name); }

private:
    std::wstring path_;
};
void RemoveTree(const std::wstring& path);

struct ProcessResult {
    DWORD exitCode = 0;
    bool timedOut = false;
    DWORD pid = 0;
};
// Runs a command line and waits (kills it after timeoutMs).
ProcessResult Run(const std::wstring& cmdline, const std::wstring& workDir = L"", DWORD timeoutMs = 60000);
// regsvr32 /s [/u] path, its exit code.
DWORD Regsvr32(const std::wstring& dll, bool unregister);

// --- late binding, the way a script calls ---------------------------------------
common::ComPtr<IDispatch> Create(const wchar_t* progId, HRESULT* hr = nullptr);
DISPID DispId(IDispatch* obj, const wchar_t* name, HRESULT* hr = nullptr);
// Calls by name with arguments given left to right. Returns Invoke's HRESULT.
HRESULT Call(IDispatch* obj, const wchar_t* name, std::vector<VARIANT> args, VARIANT* result = nullptr,
             WORD flags = DISPATCH_METHOD, UINT* argErr = nullptr);
// Calls by name with an exception record: when the call fails with DISP_E_EXCEPTION,
// the record's status code is returned instead (what a script engine reports).
HRESULT CallScode(IDispatch* obj, const wchar_t* name, std::vector<VARIANT> args, VARIANT* result = nullptr);
// Calls and returns the result (fails the test on a failed HRESULT).
common::Variant CallOk(IDispatch* obj, const wchar_t* name, std::vector<VARIANT> args = {});
// Property get / put by name.
HRESULT Get(IDispatch* obj, const wchar_t* name, VARIANT* result);
HRESULT Put(IDispatch* obj, const wchar_t* name, VARIANT value);

// Argument makers: the variants are owned by the call (Call clears them).
VARIANT Str(const wchar_t* s);
VARIANT Str(const std::wstring& s);
VARIANT I4(LONG v);
VARIANT UI4(ULONG v);
VARIANT Bool(bool v);
VARIANT Ref(BSTR* s);      // VT_BYREF | VT_BSTR
VARIANT RefVar(VARIANT* v);  // VT_BYREF | VT_VARIANT
VARIANT Missing();

std::wstring AsString(const VARIANT& v);
LONG AsLong(const VARIANT& v);
bool AsBool(const VARIANT& v);

// --- registry --------------------------------------------------------------------
bool KeyExists(HKEY root, const std::wstring& path);
// Default value when name is empty; returns false when missing.
bool ReadString(HKEY root, const std::wstring& path, const std::wstring& name, std::wstring& out);
std::wstring StringValue(HKEY root, const std::wstring& path, const std::wstring& name = L"");
std::vector<std::wstring> SubKeys(HKEY root, const std::wstring& path);

// --- debug output --------------------------------------------------------------------
// Listens on the system debug-output channel while alive and keeps what the given
// processes (this one by default) wrote. Listeners of parallel test programs take
// turns through a named mutex.
class DebugCapture {
public:
    explicit DebugCapture(std::vector<DWORD> pids = {});
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    void AddPid(DWORD pid);
    // Every captured fragment of the watched processes concatenated.
    std::string Text();
    std::vector<std::string> Fragments();
    // Waits until Text() contains needle or the timeout passes.
    bool WaitFor(const std::string& needle, DWORD timeoutMs = 5000);
    void Clear();

private:
    static DWORD WINAPI Thread(void* self);
    void Loop();
    HANDLE turn_ = nullptr, bufferReady_ = nullptr, dataReady_ = nullptr, mapping_ = nullptr, thread_ = nullptr;
    void* view_ = nullptr;
    volatile LONG stop_ = 0;
    CRITICAL_SECTION cs_;
    std::vector<DWORD> pids_;
    std::vector<std::string> fragments_;
};

// --- message boxes ---------------------------------------------------------------
struct SeenBox {
    std::wstring caption;
    std::wstring text;
    DWORD pid = 0;
    HWND owner = nullptr;      // the owner window, null for none
    bool topmost = false;      // shown above all other windows (system-modal boxes are)
    std::vector<int> buttons;  // control ids of its buttons (IDOK, IDYES, ...), in order
};
// Reads a message box's caption, text, owner, placement and buttons.
SeenBox ReadBox(HWND box);
// Visible message boxes (dialog class #32770) of a process, top first.
std::vector<HWND> OpenBoxes(DWORD pid);
// Watches for message boxes (dialog class #32770) of any process while alive (or of
// onlyPid alone, or with kOwnProcessTree of this process and the processes it
// started), records caption and text and answers each with `button` (IDOK, IDYES,
// ...), or with the Escape key for kEscape. Tests running at the same time show boxes
// of their own: an answerer that watches every process sees them too.
class BoxAnswerer {
public:
    static constexpr int kEscape = -1;
    static constexpr DWORD kOwnProcessTree = 0xFFFFFFFF;
    explicit BoxAnswerer(int button = IDOK, DWORD onlyPid = 0);
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;
    void SetButton(int button);
    std::vector<SeenBox> Seen();
    bool WaitForBox(DWORD timeoutMs = 5000);

private:
    static DWORD WINAPI Thread(void* self);
    void Loop();
    HANDLE thread_ = nullptr;
    volatile LONG stop_ = 0;
    volatile LONG button_;
    DWORD onlyPid_;
    CRITICAL_SECTION cs_;
    std::vector<SeenBox> seen_;
};

}  // namespace harness

// gtest helpers for HRESULTs.
#define EXPECT_HR(expected, expr) EXPECT_EQ(static_cast<HRESULT>(expected), static_cast<HRESULT>(expr))
#define ASSERT_HR(expected, expr) ASSERT_EQ(static_cast<HRESULT>(expected), static_cast<HRESULT>(expr))
