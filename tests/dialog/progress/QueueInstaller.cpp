// A stand-in installer process: creates the singleton dialog control by its ProgID, the way
// the engine does, and drives it by commands read from standard input, one a line, fields
// separated by tabs. Each command is answered by one line on standard output:
//   create <mode>            Create(480, 360, mode)        -> the HRESULT, "0x%08lx"
//   send <id> <tps> <name>   SendQDownloadMsg              -> the HRESULT (a backslash
//                            followed by n stands for a line feed in the texts)
//   poll                     PollQueueDownload             -> "true" / "false"
//   gameid | tps | gamename  GetGameId / GetTPS / GetGameName -> "=<text>" or "empty"
//   window                   the main window's handle, in decimal
//   box                      opens DisplayWarning(1012) on a thread of its own (the box
//                            holds the control lock while open) -> "shown" once it is
//   closebox                 answers the box with OK        -> "closed" once it returned
//   quit                     ends the process              -> "bye"
// Anything the control refuses is answered "error 0x%08lx".
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Harness.h"
#include "dialog/window/WindowClassNames.h"

namespace {

std::vector<std::wstring> SplitTabs(const std::wstring& line) {
    std::vector<std::wstring> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find(L'\t', start);
        fields.push_back(line.substr(start, tab == std::wstring::npos ? std::wstring::npos : tab - start));
        if (tab == std::wstring::npos) return fields;
        start = tab + 1;
    }
}

std::wstring Unescape(std::wstring text) {
    for (size_t at = text.find(L"\\n"); at != std::wstring::npos; at = text.find(L"\\n", at + 1))
        text.replace(at, 2, 1, L'\n');
    return text;
}

std::string HexResult(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(hr));
    return text;
}

bool ReadLine(std::string& line) {
    line.clear();
    for (int c = std::getchar(); c != EOF; c = std::getchar()) {
        if (c == '\n') return true;
        if (c != '\r') line += static_cast<char>(c);
    }
    return !line.empty();
}

// The thread that shows a message box, and the box.
HANDLE boxThread = nullptr;

DWORD WINAPI ShowWarning(void* control) {
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    harness::CallScode(static_cast<IDispatch*>(control), L"DisplayWarning", {harness::I4(1012)});
    ::CoUninitialize();
    return 0;
}

HWND OwnBox() {
    for (HWND w = ::FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w;
         w = ::FindWindowExW(nullptr, w, L"#32770", nullptr)) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(w, &pid);
        if (pid == ::GetCurrentProcessId() && ::IsWindowVisible(w)) return w;
    }
    return nullptr;
}

std::string Answer(IDispatch* control, const std::vector<std::wstring>& command) {
    const std::wstring& verb = command[0];
    HRESULT hr = S_OK;
    common::Variant result;
    if (verb == L"create" && command.size() == 2) {
        UINT mode = static_cast<UINT>(std::wcstoul(command[1].c_str(), nullptr, 10));
        return HexResult(harness::CallScode(control, L"Create", {harness::UI4(480), harness::UI4(360),
                                                                harness::UI4(mode)}));
    }
    if (verb == L"send" && command.size() == 4) {
        return HexResult(harness::CallScode(
            control, L"SendQDownloadMsg",
            {harness::Str(Unescape(command[1])), harness::Str(Unescape(command[2])), harness::Str(Unescape(command[3]))}));
    }
    if (verb == L"poll") {
        hr = harness::CallScode(control, L"PollQueueDownload", {}, result.put());
        if (FAILED(hr)) return "error " + HexResult(hr);
        return harness::AsBool(*result.get()) ? "true" : "false";
    }
    const wchar_t* getter = verb == L"gameid" ? L"GetGameId" : verb == L"tps" ? L"GetTPS"
                          : verb == L"gamename" ? L"GetGameName" : nullptr;
    if (getter) {
        hr = harness::CallScode(control, getter, {}, result.put());
        if (FAILED(hr)) return "error " + HexResult(hr);
        const VARIANT& v = *result.get();
        // Through late binding a null string arrives as an empty one, as scripts see it.
        if (V_VT(&v) == VT_BSTR && ::SysStringLen(V_BSTR(&v)) != 0) return "=" + harness::Narrow(V_BSTR(&v));
        return V_VT(&v) == VT_BSTR || V_VT(&v) == VT_EMPTY ? "empty" : "unexpected type";
    }
    if (verb == L"window") {
        HWND found = nullptr;
        for (HWND w = ::FindWindowExW(nullptr, nullptr, stagehand::kInstallerFrameClass, nullptr); w && !found;
             w = ::FindWindowExW(nullptr, w, stagehand::kInstallerFrameClass, nullptr)) {
            DWORD pid = 0;
            ::GetWindowThreadProcessId(w, &pid);
            if (pid == ::GetCurrentProcessId()) found = w;
        }
        return std::to_string(reinterpret_cast<ULONG_PTR>(found));
    }
    if (verb == L"box") {
        if (boxThread) return "busy";
        boxThread = ::CreateThread(nullptr, 0, &ShowWarning, control, 0, nullptr);
        for (int i = 0; boxThread && i < 3000; ++i, ::Sleep(20))
            if (OwnBox()) return "shown";
        return "none";
    }
    if (verb == L"closebox") {
        if (HWND box = OwnBox()) ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        bool ended = boxThread && ::WaitForSingleObject(boxThread, 60000) == WAIT_OBJECT_0;
        if (boxThread) ::CloseHandle(boxThread);
        boxThread = nullptr;
        return ended ? "closed" : "stuck";
    }
    return "unknown command";
}

LONG WINAPI EndOnCrash(EXCEPTION_POINTERS*) { ::ExitProcess(3); }

}  // namespace

int main() {
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ::SetUnhandledExceptionFilter(EndOnCrash);
    ::OleInitialize(nullptr);
    int code = 0;
    {
        auto control = harness::Create(L"Stagehand.InstallDlgCtl");
        if (!control) {
            std::printf("no control\n");
            code = 2;
        }
        std::string line;
        while (control && ReadLine(line)) {
            auto command = SplitTabs(harness::Widen(line));
            std::string answer = command[0] == L"quit" ? "bye" : Answer(control.get(), command);
            std::printf("%s\n", answer.c_str());
            std::fflush(stdout);
            if (command[0] == L"quit") break;
        }
    }
    ::OleUninitialize();
    return code;
}
