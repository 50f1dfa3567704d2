// The robustness run: seeded random late-bound calls on every class of stagehand and
// the two probes, each class and seed in a child process of its own that a watchdog
// follows call by call. Prints calls/s, results by HRESULT family, crashes and hangs
// (with the call that caused them), message boxes that came up, heap, handle and GDI
// growth per 10 000 calls, and references the server kept to our objects.
//
//   bench_fuzz [--calls N] [--seeds 1,2,3] [--hang seconds] [--class ProgID]...
//
// FUZZ_SKIP=Name,Name in the environment leaves those methods out of every class (to
// find which method a growth comes from); FUZZ_FORMS=value,ref,varref keeps only those
// argument forms (to find which form of argument it comes from).
//
// Exit code 0 when no class crashed, hung or kept a reference; 1 otherwise; 2 when a
// class could not be created.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <cstdlib>
#include <cwchar>
#include <exception>
#include <string>
#include <vector>

#include "CallPolicy.h"
#include "ClassFuzzer.h"
#include "PageFuzzer.h"
#include "SharedRecord.h"
#include "common/Handle.h"

using namespace fuzz;

namespace {

const wchar_t* const kClasses[] = {
    L"Stagehand.InstallDlgCtl", L"DOZUvidaruve.StateCtrl", L"PebbleUtil.ProcessMgr",
    L"PebbleUtil.ShellCtl",     L"PebbleUtil.RegAccess",   L"PebbleUtil.UnRar",
    L"PebbleUtil.CookieCtl",    L"browserprobe.ChromeCompatibilityChecker", L"toolbarprobe.gtb",
    PageFuzzer::kName,
};
const wchar_t kScratchKey[] = L"Software\\StagehandFuzz";
const DWORD kCrashExit = 0xC0DEFA11;

SharedRecord* g_record = nullptr;

// ---- child ---------------------------------------------------------------------------

LONG WINAPI OnCrash(EXCEPTION_POINTERS* e) {
    if (g_record) {
        g_record->crashCode = e && e->ExceptionRecord ? e->ExceptionRecord->ExceptionCode : 0;
        g_record->crashed = 1;
    }
    ::TerminateProcess(::GetCurrentProcess(), kCrashExit);
    return EXCEPTION_EXECUTE_HANDLER;
}

void OnTerminate() {
    if (g_record) {
        g_record->crashCode = 0xE06D7363;  // a C++ exception nobody caught
        g_record->crashed = 1;
    }
    ::TerminateProcess(::GetCurrentProcess(), kCrashExit);
}

const wchar_t kAnsweredProp[] = L"StagehandFuzzAnswered";

// Counts a message box or dialog the first time it is seen, and closes it: a box in a
// robustness run is a call that waits for a user.
void AnswerBox(HWND w) {
    if (!::GetPropW(w, kAnsweredProp)) {
        ::SetPropW(w, kAnsweredProp, reinterpret_cast<HANDLE>(1));
        if (::InterlockedIncrement(&g_record->boxes) == 1) {
            wchar_t text[200] = L"";
            HWND label = ::FindWindowExW(w, nullptr, L"Static", nullptr);
            while (label && ::GetWindowTextLengthW(label) == 0) label = ::FindWindowExW(w, label, L"Static", nullptr);
            if (label) ::GetWindowTextW(label, text, 200);
            swprintf_s(g_record->firstBox, L"\"%ls\" during %.300ls", text, g_record->current);
        }
    }
    for (WPARAM button : {IDCANCEL, IDNO, IDOK}) ::PostMessageW(w, WM_COMMAND, button, 0);
}

// Boxes of the calling thread are answered as soon as they become active, so methods that
// show one (messages, the folder chooser, the shell's own error boxes) cost no waiting.
LRESULT CALLBACK AnswerAtOnce(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        wchar_t cls[16] = L"";
        HWND w = reinterpret_cast<HWND>(wParam);
        if (::GetClassNameW(w, cls, 16) == 6 && std::wcscmp(cls, L"#32770") == 0) AnswerBox(w);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// Boxes of the process's other threads (the window's UI thread, the servers' own) are
// looked for every 200 ms.
DWORD WINAPI AnswerBoxes(void* stop) {
    while (::WaitForSingleObject(stop, 200) == WAIT_TIMEOUT) {
        HWND w = nullptr;
        while ((w = ::FindWindowExW(nullptr, w, L"#32770", nullptr)) != nullptr) {
            DWORD pid = 0;
            ::GetWindowThreadProcessId(w, &pid);
            if (pid == ::GetCurrentProcessId() && ::IsWindowVisible(w)) AnswerBox(w);
        }
    }
    return 0;
}

void WriteFile(const std::wstring& path, const char* bytes, DWORD size) {
    common::UniqueHandle f(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    if (f) ::WriteFile(f.get(), bytes, size, &written, nullptr);
}

HarmlessPool MakePool() {
    HarmlessPool pool;
    wchar_t temp[MAX_PATH];
    DWORD n = ::GetTempPathW(MAX_PATH, temp);
    pool.scratch = std::wstring(temp, n < MAX_PATH ? n : 0) + L"stagehand-fuzz-" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring& s = pool.scratch;
    ::CreateDirectoryW(s.c_str(), nullptr);
    ::CreateDirectoryW((s + L"\\dir").c_str(), nullptr);
    ::CreateDirectoryW((s + L"\\skin").c_str(), nullptr);
    WriteFile(s + L"\\file.txt", "some text\r\n", 11);
    WriteFile(s + L"\\bad.rar", "Rar!\x1a\x07\x00\xff\xff\xff\xff garbage", 20);
    pool.paths = {s, s + L"\\dir", s + L"\\skin", s + L"\\file.txt", s + L"\\bad.rar", s + L"\\absent\\deeper\\x",
                  s + L"\\x.lnk", s + L"\\new.txt", s + L"\\dir\\copy.txt", s + L"\\" + std::wstring(250, L'D')};
    pool.absentPrograms = {s + L"\\absent.exe", L"zz_absent_program.exe", s + L"\\with blank\\absent.exe",
                           s + L"\\" + std::wstring(300, L'E') + L".exe"};
    pool.keyNames = {L"k1", L"k1\\k2", L"Fuzz Key", std::wstring(300, L'k'), L".fuzzext", L"Fuzz.Type"};
    pool.scratchKeys = {kScratchKey, std::wstring(kScratchKey) + L"\\k1"};
    HKEY key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
        ERROR_SUCCESS)
        ::RegCloseKey(key);
    return pool;
}

void RemovePool(const HarmlessPool& pool) {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kScratchKey);
    for (const auto& name : pool.keyNames) {
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, name.c_str());
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"." + name).c_str());
    }
    ::SetCurrentDirectoryW(L"C:\\");
    std::wstring from = pool.scratch + L'\0';  // the list ends with two nuls
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    ::SHFileOperationW(&op);
}

