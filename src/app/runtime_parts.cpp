// Parts of the C++ standard library that the program compiles in itself rather than link
// from libstdc++'s static library. That library is not split per function: linking one of
// these parts from it brings in its whole object, and with it every object that one needs
// (the linker map lists each object and the symbol it was linked for). Defined here, the
// objects below are never linked, and jumper.exe stays under 200 KiB: without this file it
// is 65 to 80 KiB larger for 64-bit and 95 to 120 KiB for 32-bit (GCC 12 and GCC 14).
//
// Should the library ever need a part that is not here, its object is linked again and the
// link fails on the duplicate definitions: the program never silently grows.
#include <bits/functexcept.h>

#include <cstddef>
#include <exception>
#include <new>
#include <string>
#include <typeinfo>

namespace {

// What the helpers below raise in place of the library's string-carrying error classes.
class LibraryError final : public std::exception {
public:
    explicit LibraryError(const char* text) noexcept : text_(text) {}
    const char* what() const noexcept override { return text_; }

private:
    const char* text_;  // the library passes string literals
};

}  // namespace

// The library's own parts, defined as its own headers declare them (one of them variadic).
// NOLINTBEGIN(cert-dcl58-cpp,cert-dcl50-cpp,bugprone-reserved-identifier)
namespace std {

// The helpers through which the library raises its errors (functexcept.o). Linked from the
// library, they bring both of its std::string implementations and every standard error class
// (cow-stdexcept.o, cow-string-inst.o, random.o, string-inst.o, system_error.o). Each
// condition is still raised as an error, with the library's text: it is shown, or ends the
// worker, as every unexpected error is. Nothing in the program catches the specific classes.
void __throw_bad_exception() { throw bad_exception(); }
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }
void __throw_logic_error(const char* text) { throw LibraryError(text); }
void __throw_domain_error(const char* text) { throw LibraryError(text); }
void __throw_invalid_argument(const char* text) { throw LibraryError(text); }
void __throw_length_error(const char* text) { throw LibraryError(text); }
void __throw_out_of_range(const char* text) { throw LibraryError(text); }
void __throw_out_of_range_fmt(const char* format, ...) { throw LibraryError(format); }
void __throw_runtime_error(const char* text) { throw LibraryError(text); }
void __throw_range_error(const char* text) { throw LibraryError(text); }
void __throw_overflow_error(const char* text) { throw LibraryError(text); }
void __throw_underflow_error(const char* text) { throw LibraryError(text); }
void __throw_system_error(int) { throw LibraryError("system error"); }

#if _GLIBCXX_RELEASE >= 13
// Newer libraries (GCC 14's, on Debian 13) keep the strings' overlapping-replace path in the
// library even for C++20 code; linked from there it brings string-inst.o and
// wstring-inst.o, about 30 KiB each in the 32-bit image. Instantiated here from the
// library's own template.
template void string::_M_replace_cold(char*, size_t, const char*, size_t, size_t);
template void wstring::_M_replace_cold(wchar_t*, size_t, const wchar_t*, size_t, size_t);
#endif

}  // namespace std
// NOLINTEND(cert-dcl58-cpp,cert-dcl50-cpp,bugprone-reserved-identifier)
