// The allocation functions of the setup program, replacing the C++ runtime's. The library
// versions of the non-throwing operator new wrap the throwing one in a handler, which drags
// the whole exception machinery (unwinder, type information, demangler) into the program:
// several times the size of the installer itself. The installer only ever allocates with
// std::nothrow and checks for null, so plain malloc and free are all it needs.
#include <cstdlib>
#include <new>

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size != 0 ? size : 1);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size != 0 ? size : 1);
}

// The throwing forms are never called by the installer; defined here so that nothing can
// pull the library's versions in. Without exceptions, failure can only end the program.
void* operator new(std::size_t size) {
    void* p = std::malloc(size != 0 ? size : 1);
    if (p == nullptr) std::abort();
    return p;
}

void* operator new[](std::size_t size) {
    void* p = std::malloc(size != 0 ? size : 1);
    if (p == nullptr) std::abort();
    return p;
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
