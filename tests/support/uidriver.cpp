#include "uidriver.h"

#include <algorithm>

namespace rztest {

namespace {

const DWORD kSendTimeout = 30000;

struct EnumState {
    DWORD processId;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectTopWindow(HWND window, LPARAM parameter)
{
    auto* state = reinterpret_cast<EnumState*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == state->processId && IsWindowVisible(window))
        state->windows.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM parameter)
{
    reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(window);
    return TRUE;
}

std::vector<HWND> Children(HWND parent)
{
    std::vector<HWND> children;
    EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

std::string CaptionOf(HWND window)
{
    char caption[512] = {};
    GetWindowTextA(window, caption, sizeof caption);
    return caption;
}

} // namespace

bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start >= milliseconds)
            return false;
        Sleep(20);
    }
}

// --- UiProcess ---------------------------------------------------------------------

UiProcess::~UiProcess()
{
    if (process_ != nullptr) {
        Kill();
        CloseHandle(process_);
    }
}

bool UiProcess::Start(const std::string& program, const std::string& workingDirectory)
{
    std::string commandLine = "\"" + program + "\"";
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workingDirectory.c_str(), &startup, &info))
        return false;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    return true;
}

bool UiProcess::Running() const
{
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool UiProcess::WaitExit(DWORD milliseconds, DWORD& exitCode)
{
    if (process_ == nullptr || WaitForSingleObject(process_, milliseconds) != WAIT_OBJECT_0)
        return false;
    return GetExitCodeProcess(process_, &exitCode) != FALSE;
}

void UiProcess::Kill()
{
    if (Running()) {
        TerminateProcess(process_, 255);
        WaitForSingleObject(process_, 10000);
    }
}

// --- Windows and controls ----------------------------------------------------------

std::vector<HWND> UiDriver::TopWindows() const
{
    EnumState state{processId_, {}};
    EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&state));
    return state.windows;
}

HWND UiDriver::FindWindowByCaption(const std::string& caption, const char* className) const
{
    for (HWND window : TopWindows()) {
        if (CaptionOf(window) != caption)
            continue;
        if (className != nullptr && ClassOf(window) != className)
            continue;
        return window;
    }
    return nullptr;
}

HWND UiDriver::WaitForWindow(const std::string& caption, DWORD milliseconds,
                             const char* className) const
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindWindowByCaption(caption, className)) != nullptr; },
              milliseconds);
    return found;
}

std::string UiDriver::ClassOf(HWND window)
{
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

RECT UiDriver::ControlRect(HWND control)
{
    RECT rect = {};
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

HWND UiDriver::Control(HWND parent, const char* className, int left, int top)
{
    for (HWND child : Children(parent)) {
        if (GetParent(child) != parent || lstrcmpiA(ClassOf(child).c_str(), className) != 0)
            continue;
        RECT rect = ControlRect(child);
        if (rect.left == left && rect.top == top)
            return child;
    }
    return nullptr;
}

std::string UiDriver::Text(HWND control)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout,
                             &length))
        return "<no answer>";
    // The length is counted in characters; a character may take two bytes.
    std::vector<char> buffer(length * 2 + 16, '\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutA(control, WM_GETTEXT, buffer.size(),
                             reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                             kSendTimeout, &got))
        return "<no answer>";
    return std::string(buffer.data(), std::min<std::size_t>(got, buffer.size()));
}

bool UiDriver::SetText(HWND control, const std::string& text)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                               SMTO_ABORTIFHUNG, kSendTimeout, &result)
           && result != 0;
}

bool UiDriver::Click(HWND button) { return PostMessageA(button, BM_CLICK, 0, 0) != FALSE; }

HWND UiDriver::Focus(HWND anyWindowOfThread) const
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(anyWindowOfThread, nullptr);
    if (!GetGUIThreadInfo(thread, &info))
        return nullptr;
    return info.hwndFocus;
}

