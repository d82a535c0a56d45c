// Control interface of the scripted stand-in for rasapi32.dll that the dial-up
// component's tests load instead of the platform's library. The tests reach these
// exports through GetProcAddress on the loaded module.
#pragma once

#include <windows.h>

extern "C" {

// One step of a dial script: after delayMs, the dial event (state, error) is posted
// to the notifier window. Steps at the head of a script with delay 0 are posted
// before RasDialA returns, so they all wait in the queue together.
struct FakeRasStep {
    DWORD delayMs;
    DWORD state;
    DWORD error;
};

// Forgets everything: no entries, no connections, no saved password, no failing
// calls, an empty script, an empty log, dial handle 0x5678. Ends a running script.
typedef void(__cdecl* FakeRas_Reset_t)(void);
// The phone-book entries, in the order they are listed.
typedef void(__cdecl* FakeRas_SetEntries_t)(const char* const* names, int count);
// Adds an active connection; ip may be empty (no PPP IP address).
typedef void(__cdecl* FakeRas_AddConnection_t)(const char* entry, HANDLE handle, const char* ip);
// Whether the entries carry a saved password, and which.
typedef void(__cdecl* FakeRas_SetPasswordSaved_t)(int saved, const char* password);
// The named function returns this code from now on (0: succeeds again).
typedef void(__cdecl* FakeRas_FailCall_t)(const char* function, DWORD code);
// The handle RasDialA writes.
typedef void(__cdecl* FakeRas_SetDialHandle_t)(HANDLE handle);
// What the next RasDialA delivers.
typedef void(__cdecl* FakeRas_SetDialScript_t)(const FakeRasStep* steps, int count);
// Copies the call log, one line per call ending in '\n', into the buffer (cut to
// size, zero-terminated); returns the length of the whole log.
typedef int(__cdecl* FakeRas_GetLog_t)(char* buffer, int size);
// Number of script steps posted so far.
typedef int(__cdecl* FakeRas_PostedCount_t)(void);

} // extern "C"
