// Helpers of the dial-up component's tests: bounded message pumping, the control
// exports of the stand-in library, and a watcher that answers error boxes.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "fake_rasapi32/fakeras.h"

namespace rastest {

// Milliseconds since an arbitrary start.
inline DWORD Now() { return GetTickCount(); }

// Processes messages until the predicate holds or the time runs out; true when it
// held. Exceptions from handlers come out of here as from any pumping loop.
bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds);

// Processes messages for the given time.
void PumpFor(DWORD milliseconds);

// The control exports of the loaded stand-in library.
struct FakeRas {
    FakeRas_Reset_t Reset = nullptr;
    FakeRas_SetEntries_t SetEntriesRaw = nullptr;
    FakeRas_AddConnection_t AddConnectionRaw = nullptr;
    FakeRas_SetPasswordSaved_t SetPasswordSaved = nullptr;
    FakeRas_FailCall_t FailCall = nullptr;
    FakeRas_SetDialHandle_t SetDialHandle = nullptr;
    FakeRas_SetDialScript_t SetDialScriptRaw = nullptr;
    FakeRas_GetLog_t GetLogRaw = nullptr;
    FakeRas_PostedCount_t PostedCount = nullptr;

    // Loads rasapi32.dll and finds the exports; false when it is not the stand-in.
    bool Load();
    ~FakeRas();

    void SetEntries(const std::vector<std::string>& names);
    void AddConnection(const std::string& entry, UINT_PTR handle, const std::string& ip);
    void SetDialScript(const std::vector<FakeRasStep>& steps);
    // The call log, one line per call.
    std::vector<std::string> Log();
    // The lines of the log that start with the function's name.
    std::vector<std::string> Calls(const std::string& function);
    void ClearLog();

    HMODULE module = nullptr;
    std::size_t logStart = 0;
};

// Answers the error boxes ("#32770" windows captioned "Error") of this process that
// appear while it lives: records each box's text and whether it shows the error
// icon, then presses OK. The box loop of MessageBox runs on the test's thread, so
// the watcher runs on a thread of its own. A box still up after the time limit is
// closed all the same, so a test never hangs on one.
class BoxWatcher {
public:
    struct Box {
        std::string caption;
        std::string text;
        bool errorIcon = false;
    };

    explicit BoxWatcher(DWORD limitMilliseconds = 20000);
    ~BoxWatcher();
    // Stops watching and returns the boxes seen, in order.
    std::vector<Box> Finish();

private:
    void Run();

    std::atomic<bool> stop_{false};
    DWORD limit_;
    std::vector<Box> boxes_;
    std::thread thread_;
};

// The boxes that running the action shows.
std::vector<BoxWatcher::Box> BoxesDuring(const std::function<void()>& action);

} // namespace rastest
