// Owners for the Win32 and COM resources the installer takes: each one is released by the
// scope that obtained it, on every path out. Header-only and free of exceptions, so the
// setup program can use them without the C++ runtime's heavy parts.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

namespace qarn {

// An open registry key.
class RegKey {
public:
    RegKey() = default;
    ~RegKey() {
        if (key_ != nullptr) RegCloseKey(key_);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    HKEY* receive() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// One reference to a COM interface.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() {
        if (ptr_ != nullptr) ptr_->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T** receive() { return &ptr_; }
    void** receive_void() { return reinterpret_cast<void**>(&ptr_); }
    T* get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }

private:
    T* ptr_ = nullptr;
};

// An item list that the shell handed out. Only the shell's allocator may free it: either
// the one given (kept alive by the caller for the list's lifetime) or, without one, the
// allocator fetched at release time, which counts only when it comes with exactly S_OK.
class ShellItemList {
public:
    ShellItemList() = default;
    explicit ShellItemList(IMalloc* allocator) : allocator_(allocator) {}
    ~ShellItemList() { reset(); }
    ShellItemList(const ShellItemList&) = delete;
    ShellItemList& operator=(const ShellItemList&) = delete;

    LPITEMIDLIST* receive() {
        reset();
        return &list_;
    }
    LPITEMIDLIST get() const { return list_; }
    void adopt(LPITEMIDLIST list) {
        reset();
        list_ = list;
    }

    void reset() {
        if (list_ == nullptr) return;
        if (allocator_ != nullptr) {
            allocator_->Free(list_);
        } else {
            IMalloc* allocator = nullptr;
            if (SHGetMalloc(&allocator) == S_OK && allocator != nullptr) {
                allocator->Free(list_);
                allocator->Release();
            }
        }
        list_ = nullptr;
    }

private:
    IMalloc* allocator_ = nullptr;
    LPITEMIDLIST list_ = nullptr;
};

// A GDI font.
class FontHandle {
public:
    FontHandle() = default;
    ~FontHandle() { reset(); }
    FontHandle(const FontHandle&) = delete;
    FontHandle& operator=(const FontHandle&) = delete;

    void reset(HFONT font = nullptr) {
        if (font_ != nullptr) DeleteObject(font_);
        font_ = font;
    }
    HFONT get() const { return font_; }

private:
    HFONT font_ = nullptr;
};

// A window's device context, from GetDC.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC() {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// OleInitialize paired with OleUninitialize. Only a successful initialisation (S_OK, or
// S_FALSE when the thread had it already) is undone: an unpaired OleUninitialize would
// take away a reference that belongs to someone else.
class OleSession {
public:
    OleSession() : initialised_(SUCCEEDED(OleInitialize(nullptr))) {}
    ~OleSession() {
        if (initialised_) OleUninitialize();
    }
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;

private:
    bool initialised_;
};

}  // namespace qarn