HWND UiDriver::WaitForFocusIn(HWND mainWindow, DWORD milliseconds) const
{
    HWND focus = nullptr;
    WaitUntil(
        [&] {
            focus = Focus(mainWindow);
            return focus != nullptr && (focus == mainWindow || IsChild(mainWindow, focus));
        },
        milliseconds);
    return focus != nullptr && (focus == mainWindow || IsChild(mainWindow, focus)) ? focus
                                                                                   : nullptr;
}

bool UiDriver::PressKey(HWND mainWindow, WORD virtualKey) const
{
    HWND target = WaitForFocusIn(mainWindow, 5000);
    if (target == nullptr)
        target = mainWindow;
    UINT scan = MapVirtualKeyA(virtualKey, 0);
    LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
    LPARAM up = down | (1L << 30) | (1L << 31);
    return PostMessageA(target, WM_KEYDOWN, virtualKey, down)
           && PostMessageA(target, WM_KEYUP, virtualKey, up);
}

bool UiDriver::PressAltKey(HWND mainWindow, char letter) const
{
    HWND target = WaitForFocusIn(mainWindow, 5000);
    if (target == nullptr)
        target = mainWindow;
    // The character message alone: the loop's dialog-key handling takes it as the
    // access key. Bit 29 says that Alt is down.
    char lower = letter >= 'A' && letter <= 'Z' ? static_cast<char>(letter + 32) : letter;
    UINT scan = MapVirtualKeyA(static_cast<UINT>(lower >= 'a' && lower <= 'z' ? lower - 32 : lower), 0);
    LPARAM parameter = 1 | (static_cast<LPARAM>(scan) << 16) | (1L << 29);
    return PostMessageA(target, WM_SYSCHAR, static_cast<WPARAM>(static_cast<unsigned char>(lower)),
                        parameter)
           != FALSE;
}

bool UiDriver::Close(HWND window) { return PostMessageA(window, WM_CLOSE, 0, 0) != FALSE; }

// --- Message boxes -----------------------------------------------------------------

bool UiDriver::FindMessageBox(MessageBoxInfo& box) const
{
    for (HWND window : TopWindows()) {
        if (ClassOf(window) != "#32770")
            continue;
        MessageBoxInfo found;
        found.window = window;
        found.caption = CaptionOf(window);
        for (HWND child : Children(window)) {
            std::string className = ClassOf(child);
            LONG style = GetWindowLongA(child, GWL_STYLE);
            if (lstrcmpiA(className.c_str(), "Static") == 0) {
                if ((style & SS_TYPEMASK) == SS_ICON) {
                    DWORD_PTR icon = 0;
                    if ((style & WS_VISIBLE) != 0
                        && SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG,
                                               kSendTimeout, &icon)
                        && icon != 0)
                        found.hasIcon = true;
                } else if ((style & WS_VISIBLE) != 0) {
                    if (!found.text.empty())
                        found.text += '\n';
                    found.text += Text(child);
                }
            } else if (lstrcmpiA(className.c_str(), "Button") == 0 && (style & WS_VISIBLE) != 0) {
                found.buttons.push_back(Text(child));
            }
        }
        box = found;
        return true;
    }
    return false;
}

bool UiDriver::WaitForMessageBox(MessageBoxInfo& box, DWORD milliseconds) const
{
    return WaitUntil([&] { return FindMessageBox(box); }, milliseconds);
}

bool UiDriver::PressOk(const MessageBoxInfo& box, DWORD milliseconds) const
{
    HWND ok = nullptr;
    for (HWND child : Children(box.window))
        if (lstrcmpiA(ClassOf(child).c_str(), "Button") == 0 && GetDlgCtrlID(child) == IDOK)
            ok = child;
    if (ok != nullptr)
        PostMessageA(ok, BM_CLICK, 0, 0);
    else
        PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return WaitUntil([&] { return !IsWindow(box.window) || !IsWindowVisible(box.window); },
                     milliseconds);
}

} // namespace rztest