int RunChild(const wchar_t* progId, unsigned seed, LONG first, LONG last, const wchar_t* mapping) {
    common::UniqueHandle map(::OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, mapping));
    if (!map) return 3;
    g_record = static_cast<SharedRecord*>(::MapViewOfFile(map.get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SharedRecord)));
    if (!g_record) return 3;
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ::SetUnhandledExceptionFilter(OnCrash);
    std::set_terminate(OnTerminate);
    ::_wputenv(L"OANOCACHE=1");  // BSTRs freed at once, so the heap figures mean something
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 3;

    common::UniqueHandle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    common::UniqueHandle answerer(::CreateThread(nullptr, 0, AnswerBoxes, stop.get(), 0, nullptr));
    HarmlessPool pool = MakePool();
    ::SetCurrentDirectoryW(pool.scratch.c_str());
    wcsncpy_s(g_record->policy, DescribePolicies(progId).c_str(), _TRUNCATE);

    HHOOK hook = ::SetWindowsHookExW(WH_CBT, AnswerAtOnce, nullptr, ::GetCurrentThreadId());

    auto fuzz = [&](auto& fuzzer) {
        HRESULT hr = fuzzer.Setup();
        if (FAILED(hr)) {
            swprintf_s(g_record->current, L"cannot create %ls or read its methods: 0x%08lX", progId, hr);
            RemovePool(pool);
            ::TerminateProcess(::GetCurrentProcess(), 2);
        }
        fuzzer.Run(first, last);
    };
    if (std::wcscmp(progId, PageFuzzer::kName) == 0) {
        PageFuzzer fuzzer(seed, g_record, pool.scratch);
        fuzz(fuzzer);
    } else {
        ClassFuzzer fuzzer(progId, seed, g_record, pool);
        fuzz(fuzzer);
    }
    if (hook) ::UnhookWindowsHookEx(hook);
    g_record->finished = 1;
    ::SetEvent(stop.get());
    ::WaitForSingleObject(answerer.get(), 2000);
    RemovePool(pool);
    // The servers' singletons may keep threads of their own: end without waiting for them.
    ::TerminateProcess(::GetCurrentProcess(), 0);
    return 0;
}

// ---- parent --------------------------------------------------------------------------

struct Finding {
    std::wstring what;  // "crash 0xC0000005" or "hang"
    LONG call;
    std::wstring description;
};

struct Outcome {
    LONG calls = 0;
    LONG families[kFamilyCount] = {};
    LONG boxes = 0;
    double seconds = 0;
    LONG measured = 0;
    double heapPer10k = std::numeric_limits<double>::quiet_NaN(), handlesPer10k = heapPer10k, gdiPer10k = heapPer10k,
           userPer10k = heapPer10k;
    LONG kept = 0;
    bool keptCounted = true;
    LONG scriptErrors = 0;
    bool created = true;
    std::wstring policy;
    std::wstring firstBox;
    std::wstring firstKept;
    std::vector<Finding> findings;
};

