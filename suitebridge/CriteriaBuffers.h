#pragma once
// The two output buffers handed to CallCriteriaChecker. Each starts as a zero-filled
// 2048-byte block from the COM task allocator (CoTaskMemAlloc), which every module of
// the process shares: a suite library that wants to hand back a larger text may free
// a buffer with CoTaskMemFree and store a CoTaskMemAlloc'd one in its place. The
// buffers are freed once, through the pointers as they stand after the call (a pointer
// the library set to null is skipped; two pointers to one block free it once).
#include <windows.h>

#include "suitebridge/HeapText.h"

namespace suitebridge {

class CriteriaBuffers {
public:
    static constexpr size_t kBytes = 2048;

    CriteriaBuffers();
    ~CriteriaBuffers();
    CriteriaBuffers(const CriteriaBuffers&) = delete;
    CriteriaBuffers& operator=(const CriteriaBuffers&) = delete;

    bool Allocated() const { return original_[0] && original_[1]; }
    // After the library raised an exception its buffers may already be freed or
    // replaced by blocks it never finished: they are left alone (leaked), never freed twice.
    void Abandon() { current_[0] = current_[1] = original_[0] = original_[1] = nullptr; }
    // The addresses handed to the library.
    wchar_t** First() { return &current_[0]; }
    wchar_t** Second() { return &current_[1]; }
    // Text of buffer 0 or 1 in the thread's ANSI code page (false when out of memory).
    // A buffer is read no further than its block's size, so text the library left
    // unterminated does not run past its end.
    bool Text(int index, HeapText<char>& out) const;

private:
    wchar_t* original_[2] = {nullptr, nullptr};
    wchar_t* current_[2] = {nullptr, nullptr};
};

}  // namespace suitebridge
