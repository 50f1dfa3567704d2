// What the C++ library raises when a container or string is misused (a length past
// max_size, an index out of range, a string built from a null pointer ...).
//
// libstdc++ raises these through the std::__throw_* functions. Its own definitions build
// std::logic_error and friends, which carry a reference-counted std::string and drag in a
// whole prebuilt instantiation of std::string, the error-category machinery and
// std::random_device: about 85 KB in every binary that uses any container. A server
// only needs to know that the library refused; these definitions raise a small
// std::exception carrying the library's message (allocation failures stay std::bad_alloc),
// and the link takes them instead of the library's. Every COM entry point already turns
// any exception into an HRESULT, so callers see the same results as before.
#include <cstdarg>
#include <cstddef>
#include <exception>
#include <new>
#include <typeinfo>

namespace {

class LibraryError final : public std::exception {
public:
    explicit LibraryError(const char* what) noexcept { Append(what ? what : "C++ library error"); }
    // The library's formatted messages use only %s, %zu and %%.
    LibraryError(const char* format, va_list args) noexcept {
        for (const char* f = format; *f; ++f) {
            if (f[0] == '%' && f[1] == 's') {
                Append(va_arg(args, const char*));
                ++f;
            } else if (f[0] == '%' && f[1] == 'z' && f[2] == 'u') {
                AppendNumber(va_arg(args, std::size_t));
                f += 2;
            } else {
                const char one[2] = {f[0] == '%' && f[1] == '%' ? *++f : *f, '\0'};
                Append(one);
            }
        }
    }
    const char* what() const noexcept override { return text_; }

private:
    void AppendNumber(std::size_t n) noexcept {
        char digits[24];
        char* d = digits + sizeof digits;
        *--d = '\0';
        do *--d = static_cast<char>('0' + n % 10); while (n /= 10);
        Append(d);
    }
    void Append(const char* s) noexcept {
        while (s && *s && length_ + 1 < sizeof text_) text_[length_++] = *s++;
        text_[length_] = '\0';
    }
    char text_[160] = {};
    std::size_t length_ = 0;
};

}  // namespace

namespace std {

void __throw_bad_exception() { throw bad_exception(); }
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }
void __throw_logic_error(const char* what) { throw LibraryError(what); }
void __throw_domain_error(const char* what) { throw LibraryError(what); }
void __throw_invalid_argument(const char* what) { throw LibraryError(what); }
void __throw_length_error(const char* what) { throw LibraryError(what); }
void __throw_out_of_range(const char* what) { throw LibraryError(what); }
void __throw_out_of_range_fmt(const char* format, ...) {
    va_list args;
    va_start(args, format);
    LibraryError error(format, args);
    va_end(args);
    throw error;
}
void __throw_runtime_error(const char* what) { throw LibraryError(what); }
void __throw_range_error(const char* what) { throw LibraryError(what); }
void __throw_overflow_error(const char* what) { throw LibraryError(what); }
void __throw_underflow_error(const char* what) { throw LibraryError(what); }
void __throw_ios_failure(const char* what) { throw LibraryError(what); }
void __throw_ios_failure(const char* what, int) { throw LibraryError(what); }
void __throw_system_error(int) { throw LibraryError("system error"); }
void __throw_future_error(int) { throw LibraryError("future error"); }
void __throw_bad_function_call() { throw LibraryError("bad function call"); }

}  // namespace std
