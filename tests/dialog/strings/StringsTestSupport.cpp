#include "StringsTestSupport.h"

#include <gtest/gtest.h>

namespace stringstest {

common::ComPtr<IDispatch> Control() {
    HRESULT hr = E_FAIL;
    auto obj = harness::Create(kProgId, &hr);
    EXPECT_HR(S_OK, hr);
    return obj;
}

common::ComPtr<IInstallDlgCtl> ControlVtable() {
    common::ComPtr<IInstallDlgCtl> itf;
    auto obj = Control();
    if (obj) {
        EXPECT_HR(S_OK, obj->QueryInterface(IID_IInstallDlgCtl, itf.put_void()));
    }
    return itf;
}

bool LoopEnds(DWORD timeoutMs, WPARAM* exitCode) {
    const UINT_PTR timer = ::SetTimer(nullptr, 0, timeoutMs, nullptr);
    MSG msg;
    BOOL r;
    while ((r = ::GetMessageW(&msg, nullptr, 0, 0)) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == nullptr && msg.wParam == timer) {
            ::KillTimer(nullptr, timer);
            return false;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    ::KillTimer(nullptr, timer);
    if (exitCode) *exitCode = msg.wParam;
    return r == 0;
}

LoopThread::LoopThread()
    : ready_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)), pong_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    thread_.reset(::CreateThread(nullptr, 0, &LoopThread::Main, this, 0, &id_));
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(ready_.get(), 10000));
}

LoopThread::~LoopThread() {
    ::PostThreadMessageW(id_, WM_QUIT, 0, 0);
    ::WaitForSingleObject(thread_.get(), 10000);
}

bool LoopThread::Answers() {
    if (!::PostThreadMessageW(id_, WM_APP, 0, 0)) return false;
    return ::WaitForSingleObject(pong_.get(), 5000) == WAIT_OBJECT_0;
}

DWORD WINAPI LoopThread::Main(void* p) {
    auto* self = static_cast<LoopThread*>(p);
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists from here
    ::SetEvent(self->ready_.get());
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_APP) ::SetEvent(self->pong_.get());
        ::DispatchMessageW(&msg);
    }
    return 0;
}

namespace {

struct Enumeration {
    std::vector<WORD> blocks;
};

BOOL CALLBACK OnBlock(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    if (IS_INTRESOURCE(name)) reinterpret_cast<Enumeration*>(param)->blocks.push_back(LOWORD(name));
    return TRUE;
}

BOOL CALLBACK OnLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
    reinterpret_cast<std::vector<LANGID>*>(param)->push_back(language);
    return TRUE;
}

}  // namespace

std::map<int, std::wstring> ReadStringTable(HMODULE module, std::vector<LANGID>* languages) {
    std::map<int, std::wstring> table;
    Enumeration e;
    ::EnumResourceNamesW(module, RT_STRING, &OnBlock, reinterpret_cast<LONG_PTR>(&e));
    for (WORD block : e.blocks) {
        std::vector<LANGID> langs;
        ::EnumResourceLanguagesW(module, RT_STRING, MAKEINTRESOURCEW(block), &OnLanguage,
                                 reinterpret_cast<LONG_PTR>(&langs));
        if (languages) languages->insert(languages->end(), langs.begin(), langs.end());
        for (LANGID lang : langs) {
            HRSRC res = ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(block), lang);
            if (!res) continue;
            const DWORD size = ::SizeofResource(module, res);
            auto* p = static_cast<const WCHAR*>(::LockResource(::LoadResource(module, res)));
            if (!p) continue;
            const WCHAR* end = p + size / sizeof(WCHAR);
            for (int i = 0; i < 16 && p < end; ++i) {
                const WORD length = *p++;
                if (length > 0 && p + length <= end) table[(block - 1) * 16 + i] = std::wstring(p, length);
                p += length;
            }
        }
    }
    return table;
}

std::vector<std::wstring> Placeholders(const std::wstring& text) {
    std::vector<std::wstring> found;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'%') continue;
        if (i + 1 < text.size() && text[i + 1] == L'%') {
            ++i;
            continue;
        }
        size_t end = i + 1;
        while (end < text.size() && wcschr(L"-#0123456789.lhIw", text[end])) ++end;
        if (end < text.size()) ++end;
        found.push_back(text.substr(i, end - i));
        i = end - 1;
    }
    return found;
}

StagehandFile::StagehandFile()
    : module_(::LoadLibraryExW(harness::Join(harness::BinDir(), L"stagehand.dll").c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE)) {
    EXPECT_TRUE(module_) << "stagehand.dll: " << ::GetLastError();
}

}  // namespace stringstest
