// Helpers of the socket and whois tests: a way to run a call from a message of our
// own, and a whois component set up the way the form sets it up, its events recorded,
// with a watchdog so that no wait of a test can hang.
#pragma once

#include <windows.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "classes/hiddenwnd.h"
#include "whois/ztwhois.h"

namespace sockettest {

inline const std::string kCanceled = "ECanceledError: Operation has been canceled";

// Runs an action inside a message handler of our own window, the way a user action
// does: Post() queues it for the next pass of a wait, After(ms) runs it on a timer.
struct Poster {
    void Post() const { PostMessageA(window.Handle(), WM_APP + 1, 0, 0); }
    void After(int milliseconds) const { SetTimer(window.Handle(), 1, static_cast<UINT>(milliseconds), nullptr); }

    std::function<void()> action;
    zt::HiddenWindow window{[this](UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != WM_APP + 1 && message != WM_TIMER)
            return window.Default(message, wParam, lParam);
        KillTimer(window.Handle(), 1);
        action();
        return LRESULT(0);
    }};
};

// The failure of a call as "ClassName: message"; "" when it returns normally.
inline std::string Attempt(const std::function<void()>& call)
{
    try {
        call();
    } catch (const zt::Exception& e) {
        return std::string(e.ClassName()) + ": " + e.Message();
    } catch (const std::exception& e) {
        return std::string("std::exception: ") + e.what();
    }
    return "";
}

// A whois component with the form's stored values (WinsockLoaded True, DefaultPort
// 43) and a watchdog that cancels any wait after `limit` s. Its events go to `log` as
// "Open, Connect, LineSent:<line>, Progress, Error:<msg>, ...", a run of progress as
// one "Progress", the values to `progress`; OnError replaces the text with
// `replaceError` when that is set.
struct Session {
    explicit Session(const std::string& server, std::int32_t timeOut = 10, int limit = 20)
    {
        whois.ApplyStoredProperties({{"WinsockLoaded", "True"}, {"DefaultPort", "43"}, {"Server", server},
                                     {"TimeOut", std::to_string(timeOut)}});
        using W = zt::TztWhoIs;
        for (auto [event, name] : {std::pair<zt::NotifyEvent W::*, const char*>{&W::OnOpen, "Open"},
                                   {&W::OnConnect, "Connect"}, {&W::OnSendingQuery, "SendingQuery"},
                                   {&W::OnClosing, "Closing"}, {&W::OnClosed, "Closed"}, {&W::OnCancel, "Cancel"}})
            whois.*event = [this, name](zt::Component*) { Log(name); };
        whois.OnLineSent = [this](zt::Component*, std::string line) { Log("LineSent:" + line); };
        whois.OnRecvProgress = [this](zt::Component*, std::int32_t n) { Log("Progress"); progress.push_back(n); };
        whois.OnError = [this](zt::Component*, std::string& msg) {
            Log("Error:" + msg);
            msg = replaceError.empty() ? msg : replaceError;
        };
        watchdog.After(limit * 1000);
    }
    void Log(const std::string& event)
    {
        if (event != "Progress" || !log.ends_with("Progress"))
            log += (log.empty() ? "" : ", ") + event;
    }

    // Execute (or the given steps), timed; the failure as Attempt gives it.
    std::string Execute(const std::function<void()>& steps = nullptr)
    {
        const DWORD start = GetTickCount();
        std::string outcome = Attempt(steps ? steps : [this] { whois.Execute(); });
        seconds = (GetTickCount() - start) / 1000.0;
        return outcome;
    }
    std::string Response() const { return whois.Response().ToString(); }
    // Nothing left behind: no socket, no running time-out, no pending look-up.
    bool Idle() const
    {
        return whois.SocketHandle() == INVALID_SOCKET && !whois.TimerRunning() && !whois.AsyncHandle();
    }

    zt::TztWhoIs whois{nullptr};
    std::string log, replaceError;
    std::vector<std::int32_t> progress;
    bool fired = false; // the watchdog cancelled
    double seconds = 0;
    Poster watchdog{[this] { fired = true; whois.Cancel(); }};
    Poster cancel{[this] { whois.Cancel(); }};
};

} // namespace sockettest
