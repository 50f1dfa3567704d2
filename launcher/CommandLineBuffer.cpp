#include "launcher/CommandLineBuffer.h"

namespace ignition {

CommandLineBuffer::~CommandLineBuffer() {
    if (text_) ::HeapFree(::GetProcessHeap(), 0, text_);
}

bool CommandLineBuffer::Reserve(DWORD chars) {
    if (chars <= capacity_) return true;
    if (chars > kMaxChars) return false;
    DWORD grown = capacity_ ? capacity_ * 2 : 512;
    if (grown < chars) grown = chars;
    if (grown > kMaxChars) grown = kMaxChars;
    const SIZE_T bytes = static_cast<SIZE_T>(grown) * sizeof(wchar_t);
    void* p = text_ ? ::HeapReAlloc(::GetProcessHeap(), 0, text_, bytes) : ::HeapAlloc(::GetProcessHeap(), 0, bytes);
    if (!p) return false;
    text_ = static_cast<wchar_t*>(p);
    capacity_ = grown;
    return true;
}

void CommandLineBuffer::Append(const wchar_t* text) {
    if (!ok_) return;
    const DWORD n = static_cast<DWORD>(::lstrlenW(text));
    // Room for the text and the terminator.
    if (n >= kMaxChars - length_ || !Reserve(length_ + n + 1)) {
        ok_ = false;
        return;
    }
    ::CopyMemory(text_ + length_, text, n * sizeof(wchar_t));
    length_ += n;
    text_[length_] = L'\0';
}

void CommandLineBuffer::AppendQuoted(const wchar_t* text) {
    Append(L" \"");
    Append(text);
    Append(L"\"");
}

wchar_t* CommandLineBuffer::data() {
    if (!text_ && !Reserve(1)) return nullptr;
    if (length_ == 0) text_[0] = L'\0';
    return text_;
}

}  // namespace ignition
