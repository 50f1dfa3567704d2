// Helper process for the launcher tests.
//   probe hold <mutex> <releaseEvent>: owns the named mutex until the event is set
//       (at most 60 s), then releases it;
//   probe abandon <mutex> <releaseEvent>: the same, but ends without releasing;
//   probe uilang: exits with GetUserDefaultUILanguage().
#include <windows.h>
#include <shellapi.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv || argc < 2) return 100;
    const bool hold = ::lstrcmpW(argv[1], L"hold") == 0;
    const bool abandon = ::lstrcmpW(argv[1], L"abandon") == 0;
    if ((hold || abandon) && argc >= 4) {
        HANDLE mutex = ::CreateMutexW(nullptr, TRUE, argv[2]);
        if (!mutex) return 101;
        HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, argv[3]);
        if (!release) return 102;
        ::WaitForSingleObject(release, 60000);
        if (abandon) ::ExitProcess(0);
        ::ReleaseMutex(mutex);
        ::CloseHandle(mutex);
        ::CloseHandle(release);
        return 0;
    }
    if (::lstrcmpW(argv[1], L"uilang") == 0) return ::GetUserDefaultUILanguage();
    return 103;
}
