// The page-state singleton under load: threads like the engine's (free-threaded) and
// like a page's (apartment) call it late-bound all at once, mixing setters, polls, tags
// and Process/PollProcess. Every record handed to Process must come out of PollProcess
// exactly once, the flags must read as something a caller set, and a second round must
// not leave more handles or memory behind than the first.
#include <windows.h>
#include <ole2.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "RecordObject.h"
#include "common/ComPtr.h"
#include "common/CriticalSection.h"

using common::ComPtr;

namespace {

const wchar_t kProgId[] = L"DOZUvidaruve.StateCtrl";

struct Shared {
    ComPtr<ITypeInfo> outer, inner;
    std::atomic<long> nextId{0};
    std::atomic<long> loadSets{0}, loadTrues{0}, badAnswers{0}, failures{0};
    common::CriticalSection lock;
    std::vector<int> seen;  // how often each record id came out
};

HRESULT Invoke(IDispatch* obj, const wchar_t* name, WORD flags, VARIANT* args, UINT argc, VARIANT* result) {
    DISPID id;
    LPOLESTR n = const_cast<LPOLESTR>(name);
    HRESULT hr = obj->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params = {args, (flags & DISPATCH_PROPERTYPUT) ? &put : nullptr, argc,
                         (flags & DISPATCH_PROPERTYPUT) ? 1u : 0u};
    return obj->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
}

// A call with at most one text argument; the result is cleared unless kept.
HRESULT CallText(IDispatch* obj, const wchar_t* name, const wchar_t* text, VARIANT* keep = nullptr) {
    VARIANT arg, result;
    ::VariantInit(&arg);
    ::VariantInit(&result);
    UINT argc = 0;
    if (text) {
        V_VT(&arg) = VT_BSTR;
        V_BSTR(&arg) = ::SysAllocString(text);
        argc = 1;
    }
    HRESULT hr = Invoke(obj, name, DISPATCH_METHOD, &arg, argc, &result);
    ::VariantClear(&arg);
    if (keep)
        *keep = result;
    else
        ::VariantClear(&result);
    return hr;
}

// Takes the records PollProcess hands out: [outer name, "who", thread, "id", number].
void Collect(Shared& shared, VARIANT& v) {
    if (V_VT(&v) == VT_EMPTY) return;
    if (V_VT(&v) != (VT_ARRAY | VT_BSTR)) {
        ++shared.badAnswers;
        return;
    }
    LONG lo = 0, hi = -1;
    ::SafeArrayGetLBound(V_ARRAY(&v), 1, &lo);
    ::SafeArrayGetUBound(V_ARRAY(&v), 1, &hi);
    BSTR* items = nullptr;
    if (hi - lo != 4 || FAILED(::SafeArrayAccessData(V_ARRAY(&v), reinterpret_cast<void**>(&items)))) {
        ++shared.badAnswers;
        return;
    }
    const long id = std::wcstol(items[4] ? items[4] : L"", nullptr, 10);
    const bool shaped = items[0] && !wcscmp(items[0], L"rec") && items[3] && !wcscmp(items[3], L"id");
    ::SafeArrayUnaccessData(V_ARRAY(&v));
    common::ScopedLock guard(shared.lock);
    if (!shaped || id < 0 || static_cast<size_t>(id) >= shared.seen.size())
        ++shared.badAnswers;
    else
        ++shared.seen[id];
}

HRESULT ProcessOne(Shared& shared, IDispatch* state, int thread) {
    const long id = shared.nextId++;
    RecordObject* inner = RecordObject::Create(shared.inner.get());
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = id;
    inner->Add(L"id", v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = ::SysAllocString((L"t" + std::to_wstring(thread)).c_str());
    inner->Add(L"who", v);
    ::VariantClear(&v);
    RecordObject* outer = RecordObject::Create(shared.outer.get());
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = inner;
    outer->Add(L"rec", v);
    inner->Release();
    VARIANT arg;
    V_VT(&arg) = VT_DISPATCH;
    V_DISPATCH(&arg) = outer;
    HRESULT hr = Invoke(state, L"Process", DISPATCH_METHOD, &arg, 1, nullptr);
    outer->Release();
    return hr;
}

void Work(Shared& shared, int thread, int calls) {
    const bool page = thread % 2 == 1;
    ::CoInitializeEx(nullptr, page ? COINIT_APARTMENTTHREADED : COINIT_MULTITHREADED);
    {
        CLSID clsid;
        ComPtr<IDispatch> state;
        if (FAILED(::CLSIDFromProgID(kProgId, &clsid)) ||
            FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, state.put_void()))) {
            ++shared.failures;
        } else {
            const std::wstring tag = L"tag" + std::to_wstring(thread);
            for (int i = 0; i < calls; ++i) {
                HRESULT hr = S_OK;
                VARIANT r;
                ::VariantInit(&r);
                switch (i % 10) {
                case 0: hr = ProcessOne(shared, state.get(), thread); break;
                case 1:
                    hr = CallText(state.get(), L"PollProcess", nullptr, &r);
                    if (SUCCEEDED(hr)) Collect(shared, r);
                    break;
                case 2: hr = CallText(state.get(), page ? L"Next" : L"Reset", nullptr); break;
                case 3:
                    hr = CallText(state.get(), L"Quit", nullptr, &r);
                    if (SUCCEEDED(hr) && V_VT(&r) != VT_BOOL) ++shared.badAnswers;
                    break;
                case 4:
                    hr = CallText(state.get(), (i / 10) % 2 ? L"AddTag" : L"RemoveTag", tag.c_str());
                    break;
                case 5:
                    hr = CallText(state.get(), L"TagRemoved", tag.c_str(), &r);
                    // This thread alone writes its tag: the answer follows its own last call.
                    if (SUCCEEDED(hr) && (V_VT(&r) != VT_BOOL || (V_BOOL(&r) != 0) != ((i / 10) % 2 == 0)))
                        ++shared.badAnswers;
                    break;
                case 6:
                    if (page) {
                        ++shared.loadSets;
                        hr = CallText(state.get(), L"JSLoadComplete", nullptr);
                    } else {
                        hr = CallText(state.get(), L"PollJSLoadComplete", nullptr, &r);
                        if (SUCCEEDED(hr) && V_VT(&r) == VT_BOOL && V_BOOL(&r)) ++shared.loadTrues;
                    }
                    break;
                case 7:
                    hr = page ? CallText(state.get(), L"message", L"page message")
                              : CallText(state.get(), L"PollMessage", nullptr, &r);
                    if (SUCCEEDED(hr) && !page && V_VT(&r) == VT_BSTR && V_BSTR(&r) && wcscmp(V_BSTR(&r), L"page message"))
                        ++shared.badAnswers;
                    break;
                case 8:
                    hr = CallText(state.get(), L"QueryAction", nullptr, &r);
                    if (SUCCEEDED(hr) && V_VT(&r) == VT_BSTR && V_BSTR(&r) && wcscmp(V_BSTR(&r), L"next") &&
                        wcscmp(V_BSTR(&r), L"previous"))
                        ++shared.badAnswers;
                    break;
                default: {
                    VARIANT path;
                    V_VT(&path) = VT_BSTR;
                    V_BSTR(&path) = ::SysAllocString(L"C:\\Games\\Load");
                    hr = Invoke(state.get(), L"InstallPath", DISPATCH_PROPERTYPUT, &path, 1, nullptr);
                    ::VariantClear(&path);
                    break;
                }
                }
                ::VariantClear(&r);
                if (FAILED(hr)) ++shared.failures;
            }
        }
    }
    ::CoUninitialize();
}

