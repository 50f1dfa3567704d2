#include "unrar/Text.h"

namespace unrar {

Text::~Text() {
    if (data_) ::HeapFree(::GetProcessHeap(), 0, data_);
}

Text::Text(Text&& o) noexcept : data_(o.data_), size_(o.size_), capacity_(o.capacity_), failed_(o.failed_) {
    o.data_ = nullptr;
    o.size_ = o.capacity_ = 0;
}

Text& Text::operator=(Text&& o) noexcept {
    if (this != &o) {
        if (data_) ::HeapFree(::GetProcessHeap(), 0, data_);
        data_ = o.data_;
        size_ = o.size_;
        capacity_ = o.capacity_;
        failed_ = o.failed_;
        o.data_ = nullptr;
        o.size_ = o.capacity_ = 0;
    }
    return *this;
}

bool Text::Reserve(size_t n) {
    if (failed_) return false;
    if (n + 1 <= capacity_) return true;
    size_t cap = capacity_ ? capacity_ : 64;
    while (cap < n + 1) cap *= 2;
    void* p = data_ ? ::HeapReAlloc(::GetProcessHeap(), 0, data_, cap * sizeof(wchar_t))
                    : ::HeapAlloc(::GetProcessHeap(), 0, cap * sizeof(wchar_t));
    if (!p) {
        failed_ = true;
        Truncate(0);
        return false;
    }
    data_ = static_cast<wchar_t*>(p);
    capacity_ = cap;
    return true;
}

bool Text::Append(const wchar_t* s, size_t n) {
    if (!Reserve(size_ + n)) return false;
    if (n) ::CopyMemory(data_ + size_, s, n * sizeof(wchar_t));
    size_ += n;
    data_[size_] = L'\0';
    return true;
}

bool Text::Resize(size_t n) {
    if (!Reserve(n)) return false;
    size_ = n;
    data_[size_] = L'\0';
    return true;
}

void Text::Truncate(size_t n) {
    if (n < size_) {
        size_ = n;
        data_[size_] = L'\0';
    }
}

bool Text::StartsWith(const wchar_t* prefix) const {
    size_t n = lstrlenW(prefix);
    if (n > size_) return false;
    for (size_t i = 0; i < n; ++i)
        if (data_[i] != prefix[i]) return false;
    return true;
}

}  // namespace unrar
