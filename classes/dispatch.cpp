#include "dispatch.h"

namespace zt {

namespace {
thread_local std::exception_ptr parked;
}

void ParkException(std::exception_ptr error) noexcept
{
    if (!parked)
        parked = std::move(error);
}

bool HasParkedException() noexcept { return static_cast<bool>(parked); }

std::exception_ptr TakeParked() noexcept
{
    std::exception_ptr error = std::move(parked);
    parked = nullptr;
    return error;
}

void RethrowParked()
{
    if (std::exception_ptr error = TakeParked())
        std::rethrow_exception(error);
}

} // namespace zt
