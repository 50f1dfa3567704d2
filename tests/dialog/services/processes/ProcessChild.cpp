// Child program the process tests launch. The first argument picks what it does:
//   exit <code> [delayMs]          waits, then exits with <code> (259 included)
//   report <file>                  writes what it sees of its start (show flags, current
//                                  folder, command line, token) to <file>, exits 0
//   tree <levels> <ms> <dir> <rundll|-> [index [childMs]]
//                                  a process tree: records itself in <dir>, starts two
//                                  children one level lower (and the program <rundll>,
//                                  a copy of this one, with a tree of its own), notes in
//                                  <dir> when a child ends while it still runs, then
//                                  sleeps <ms> and exits; children sleep <childMs>
//   holdmutex <name> <ready> <quit|->
//                                  takes the named mutex, signals event <ready>, waits for
//                                  event <quit> (or not at all with "-") and exits
//                                  without releasing the mutex
//   waitevent <name> <ms>          exits 0 when the named event is set within <ms>, else 1
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::wstring SelfPath() {
    std::vector<wchar_t> buf(32768);
    DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    return std::wstring(buf.data(), n);
}

std::string Utf8(const std::wstring& s) {
    int n = ::WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    if (n) ::WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), &out[0], n, nullptr, nullptr);
    return out;
}

bool WriteText(const std::wstring& path, const std::string& text) {
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = ::WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(f);
    return ok && written == text.size();
}

int Report(const std::wstring& file) {
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    ::GetStartupInfoW(&si);
    wchar_t cwd[MAX_PATH * 2] = {};
    ::GetCurrentDirectoryW(MAX_PATH * 2, cwd);

    BOOL admin = FALSE;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    if (::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                   &admins)) {
        if (!::CheckTokenMembership(nullptr, admins, &admin)) admin = FALSE;
        ::FreeSid(admins);
    }
    DWORD elevated = 0;
    HANDLE token = nullptr;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        TOKEN_ELEVATION e = {};
        DWORD len = 0;
        if (::GetTokenInformation(token, TokenElevation, &e, sizeof e, &len)) elevated = e.TokenIsElevated ? 1 : 0;
        ::CloseHandle(token);
    }
    char head[200];
    std::snprintf(head, sizeof head, "flags=%lu\nshow=%u\nadmin=%d\nelevated=%lu\n",
                  static_cast<unsigned long>(si.dwFlags), static_cast<unsigned>(si.wShowWindow), admin ? 1 : 0,
                  static_cast<unsigned long>(elevated));
    std::string text = head;
    text += "cwd=" + Utf8(cwd) + "\n";
    text += "cmdline=" + Utf8(::GetCommandLineW()) + "\n";
    return WriteText(file, text) ? 0 : 2;
}

HANDLE Start(const std::wstring& cmdline) {
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::wstring cmd = cmdline;
    if (!::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
    ::CloseHandle(pi.hThread);
    return pi.hProcess;
}

struct ChildWatch {
    HANDLE process;
    std::wstring marker;
};

// Notes a child that ends while this process still runs.
DWORD WINAPI WatchChild(void* param) {
    auto* w = static_cast<ChildWatch*>(param);
    if (::WaitForSingleObject(w->process, INFINITE) == WAIT_OBJECT_0) WriteText(w->marker, "child ended first\n");
    return 0;
}

int Tree(int levels, DWORD ms, const std::wstring& dir, const std::wstring& rundll, const std::wstring& index,
         DWORD childMs) {
    DWORD self = ::GetCurrentProcessId();
    char line[64];
    std::snprintf(line, sizeof line, "%lu\n", static_cast<unsigned long>(self));
    wchar_t exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const wchar_t* base = wcsrchr(exe, L'\\');
    // proc-<index>.txt: this process's id; the index names its place in the tree (0, 0.1, 0.2, 0.1.1, ...).
    WriteText(dir + L"\\proc-" + index + L".txt", std::string(line) + Utf8(base ? base + 1 : exe) + "\n");

    std::vector<ChildWatch*> watches;
    const std::wstring me = L"\"" + SelfPath() + L"\"";
    auto spawn = [&](const std::wstring& program, int childLevels, const std::wstring& childIndex) {
        wchar_t args[64];
        std::swprintf(args, 64, L" tree %d %lu ", childLevels, static_cast<unsigned long>(childMs));
        HANDLE h = Start(program + args + L"\"" + dir + L"\" - " + childIndex + L" " + std::to_wstring(childMs));
        if (!h) return;
        auto* w = new ChildWatch{h, dir + L"\\orphaned-" + index + L".txt"};
        watches.push_back(w);
        HANDLE t = ::CreateThread(nullptr, 0, WatchChild, w, 0, nullptr);
        if (t) ::CloseHandle(t);
    };
    if (levels > 1) {
        spawn(me, levels - 1, index + L".1");
        spawn(me, levels - 1, index + L".2");
    }
    if (rundll != L"-") spawn(L"\"" + rundll + L"\"", 2, L"r");
    ::Sleep(ms);
    return 0;
}

int HoldMutex(const std::wstring& name, const std::wstring& ready, const std::wstring& quit) {
    HANDLE m = ::CreateMutexW(nullptr, FALSE, name.c_str());
    if (!m) return 3;
    DWORD r = ::WaitForSingleObject(m, 10000);
    if (r != WAIT_OBJECT_0 && r != WAIT_ABANDONED) return 4;
    HANDLE readyEvent = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, ready.c_str());
    if (!readyEvent) return 5;
    ::SetEvent(readyEvent);
    if (quit != L"-") {
        HANDLE quitEvent = ::OpenEventW(SYNCHRONIZE, FALSE, quit.c_str());
        if (!quitEvent) return 6;
        ::WaitForSingleObject(quitEvent, 60000);
    }
    return 0;  // ends owning the mutex: it is abandoned
}

int WaitEvent(const std::wstring& name, DWORD ms) {
    HANDLE e = ::CreateEventW(nullptr, FALSE, FALSE, name.c_str());
    if (!e) return 3;
    return ::WaitForSingleObject(e, ms) == WAIT_OBJECT_0 ? 0 : 1;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv || argc < 2) return 100;
    std::wstring mode = argv[1];
    auto num = [&](int i) -> unsigned long { return i < argc ? std::wcstoul(argv[i], nullptr, 10) : 0; };
    auto str = [&](int i) -> std::wstring { return i < argc ? argv[i] : L""; };

    if (mode == L"exit") {
        ::Sleep(num(3));
        return static_cast<int>(num(2));
    }
    if (mode == L"report") return Report(str(2));
    if (mode == L"tree")
        return Tree(static_cast<int>(num(2)), num(3), str(4), str(5), argc > 6 ? str(6) : L"0", argc > 7 ? num(7) : num(3));
    if (mode == L"holdmutex") return HoldMutex(str(2), str(3), str(4));
    if (mode == L"waitevent") return WaitEvent(str(2), num(3));
    return 101;
}
