#pragma once
// Watches one launched process on a thread of its own and publishes its end to the
// process manager that started it.
//
// The watcher owns a duplicate of the process handle, so it keeps watching the process
// of its own launch whatever the manager does with its handles afterwards. The manager
// detaches it (Stop) before it launches again or goes away; from then on the thread
// no longer touches the manager's results. The thread holds a reference on this module
// and ends through FreeLibraryAndExitThread, so it never runs code of an unloaded DLL.
#include <windows.h>

#include "common/CriticalSection.h"
#include "common/Handle.h"

class ProcessWatcher {
public:
    // Where the watcher publishes: owned by the process manager, read without a lock.
    struct Results {
        volatile LONG finished;  // VARIANT_BOOL value: 0 or VARIANT_TRUE (-1)
        volatile LONG exitCode;  // last exit status read; 259 while the process runs
    };

    // Milliseconds between two looks at the process.
    static const DWORD kPollInterval = 500;

    // Starts watching `process` (duplicated here); null when no thread could be started.
    static ProcessWatcher* Start(HANDLE process, Results* results) noexcept;

    // Whether the thread has seen the process end (it closed its own handle then).
    bool Ended() noexcept;

    // Detaches from the results, makes the thread end, waits a bounded time for it and
    // drops the caller's reference. The pointer is invalid afterwards.
    void Stop() noexcept;

    ProcessWatcher(const ProcessWatcher&) = delete;
    ProcessWatcher& operator=(const ProcessWatcher&) = delete;

private:
    ProcessWatcher(Results* results) noexcept : results_(results) {}
    ~ProcessWatcher() = default;

    static DWORD WINAPI ThreadProc(void* self);
    void Watch() noexcept;
    void Release() noexcept;

    volatile LONG refs_ = 1;
    common::CriticalSection lock_;       // guards results_ and thread_
    Results* results_;                   // null once detached
    common::UniqueHandle process_;       // the watched process (own duplicate)
    common::UniqueHandle stop_;          // manual-reset event: stop watching
    common::UniqueHandle thread_;        // closed by the thread itself when it ends on its own
    HMODULE module_ = nullptr;           // the thread's reference on this module
};
