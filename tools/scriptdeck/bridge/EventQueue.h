#pragma once
// Events that reach a sink on another thread than the engine's (a page's script fires
// them on the window's thread) wait here until the engine thread runs its message
// loop; the Lua state is only ever touched by the engine thread. A message-only window
// of the engine thread wakes the loop, so events also arrive while a modal loop (a
// message box) runs there.
#include <windows.h>

#include <deque>
#include <vector>

#include "common/ComPtr.h"
#include "common/CriticalSection.h"
#include "common/Variant.h"

namespace scriptdeck {

class EventSink;

class EventQueue {
public:
    EventQueue();
    ~EventQueue();
    EventQueue(const EventQueue&) = delete;
    EventQueue& operator=(const EventQueue&) = delete;

    // Creates the window on the calling thread, which becomes the owner thread.
    bool Create();
    DWORD OwnerThread() const { return ownerThread_; }
    // Any thread: queues an event for `sink` and wakes the owner thread.
    void Post(EventSink* sink, DISPID id, std::vector<common::Variant> args);
    // Owner thread: delivers every queued event.
    void DeliverAll();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    struct Pending {
        common::ComPtr<EventSink> sink;
        DISPID id;
        std::vector<common::Variant> args;
    };
    DWORD ownerThread_ = 0;
    HWND window_ = nullptr;
    common::CriticalSection lock_;
    std::deque<Pending> pending_;  // guarded by lock_
};

}  // namespace scriptdeck
