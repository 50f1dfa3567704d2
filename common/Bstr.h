#pragma once
// Owner of a BSTR (a null BSTR is an empty string).
#include <windows.h>
#include <oleauto.h>
#include <utility>

namespace common {

class Bstr {
public:
    Bstr() noexcept = default;
    explicit Bstr(const wchar_t* s) : s_(s ? ::SysAllocString(s) : nullptr) {}
    Bstr(const wchar_t* s, UINT len) : s_(::SysAllocStringLen(s, len)) {}
    Bstr(Bstr&& o) noexcept : s_(std::exchange(o.s_, nullptr)) {}
    Bstr& operator=(Bstr&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { reset(); }

    static Bstr Attach(BSTR s) noexcept {
        Bstr b;
        b.s_ = s;
        return b;
    }
    BSTR release() noexcept { return std::exchange(s_, nullptr); }
    void reset(BSTR s = nullptr) noexcept {
        if (BSTR old = std::exchange(s_, s)) ::SysFreeString(old);
    }
    BSTR* put() noexcept {
        reset();
        return &s_;
    }

    BSTR get() const noexcept { return s_; }
    // Never null: the empty string stands for a null BSTR.
    const wchar_t* c_str() const noexcept { return s_ ? s_ : L""; }
    UINT length() const noexcept { return ::SysStringLen(s_); }
    bool empty() const noexcept { return length() == 0; }
    // Whether allocation succeeded for a non-null source.
    explicit operator bool() const noexcept { return s_ != nullptr; }

    // Hands a copy to an out-parameter; E_OUTOFMEMORY when allocation fails.
    HRESULT CopyTo(BSTR* out) const noexcept {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!s_) return S_OK;
        *out = ::SysAllocStringLen(s_, length());
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    BSTR s_ = nullptr;
};

// Allocates a copy of s for an [out, retval] BSTR; null s gives an empty string.
inline HRESULT AllocBstr(const wchar_t* s, BSTR* out) noexcept {
    if (!out) return E_POINTER;
    *out = ::SysAllocString(s ? s : L"");
    return *out ? S_OK : E_OUTOFMEMORY;
}

// Text of a BSTR argument; null counts as empty.
inline const wchar_t* BstrText(BSTR s) noexcept { return s ? s : L""; }
inline const wchar_t* BstrText(const BSTR* s) noexcept { return (s && *s) ? *s : L""; }

}  // namespace common
