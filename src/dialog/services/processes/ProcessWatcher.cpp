#include "dialog/services/processes/ProcessWatcher.h"

#include <oleauto.h>
#include <new>

namespace {
// Longest wait in Stop(): the thread reacts to the stop event at once, so this only
// matters when the thread was suspended by someone else.
const DWORD kStopWait = 5000;
}  // namespace

ProcessWatcher* ProcessWatcher::Start(HANDLE process, Results* results) noexcept {
    if (!process || !results) return nullptr;
    ProcessWatcher* w = new (std::nothrow) ProcessWatcher(results);
    if (!w) return nullptr;

    HANDLE self = ::GetCurrentProcess();
    HANDLE dup = nullptr;
    if (!::DuplicateHandle(self, process, self, &dup, SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, 0)) {
        delete w;
        return nullptr;
    }
    w->process_.reset(dup);
    w->stop_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!w->stop_) {
        delete w;
        return nullptr;
    }
    // The thread's own hold on this DLL, given back by FreeLibraryAndExitThread.
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                              reinterpret_cast<LPCWSTR>(&ProcessWatcher::ThreadProc), &w->module_)) {
        delete w;
        return nullptr;
    }

    w->refs_ = 2;  // the caller's and the thread's
    w->lock_.Enter();  // the thread publishes nothing before thread_ is set
    HANDLE thread = ::CreateThread(nullptr, 0, &ProcessWatcher::ThreadProc, w, 0, nullptr);
    if (thread) w->thread_.reset(thread);
    w->lock_.Leave();
    if (!thread) {
        ::FreeLibrary(w->module_);
        delete w;
        return nullptr;
    }
    return w;
}

DWORD WINAPI ProcessWatcher::ThreadProc(void* param) {
    auto* self = static_cast<ProcessWatcher*>(param);
    HMODULE module = self->module_;
    self->Watch();
    self->Release();
    ::FreeLibraryAndExitThread(module, 0);
    return 0;
}

void ProcessWatcher::Watch() noexcept {
    for (;;) {
        // Sleep one interval unless asked to stop.
        if (::WaitForSingleObject(stop_.get(), kPollInterval) != WAIT_TIMEOUT) return;

        // Signalled state first: once signalled, the exit status read next is final. A
        // program whose real exit code is 259 (STILL_ACTIVE) counts as ended that way.
        bool signalled = ::WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0;
        DWORD status = STILL_ACTIVE;
        bool read = ::GetExitCodeProcess(process_.get(), &status) != FALSE;
        // A process whose status can't be read any more is not watched forever.
        bool ended = signalled || !read || status != STILL_ACTIVE;

        common::ScopedLock hold(lock_);
        if (!results_) return;  // detached meanwhile
        if (read) results_->exitCode = static_cast<LONG>(status);
        if (ended) {
            results_->finished = VARIANT_TRUE;
            // Ended on its own: nobody will wait for this thread, and the process is done with.
            thread_.reset();
            process_.reset();
            return;
        }
    }
}

bool ProcessWatcher::Ended() noexcept {
    common::ScopedLock hold(lock_);
    return !thread_ && results_;
}

void ProcessWatcher::Stop() noexcept {
    HANDLE thread;
    {
        common::ScopedLock hold(lock_);
        results_ = nullptr;
        thread = thread_.release();
    }
    ::SetEvent(stop_.get());
    if (thread) {
        ::WaitForSingleObject(thread, kStopWait);
        ::CloseHandle(thread);
    }
    Release();
}

void ProcessWatcher::Release() noexcept {
    if (::InterlockedDecrement(&refs_) == 0) delete this;
}
