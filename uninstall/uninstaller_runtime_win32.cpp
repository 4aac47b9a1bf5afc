// The uninstaller's allocation functions and the C++ library's error exits, replacing the
// library's own. The uninstaller is built without exceptions; the library's versions of
// these would bring the whole exception machinery (unwinder, thread support, demangler)
// into the program, several times its own size, for failures that can only end it anyway:
// running out of memory, or a string grown past its maximum size.
#include <windows.h>

#include <cstdlib>
#include <new>

namespace {

[[noreturn]] void give_up() {
    // No message box: a program out of memory cannot count on showing one.
    ExitProcess(4);
}

void* allocate(std::size_t size) {
    void* p = std::malloc(size != 0 ? size : 1);
    if (p == nullptr) give_up();
    return p;
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size != 0 ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size != 0 ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

// Where the library's containers and strings report misuse or exhaustion.
namespace std {
[[noreturn]] void __throw_bad_alloc() { give_up(); }
[[noreturn]] void __throw_bad_array_new_length() { give_up(); }
[[noreturn]] void __throw_length_error(const char*) { give_up(); }
[[noreturn]] void __throw_logic_error(const char*) { give_up(); }
[[noreturn]] void __throw_out_of_range(const char*) { give_up(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { give_up(); }
[[noreturn]] void __throw_invalid_argument(const char*) { give_up(); }
}  // namespace std

// The library's default handler for an unhandled exception prints the exception's type,
// demangled, which brings the demangler and a printf along. Nothing here throws; the
// libraries shared with the installer only carry clean-up code for exceptions that never
// come.
namespace __gnu_cxx {
[[noreturn]] void __verbose_terminate_handler() { give_up(); }
}  // namespace __gnu_cxx
