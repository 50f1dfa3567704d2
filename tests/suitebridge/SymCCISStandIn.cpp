// Stand-in for the security-suite installer library: the two cdecl entry points with
// the same contract, driven by environment variables the test sets before it starts
// the Lua host, and recording what it was given.
//
//   SYMCCIS_LOG         file that receives one UTF-8 line per event:
//                         load|<own module path>
//                         ccc|s1|s2|s3|n|flag|<ptr1>|<ptr2>|<size1>|<size2>
//                         ris|s1|...|s8|b1|b2|b3|<result word on entry>
//                         replace|<index>|<old ptr>|<new ptr>
//                         free|<ptr>          (every CoTaskMemFree of the process)
//   SYMCCIS_CCC_RESULT  HRESULT of CallCriteriaChecker (hex, default 0)
//   SYMCCIS_CCC_TEXT1/2 texts written into the two buffers
//   SYMCCIS_CCC_BUFFERS how the buffers are handed back: "replace1", "replace2"
//                       (freed and replaced by a new CoTaskMemAlloc block holding the
//                       text), "same" (both pointers to one new block), "null2"
//                       (second buffer freed and its pointer cleared), "fill1" (first
//                       buffer filled to its end without a terminator)
//   SYMCCIS_RIS_RESULT  HRESULT of RunInstallStub (hex, default 0)
//   SYMCCIS_RIS_WORD    result word RunInstallStub stores (hex, default 0)
//   SYMCCIS_THROW       "raise" (RaiseException of a C++-throw-like code) or "av"
//                       (write through a null pointer) at the end of either call;
//                       "inner" has a system function raise and handle an access
//                       violation inside the call (IsBadReadPtr), recorded as
//                       inner|<its result>|<exceptions raised meanwhile>
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::wstring Env(const wchar_t* name) {
    wchar_t buffer[8192];
    DWORD n = ::GetEnvironmentVariableW(name, buffer, 8192);
    if (n == 0 || n >= 8192) return std::wstring();
    return std::wstring(buffer, n);
}

unsigned long EnvHex(const wchar_t* name) { return std::wcstoul(Env(name).c_str(), nullptr, 16); }

std::string Utf8(const std::wstring& s) {
    if (s.empty()) return std::string();
    int n = ::WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::string Ptr(const void* p) {
    char text[16];
    std::snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(p)));
    return text;
}

void Record(const std::string& line) {
    std::wstring path = Env(L"SYMCCIS_LOG");
    if (path.empty()) return;
    HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string text = line + "\n";
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
}

std::string Arg(const wchar_t* s) { return s ? Utf8(s) : std::string("(null)"); }

// Watches the COM task allocator so the test can count how often each block is freed.
class FreeSpy : public IMallocSpy {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IMallocSpy) {
            *out = static_cast<IMallocSpy*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP_(SIZE_T) PreAlloc(SIZE_T size) override { return size; }
    STDMETHODIMP_(void*) PostAlloc(void* actual) override { return actual; }
    STDMETHODIMP_(void*) PreFree(void* request, BOOL) override {
        if (request) Record("free|" + Ptr(request));
        return request;
    }
    STDMETHODIMP_(void) PostFree(BOOL) override {}
    STDMETHODIMP_(SIZE_T) PreRealloc(void* request, SIZE_T size, void** actual, BOOL) override {
        *actual = request;
        return size;
    }
    STDMETHODIMP_(void*) PostRealloc(void* actual, BOOL) override { return actual; }
    STDMETHODIMP_(void*) PreGetSize(void* request, BOOL) override { return request; }
    STDMETHODIMP_(SIZE_T) PostGetSize(SIZE_T size, BOOL) override { return size; }
    STDMETHODIMP_(void*) PreDidAlloc(void* request, BOOL) override { return request; }
    STDMETHODIMP_(int) PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    STDMETHODIMP_(void) PreHeapMinimize() override {}
    STDMETHODIMP_(void) PostHeapMinimize() override {}
};

FreeSpy g_spy;

SIZE_T BlockSize(void* p) {
    if (!p) return 0;
    IMalloc* malloc = nullptr;
    if (FAILED(::CoGetMalloc(1, &malloc))) return 0;
    SIZE_T size = malloc->GetSize(p);
    malloc->Release();
    return size;
}

