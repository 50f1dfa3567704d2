// scriptdeck.exe <script> [arguments...]: the installer engine. The launcher starts it
// as ".\bin\scriptdeck.exe installerMain.clf" plus the arguments it was given; the
// script drives the installation through COM objects and Lua modules.
#include <windows.h>

#include <cstdio>
#include <new>

#include "common/DebugLog.h"
#include "scriptdeck/host/CommandLine.h"
#include "scriptdeck/host/ScriptHost.h"

namespace {

// A crash ends the engine at once with the exception code, instead of waiting for a
// debugger nobody attends.
LONG WINAPI Crashed(EXCEPTION_POINTERS* info) {
    char text[96];
    std::snprintf(text, sizeof text, "scriptdeck: unhandled exception %08lX\n",
                  static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode));
    std::fputs(text, stderr);
    std::fflush(stderr);
    common::DebugOut(text);
    ::TerminateProcess(::GetCurrentProcess(), info->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    ::SetUnhandledExceptionFilter(Crashed);
    // What the script prints reaches a redirected stdout at once, also when the
    // engine is ended from outside.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    try {
        return scriptdeck::ScriptHost().Run(scriptdeck::CommandLine::Arguments());
    } catch (const std::bad_alloc&) {
        std::fputs("scriptdeck: not enough memory\n", stderr);
        common::DebugOut("scriptdeck: not enough memory\n");
        return 1;
    }
}
