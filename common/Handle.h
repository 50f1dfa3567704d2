#pragma once
// RAII owners for kernel handles, registry keys and modules.
#include <windows.h>
#include <utility>

namespace common {

// Owner of a resource described by Traits (Traits::Invalid(), Traits::IsValid(v), Traits::Close(v)).
template <class Traits>
class UniqueResource {
public:
    using value_type = typename Traits::Type;

    UniqueResource() noexcept : value_(Traits::Invalid()) {}
    explicit UniqueResource(value_type v) noexcept : value_(v) {}
    UniqueResource(UniqueResource&& o) noexcept : value_(o.release()) {}
    UniqueResource& operator=(UniqueResource&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    ~UniqueResource() { reset(); }

    value_type get() const noexcept { return value_; }
    bool valid() const noexcept { return Traits::IsValid(value_); }
    explicit operator bool() const noexcept { return valid(); }

    value_type release() noexcept { return std::exchange(value_, Traits::Invalid()); }
    void reset(value_type v = Traits::Invalid()) noexcept {
        value_type old = std::exchange(value_, v);
        if (Traits::IsValid(old)) Traits::Close(old);
    }
    // For out-parameters of creating calls: frees the current value first.
    value_type* put() noexcept {
        reset();
        return &value_;
    }

private:
    value_type value_;
};

struct HandleTraits {
    using Type = HANDLE;
    static HANDLE Invalid() noexcept { return nullptr; }
    // Both NULL and INVALID_HANDLE_VALUE mean "no handle".
    static bool IsValid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};

struct KeyTraits {
    using Type = HKEY;
    static HKEY Invalid() noexcept { return nullptr; }
    // Predefined roots (HKEY_CLASSES_ROOT, ...) are never closed.
    static bool IsValid(HKEY k) noexcept { return k != nullptr; }
    static void Close(HKEY k) noexcept {
        if (reinterpret_cast<ULONG_PTR>(k) < 0x80000000u || reinterpret_cast<ULONG_PTR>(k) > 0x800000FFu)
            ::RegCloseKey(k);
    }
};

struct ModuleTraits {
    using Type = HMODULE;
    static HMODULE Invalid() noexcept { return nullptr; }
    static bool IsValid(HMODULE m) noexcept { return m != nullptr; }
    static void Close(HMODULE m) noexcept { ::FreeLibrary(m); }
};

struct FindTraits {
    using Type = HANDLE;
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::FindClose(h); }
};

struct LocalMemTraits {
    using Type = HLOCAL;
    static HLOCAL Invalid() noexcept { return nullptr; }
    static bool IsValid(HLOCAL m) noexcept { return m != nullptr; }
    static void Close(HLOCAL m) noexcept { ::LocalFree(m); }
};

struct GdiObjectTraits {
    using Type = HGDIOBJ;
    static HGDIOBJ Invalid() noexcept { return nullptr; }
    static bool IsValid(HGDIOBJ o) noexcept { return o != nullptr; }
    static void Close(HGDIOBJ o) noexcept { ::DeleteObject(o); }
};

using UniqueHandle = UniqueResource<HandleTraits>;
using UniqueKey = UniqueResource<KeyTraits>;
using UniqueModule = UniqueResource<ModuleTraits>;
using UniqueFindHandle = UniqueResource<FindTraits>;
using UniqueLocalMem = UniqueResource<LocalMemTraits>;
using UniqueGdiObject = UniqueResource<GdiObjectTraits>;

}  // namespace common
