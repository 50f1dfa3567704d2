#pragma once
// Makes an open "Programs and Features" (or "Add or Remove Programs") window re-read
// the installed programs, as pressing F5 in it would.
#include <windows.h>

#include <string>

namespace stagehand {

class ProgramsWindowRefresher {
public:
    // Finds the first "DirectUIHWND" window below a window titled like the Control
    // Panel page, restores and focuses its top-level window and sends it F5.
    // Returns whether such a window was found.
    static bool Refresh();

private:
    struct Titles {
        std::wstring addRemove;  // string 1020 of .\bin\Respack.dll
        std::wstring programs;   // string 1021 of .\bin\Respack.dll
    };
    // The two titles, read once per process from the localized resource library.
    static const Titles& CachedTitles();
    static BOOL CALLBACK VisitTopLevel(HWND top, LPARAM search);
    static BOOL CALLBACK VisitDescendant(HWND wnd, LPARAM search);
};

}  // namespace stagehand
