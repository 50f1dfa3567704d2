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
#include <exception>
#include <new>
#include <typeinfo>

namespace {

class LibraryError final : public std::exception {
public:
    explicit LibraryError(const char* what) noexcept : what_(what ? what : "C++ library error") {}
    const char* what() const noexcept override { return what_; }

private:
    const char* what_;  // the library passes string literals
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
// The format's arguments (index and size) are left out of the message.
void __throw_out_of_range_fmt(const char* format, ...) { throw LibraryError(format); }
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
