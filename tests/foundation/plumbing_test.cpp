// Hidden windows, timers and the message pump: an exception raised by a handler
// comes out of the loop that delivered the message, never through Windows' frames.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>

#include "classes/application.h"
#include "classes/dispatch.h"
#include "classes/hiddenwnd.h"
#include "classes/sysutils.h"
#include "classes/timer.h"

namespace {

const UINT kPing = WM_APP + 1;

// Pumps until the predicate holds or the time runs out; true when it held.
template <class Predicate>
bool PumpUntil(Predicate done, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > milliseconds)
            return false;
        zt::Application.ProcessMessages();
        zt::Application.WaitForMessage(50);
    }
    return true;
}

TEST(Plumbing, PostedAndSentMessagesParkTheirHandlersExceptions)
{
    int handled = 0;
    zt::HiddenWindow window([&](UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message != kPing)
            return 7;
        ++handled;
        throw zt::Exception("raised in the handler");
    });
    // Each pass stops at the message whose handler failed and rethrows.
    PostMessageA(window.Handle(), kPing, 0, 0);
    PostMessageA(window.Handle(), kPing, 0, 0);
    for (int pass = 1; pass <= 2; ++pass) {
        EXPECT_THROW(zt::Application.ProcessMessages(), zt::Exception);
        EXPECT_EQ(handled, pass);
    }
    EXPECT_FALSE(zt::HasParkedException());
    // SendMessage calls the window procedure directly through the system.
    EXPECT_EQ(SendMessageA(window.Handle(), kPing, 0, 0), 0);
    EXPECT_THROW(zt::RethrowParked(), zt::Exception);
    EXPECT_EQ(SendMessageA(window.Handle(), WM_APP + 2, 0, 0), 7);
}

TEST(Plumbing, NestedPumpRethrowsIntoTheHandlerThatWaits)
{
    // The outer handler waits like a socket operation does; the inner one fails.
    zt::HiddenWindow inner([](UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == kPing)
            throw std::runtime_error("inner");
        return 0;
    });
    std::string seen;
    zt::HiddenWindow outer([&](UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == kPing) {
            PostMessageA(inner.Handle(), kPing, 0, 0);
            try {
                zt::Application.ProcessMessages();
            } catch (const std::runtime_error& e) {
                seen = e.what();
                throw std::logic_error("outer");
            }
        }
        return 0;
    });
    PostMessageA(outer.Handle(), kPing, 0, 0);
    EXPECT_THROW(zt::Application.ProcessMessages(), std::logic_error);
    EXPECT_EQ(seen, "inner");
}

TEST(Plumbing, TimerTicksOnlyWhilePumpingAndItsHandlersExceptionReachesThePump)
{
    zt::Timer timer(nullptr);
    timer.SetInterval(50);
    int ticks = 0;
    timer.OnTimer = [&](zt::Component* sender) {
        EXPECT_EQ(sender, &timer);
        if (++ticks == 3) {
            timer.SetEnabled(false);
            throw zt::Exception("tick failed");
        }
    };
    // Without message processing nothing ticks.
    Sleep(200);
    EXPECT_EQ(ticks, 0);
    EXPECT_THROW(PumpUntil([&] { return ticks >= 3; }, 5000), zt::Exception);
    EXPECT_EQ(ticks, 3);
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(ticks, 3) << "ticks after the timer was disabled";
}

TEST(Plumbing, WaitForMessageSleepsUntilAMessageArrives)
{
    zt::HiddenWindow window([](UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    zt::Application.ProcessMessages();
    DWORD start = GetTickCount();
    zt::Application.WaitForMessage(300);
    EXPECT_GE(GetTickCount() - start, 250u);

    PostMessageA(window.Handle(), kPing, 0, 0);
    start = GetTickCount();
    zt::Application.WaitForMessage(3000);
    EXPECT_LT(GetTickCount() - start, 1000u);
    zt::Application.ProcessMessages();
}

} // namespace
