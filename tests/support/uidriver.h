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

// A path of the build tree (this side of Wine) as a Windows path.
std::string WindowsPath(std::string path);
// Makes the folder afresh (what was there goes) with a copy of the program in it;
// returns the copy's path, or an empty text on failure.
std::string FreshCopy(const std::string& program, const std::string& directory);
// UTF-16 characters as UTF-8.
std::string Utf8(const wchar_t* text, int count);

// The child of `parent` of this class whose top-left corner lies at (left, top) of
// the parent's client area, and a control's rectangle there.
HWND Control(HWND parent, const char* className, int left, int top);
RECT ControlRect(HWND control);
// A control's text (WM_GETTEXT) as UTF-8, line ends as the control gives them; and
// setting it from UTF-8.
std::string Text(HWND control);
bool SetText(HWND control, const std::string& text);
inline bool Enabled(HWND control) { return IsWindowEnabled(control) != FALSE; }
// Posted: the program handles them in its own loop.
inline bool Click(HWND button) { return PostMessageA(button, BM_CLICK, 0, 0) != FALSE; }
inline bool Close(HWND window) { return PostMessageA(window, WM_CLOSE, 0, 0) != FALSE; }

// The control that has the keyboard focus in the window's thread.
HWND Focus(HWND window);
// A key posted to the focused control of the window (or to the window), so that it
// passes the program's dialog-key handling; with Alt, a letter (A to Z) is an access key.
bool PressKey(HWND window, WORD key, bool alt = false);

// A message box (any dialog box, class #32770) of the program.
struct MessageBoxInfo {
    HWND window = nullptr;
    std::string caption;
    std::string text; // the texts of its static controls, joined by LF
    bool hasIcon = false;
    std::vector<std::string> buttons;
};
// Presses the box's OK button and waits until the box has gone.
bool PressOk(const MessageBoxInfo& box, DWORD milliseconds = 5000);

// A program started for a test; ended by Kill, a new Start or the destructor. (Under
// Wine the program takes its Wine settings, such as DLL overrides, from the
// environment of the test program.)
class UiProgram {
public:
    UiProgram() = default;
    ~UiProgram() { Kill(); }
    UiProgram(const UiProgram&) = delete;
    UiProgram& operator=(const UiProgram&) = delete;

    bool Start(const std::string& program, const std::string& workingDirectory);
    // False when it still runs after the time.
    bool WaitExit(DWORD milliseconds, DWORD& exitCode) const;
    void Kill();

    // A visible top-level window of the program with this caption.
    HWND WaitForWindow(const std::string& caption, DWORD milliseconds) const;
    bool WaitForMessageBox(MessageBoxInfo& box, DWORD milliseconds) const;

private:
    HWND TopWindow(const std::function<bool(HWND)>& match) const;

    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

} // namespace rztest