// Growth per 10 000 calls; NaN (printed "n/a") where the platform gave no figure.
double Per10k(LONGLONG from, LONGLONG to, LONG calls) {
    if (!calls || (from == 0 && to == 0)) return std::numeric_limits<double>::quiet_NaN();
    return double(to - from) * 10000.0 / calls;
}

std::wstring Figure(double v, int decimals) {
    if (std::isnan(v)) return L"n/a";
    wchar_t text[32];
    swprintf_s(text, L"%.*f", decimals, v);
    return text;
}

Outcome RunClass(const wchar_t* progId, unsigned seed, LONG calls, DWORD hangSeconds) {
    Outcome out;
    wchar_t self[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        out.created = false;
        return out;
    }
    LONG first = 1;
    for (int attempt = 0; first <= calls && attempt < 25; ++attempt) {
        const std::wstring name = L"Local\\StagehandFuzz-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(attempt);
        common::UniqueHandle map(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                      sizeof(SharedRecord), name.c_str()));
        auto* record = map ? static_cast<SharedRecord*>(::MapViewOfFile(map.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0)) : nullptr;
        if (!record) {
            out.created = false;
            return out;
        }
        std::wstring command = L"\"" + std::wstring(self) + L"\" --child \"" + progId + L"\" " + std::to_wstring(seed) +
                               L" " + std::to_wstring(first) + L" " + std::to_wstring(calls) + L" " + name;
        STARTUPINFOW si = {sizeof si};
        PROCESS_INFORMATION pi = {};
        if (!::CreateProcessW(self, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            ::UnmapViewOfFile(record);
            out.created = false;
            return out;
        }
        common::UniqueHandle process(pi.hProcess), thread(pi.hThread);
        LONG lastIndex = -1;
        DWORD stillSince = ::GetTickCount();
        bool hung = false;
        while (::WaitForSingleObject(process.get(), 250) == WAIT_TIMEOUT) {
            if (record->callIndex != lastIndex) {
                lastIndex = record->callIndex;
                stillSince = ::GetTickCount();
            } else if (::GetTickCount() - stillSince > hangSeconds * 1000) {
                hung = true;
                ::TerminateProcess(process.get(), 1);
                ::WaitForSingleObject(process.get(), 5000);
                break;
            }
        }
        DWORD code = 0;
        ::GetExitCodeProcess(process.get(), &code);
        out.calls += record->calls;
        for (int f = 0; f < kFamilyCount; ++f) out.families[f] += record->families[f];
        out.boxes += record->boxes;
        out.seconds += record->seconds;
        out.policy = record->policy;
        if (record->firstBox[0] && out.firstBox.empty()) out.firstBox = record->firstBox;
        if (record->finished) {
            out.measured = record->measuredCalls;
            out.heapPer10k = Per10k(record->privateBytes[0], record->privateBytes[1], record->measuredCalls);
            out.handlesPer10k = Per10k(record->handles[0], record->handles[1], record->measuredCalls);
            out.gdiPer10k = Per10k(record->gdiObjects[0], record->gdiObjects[1], record->measuredCalls);
            out.userPer10k = Per10k(record->userObjects[0], record->userObjects[1], record->measuredCalls);
            out.kept = record->keptReferences;
            out.keptCounted = !record->keptNotCounted;
            out.firstKept = record->firstKept;
            out.scriptErrors = record->scriptErrors;
            if (record->pageFailures) out.findings.push_back({L"page", record->callIndex, record->current});
            ::UnmapViewOfFile(record);
            break;
        }
        if (record->callIndex == 0) {  // never got to its first call
            out.created = false;
            out.findings.push_back({L"setup", 0, record->current});
            ::UnmapViewOfFile(record);
            break;
        }
        wchar_t what[64];
        if (hung) swprintf_s(what, L"hang");
        else swprintf_s(what, L"crash 0x%08lX", record->crashed ? record->crashCode : code);
        out.findings.push_back({what, record->callIndex, record->current});
        first = record->callIndex + 1;
        ::UnmapViewOfFile(record);
    }
    return out;
}

