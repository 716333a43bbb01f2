// Owners for Win32 handles and GDI objects: each closes its handle exactly once.
#pragma once

#include <windows.h>

#include <utility>

namespace platform {

template <typename Handle, typename Close>
class unique_any {
public:
    unique_any() noexcept = default;
    explicit unique_any(Handle handle) noexcept : handle_(handle) {}
    unique_any(unique_any&& other) noexcept : handle_(std::exchange(other.handle_, Handle{})) {}
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other) reset(std::exchange(other.handle_, Handle{}));
        return *this;
    }
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    ~unique_any() { reset(); }

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Handle{}; }
    void reset(Handle handle = Handle{}) noexcept {
        if (handle_ != Handle{}) Close{}(handle_);
        handle_ = handle;
    }

private:
    Handle handle_{};
};

struct CloseHandleFn {
    void operator()(HANDLE handle) const noexcept { ::CloseHandle(handle); }
};
struct DeleteObjectFn {
    void operator()(HGDIOBJ object) const noexcept { ::DeleteObject(object); }
};
struct DestroyIconFn {
    void operator()(HICON icon) const noexcept { ::DestroyIcon(icon); }
};
struct DestroyWindowFn {
    void operator()(HWND window) const noexcept { ::DestroyWindow(window); }
};
struct FreeLibraryFn {
    void operator()(HMODULE module) const noexcept { ::FreeLibrary(module); }
};
struct ReleaseScreenDcFn {
    void operator()(HDC dc) const noexcept { ::ReleaseDC(nullptr, dc); }
};

using unique_handle = unique_any<HANDLE, CloseHandleFn>;
using unique_hfont = unique_any<HFONT, DeleteObjectFn>;
using unique_hicon = unique_any<HICON, DestroyIconFn>;
using unique_hwnd = unique_any<HWND, DestroyWindowFn>;  // on the window's own thread
using unique_hmodule = unique_any<HMODULE, FreeLibraryFn>;
using unique_screen_dc = unique_any<HDC, ReleaseScreenDcFn>;

}  // namespace platform
