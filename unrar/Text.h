#pragma once
// A growable wide string on the process heap. The extractor uses it instead of
// std::wstring so the DLL links no C++ runtime (and stays a fraction of the size).
// An allocation failure leaves the text empty and ok() false; later appends do nothing.
#include <windows.h>

#include <stddef.h>

namespace unrar {

class Text {
public:
    Text() = default;
    explicit Text(const wchar_t* s) { Append(s); }
    Text(const wchar_t* s, size_t n) { Append(s, n); }
    ~Text();
    Text(Text&& o) noexcept;
    Text& operator=(Text&& o) noexcept;
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;

    bool Append(const wchar_t* s, size_t n);
    bool Append(const wchar_t* s) { return Append(s, s ? lstrlenW(s) : 0); }
    bool Append(const Text& t) { return Append(t.c_str(), t.size()); }
    bool Append(wchar_t c) { return Append(&c, 1); }
    // Makes the text n characters long; new characters are unspecified (for API calls
    // that fill data()).
    bool Resize(size_t n);
    // Keeps the first n characters.
    void Truncate(size_t n);
    void Clear() { Truncate(0); }

    const wchar_t* c_str() const { return data_ ? data_ : L""; }
    wchar_t* data() { return data_; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    bool ok() const { return !failed_; }
    wchar_t back() const { return size_ ? data_[size_ - 1] : L'\0'; }
    wchar_t operator[](size_t i) const { return data_[i]; }
    bool StartsWith(const wchar_t* prefix) const;

private:
    bool Reserve(size_t n);

    wchar_t* data_ = nullptr;
    size_t size_ = 0, capacity_ = 0;
    bool failed_ = false;
};

}  // namespace unrar
