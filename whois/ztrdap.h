// The RDAP component: one GET of an RDAP address through the system's WinHTTP,
// asynchronous underneath and blocking to its caller in the manner of the socket
// component: the wait processes the application's messages until the answer is
// whole, a silence of TimeOut seconds or a cancel request ends it. No thread of ours.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "../classes/component.h"
#include "../classes/sysutils.h"
#include "rdaptext.h"

namespace zt {

class Timer;

// A request that failed below HTTP: the server's name not found, no connection, a
// refused secure connection.
class ERdapError : public Exception {
public:
    explicit ERdapError(const std::string& message) : Exception(message) {}
    ZT_CLASS_NAME(ERdapError)
};

class TztRdap : public Component {
public:
    explicit TztRdap(Component* owner);
    ~TztRdap() override;

    // Seconds of silence a request may last; 0 or less waits endlessly.
    std::int32_t TimeOut = 60;
    // Most bytes of a body; past it the reading stops and BodyTooLarge is set.
    std::size_t MaxBody = rdap::kMaxBody;

    // GET with "Accept: application/rdap+json", redirects followed. Returns once the
    // whole answer is in, whatever its status; raises ETimedOutError, ECanceledError
    // or ERdapError.
    void Execute(const std::string& url);
    // Ends a running Execute as cancelled; may be called from code that runs inside
    // its wait.
    void Cancel();

    // The last answer.
    unsigned Status() const noexcept { return status_; }
    const std::string& RetryAfter() const noexcept { return retryAfter_; }
    const std::string& Body() const noexcept { return body_; }
    bool BodyTooLarge() const noexcept { return tooLarge_; }

private:
    struct Request;
    void Step(Request& request, unsigned event, std::uintptr_t value);

    Timer* timer_ = nullptr;
    std::int32_t countdown_ = 0;
    bool running_ = false;
    bool done_ = false;
    bool canceled_ = false;
    bool timedOut_ = false;
    unsigned long error_ = 0;
    unsigned status_ = 0;
    std::string retryAfter_;
    std::string body_;
    bool tooLarge_ = false;
};

} // namespace zt
