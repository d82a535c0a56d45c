// Helpers of the socket and whois tests: an event recorder, a way to run a call
// from a message of our own, and a whois component set up the way the form sets it
// up, with a watchdog so that no wait of a test can hang.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "classes/hiddenwnd.h"
#include "socket/ztsocket.h"
#include "whois/ztwhois.h"

namespace sockettest {

inline const std::string kCanceled = "ECanceledError: Operation has been canceled";

// Records the events of a component as "Open", "LineSent:<line>", "Progress:<n>",
// "Error:<msg>", ...; Joined() lists them with each run of progress as "Progress".
struct EventLog {
    std::vector<std::string> events;
    std::vector<std::int32_t> progress;

    void Attach(zt::TztSocket& socket)
    {
        auto on = [this](const char* name) { return [this, name](zt::Component*) { events.push_back(name); }; };
        socket.OnOpen = on("Open");
        socket.OnConnect = on("Connect");
        socket.OnClosing = on("Closing");
        socket.OnClosed = on("Closed");
        socket.OnCancel = on("Cancel");
        socket.OnLineSent = [this](zt::Component*, std::string line) { events.push_back("LineSent:" + line); };
        socket.OnRecvProgress = [this](zt::Component*, std::int32_t value) {
            events.push_back("Progress:" + std::to_string(value));
            progress.push_back(value);
        };
        socket.OnError = [this](zt::Component*, std::string& msg) { events.push_back("Error:" + msg); };
        if (auto* whois = dynamic_cast<zt::TztWhoIs*>(&socket))
            whois->OnSendingQuery = on("SendingQuery");
    }

    std::string Joined() const
    {
        std::string text, last;
        for (const std::string& event : events) {
            std::string item = event.rfind("Progress:", 0) == 0 ? "Progress" : event;
            if (item != "Progress" || last != "Progress")
                text += (text.empty() ? "" : ", ") + item;
            last = item;
        }
        return text;
    }
};

// Runs an action inside a message handler of our own window, the way a user action
// does: Post() queues it for the next pass of a wait, After(ms) runs it on a timer.
class Poster {
public:
    explicit Poster(std::function<void()> action) : action_(std::move(action)) {}
    void Post() const { PostMessageA(window_.Handle(), WM_APP + 1, 0, 0); }
    void After(int milliseconds) const { SetTimer(window_.Handle(), 1, static_cast<UINT>(milliseconds), nullptr); }

private:
    std::function<void()> action_;
    zt::HiddenWindow window_{[this](UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != WM_APP + 1 && message != WM_TIMER)
            return window_.Default(message, wParam, lParam);
        KillTimer(window_.Handle(), 1);
        action_();
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
// 43), its events recorded, and a watchdog that cancels any wait after `limit` s.
struct Session {
    explicit Session(const std::string& server, std::int32_t timeOut = 10, int limit = 20)
    {
        whois.ApplyStoredProperties({{"WinsockLoaded", "True"}, {"DefaultPort", "43"}});
        whois.SetServer(server);
        whois.SetTimeOut(timeOut);
        log.Attach(whois);
        watchdog.After(limit * 1000);
    }

    // Execute (or the given steps), timed; the failure as Attempt gives it.
    std::string Execute(const std::function<void()>& steps = nullptr)
    {
        const auto start = std::chrono::steady_clock::now();
        std::string outcome = Attempt(steps ? steps : [this] { whois.Execute(); });
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return outcome;
    }
    std::string Response() const { return whois.Response().ToString(); }
    // Nothing left behind: no socket, no running time-out, no pending look-up.
    bool Idle() const
    {
        return whois.SocketHandle() == INVALID_SOCKET && !whois.TimerRunning() && whois.AsyncHandle() == nullptr;
    }

    // Reset, Open and Close: the outcome of Open.
    std::string Open()
    {
        whois.Reset();
        std::string outcome = Attempt([this] { whois.Open(); });
        whois.Close();
        return outcome;
    }
    // Cancel from a message posted by OnOpen: it runs in the first pass of the look-up's wait.
    void CancelAfterOpen() { whois.OnOpen = [this](zt::Component*) { log.events.push_back("Open"); cancel.Post(); }; }

    zt::TztWhoIs whois{nullptr};
    EventLog log;
    bool fired = false; // the watchdog cancelled
    double seconds = 0;
    Poster watchdog{[this] {
        fired = true;
        whois.Cancel();
    }};
    Poster cancel{[this] { whois.Cancel(); }};
};

} // namespace sockettest
