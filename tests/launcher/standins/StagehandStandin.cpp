// Dialog-server stand-in for registration runs: DllRegisterServer and DllUnregisterServer
// log their call and current folder to stagehand.calls beside the DLL and return the
// HRESULT written in stagehand.result (S_OK without it).
#include <windows.h>

#include "StandinFiles.h"

namespace {

HMODULE g_module = nullptr;

HRESULT Answer(const char* call) {
    const std::wstring dir = standin::ModuleDir(g_module);
    standin::AppendText(dir + L"\\stagehand.calls",
                        std::string(call) + " " + standin::Utf8(standin::CurrentDir()) + "\n");
    return static_cast<HRESULT>(standin::NumberFromFile(dir + L"\\stagehand.result", S_OK));
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer() { return Answer("register"); }
extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer() { return Answer("unregister"); }
