// A timer component whose ticks arrive as window messages, so they are handled only
// while messages are processed.
#pragma once

#include <memory>

#include "component.h"

namespace zt {

class HiddenWindow;

class Timer : public Component {
public:
    explicit Timer(Component* owner);
    ~Timer() override;

    bool Enabled() const noexcept { return enabled_; }
    // Enabling a disabled timer starts a fresh period.
    void SetEnabled(bool enabled);
    unsigned Interval() const noexcept { return interval_; }
    void SetInterval(unsigned milliseconds);

    NotifyEvent OnTimer;

private:
    void Update();

    std::unique_ptr<HiddenWindow> window_;
    bool enabled_ = true;
    unsigned interval_ = 1000;
};

} // namespace zt
