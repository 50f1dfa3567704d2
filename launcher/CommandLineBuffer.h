#pragma once
// A command line assembled piece by piece on the process heap. It grows as needed up to
// the longest command line CreateProcessW accepts; anything longer marks it overflowed
// instead of being cut, so a caller never starts a truncated command.
#include <windows.h>

namespace ignition {

class CommandLineBuffer {
public:
    // CreateProcessW takes at most 32 767 characters, terminator included.
    static constexpr DWORD kMaxChars = 32767;

    CommandLineBuffer() = default;
    ~CommandLineBuffer();
    CommandLineBuffer(const CommandLineBuffer&) = delete;
    CommandLineBuffer& operator=(const CommandLineBuffer&) = delete;

    void Append(const wchar_t* text);
    // A blank, then the text in double quotes (embedded quotes are left as they are).
    void AppendQuoted(const wchar_t* text);

    // False once a piece did not fit (or memory ran out); the text is then unusable.
    bool ok() const { return ok_; }
    DWORD length() const { return length_; }
    // Writable, terminated text (CreateProcessW may write into its command line).
    wchar_t* data();

private:
    bool Reserve(DWORD chars);

    wchar_t* text_ = nullptr;
    DWORD length_ = 0;
    DWORD capacity_ = 0;
    bool ok_ = true;
};

}  // namespace ignition
