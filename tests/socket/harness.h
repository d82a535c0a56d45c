// Helpers of the socket and whois tests: an event recorder, a watchdog that ends a
// wait by Cancel, timing, and components set up the way a form sets them up.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classes/hiddenwnd.h"
#include "socket/ztsocket.h"
#include "whois/ztwhois.h"

namespace sockettest {

// Records the events of a component as short texts: "Open", "Connect",
// "SendingQuery", "LineSent:<line>", "Progress:<n>", "Closing", "Closed", "Cancel",
// "Error:<msg>".
class EventLog {
public:
    void Attach(zt::TztSocket& socket);
    void Attach(zt::TztWhoIs& whois);

    std::vector<std::string> events;
    std::vector<std::int32_t> progress;

    // The events with every "Progress:" entry after the first folded away.
    std::vector<std::string> Outline() const;
    std::string Joined() const;
};

// The events of a whole exchange as the component fires them, the progress
// collapsed into its first entry: {"Open", ..., "Progress:0", "Closed", ...}.
std::string Join(const std::vector<std::string>& parts);

// Ends the running wait of a component by Cancel once the time is up, so that a
// test can never hang on a component that does not end its wait by itself.
class Watchdog {
public:
    Watchdog(zt::TztSocket& socket, int seconds);
    ~Watchdog();
    bool Fired() const noexcept { return fired_; }

private:
    zt::TztSocket& socket_;
    std::unique_ptr<zt::HiddenWindow> window_;
    bool fired_ = false;
};

// Runs a call inside a message handler of our own, the way a posted message or a
// user action does: Post queues it, the next pass of a wait runs it.
class Poster {
public:
    explicit Poster(std::function<void()> action);
    void Post() const;

private:
    std::function<void()> action_;
    std::unique_ptr<zt::HiddenWindow> window_;
};

// A whois component set up as the main window's form sets it up: stored
// WinsockLoaded True and DefaultPort 43, then the test's own settings.
std::unique_ptr<zt::TztWhoIs> MakeWhois(const std::string& server, std::int32_t timeOut = 10);
std::unique_ptr<zt::TztSocket> MakeSocket(const std::string& server, std::int32_t timeOut = 10);

// Seconds since a point.
class Stopwatch {
public:
    Stopwatch() : start_(std::chrono::steady_clock::now()) {}
    double Seconds() const
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    std::chrono::steady_clock::time_point start_;
};

// The outcome of a call: the exception's class name and message, or "" for none.
struct Outcome {
    std::string className;
    std::string message;
    bool Failed() const { return !className.empty(); }
};
Outcome Attempt(const std::function<void()>& call);

// Processes messages for a while (stale notices of a closed socket and the like).
void PumpFor(int milliseconds);

std::string ResponseText(const zt::TztWhoIs& whois);

} // namespace sockettest
