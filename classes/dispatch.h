// Exceptions across message dispatch.
//
// A C++ exception must never unwind through a Windows frame (DispatchMessage, a
// window procedure called by the system, a modal loop): this compiler's unwinder
// cannot cross them and the process would end. Every window procedure of ours runs
// its handler through Guarded, which parks whatever the handler throws; the loop
// that dispatched the message (a wait's pass, the main loop) then calls
// RethrowParked on its own stack. So an exception raised in a handler surfaces in
// the loop that delivered the message.
#pragma once

#include <exception>
#include <utility>

namespace zt {

// Keeps the exception until the pumping loop takes it. When one is parked already,
// the first one is kept: it is the cause, later ones are consequences.
void ParkException(std::exception_ptr error) noexcept;
bool HasParkedException() noexcept;
// Rethrows and clears the parked exception, if any.
void RethrowParked();
// Takes the parked exception without rethrowing it.
std::exception_ptr TakeParked() noexcept;

template <class Result, class Handler>
Result Guarded(Result onError, Handler&& handler) noexcept
{
    try {
        return handler();
    } catch (...) {
        ParkException(std::current_exception());
        return onError;
    }
}

} // namespace zt
