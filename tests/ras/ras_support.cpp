#include "ras_support.h"

#include <cstring>

namespace rastest {

FakeRasControl* Fake()
{
    static FakeRasControl control;
    static const bool attached = [] {
        auto attach = reinterpret_cast<FakeRas_Attach_t>(reinterpret_cast<void*>(
            GetProcAddress(LoadLibraryA("rasapi32.dll"), "FakeRas_Attach")));
        if (attach != nullptr)
            attach(&control);
        return attach != nullptr;
    }();
    return attached ? &control : nullptr;
}

std::vector<std::string> Log(const std::string& function)
{
    std::vector<std::string> lines;
    const std::string log = Fake()->log;
    for (std::size_t start = 0, end; (end = log.find('\n', start)) != std::string::npos; start = end + 1)
        if (function.empty() || log.compare(start, function.size() + 1, function + " ") == 0)
            lines.push_back(log.substr(start, end - start));
    return lines;
}

namespace {

std::string* shown = nullptr;

struct Box {
    std::string text;
    bool errorIcon = false;
};

BOOL CALLBACK ReadControl(HWND control, LPARAM box)
{
    auto& read = *reinterpret_cast<Box*>(box);
    char text[1024] = {};
    GetClassNameA(control, text, sizeof text);
    if (lstrcmpiA(text, "Static") != 0)
        return TRUE;
    if ((GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        read.errorIcon |= reinterpret_cast<HICON>(SendMessageA(control, STM_GETICON, 0, 0))
                          == LoadIconA(nullptr, MAKEINTRESOURCEA(32513));  // IDI_HAND
    else if (read.text.empty() && GetWindowTextA(control, text, sizeof text) > 0)
        read.text = text;
    return TRUE;
}

BOOL CALLBACK CloseBox(HWND window, LPARAM)
{
    char text[256] = {};
    GetClassNameA(window, text, sizeof text);
    if (std::strcmp(text, "#32770") != 0 || !IsWindowVisible(window))
        return TRUE;
    Box box;
    EnumChildWindows(window, ReadControl, reinterpret_cast<LPARAM>(&box));
    GetWindowTextA(window, text, sizeof text);
    if (std::strcmp(text, "Error") != 0 || !box.errorIcon)
        box.text = "not an error box: " + box.text;
    *shown += (shown->empty() ? "" : " | ") + box.text;
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), CloseBox, 0);
}

} // namespace

std::string ErrorBoxText(const std::function<void()>& action)
{
    std::string texts;
    shown = &texts;
    struct Stop {
        UINT_PTR timer;
        ~Stop() { KillTimer(nullptr, timer); }
    } stop{SetTimer(nullptr, 0, 50, Tick)};
    action();
    return texts;
}

} // namespace rastest
