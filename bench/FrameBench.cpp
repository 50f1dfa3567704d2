// Sizes of the shipped binaries against their goals, and the cost of a late-bound call
// through stagehand's type-library dispatch against the same call on Wine's
// Scripting.Dictionary.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cwchar>

#include "common/ComPtr.h"

using common::ComPtr;

namespace {

const int kCalls = 100000;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return double(to.QuadPart - from.QuadPart) / double(f.QuadPart);
}

// GetIDsOfNames once, then kCalls Invokes of a method without arguments.
double TimeCalls(const wchar_t* progId, const wchar_t* method, WORD flags) {
    CLSID clsid;
    ComPtr<IDispatch> obj;
    if (FAILED(::CLSIDFromProgID(progId, &clsid)) ||
        FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, obj.put_void()))) {
        std::printf("  %ls: cannot create\n", progId);
        return -1;
    }
    DISPID id;
    LPOLESTR name = const_cast<LPOLESTR>(method);
    if (FAILED(obj->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id))) return -1;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    LARGE_INTEGER a, b;
    ::QueryPerformanceCounter(&a);
    for (int i = 0; i < kCalls; ++i) {
        VARIANT r;
        ::VariantInit(&r);
        obj->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &none, &r, nullptr, nullptr);
        ::VariantClear(&r);
    }
    ::QueryPerformanceCounter(&b);
    return Seconds(a, b);
}

// A shipped binary and the size it should stay within (0: reported only).
struct SizeGoal {
    const wchar_t* name;
    DWORD goal;
};

// Sizes of the stripped release binaries beside this program, each against its goal as
// size/goal (at most 1.00 meets it). UnRAR.dll is third-party code built as its own
// project file says: reported without a goal. Goals missed are counted in the table;
// the exit code stays 0 (the bench asserts nothing).
void PrintSizes() {
    wchar_t exe[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    wchar_t* slash = wcsrchr(exe, L'\\');
    if (!slash) return;
    const SizeGoal binaries[] = {{L"ignition.exe", 40 * 1024},     {L"stagehand.dll", 400 * 1024},
                                 {L"ZOZuzirorirPaths.dll", 0},     {L"browserprobe.dll", 64 * 1024},
                                 {L"toolbarprobe.dll", 64 * 1024}, {L"suitebridge.dll", 32 * 1024},
                                 {L"UnRAR.dll", 0}};
    std::printf("binary sizes against their goals:\n");
    std::printf("  %-22s %10s %10s %7s\n", "binary", "bytes", "goal", "ratio");
    int missed = 0;
    for (const SizeGoal& b : binaries) {
        wchar_t path[MAX_PATH];
        std::swprintf(path, MAX_PATH, L"%.*ls\\%ls", static_cast<int>(slash - exe), exe, b.name);
        WIN32_FILE_ATTRIBUTE_DATA fa;
        if (!::GetFileAttributesExW(path, GetFileExInfoStandard, &fa)) {
            std::printf("  %-22ls (not built)\n", b.name);
            continue;
        }
        const DWORD size = fa.nFileSizeLow;
        if (b.goal == 0) {
            std::printf("  %-22ls %10lu %10s %7s\n", b.name, static_cast<unsigned long>(size), "-", "-");
            continue;
        }
        const double ratio = double(size) / double(b.goal);
        if (size > b.goal) ++missed;
        std::printf("  %-22ls %10lu %10lu %7.2f%s\n", b.name, static_cast<unsigned long>(size),
                    static_cast<unsigned long>(b.goal), ratio, size > b.goal ? "  over" : "");
    }
    std::printf("  goals met: %s (%d over)\n", missed ? "no" : "all", missed);
}

}  // namespace

int main() {
    ::OleInitialize(nullptr);
    PrintSizes();
    std::printf("late-bound call, %d Invokes after one GetIDsOfNames:\n", kCalls);
    double ours = TimeCalls(L"PebbleUtil.ShellCtl", L"GetPid", DISPATCH_METHOD);
    double wine = TimeCalls(L"Scripting.Dictionary", L"Count", DISPATCH_PROPERTYGET | DISPATCH_METHOD);
    if (ours > 0 && wine > 0) {
        std::printf("  PebbleUtil.ShellCtl.GetPid   %.3f us/call\n", ours * 1e6 / kCalls);
        std::printf("  Scripting.Dictionary.Count   %.3f us/call\n", wine * 1e6 / kCalls);
        std::printf("  ratio ours/Dictionary        %.2f\n", ours / wine);
    }
    ::OleUninitialize();
    return 0;
}