wchar_t* NewBlock(const std::wstring& text) {
    auto* p = static_cast<wchar_t*>(::CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
    if (p) std::wmemcpy(p, text.c_str(), text.size() + 1);
    return p;
}

void Replace(int index, wchar_t** slot, const std::wstring& text) {
    // The new block first, so the two addresses differ in the records.
    wchar_t* old = *slot;
    *slot = NewBlock(text);
    ::CoTaskMemFree(old);
    Record("replace|" + std::to_string(index) + "|" + Ptr(old) + "|" + Ptr(*slot));
}

volatile LONG g_raised = 0;

LONG CALLBACK CountRaised(EXCEPTION_POINTERS*) {
    ::InterlockedIncrement(&g_raised);
    return EXCEPTION_CONTINUE_SEARCH;
}

void MaybeThrow() {
    std::wstring how = Env(L"SYMCCIS_THROW");
    if (how == L"raise") ::RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    if (how == L"av") *static_cast<volatile int*>(nullptr) = 1;
    if (how == L"inner") {
        // A first-chance watcher proves the exception really happened.
        g_raised = 0;
        void* watcher = ::AddVectoredExceptionHandler(1, CountRaised);
        BOOL bad = ::IsBadReadPtr(reinterpret_cast<void*>(16), 4);
        ::RemoveVectoredExceptionHandler(watcher);
        Record("inner|" + std::to_string(bad) + "|" + std::to_string(g_raised));
    }
}

}  // namespace

extern "C" __declspec(dllexport) HRESULT __cdecl CallCriteriaChecker(const wchar_t* s1, const wchar_t* s2,
                                                                     const wchar_t* s3, int number,
                                                                     wchar_t** buffer1, wchar_t** buffer2,
                                                                     BOOL flag) {
    Record("ccc|" + Arg(s1) + "|" + Arg(s2) + "|" + Arg(s3) + "|" + std::to_string(number) + "|" +
           std::to_string(flag) + "|" + Ptr(*buffer1) + "|" + Ptr(*buffer2) + "|" +
           std::to_string(BlockSize(*buffer1)) + "|" + std::to_string(BlockSize(*buffer2)));
    const std::wstring text1 = Env(L"SYMCCIS_CCC_TEXT1"), text2 = Env(L"SYMCCIS_CCC_TEXT2");
    const std::wstring mode = Env(L"SYMCCIS_CCC_BUFFERS");
    const size_t room = 2048 / sizeof(wchar_t);
    if (mode == L"replace1") {
        Replace(1, buffer1, text1);
    } else if (mode == L"fill1") {
        std::wmemset(*buffer1, L'x', room);
    } else if (*buffer1) {
        std::wcsncpy(*buffer1, text1.c_str(), room - 1);
    }
    if (mode == L"replace2") {
        Replace(2, buffer2, text2);
    } else if (mode == L"same") {
        wchar_t* shared = NewBlock(text1);
        ::CoTaskMemFree(*buffer1);
        ::CoTaskMemFree(*buffer2);
        *buffer1 = *buffer2 = shared;
        Record("same|" + Ptr(*buffer1));
    } else if (mode == L"null2") {
        ::CoTaskMemFree(*buffer2);
        *buffer2 = nullptr;
    } else if (*buffer2) {
        std::wcsncpy(*buffer2, text2.c_str(), room - 1);
    }
    MaybeThrow();
    return static_cast<HRESULT>(EnvHex(L"SYMCCIS_CCC_RESULT"));
}

#ifndef STANDIN_WITHOUT_INSTALL_STUB
extern "C" __declspec(dllexport) HRESULT __cdecl RunInstallStub(const wchar_t* s1, const wchar_t* s2,
                                                                const wchar_t* s3, const wchar_t* s4,
                                                                const wchar_t* s5, const wchar_t* s6,
                                                                const wchar_t* s7, const wchar_t* s8, BOOL b1,
                                                                BOOL b2, BOOL b3, DWORD* result) {
    Record("ris|" + Arg(s1) + "|" + Arg(s2) + "|" + Arg(s3) + "|" + Arg(s4) + "|" + Arg(s5) + "|" + Arg(s6) +
           "|" + Arg(s7) + "|" + Arg(s8) + "|" + std::to_string(b1) + "|" + std::to_string(b2) + "|" +
           std::to_string(b3) + "|" + std::to_string(*result));
    *result = EnvHex(L"SYMCCIS_RIS_WORD");
    MaybeThrow();
    return static_cast<HRESULT>(EnvHex(L"SYMCCIS_RIS_RESULT"));
}
#endif

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[MAX_PATH] = {};
        ::GetModuleFileNameW(instance, path, MAX_PATH);
        Record("load|" + Utf8(path));
        ::CoRegisterMallocSpy(&g_spy);
    }
    return TRUE;
}