struct Start {
    Shared* shared;
    int thread, calls;
};

DWORD WINAPI StartWork(void* p) {
    auto* s = static_cast<Start*>(p);
    Work(*s->shared, s->thread, s->calls);
    return 0;
}

struct Counts {
    DWORD handles = 0, gdi = 0, user = 0;
    SIZE_T privateBytes = 0;
    SIZE_T heapBytes = 0;     // in use on the process heap
    ULONG_PTR nextHandle = 0;  // the value a new handle gets: it climbs when handles leak
};

Counts Measure() {
    Counts c;
    ::GetProcessHandleCount(::GetCurrentProcess(), &c.handles);  // 0 under Wine
    c.gdi = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    c.user = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof pmc;
    if (::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc))
        c.privateBytes = pmc.PrivateUsage ? pmc.PrivateUsage : pmc.PagefileUsage;
    HANDLE heap = ::GetProcessHeap();
    if (::HeapLock(heap)) {
        PROCESS_HEAP_ENTRY entry = {};
        while (::HeapWalk(heap, &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) c.heapBytes += entry.cbData;
        ::HeapUnlock(heap);
    }
    if (HANDLE probe = ::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
        c.nextHandle = reinterpret_cast<ULONG_PTR>(probe);
        ::CloseHandle(probe);
    }
    return c;
}

