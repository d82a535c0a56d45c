// The program rozoru: the application with its title, the main window, the message
// loop. The Winsock binding's instance exists from the units' start-up code on and
// is freed by their shut-down code, after the window and its components.
#include <windows.h>
#include <commctrl.h>

#include <exception>
#include <memory>
#include <string>

#include "../classes/application.h"
#include "../classes/sysutils.h"
#include "whois.h"

namespace {

// Start-up has failed before the window could be shown: the box names the error's
// class and message, and the program ends.
int StartupFailure(const std::string& className, const std::string& message)
{
    std::string text = "Exception " + className + ": " + zt::ErrorBoxText(message);
    MessageBoxA(nullptr, text.c_str(), "Application Error",
                MB_OK | MB_ICONSTOP | MB_TASKMODAL | MB_SETFOREGROUND);
    return 1;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand)
{
    zt::Application.SetTitle("Vantrel Tessaly Whois");
    // The common controls of the manifest's version 6, drawn in the desktop's style.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    std::unique_ptr<rozoru::TForm1> form;
    try {
        form = std::make_unique<rozoru::TForm1>();
    } catch (const zt::Exception& e) {
        return StartupFailure(e.ClassName(), e.Message());
    } catch (const std::exception& e) {
        return StartupFailure("Exception", e.what());
    }

    rozoru::Form1 = form.get();
    form->Show(showCommand);
    zt::Application.Run();

    // The forms go first: the whois component pays back its Winsock start-ups.
    rozoru::Form1 = nullptr;
    form.reset();
    return 0;
}
