#include "application.h"

#include "dispatch.h"
#include "sysutils.h"
#include "wintext.h"

namespace zt {

TApplication Application;

bool TApplication::Dispatch(MSG& message)
{
    if (message.message == WM_QUIT) {
        terminated_ = true;
        return false;
    }
    if (dialogWindow_ == nullptr || !IsWindow(dialogWindow_)
        || !IsDialogMessageW(dialogWindow_, &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

void TApplication::ProcessMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        bool go_on = Dispatch(message);
        RethrowParked();
        if (!go_on)
            break;
    }
}

void TApplication::WaitForMessage(DWORD milliseconds)
{
    MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void TApplication::Run()
{
    while (!terminated_) {
        try {
            MSG message;
            BOOL got = GetMessageW(&message, nullptr, 0, 0);
            if (got == 0 || got == -1) {
                terminated_ = true;
                break;
            }
            Dispatch(message);
            RethrowParked();
        } catch (...) {
            HandleException(std::current_exception());
        }
    }
}

void TApplication::Terminate()
{
    PostQuitMessage(0);
}

void TApplication::HandleException(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        ShowException(e.what());
    } catch (...) {
        ShowException("Unknown error");
    }
}

void TApplication::ShowException(const std::string& message)
{
    ::MessageBoxW(GetActiveWindow(), DisplayText(ErrorBoxText(message)).c_str(),
                  DisplayText(title_).c_str(), MB_OK | MB_ICONSTOP);
    // A handler that failed while the box was up is reported after it.
    if (std::exception_ptr next = TakeParked())
        HandleException(next);
}

void TApplication::ShowMessage(const std::string& text)
{
    ::MessageBoxW(GetActiveWindow(), DisplayText(text).c_str(), DisplayText(title_).c_str(), MB_OK);
}

} // namespace zt
