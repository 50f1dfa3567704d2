// The sample installer's game: a small window program that says it is installed.
// With a saved game on its command line (the file association), it names that file.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    wchar_t text[600] = L"Sample Game is installed and ready to play.";
    if (commandLine && *commandLine) {
        lstrcpynW(text, L"Sample Game would now load the saved game ", 300);
        // Append the saved game's name, cut to what the buffer holds.
        const int used = lstrlenW(text);
        lstrcpynW(text + used, commandLine, static_cast<int>(sizeof text / sizeof text[0]) - used);
    }
    ::MessageBoxW(nullptr, text, L"Sample Game", MB_OK | MB_ICONINFORMATION);
    return 0;
}
