// What the scripted stand-in for rasapi32.dll plays. The test program owns it and hands
// it to the library through the export FakeRas_Attach; the library only reads it,
// apart from appending to the log.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

struct FakeRasEvent {
    DWORD state;
    DWORD error;
};

struct FakeRasConnection {
    std::string entry;
    UINT_PTR handle;
    std::string ip;  // "": no PPP IP address
};

struct FakeRasControl {
    std::vector<std::string> entries;  // the phone-book, in listing order
    std::vector<FakeRasConnection> connections;
    std::string savedPassword;              // saved with every entry; "": none
    std::pair<std::string, DWORD> failing;  // this function returns this code
    std::vector<FakeRasEvent> script;       // posted to the notifier window before RasDialA returns
    char log[16384] = {};                   // one line per call with the arguments it received
};

typedef void(__cdecl* FakeRas_Attach_t)(FakeRasControl* control);
