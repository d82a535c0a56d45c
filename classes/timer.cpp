#include "timer.h"

#include "hiddenwnd.h"
#include "sysutils.h"

namespace zt {

namespace {
const UINT_PTR kTimerId = 1;
}

Timer::Timer(Component* owner) : Component(owner)
{
    window_ = std::make_unique<HiddenWindow>([this](UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_TIMER) {
            if (enabled_ && OnTimer)
                OnTimer(this);
            return LRESULT(0);
        }
        return window_->Default(message, wParam, lParam);
    });
    Update();
}

Timer::~Timer()
{
    KillTimer(window_->Handle(), kTimerId);
}

void Timer::SetEnabled(bool enabled)
{
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    Update();
}

void Timer::SetInterval(unsigned milliseconds)
{
    if (milliseconds == interval_)
        return;
    interval_ = milliseconds;
    Update();
}

void Timer::Update()
{
    KillTimer(window_->Handle(), kTimerId);
    if (enabled_ && interval_ != 0 && !SetTimer(window_->Handle(), kTimerId, interval_, nullptr))
        throw Exception("Not enough timers available");
}

} // namespace zt
