#include "ras_support.h"

#include "classes/application.h"

namespace rastest {

bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds)
{
    DWORD start = Now();
    for (;;) {
        zt::Application.ProcessMessages();
        if (done())
            return true;
        if (Now() - start > milliseconds)
            return false;
        zt::Application.WaitForMessage(20);
    }
}

void PumpFor(DWORD milliseconds)
{
    PumpUntil([] { return false; }, milliseconds);
}

bool FakeRas::Load()
{
    module = LoadLibraryA("rasapi32.dll");
    if (module == nullptr)
        return false;
    auto find = [this](auto& function, const char* name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
            reinterpret_cast<void*>(GetProcAddress(module, name)));
        return function != nullptr;
    };
    return find(Reset, "FakeRas_Reset") && find(SetEntriesRaw, "FakeRas_SetEntries")
           && find(AddConnectionRaw, "FakeRas_AddConnection")
           && find(SetPasswordSaved, "FakeRas_SetPasswordSaved")
           && find(FailCall, "FakeRas_FailCall") && find(SetDialHandle, "FakeRas_SetDialHandle")
           && find(SetDialScriptRaw, "FakeRas_SetDialScript") && find(GetLogRaw, "FakeRas_GetLog")
           && find(PostedCount, "FakeRas_PostedCount");
}

FakeRas::~FakeRas()
{
    if (module != nullptr) {
        if (Reset != nullptr)
            Reset();
        FreeLibrary(module);
    }
}

void FakeRas::SetEntries(const std::vector<std::string>& names)
{
    std::vector<const char*> pointers;
    for (const auto& name : names)
        pointers.push_back(name.c_str());
    SetEntriesRaw(pointers.data(), static_cast<int>(pointers.size()));
}

void FakeRas::AddConnection(const std::string& entry, UINT_PTR handle, const std::string& ip)
{
    AddConnectionRaw(entry.c_str(), reinterpret_cast<HANDLE>(handle), ip.c_str());
}

void FakeRas::SetDialScript(const std::vector<FakeRasStep>& steps)
{
    SetDialScriptRaw(steps.data(), static_cast<int>(steps.size()));
}

std::vector<std::string> FakeRas::Log()
{
    int length = GetLogRaw(nullptr, 0);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    GetLogRaw(text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (logStart >= lines.size())
        return {};
    return std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(logStart), lines.end());
}

std::vector<std::string> FakeRas::Calls(const std::string& function)
{
    std::vector<std::string> found;
    for (const auto& line : Log())
        if (line.compare(0, function.size() + 1, function + " ") == 0)
            found.push_back(line);
    return found;
}

void FakeRas::ClearLog()
{
    logStart += Log().size();
}

namespace {

struct Found {
    HWND window = nullptr;
};

BOOL CALLBACK FindErrorBox(HWND window, LPARAM parameter)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (process == GetCurrentProcessId() && std::string(className) == "#32770") {
        reinterpret_cast<Found*>(parameter)->window = window;
        return FALSE;
    }
    return TRUE;
}

struct Statics {
    std::string text;
    bool errorIcon = false;
};

BOOL CALLBACK ReadStatic(HWND child, LPARAM parameter)
{
    auto* statics = reinterpret_cast<Statics*>(parameter);
    char className[64] = {};
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Static") != 0)
        return TRUE;
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        HICON icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        if (icon != nullptr && icon == LoadIconA(nullptr, MAKEINTRESOURCEA(32513)))  // IDI_HAND
            statics->errorIcon = true;
        return TRUE;
    }
    char text[1024] = {};
    GetWindowTextA(child, text, sizeof text);
    if (text[0] != '\0' && statics->text.empty())
        statics->text = text;
    return TRUE;
}

} // namespace

BoxWatcher::BoxWatcher(DWORD limitMilliseconds) : limit_(limitMilliseconds)
{
    thread_ = std::thread([this] { Run(); });
}

BoxWatcher::~BoxWatcher()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

std::vector<BoxWatcher::Box> BoxWatcher::Finish()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    return boxes_;
}

void BoxWatcher::Run()
{
    DWORD start = Now();
    while (!stop_) {
        Found found;
        EnumWindows(FindErrorBox, reinterpret_cast<LPARAM>(&found));
        if (found.window != nullptr && IsWindowVisible(found.window)) {
            // Let the box finish building itself.
            Sleep(50);
            Box box;
            char caption[256] = {};
            GetWindowTextA(found.window, caption, sizeof caption);
            box.caption = caption;
            Statics statics;
            EnumChildWindows(found.window, ReadStatic, reinterpret_cast<LPARAM>(&statics));
            box.text = statics.text;
            box.errorIcon = statics.errorIcon;
            boxes_.push_back(box);
            PostMessageA(found.window, WM_COMMAND, IDOK, 0);
            DWORD closing = Now();
            while (IsWindow(found.window) && Now() - closing < 5000)
                Sleep(10);
            continue;
        }
        if (Now() - start > limit_) {
            // Nothing should stay up this long: close whatever box there is.
            if (found.window != nullptr)
                PostMessageA(found.window, WM_COMMAND, IDOK, 0);
        }
        Sleep(20);
    }
}

std::vector<BoxWatcher::Box> BoxesDuring(const std::function<void()>& action)
{
    BoxWatcher watcher;
    action();
    return watcher.Finish();
}

} // namespace rastest
