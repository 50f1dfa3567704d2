#pragma once
// A NUL-terminated text block on the process heap, freed with its owner. The module
// avoids the C++ library's containers (and with them its exception machinery) to
// stay small; allocation failure is reported, not thrown.
#include <windows.h>

#include <stddef.h>

namespace suitebridge {

template <class Char>
class HeapText {
public:
    HeapText() = default;
    ~HeapText() { Free(); }
    HeapText(const HeapText&) = delete;
    HeapText& operator=(const HeapText&) = delete;

    // Room for `length` characters and the terminator, all zero. False when out of memory.
    bool Allocate(size_t length) {
        Free();
        if (length >= static_cast<size_t>(-1) / sizeof(Char)) return false;
        text_ = static_cast<Char*>(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, (length + 1) * sizeof(Char)));
        if (!text_) return false;
        length_ = length;
        return true;
    }
    // Shortens the text to `length` characters (never lengthens it).
    void Truncate(size_t length) {
        if (text_ && length < length_) {
            text_[length] = Char();
            length_ = length;
        }
    }

    Char* data() { return text_; }
    const Char* c_str() const {
        static const Char empty[1] = {};
        return text_ ? text_ : empty;
    }
    size_t length() const { return length_; }

private:
    void Free() {
        if (text_) ::HeapFree(::GetProcessHeap(), 0, text_);
        text_ = nullptr;
        length_ = 0;
    }

    Char* text_ = nullptr;
    size_t length_ = 0;
};

}  // namespace suitebridge
