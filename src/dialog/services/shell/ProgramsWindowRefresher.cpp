#include "dialog/services/shell/ProgramsWindowRefresher.h"

#include <cwchar>

#include "common/CriticalSection.h"
#include "common/Handle.h"
#include "common/LibraryLoad.h"

namespace stagehand {

namespace {

constexpr UINT kAddRemoveTitleId = 1020;
constexpr UINT kProgramsTitleId = 1021;
constexpr int kTitleMax = 255;

struct Search {
    const std::wstring* addRemove;
    const std::wstring* programs;
    HWND target;
};

std::wstring LoadTitle(HMODULE library, UINT id, const wchar_t* fallback) {
    wchar_t text[kTitleMax + 1] = {};
    int n = library ? ::LoadStringW(library, id, text, kTitleMax + 1) : 0;
    return n > 0 ? std::wstring(text, static_cast<size_t>(n)) : std::wstring(fallback);
}

// Whether the window's title equals one of the searched titles exactly. A title
// longer than any searched one can't equal it, so one extra character is enough.
bool TitleMatches(HWND wnd, const Search& s) {
    wchar_t title[kTitleMax + 2] = {};
    int n = ::GetWindowTextW(wnd, title, kTitleMax + 2);
    if (n <= 0) return false;
    return *s.addRemove == title || *s.programs == title;
}

bool IsDirectUi(HWND wnd) {
    wchar_t cls[16] = {};
    int n = ::GetClassNameW(wnd, cls, 16);
    return n == 12 && std::wcscmp(cls, L"DirectUIHWND") == 0;
}

}  // namespace

const ProgramsWindowRefresher::Titles& ProgramsWindowRefresher::CachedTitles() {
    static common::CriticalSection lock;
    static Titles titles;
    static bool loaded = false;
    common::ScopedLock hold(lock);
    if (!loaded) {
        // Only strings are read, so the library is mapped as data: none of its code runs.
        common::UniqueModule respack(common::LoadLibraryAt(L".\\bin\\Respack.dll", LOAD_LIBRARY_AS_DATAFILE));
        titles.addRemove = LoadTitle(respack.get(), kAddRemoveTitleId, L"Add or Remove Programs");
        titles.programs = LoadTitle(respack.get(), kProgramsTitleId, L"Control Panel\\Programs and Features");
        loaded = true;
    }
    return titles;
}

BOOL CALLBACK ProgramsWindowRefresher::VisitDescendant(HWND wnd, LPARAM param) {
    auto* s = reinterpret_cast<Search*>(param);
    if (!IsDirectUi(wnd)) return TRUE;
    for (HWND up = ::GetAncestor(wnd, GA_PARENT); up && up != ::GetDesktopWindow(); up = ::GetAncestor(up, GA_PARENT)) {
        if (TitleMatches(up, *s)) {
            s->target = wnd;
            return FALSE;
        }
    }
    return TRUE;
}

BOOL CALLBACK ProgramsWindowRefresher::VisitTopLevel(HWND top, LPARAM param) {
    auto* s = reinterpret_cast<Search*>(param);
    ::EnumChildWindows(top, &VisitDescendant, param);  // every descendant, depth first
    return s->target ? FALSE : TRUE;
}

bool ProgramsWindowRefresher::Refresh() {
    const Titles& titles = CachedTitles();
    Search search = {&titles.addRemove, &titles.programs, nullptr};
    ::EnumWindows(&VisitTopLevel, reinterpret_cast<LPARAM>(&search));
    if (!search.target) return false;

    HWND top = ::GetAncestor(search.target, GA_ROOT);
    ::PostMessageW(top, WM_SYSCOMMAND, SC_RESTORE, 0);
    ::PostMessageW(top, WM_SETFOCUS, 0, 0);
    ::PostMessageW(search.target, WM_KEYDOWN, VK_F5, 0);
    ::PostMessageW(search.target, WM_KEYUP, VK_F5, static_cast<LPARAM>(0x80000000u));
    return true;
}

}  // namespace stagehand
