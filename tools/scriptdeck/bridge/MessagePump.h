#pragma once
// The engine thread's message loop, run whenever the script waits: every message of
// the thread is dispatched (timers, windows the thread owns, COM's own messages, events
// other threads hand over); a quit message ends the loop as it ends the engine.
#include <windows.h>

namespace scriptdeck {

class MessagePump {
public:
    // Dispatches every waiting message. True when a quit message came (its exit code in
    // quitCode); the messages behind it stay queued.
    static bool Drain(int& quitCode);
    // Dispatches messages for `milliseconds` (at least once); true at a quit message.
    static bool Wait(DWORD milliseconds, int& quitCode);
};

}  // namespace scriptdeck
