#include "scriptdeck/bridge/EventQueue.h"

#include "common/DebugLog.h"
#include "scriptdeck/bridge/EventSink.h"

namespace scriptdeck {
namespace {

const wchar_t kWindowClass[] = L"ScriptdeckEventQueue";
const UINT kWakeMessage = WM_APP + 1;

}  // namespace

EventQueue::EventQueue() = default;

EventQueue::~EventQueue() {
    if (window_) ::DestroyWindow(window_);
}

bool EventQueue::Create() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kWindowClass;
    if (!::RegisterClassW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    window_ = ::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (!window_) return false;
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ownerThread_ = ::GetCurrentThreadId();
    return true;
}

void EventQueue::Post(EventSink* sink, DISPID id, std::vector<common::Variant> args) {
    bool wake = false;
    {
        common::ScopedLock hold(lock_);
        wake = pending_.empty();
        pending_.push_back(Pending{common::ComPtr<EventSink>(sink), id, std::move(args)});
    }
    // One wake-up per batch: the owner takes every queued event when it runs.
    if (wake && !::PostMessageW(window_, kWakeMessage, 0, 0))
        common::DebugError("scriptdeck: an event can't wake the engine thread.", ::GetLastError());
}

void EventQueue::DeliverAll() {
    for (;;) {
        Pending next;
        {
            common::ScopedLock hold(lock_);
            if (pending_.empty()) return;
            next = std::move(pending_.front());
            pending_.pop_front();
        }
        next.sink->Deliver(next.id, next.args);
    }
}

LRESULT CALLBACK EventQueue::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kWakeMessage) {
        auto* queue = reinterpret_cast<EventQueue*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (queue) {
            try {
                queue->DeliverAll();
            } catch (...) {
                // Out of memory while delivering: the events left stay queued.
            }
        }
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace scriptdeck
