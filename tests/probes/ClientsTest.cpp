// The probes from other clients than this test's own thread: a multithreaded
// apartment (the registered threading models decide where the object runs) and the
// system's script hosts calling by ProgID in a process of their own.
#include <gtest/gtest.h>

#include <string>

#include "Harness.h"
#include "InvokeHelpers.h"
#include "VendorStandIn.h"

using harness::I4;

namespace {

struct MtaCall {
    const wchar_t* progId;
    HRESULT hr = E_FAIL;
    DWORD thread = 0;
};

// Creates the object in a new multithreaded apartment and asks it once.
DWORD WINAPI AskFromMta(void* p) {
    auto* call = static_cast<MtaCall*>(p);
    call->thread = ::GetCurrentThreadId();
    if (FAILED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
    {
        HRESULT hr = E_FAIL;
        auto obj = harness::Create(call->progId, &hr);
        if (obj) {
            LONG reason = 7;
            call->hr = std::wstring(call->progId) == L"toolbarprobe.gtb"
                           ? harness::Call(obj.get(), L"shouldOffer", {I4(1), RefI4(&reason)})
                           : harness::Call(obj.get(), L"ChromeCheck", {I4(1)});
        } else {
            call->hr = hr;
        }
    }
    ::CoUninitialize();
    return 0;
}

MtaCall CallFromMta(const wchar_t* progId) {
    MtaCall call;
    call.progId = progId;
    HANDLE t = ::CreateThread(nullptr, 0, AskFromMta, &call, 0, nullptr);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(t, 30000));
    ::CloseHandle(t);
    return call;
}

// The thread id at the end of the library's only call line.
DWORD CallingThread(const VendorStandIn& lib) {
    const auto calls = lib.Calls();
    EXPECT_EQ(1u, calls.size());
    if (calls.empty()) return 0;
    const size_t at = calls[0].find(" thread=");
    return at == std::string::npos ? 0 : std::stoul(calls[0].substr(at + 8));
}

// Runs a script with the system's console script host in the library's folder
// (found there by the default library search); returns the script's exit code.
DWORD RunScript(const VendorStandIn& lib, const wchar_t* name, const std::string& text) {
    const std::wstring script = harness::Join(lib.Folder(), name);
    harness::WriteFile(script, text);
    wchar_t sys[MAX_PATH];
    ::GetSystemDirectoryW(sys, MAX_PATH);
    harness::ProcessResult r =
        harness::Run(L"\"" + harness::Join(sys, L"cscript.exe") + L"\" //nologo \"" + script + L"\"", lib.Folder(), 60000);
    EXPECT_FALSE(r.timedOut);
    return r.exitCode;
}

}  // namespace

TEST(ProbeApartments, BrowserProbeRunsOnTheCallingThreadOfAMultithreadedApartment) {
    VendorStandIn lib(L"gcapi_standin.dll", L"gcapi_dll.dll");
    lib.LogThreads();
    MtaCall call = CallFromMta(L"browserprobe.ChromeCompatibilityChecker");
    EXPECT_HR(S_OK, call.hr);
    EXPECT_EQ(call.thread, CallingThread(lib)) << "threading model both: no apartment switch";
}

TEST(ProbeApartments, ToolbarProbeRunsInASingleThreadedApartment) {
    VendorStandIn lib(L"gtapi_standin.dll", L"gtapi_signed.dll");
    lib.LogThreads();
    MtaCall call = CallFromMta(L"toolbarprobe.gtb");
    EXPECT_HR(S_OK, call.hr);
    const DWORD ran = CallingThread(lib);
    EXPECT_NE(0u, ran);
    EXPECT_NE(call.thread, ran) << "threading model apartment: called on an apartment thread, not the caller's";
}

TEST(ProbeApartments, ToolbarProbeRunsOnTheCreatingThreadOfItsApartment) {
    VendorStandIn lib(L"gtapi_standin.dll", L"gtapi_signed.dll");
    lib.LogThreads();
    auto obj = harness::Create(L"toolbarprobe.gtb");
    ASSERT_TRUE(obj);
    LONG reason = 7;
    EXPECT_HR(S_OK, harness::Call(obj.get(), L"shouldOffer", {I4(1), RefI4(&reason)}));
    EXPECT_EQ(::GetCurrentThreadId(), CallingThread(lib));
}

TEST(ProbeScripts, VbScriptVariablePassedToShouldOfferReceivesTheReasons) {
    VendorStandIn lib(L"gtapi_standin.dll", L"gtapi_signed.dll");
    lib.Answer(0, 0x12);
    EXPECT_EQ(0x12u, RunScript(lib, L"offer.vbs",
                               "Dim probe, reason\r\n"
                               "Set probe = CreateObject(\"toolbarprobe.gtb\")\r\n"
                               "reason = 7\r\n"
                               "probe.shouldOffer 5, reason\r\n"
                               "WScript.Quit reason\r\n"));
    EXPECT_EQ((std::vector<std::string>{"call record=5 key=0x80000001 reasons=0x8000ffff"}), lib.Calls());
}

TEST(ProbeScripts, JScriptChromeCheckReturnsTheAnswer) {
    VendorStandIn lib(L"gcapi_standin.dll", L"gcapi_dll.dll");
    lib.Answer(0, 0x12);
    const std::string script =
        "var probe = new ActiveXObject(\"browserprobe.ChromeCompatibilityChecker.2\");\r\n"
        "WScript.Quit(probe.ChromeCheck(6));\r\n";
    EXPECT_EQ(0x12u, RunScript(lib, L"check.js", script));
    lib.Answer(1, 0x12);
    EXPECT_EQ(0u, RunScript(lib, L"check.js", script));
    EXPECT_EQ((std::vector<std::string>{"call record=6 reasons=0x8000ffff", "call record=6 reasons=0x8000ffff"}),
              lib.Calls());
}
