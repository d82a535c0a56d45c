#include "uidriver.h"

#include <algorithm>
#include <filesystem>

namespace rztest {

namespace {

// Sends a message to the program's window; false when it does not answer in time.
bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR& result)
{
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 30000, &result);
}

bool IsClass(HWND window, const char* className)
{
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return lstrcmpiA(name, className) == 0;
}

} // namespace

bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds)
{
    for (const DWORD start = GetTickCount(); !done(); Sleep(20))
        if (GetTickCount() - start >= milliseconds)
            return false;
    return true;
}

std::string WindowsPath(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
}

std::string FreshCopy(const std::string& program, const std::string& directory)
{
    std::error_code error;
    std::filesystem::remove_all(directory, error);
    std::filesystem::create_directories(directory, error);
    std::string copy = directory + "\\rozoru.exe";
    return CopyFileA(program.c_str(), copy.c_str(), FALSE) ? copy : std::string();
}

std::string Utf8(const wchar_t* text, int count)
{
    std::string bytes(static_cast<std::size_t>(count) * 4, '\0');
    bytes.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_UTF8, 0, text, count, bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr)));
    return bytes;
}

// --- Controls ----------------------------------------------------------------------

RECT ControlRect(HWND control)
{
    RECT rect = {};
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

HWND Control(HWND parent, const char* className, int left, int top)
{
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect = ControlRect(child);
        if (IsClass(child, className) && rect.left == left && rect.top == top)
            return child;
    }
    return nullptr;
}

std::string Text(HWND control)
{
    DWORD_PTR length = 0, got = 0;
    const bool answered = Send(control, WM_GETTEXTLENGTH, 0, 0, length);
    std::vector<wchar_t> buffer(length + 16, L'\0');
    if (!answered || !Send(control, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), got))
        return "<no answer>";
    return Utf8(buffer.data(), static_cast<int>(std::min<std::size_t>(got, buffer.size())));
}

bool SetText(HWND control, const std::string& text)
{
    std::wstring wide(text.size() + 1, L'\0');
    wide.resize(static_cast<std::size_t>(MultiByteToWideChar(
        CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), static_cast<int>(wide.size()))));
    DWORD_PTR result = 0;
    return Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), result) && result;
}

// --- Focus, keys and boxes ---------------------------------------------------------

HWND Focus(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

bool PressKey(HWND window, WORD key, bool alt)
{
    // To the focused control (waiting for the focus to come back, as after a box), or
    // the window itself.
    HWND target = nullptr;
    if (!WaitUntil([&] { return (target = Focus(window)) == window || IsChild(window, target); }, 5000))
        target = window;
    LPARAM down = 1 | (static_cast<LPARAM>(MapVirtualKeyA(key, 0)) << 16);
    // With Alt, the character message alone: the loop's dialog-key handling takes it
    // as the access key. Bit 29 says that Alt is down.
    if (alt)
        return PostMessageA(target, WM_SYSCHAR, key - 'A' + 'a', down | (1L << 29)) != FALSE;
    return PostMessageA(target, WM_KEYDOWN, key, down) && PostMessageA(target, WM_KEYUP, key, down | (3L << 30));
}

bool PressOk(const MessageBoxInfo& box, DWORD milliseconds)
{
    PostMessageA(GetDlgItem(box.window, IDOK), BM_CLICK, 0, 0);
    return WaitUntil([&] { return !IsWindow(box.window) || !IsWindowVisible(box.window); }, milliseconds);
}

// --- The program -------------------------------------------------------------------

bool UiProgram::Start(const std::string& program, const std::string& workingDirectory)
{
    Kill();
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workingDirectory.c_str(), &startup, &info))
        return false;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
    return true;
}

bool UiProgram::WaitExit(DWORD milliseconds, DWORD& exitCode) const
{
    return process_ != nullptr && WaitForSingleObject(process_, milliseconds) == WAIT_OBJECT_0
           && GetExitCodeProcess(process_, &exitCode);
}

void UiProgram::Kill()
{
    if (process_ != nullptr) {
        TerminateProcess(process_, 255); // fails harmlessly once it has ended
        WaitForSingleObject(process_, 10000);
        CloseHandle(process_);
    }
    process_ = nullptr;
    id_ = 0;
}

HWND UiProgram::TopWindow(const std::function<bool(HWND)>& match) const
{
    for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); window && id_; window = GetWindow(window, GW_HWNDNEXT)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == id_ && IsWindowVisible(window) && match(window))
            return window;
    }
    return nullptr;
}

HWND UiProgram::WaitForWindow(const std::string& caption, DWORD milliseconds) const
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = TopWindow([&](HWND w) { return Text(w) == caption; })); }, milliseconds);
    return found;
}

bool UiProgram::WaitForMessageBox(MessageBoxInfo& box, DWORD milliseconds) const
{
    return WaitUntil([&] {
        HWND window = TopWindow([](HWND w) { return IsClass(w, "#32770"); });
        if (window == nullptr)
            return false;
        box = MessageBoxInfo{window, Text(window), "", false, {}};
        // Its visible buttons and texts; an icon control is there even without a picture.
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            DWORD_PTR icon = 0;
            if (!IsWindowVisible(child))
                continue;
            if (IsClass(child, "Button"))
                box.buttons.push_back(Text(child));
            else if (!IsClass(child, "Static"))
                continue;
            else if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
                box.text += (box.text.empty() ? "" : "\n") + Text(child);
            else if (Send(child, STM_GETICON, 0, 0, icon))
                box.hasIcon = box.hasIcon || icon != 0;
        }
        return true;
    }, milliseconds);
}

} // namespace rztest