std::vector<unsigned> ParseSeeds(const wchar_t* text) {
    std::vector<unsigned> seeds;
    for (const wchar_t* p = text; *p;) {
        wchar_t* end = nullptr;
        seeds.push_back(static_cast<unsigned>(std::wcstoul(p, &end, 10)));
        if (end == p) break;
        p = *end == L',' ? end + 1 : end;
    }
    return seeds;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 7 && std::wcscmp(argv[1], L"--child") == 0)
        return RunChild(argv[2], unsigned(std::wcstoul(argv[3], nullptr, 10)), std::wcstol(argv[4], nullptr, 10),
                        std::wcstol(argv[5], nullptr, 10), argv[6]);

    LONG calls = 100000;
    std::vector<unsigned> seeds = {1, 2, 3};
    DWORD hangSeconds = 60;
    std::vector<std::wstring> classes;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::wcscmp(argv[i], L"--calls") == 0) calls = std::wcstol(argv[i + 1], nullptr, 10);
        else if (std::wcscmp(argv[i], L"--seeds") == 0) seeds = ParseSeeds(argv[i + 1]);
        else if (std::wcscmp(argv[i], L"--hang") == 0) hangSeconds = std::wcstoul(argv[i + 1], nullptr, 10);
        else if (std::wcscmp(argv[i], L"--class") == 0) classes.push_back(argv[i + 1]);
    }
    if (classes.empty())
        for (const wchar_t* c : kClasses) classes.push_back(c);
    if (calls < 1 || seeds.empty()) {
        std::fwprintf(stderr, L"usage: bench_fuzz [--calls N] [--seeds 1,2,3] [--hang s] [--class ProgID]...\n");
        return 2;
    }

    std::wprintf(L"robustness: %ld seeded random late-bound calls per class and seed\n", calls);
    std::wprintf(L"%-40ls %5ls %7ls %8ls %7ls %5ls %5ls %9ls %8ls %6ls %6ls %4ls\n", L"class", L"seed", L"calls",
                 L"calls/s", L"crashes", L"hangs", L"boxes", L"heap/10k", L"hdl/10k", L"gdi", L"user", L"kept");
    int exitCode = 0;
    for (const auto& progId : classes) {
        std::wstring policy;
        LONG families[kFamilyCount] = {};
        std::vector<std::wstring> findings;
        for (unsigned seed : seeds) {
            Outcome o = RunClass(progId.c_str(), seed, calls, hangSeconds);
            if (!o.created) {
                std::wprintf(L"%-40ls %5u cannot run: %ls\n", progId.c_str(), seed,
                             o.findings.empty() ? L"" : o.findings.front().description.c_str());
                exitCode = 2;
                continue;
            }
            LONG crashes = 0, hangs = 0;
            for (const auto& f : o.findings) {
                if (f.what != L"page") (f.what == L"hang" ? hangs : crashes) += 1;
                findings.push_back(L"    seed " + std::to_wstring(seed) + L" call " + std::to_wstring(f.call) + L": " +
                                   f.what + L" in " + f.description);
            }
            if (crashes || hangs || o.kept || o.findings.size() > size_t(crashes + hangs))
                exitCode = exitCode ? exitCode : 1;
            std::wprintf(L"%-40ls %5u %7ld %8.0f %7ld %5ld %5ld %9ls %8ls %6ls %6ls %4ls\n", progId.c_str(), seed,
                         o.calls, o.seconds > 0 ? o.calls / o.seconds : 0.0, crashes, hangs, o.boxes,
                         Figure(o.heapPer10k, 0).c_str(), Figure(o.handlesPer10k, 1).c_str(),
                         Figure(o.gdiPer10k, 1).c_str(), Figure(o.userPer10k, 1).c_str(),
                         o.keptCounted ? std::to_wstring(o.kept).c_str() : L"n/a");
            if (o.scriptErrors)
                findings.push_back(L"    seed " + std::to_wstring(seed) + L": " + std::to_wstring(o.scriptErrors) +
                                   L" calls threw in the page (refused names, arguments or property use)");
            if (o.kept)
                findings.push_back(L"    seed " + std::to_wstring(seed) + L": first reference kept after " + o.firstKept);
            if (o.boxes)
                findings.push_back(L"    seed " + std::to_wstring(seed) + L": first message box " + o.firstBox);
            for (int f = 0; f < kFamilyCount; ++f) families[f] += o.families[f];
            policy = o.policy;
        }
        std::wstring line = L"    results:";
        for (int f = 0; f < kFamilyCount; ++f)
            if (families[f]) line += L" " + std::wstring(FamilyName(f)) + L" " + std::to_wstring(families[f]);
        std::wprintf(L"%ls\n", line.c_str());
        if (!policy.empty()) std::wprintf(L"%ls", policy.c_str());
        for (const auto& f : findings) std::wprintf(L"%ls\n", f.c_str());
        std::fflush(stdout);
    }
    std::wprintf(L"(heap: committed private memory; hdl: handles; gdi/user: GDI and USER objects; growth per 10 000 calls of the "
                 L"floor, the lowest figure of a window after the warm-up against the lowest of the last quarter; n/a: "
                 L"the platform gives no figure; kept: references the server still holds to our objects once "
                 L"released)\n");
    return exitCode;
}
