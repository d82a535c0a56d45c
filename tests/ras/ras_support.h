// Helpers of the dial-up component's tests: the script of the stand-in library and a
// reader of the error boxes that an action shows.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "fake_rasapi32/fakeras.h"

namespace rastest {

// What the component's connection enumeration passes: ten records of the platform's
// RASCONN, whose connection handle is pointer-sized (412 bytes on x86, 416 on x64).
inline const std::string kEnumConnections = sizeof(void*) == 8
                                                ? "RasEnumConnectionsA size=4160 rec=416 zeroed=1"
                                                : "RasEnumConnectionsA size=4120 rec=412 zeroed=1";

// The script of the stand-in library, attached at first use; null when the loaded
// rasapi32.dll is another library.
FakeRasControl* Fake();

// The lines of the call log, or those of one function only.
std::vector<std::string> Log(const std::string& function = "");

// Runs the action and returns the text of the message box it showed, "" for none.
// A box that is not an error box (caption "Error", error icon) is marked so, and the
// texts of several boxes are joined with " | ". Each box is read and closed with OK
// from a thread timer that the box's own modal loop dispatches.
std::string ErrorBoxText(const std::function<void()>& action);

} // namespace rastest
