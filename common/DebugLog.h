#pragma once
// Diagnostics go only to the debug-output channel, in fragments; a line break only
// where the text itself ends in "\n".
#include <windows.h>
#include <string>

namespace common {

void DebugOut(const char* text) noexcept;
void DebugOut(const wchar_t* text) noexcept;

// "<text> Error: 0x<code>": lower-case hexadecimal without leading zeros.
void DebugError(const char* text, DWORD code) noexcept;
void DebugError(const wchar_t* text, DWORD code) noexcept;

// Lower-case hexadecimal without leading zeros (no prefix).
std::string Hex(DWORD value);
// " last err 0x<code>" (" last err 0" for zero): the tail of stream-built messages.
std::string LastErrSuffix(DWORD code);
// " Error: 0x<code>": the tail of the fixed-text messages.
std::string ErrorSuffix(DWORD code);
// Writes " Error: 0x<code>" as a fragment of its own.
void DebugErrorSuffix(DWORD code) noexcept;

// Builds one message from pieces and writes it in one call, like a string stream.
class DebugLine {
public:
    DebugLine& operator<<(const char* s) { text_ += s ? s : ""; return *this; }
    DebugLine& operator<<(const std::string& s) { text_ += s; return *this; }
    DebugLine& operator<<(const wchar_t* s);
    DebugLine& operator<<(long v) { text_ += std::to_string(v); return *this; }
    DebugLine& operator<<(int v) { text_ += std::to_string(v); return *this; }
    DebugLine& operator<<(unsigned long v) { text_ += std::to_string(v); return *this; }
    DebugLine& operator<<(unsigned int v) { text_ += std::to_string(v); return *this; }
    const std::string& str() const { return text_; }
    void Flush() noexcept;
    ~DebugLine() { Flush(); }

private:
    std::string text_;
};

}  // namespace common
