// A hidden message-only window whose messages go to one object's handler.
#pragma once

#include <windows.h>

#include <functional>

#include "handle.h"

namespace zt {

class HiddenWindow {
public:
    using Handler = std::function<LRESULT(UINT message, WPARAM wParam, LPARAM lParam)>;

    // The handler runs guarded: whatever it throws is parked for the pumping loop,
    // and the message then gets the result 0.
    explicit HiddenWindow(Handler handler);
    ~HiddenWindow();
    HiddenWindow(const HiddenWindow&) = delete;
    HiddenWindow& operator=(const HiddenWindow&) = delete;

    HWND Handle() const noexcept { return handle_.get(); }

    // The platform's default processing for this window.
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) const;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    Handler handler_;
    OwnedWindow handle_;
};

} // namespace zt
