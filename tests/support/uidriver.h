// Drives a program's windows from another process, the way a user would: starts the
// program, finds its windows and controls, types into boxes, clicks buttons, presses
// keys through the program's own message loop, and reads and answers its message
// boxes. Every wait is bounded.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace rztest {

// Polls the predicate (every 20 ms) until it holds or the time has passed.
bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds);

// A program started for a test. The destructor ends it if it still runs.
class UiProcess {
public:
    UiProcess() = default;
    ~UiProcess();
    UiProcess(const UiProcess&) = delete;
    UiProcess& operator=(const UiProcess&) = delete;

    // Starts the program in the working directory. (Under Wine a child takes its
    // Wine settings, such as DLL overrides, from the Unix environment of the
    // parent: give them to the test program itself.)
    bool Start(const std::string& program, const std::string& workingDirectory);

    DWORD Id() const noexcept { return processId_; }
    bool Running() const;
    // Waits for the end of the program; false when it still runs after the time.
    bool WaitExit(DWORD milliseconds, DWORD& exitCode);
    void Kill();

private:
    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
};

// A message box (or any dialog box) of the program.
struct MessageBoxInfo {
    HWND window = nullptr;
    std::string caption;
    std::string text;   // the texts of its static controls, joined by LF
    bool hasIcon = false;
    std::vector<std::string> buttons;
};

class UiDriver {
public:
    explicit UiDriver(DWORD processId) : processId_(processId) {}

    // A visible top-level window of the program with this caption (and class, when
    // given).
    HWND FindWindowByCaption(const std::string& caption, const char* className = nullptr) const;
    HWND WaitForWindow(const std::string& caption, DWORD milliseconds,
                       const char* className = nullptr) const;
    // Every visible top-level window of the program.
    std::vector<HWND> TopWindows() const;

    // The child of `parent` of this class whose top-left corner lies at (left, top)
    // of the parent's client area.
    static HWND Control(HWND parent, const char* className, int left, int top);
    // The control's rectangle in its parent's client area.
    static RECT ControlRect(HWND control);
    static std::string ClassOf(HWND window);

    // Text of a control in another process (WM_GETTEXT), CR and LF as the control
    // gives them.
    static std::string Text(HWND control);
    static bool SetText(HWND control, const std::string& text);
    static bool Enabled(HWND control) { return IsWindowEnabled(control) != FALSE; }

    // A click, posted: the program handles it in its own loop.
    static bool Click(HWND button);
    // The control that has the keyboard focus in the program's window thread.
    HWND Focus(HWND anyWindowOfThread) const;
    // Waits until the focus lies in the window (on one of its controls or on the
    // window itself), as it does again once a box of the window has gone; returns
    // the focused control or null.
    HWND WaitForFocusIn(HWND mainWindow, DWORD milliseconds) const;
    // A key posted to the focused control of the window (or to the window when none
    // has the focus), so that it passes the program's dialog-key handling.
    bool PressKey(HWND mainWindow, WORD virtualKey) const;
    // Alt and a letter: the access key.
    bool PressAltKey(HWND mainWindow, char letter) const;
    // Asks the window to close, as its close box does.
    static bool Close(HWND window);

    // Message boxes: the dialog boxes (class #32770) of the program.
    bool FindMessageBox(MessageBoxInfo& box) const;
    bool WaitForMessageBox(MessageBoxInfo& box, DWORD milliseconds) const;
    // Presses the box's OK button (posted) and waits until the box has gone.
    bool PressOk(const MessageBoxInfo& box, DWORD milliseconds = 5000) const;

private:
    DWORD processId_;
};

} // namespace rztest
