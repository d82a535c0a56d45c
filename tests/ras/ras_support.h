// What the scripted stand-in for rasapi32.dll plays, and helpers of the dial-up
// component's tests. The test program owns the script and hands it to the library
// through the export FakeRas_Attach; the library only reads it, apart from the log and
// the record it was last given to dial.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

struct FakeRasEvent { DWORD state, error; };

// The PPP IP address "" for none.
struct FakeRasConnection { std::string entry; UINT_PTR handle; std::string ip; };

struct FakeRasControl {
    std::vector<std::string> entries = {};  // the phone-book, in listing order
    std::vector<FakeRasConnection> connections = {};
    std::string savedPassword = {};              // saved with every entry; "": none
    std::pair<std::string, DWORD> failing = {};  // the call logged under this name returns this code
    std::vector<FakeRasEvent> script = {};       // posted to the notifier window before RasDialA returns
    const void* dialled = nullptr;               // the dial-parameter record RasDialA was given
    char log[16384] = {};  // one entry per call, " | " between; the test adds its own
};

// Appends to the log; its buffer is the only memory both modules write.
inline void LogLine(FakeRasControl& control, const std::string& line)
{
    std::size_t used = std::strlen(control.log);
    std::snprintf(control.log + used, sizeof control.log - used, "%s%s", used ? " | " : "", line.c_str());
}

// The script of the stand-in library, attached at first use; null when the loaded
// rasapi32.dll is another library.
inline FakeRasControl* Fake()
{
    static FakeRasControl control;
    static const auto attach = reinterpret_cast<void(__cdecl*)(FakeRasControl*)>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryA("rasapi32.dll"), "FakeRas_Attach")));
    static const bool attached = attach != nullptr && (attach(&control), true);
    return attached ? &control : nullptr;
}

// Runs the action and returns the texts of the message boxes it showed, " | " between,
// "" for none; a box that is not an error box (caption "Error", error icon) is marked
// so. Each box is read and closed with OK from a thread timer that its own modal loop
// dispatches while the box is the active window.
inline std::string ErrorBoxText(const std::function<void()>& action)
{
    static std::string shown;
    const auto closeBox = [](HWND, UINT, UINT_PTR, DWORD) CALLBACK {
        const HWND box = GetActiveWindow();
        char text[1024] = {};
        if (GetClassNameA(box, text, sizeof text) == 0 || std::strcmp(text, "#32770") != 0)
            return;
        bool errorIcon = false;  // a control of the box shows IDI_HAND
        EnumChildWindows(box, [](HWND control, LPARAM icon) CALLBACK -> BOOL {
            *reinterpret_cast<bool*>(icon) |= reinterpret_cast<HICON>(SendMessageA(control, STM_GETICON, 0, 0))
                                              == LoadIconA(nullptr, MAKEINTRESOURCEA(32513));
            return TRUE;
        }, reinterpret_cast<LPARAM>(&errorIcon));
        GetWindowTextA(box, text, sizeof text);
        const std::string mark = std::strcmp(text, "Error") == 0 && errorIcon ? "" : "not an error box: ";
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the message's static control
        shown += (shown.empty() ? "" : " | ") + mark + text;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    };
    shown.clear();
    struct Stop { UINT_PTR timer; ~Stop() { KillTimer(nullptr, timer); } } stop{SetTimer(nullptr, 0, 50, closeBox)};
    action();
    return shown;
}
