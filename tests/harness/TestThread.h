#pragma once
// A thread for tests, in the manner of std::thread (which this toolchain's C++ library,
// built on Win32 threads, does not have): runs a callable and is joined at the latest
// when it goes.
#include <windows.h>
#include <process.h>

#include <functional>
#include <utility>

namespace harness {

class TestThread {
public:
    TestThread() noexcept = default;
    template <class F>
    explicit TestThread(F&& body) : body_(new std::function<void()>(std::forward<F>(body))) {
        handle_ = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &Run, body_, 0, nullptr));
        if (!handle_) {
            delete body_;
            body_ = nullptr;
        }
    }
    TestThread(TestThread&& o) noexcept
        : handle_(std::exchange(o.handle_, nullptr)), body_(std::exchange(o.body_, nullptr)) {}
    TestThread& operator=(TestThread&& o) noexcept {
        join();
        handle_ = std::exchange(o.handle_, nullptr);
        body_ = std::exchange(o.body_, nullptr);
        return *this;
    }
    TestThread(const TestThread&) = delete;
    TestThread& operator=(const TestThread&) = delete;
    ~TestThread() { join(); }

    bool joinable() const noexcept { return handle_ != nullptr; }
    void join() noexcept {
        if (handle_) {
            ::WaitForSingleObject(handle_, INFINITE);
            ::CloseHandle(handle_);
            handle_ = nullptr;
        }
        delete body_;
        body_ = nullptr;
    }

private:
    static unsigned __stdcall Run(void* body) {
        (*static_cast<std::function<void()>*>(body))();
        return 0;
    }
    HANDLE handle_ = nullptr;
    std::function<void()>* body_ = nullptr;
};

}  // namespace harness
