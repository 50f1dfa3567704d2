#pragma once
// A scratch installer folder for the unpacker: the current directory becomes a
// TempDir whose bin\UnRAR.dll is the scripted stand-in, the way the engine runs
// with bin\ below its current folder. Sinks record the OnProgress events.
#include <gtest/gtest.h>
#include <windows.h>
#include <ocidl.h>

#include <string>
#include <vector>

#include "Harness.h"

namespace unrartest {

// An IDispatch sink for the unpacker's events: records every OnProgress value and
// the thread it came on, and answers each call with a chosen HRESULT.
class ProgressSink : public IDispatch {
public:
    explicit ProgressSink(HRESULT answer = S_OK) : answer_(answer) {}
    virtual ~ProgressSink() = default;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;

    std::vector<LONG> values;      // OnProgress arguments, in order
    std::vector<DWORD> threads;    // the thread of each call
    int malformed = 0;             // calls that were not OnProgress(VT_I4), a method without result, user locale

private:
    LONG refs_ = 1;
    HRESULT answer_;
};

class UnRarTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Puts `library` (a file of the bin folder) at bin\UnRAR.dll below the current folder.
    void InstallLibrary(const wchar_t* library);
    // Writes a scripted archive into the scratch folder and returns its full path.
    std::wstring Archive(const std::wstring& name, const std::string& script);
    // The stand-in's record of the calls made on an archive, one line each.
    std::vector<std::string> CallLog(const std::wstring& archive);
    // Unpack(archive, destination) called by name.
    HRESULT Unpack(const std::wstring& archive, const std::wstring& destination);
    LONG Percent();
    // Connects a sink to the object's _IUnRarEvents point; returns the cookie.
    DWORD Connect(ProgressSink* sink);
    void Disconnect(DWORD cookie);

    harness::TempDir dir_{L"unrar"};
    std::wstring savedCwd_;
    common::ComPtr<IDispatch> unrar_;
};

// The shipped UnRAR.dll of the build at bin\UnRAR.dll instead of the stand-in.
class ShippedUnRarTest : public UnRarTest {
protected:
    void SetUp() override;
    // Decodes the uuencoded sample archive `uuName` (a file of the build's rarsamples
    // folder: libarchive's test archives, made by RAR itself) into the scratch folder as
    // `as` (when empty, `uuName` without ".uu") and returns its path.
    std::wstring Sample(const std::wstring& uuName, const std::wstring& as = L"");
};

// The bytes of a uuencoded text ("begin MODE NAME", lines, "end"); `name` receives NAME.
std::string UuDecode(const std::string& text, std::string* name = nullptr);

// Everything below `root`, relative and sorted; folders end with '\'.
std::vector<std::wstring> Tree(const std::wstring& root);

}  // namespace unrartest
