#pragma once
// Owners of VARIANT and SAFEARRAY values.
#include <windows.h>
#include <oleauto.h>
#include <utility>

namespace common {

class Variant {
public:
    Variant() noexcept { ::VariantInit(&v_); }
    explicit Variant(const wchar_t* s) noexcept : Variant() {
        v_.vt = VT_BSTR;
        V_BSTR(&v_) = ::SysAllocString(s ? s : L"");
    }
    explicit Variant(long i) noexcept : Variant() {
        v_.vt = VT_I4;
        V_I4(&v_) = i;
    }
    explicit Variant(int i) noexcept : Variant(static_cast<long>(i)) {}
    explicit Variant(bool b) noexcept : Variant() {
        v_.vt = VT_BOOL;
        V_BOOL(&v_) = b ? VARIANT_TRUE : VARIANT_FALSE;
    }
    Variant(Variant&& o) noexcept : Variant() { std::swap(v_, o.v_); }
    Variant& operator=(Variant&& o) noexcept {
        if (this != &o) {
            clear();
            std::swap(v_, o.v_);
        }
        return *this;
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { clear(); }

    void clear() noexcept { ::VariantClear(&v_); }
    VARIANT* get() noexcept { return &v_; }
    const VARIANT* get() const noexcept { return &v_; }
    VARIANT* put() noexcept {
        clear();
        return &v_;
    }
    VARTYPE vt() const noexcept { return v_.vt; }
    VARIANT Detach() noexcept {
        VARIANT out = v_;
        ::VariantInit(&v_);
        return out;
    }
    HRESULT CopyFrom(const VARIANT* src) noexcept {
        clear();
        return ::VariantCopy(&v_, const_cast<VARIANT*>(src));
    }
    // Converts in place; leaves the value unchanged on failure.
    HRESULT ChangeType(VARTYPE vt) noexcept { return ::VariantChangeType(&v_, &v_, 0, vt); }

private:
    VARIANT v_;
};

class SafeArray {
public:
    SafeArray() noexcept = default;
    explicit SafeArray(SAFEARRAY* sa) noexcept : sa_(sa) {}
    SafeArray(SafeArray&& o) noexcept : sa_(std::exchange(o.sa_, nullptr)) {}
    SafeArray& operator=(SafeArray&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    SafeArray(const SafeArray&) = delete;
    SafeArray& operator=(const SafeArray&) = delete;
    ~SafeArray() { reset(); }

    SAFEARRAY* get() const noexcept { return sa_; }
    SAFEARRAY* release() noexcept { return std::exchange(sa_, nullptr); }
    void reset(SAFEARRAY* sa = nullptr) noexcept {
        if (SAFEARRAY* old = std::exchange(sa_, sa)) ::SafeArrayDestroy(old);
    }
    explicit operator bool() const noexcept { return sa_ != nullptr; }

private:
    SAFEARRAY* sa_ = nullptr;
};

}  // namespace common
