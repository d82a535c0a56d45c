// One owner for every Win32 handle the program holds, and a scope guard.
//
// Owned holds one handle and closes it when it goes, or when reset; it is move-only.
// Its parameters name the handle type, the function that closes it and the value
// that means "none". A close whose result matters (a file being written) goes
// through Close(), which reports it.
#pragma once

#include <windows.h>

#include <utility>

namespace zt {

template <class Type, class Closer, bool MinusOneIsNone = false>
class Owned {
public:
    Owned() noexcept = default;
    explicit Owned(Type handle) noexcept : handle_(handle) {}
    ~Owned() { reset(); }
    Owned(Owned&& other) noexcept : handle_(other.release()) {}
    Owned& operator=(Owned&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    // The value that means "no handle": null, or -1 for the kernel's file handles.
    static Type None() noexcept
    {
        if constexpr (MinusOneIsNone)
            return reinterpret_cast<Type>(static_cast<INT_PTR>(-1));
        else
            return Type{};
    }

    Type get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != None(); }

    Type release() noexcept { return std::exchange(handle_, None()); }
    void reset(Type handle = None()) noexcept
    {
        Type old = std::exchange(handle_, handle);
        if (old != None())
            Closer()(old);
    }
    // Closes now; false when there was nothing to close or the close failed.
    bool Close() noexcept
    {
        Type old = release();
        return old != None() && Closer()(old) != FALSE;
    }

private:
    Type handle_ = None();
};

// The close functions, as types.
namespace close {
struct Handle { BOOL operator()(HANDLE h) const noexcept { return CloseHandle(h); } };
struct Library { BOOL operator()(HMODULE h) const noexcept { return FreeLibrary(h); } };
struct GdiObject { BOOL operator()(HGDIOBJ h) const noexcept { return DeleteObject(h); } };
struct MemoryDC { BOOL operator()(HDC h) const noexcept { return DeleteDC(h); } };
struct Window { BOOL operator()(HWND h) const noexcept { return DestroyWindow(h); } };
struct Menu { BOOL operator()(HMENU h) const noexcept { return DestroyMenu(h); } };
} // namespace close

using OwnedFile = Owned<HANDLE, close::Handle, true>;
using OwnedLibrary = Owned<HMODULE, close::Library>;
using OwnedFont = Owned<HFONT, close::GdiObject>;
using OwnedBitmap = Owned<HBITMAP, close::GdiObject>;
using OwnedDC = Owned<HDC, close::MemoryDC>;
using OwnedWindow = Owned<HWND, close::Window>;
using OwnedMenu = Owned<HMENU, close::Menu>;

// Runs an action when the scope is left, also by an exception.
template <class Action>
class AtExit {
public:
    explicit AtExit(Action action) : action_(std::move(action)) {}
    ~AtExit() { action_(); }
    AtExit(const AtExit&) = delete;
    AtExit& operator=(const AtExit&) = delete;

private:
    Action action_;
};

} // namespace zt
