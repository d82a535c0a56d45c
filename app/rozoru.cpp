// The program rozoru: the application with its title and the main window.
#include <windows.h>

#include "../classes/application.h"
#include "../classes/dispatch.h"

namespace {

const char kWindowClass[] = "RozoruMainWindow";

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return zt::Guarded<LRESULT>(0, [&]() -> LRESULT {
        if (message == WM_DESTROY) {
            zt::Application.Terminate();
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    });
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    zt::Application.SetTitle("Vantrel Tessaly Whois");

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass);

    HWND window = CreateWindowExA(0, kWindowClass, "Vantrel Tessaly \"Whois\"",
                                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 544, 392, nullptr, nullptr,
                                  instance, nullptr);
    ShowWindow(window, show);
    zt::Application.Run();
    return 0;
}
