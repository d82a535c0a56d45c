// The application object: its title, the main message loop, the processing of all
// waiting messages that nested waits use, and the default error box.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

namespace zt {

class TApplication {
public:
    const std::string& Title() const noexcept { return title_; }
    void SetTitle(std::string title) { title_ = std::move(title); }

    // Window whose dialog keys (Tab, Enter, Esc, access keys) every loop handles.
    HWND DialogWindow() const noexcept { return dialogWindow_; }
    void SetDialogWindow(HWND window) noexcept { dialogWindow_ = window; }

    // Processes every message waiting in the thread's queue and returns. An
    // exception raised by a handler of one of them is rethrown here, on the caller's
    // stack. WM_QUIT sets Terminated and ends the pass; the message loop then ends.
    void ProcessMessages();

    // Sleeps until a message (or input) arrives for this thread, or the time in
    // milliseconds has passed; returns at once when one is already waiting.
    void WaitForMessage(DWORD milliseconds = INFINITE);

    // Runs the main message loop until WM_QUIT; an exception that reaches it goes to
    // HandleException and the loop goes on.
    void Run();

    bool Terminated() const noexcept { return terminated_; }
    void Terminate();

    // The default exception handler: a box with the title as caption, a stop icon
    // and OK, showing the message with the full-stop rule. The texts of these boxes
    // are shown as UTF-8 where they are, otherwise in the ANSI code page.
    void HandleException(std::exception_ptr error);
    void ShowException(const std::string& message);

    // A box with the title as caption, no icon and OK.
    void ShowMessage(const std::string& text);

private:
    bool Dispatch(MSG& message);

    std::string title_;
    HWND dialogWindow_ = nullptr;
    bool terminated_ = false;
};

// The one application object of the process.
extern TApplication Application;

} // namespace zt
