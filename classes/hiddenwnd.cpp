#include "hiddenwnd.h"

#include "dispatch.h"
#include "sysutils.h"

namespace zt {

namespace {
const char kClassName[] = "ZtHiddenWindow";

void RegisterOnce(WNDPROC procedure)
{
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw Exception("Cannot register the notification window class");
    registered = true;
}
} // namespace

HiddenWindow::HiddenWindow(Handler handler) : handler_(std::move(handler))
{
    RegisterOnce(&HiddenWindow::WindowProc);
    handle_.reset(CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleA(nullptr), nullptr));
    if (!handle_)
        throw Exception("Cannot create the notification window");
    SetWindowLongPtrA(handle_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

HiddenWindow::~HiddenWindow()
{
    // From here on the window no longer reaches this object; the owner destroys it.
    SetWindowLongPtrA(handle_.get(), GWLP_USERDATA, 0);
}

LRESULT HiddenWindow::Default(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return DefWindowProcA(handle_.get(), message, wParam, lParam);
}

LRESULT CALLBACK HiddenWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                          LPARAM lParam)
{
    auto* self = reinterpret_cast<HiddenWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr || !self->handler_)
        return DefWindowProcA(window, message, wParam, lParam);
    return Guarded<LRESULT>(0, [&] { return self->handler_(message, wParam, lParam); });
}

} // namespace zt
