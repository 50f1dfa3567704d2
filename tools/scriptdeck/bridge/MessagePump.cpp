#include "scriptdeck/bridge/MessagePump.h"

namespace scriptdeck {

bool MessagePump::Drain(int& quitCode) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quitCode = static_cast<int>(msg.wParam);
            return true;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return false;
}

bool MessagePump::Wait(DWORD milliseconds, int& quitCode) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (Drain(quitCode)) return true;
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= milliseconds) return false;
        ::MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds - elapsed, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

}  // namespace scriptdeck