// One round: all threads at once, then the queue drained. True when every check held.
bool Round(Shared& shared, int threads, int calls, double& seconds) {
    shared.nextId = 0;
    shared.loadSets = shared.loadTrues = shared.badAnswers = shared.failures = 0;
    shared.seen.assign(static_cast<size_t>(threads) * (calls / 10 + 1), 0);
    LARGE_INTEGER f, a, b;
    ::QueryPerformanceFrequency(&f);
    ::QueryPerformanceCounter(&a);
    std::vector<HANDLE> running;
    std::vector<Start> starts(threads);
    for (int t = 0; t < threads; ++t) {
        starts[t] = {&shared, t, calls};
        running.push_back(::CreateThread(nullptr, 0, &StartWork, &starts[t], 0, nullptr));
    }
    for (HANDLE h : running) {
        ::WaitForSingleObject(h, INFINITE);
        ::CloseHandle(h);
    }
    ::QueryPerformanceCounter(&b);
    seconds = double(b.QuadPart - a.QuadPart) / double(f.QuadPart);

    // What is still queued comes out now; then the queue is empty.
    CLSID clsid;
    ComPtr<IDispatch> state;
    if (FAILED(::CLSIDFromProgID(kProgId, &clsid)) ||
        FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, state.put_void())))
        return false;
    for (;;) {
        VARIANT r;
        ::VariantInit(&r);
        if (FAILED(CallText(state.get(), L"PollProcess", nullptr, &r)) || V_VT(&r) == VT_EMPTY) break;
        Collect(shared, r);
        ::VariantClear(&r);
    }
    size_t lost = 0, twice = 0;
    for (long id = 0; id < shared.nextId; ++id) {
        if (shared.seen[id] == 0) ++lost;
        if (shared.seen[id] > 1) ++twice;
    }
    // Flags: a load poll never reports more than the pages set; after the round an
    // Exit reads back as "next" and true.
    VARIANT_BOOL drained = VARIANT_FALSE;
    VARIANT r;
    ::VariantInit(&r);
    CallText(state.get(), L"PollJSLoadComplete", nullptr, &r);
    drained = V_BOOL(&r);
    CallText(state.get(), L"Exit", nullptr);
    VARIANT action, quit;
    CallText(state.get(), L"QueryAction", nullptr, &action);
    CallText(state.get(), L"Quit", nullptr, &quit);
    const bool flagsOk = shared.loadTrues + (drained ? 1 : 0) <= shared.loadSets && V_VT(&action) == VT_BSTR &&
                         V_BSTR(&action) && !wcscmp(V_BSTR(&action), L"next") && V_BOOL(&quit) == VARIANT_TRUE;
    ::VariantClear(&action);
    CallText(state.get(), L"Reset", nullptr);
    std::printf("  %d threads x %d calls: %.2f s (%.0f calls/s); records %ld, lost %u, twice %u; "
                "load flag set %ld, polled true %ld; wrong answers %ld, failed calls %ld; flags %s\n",
                threads, calls, seconds, threads * calls / seconds, shared.nextId.load(), static_cast<unsigned>(lost),
                static_cast<unsigned>(twice), shared.loadSets.load(), shared.loadTrues.load(),
                shared.badAnswers.load(), shared.failures.load(), flagsOk ? "consistent" : "INCONSISTENT");
    return lost == 0 && twice == 0 && shared.badAnswers == 0 && shared.failures == 0 && flagsOk;
}

}  // namespace

int main(int argc, char** argv) {
    const int threads = argc > 1 ? std::atoi(argv[1]) : 8;
    const int calls = argc > 2 ? std::atoi(argv[2]) : 10000;
    if (threads < 1 || threads > 64 || calls < 10) return 2;
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    Shared shared;
    HRESULT hr = RecordObject::MakeTypeInfo({L"rec"}, {VT_DISPATCH}, shared.outer.put());
    if (SUCCEEDED(hr)) hr = RecordObject::MakeTypeInfo({L"id", L"who"}, {VT_I4, VT_BSTR}, shared.inner.put());
    if (FAILED(hr)) {
        std::printf("  type information for the records: 0x%08lx\n", static_cast<unsigned long>(hr));
        return 2;
    }
    std::printf("page-state singleton under load (even threads engine-like, odd ones page-like):\n");
    double first = 0, second = 0;
    bool ok = Round(shared, threads, calls, first);  // warms the singleton and the allocator up
    const Counts before = Measure();
    ok = Round(shared, threads, calls, second) && ok;
    const Counts after = Measure();
    std::printf("  after the first round -> after the second: handles %lu -> %lu (next handle value 0x%lx -> 0x%lx), "
                "GDI %lu -> %lu, USER %lu -> %lu, private bytes %lu KB -> %lu KB, heap in use %lu KB -> %lu KB\n",
                before.handles, after.handles, static_cast<unsigned long>(before.nextHandle),
                static_cast<unsigned long>(after.nextHandle), before.gdi, after.gdi, before.user, after.user,
                static_cast<unsigned long>(before.privateBytes / 1024),
                static_cast<unsigned long>(after.privateBytes / 1024),
                static_cast<unsigned long>(before.heapBytes / 1024), static_cast<unsigned long>(after.heapBytes / 1024));
    // A leak of one record or string per call would be hundreds of KB at these counts;
    // a leaked handle per call would push the next handle value far up. (Under Wine the
    // private bytes are the virtual size, which thread stacks move: shown, not judged.)
    const SIZE_T slack = 256 * 1024;
    const bool leakFree = after.handles <= before.handles && after.gdi <= before.gdi && after.user <= before.user &&
                          after.nextHandle <= before.nextHandle + 64 * 4 && after.heapBytes <= before.heapBytes + slack;
    std::printf("  %s\n", ok && leakFree ? "ok" : "FAILED");
    shared.outer.reset();
    shared.inner.reset();
    ::CoUninitialize();
    return ok && leakFree ? 0 : 1;
}
