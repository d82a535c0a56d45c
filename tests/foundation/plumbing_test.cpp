// Hidden windows, timers and the message pump: an exception raised by a handler
// comes out of the loop that delivered the message, never through Windows' frames.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>
#include <string>

#include "classes/application.h"
#include "classes/dispatch.h"
#include "classes/hiddenwnd.h"
#include "classes/sysutils.h"
#include "classes/timer.h"

namespace {

const UINT kPing = WM_APP + 1;

TEST(Plumbing, AHandlersExceptionComesOutOfTheLoopThatDeliveredItsMessage)
{
    // A ping with a first parameter of 0 fails; one of 1 waits like a socket operation
    // does, for a ping of 0 that it posts.
    std::string seen;
    zt::HiddenWindow window([&](UINT message, WPARAM waits, LPARAM) -> LRESULT {
        if (message != kPing)
            return 7;
        seen += waits ? "wait " : "fail ";
        if (!waits)
            throw zt::Exception("raised in the handler");
        PostMessageA(window.Handle(), kPing, 0, 0);
        try {
            zt::Application.ProcessMessages();
        } catch (const zt::Exception& e) {
            seen += "caught: " + e.Message();
            throw std::logic_error("raised after the wait");
        }
        return 0;
    });
    // Each pass stops at the message whose handler failed and rethrows.
    PostMessageA(window.Handle(), kPing, 0, 0);
    PostMessageA(window.Handle(), kPing, 0, 0);
    for (int pass = 0; pass < 2; ++pass)
        EXPECT_THROW(zt::Application.ProcessMessages(), zt::Exception);
    EXPECT_FALSE(zt::HasParkedException());
    // SendMessage calls the window procedure directly through the system.
    EXPECT_EQ(SendMessageA(window.Handle(), kPing, 0, 0), 0);
    EXPECT_THROW(zt::RethrowParked(), zt::Exception);
    EXPECT_EQ(SendMessageA(window.Handle(), WM_APP + 2, 0, 0), 7);
    PostMessageA(window.Handle(), kPing, 1, 0);
    EXPECT_THROW(zt::Application.ProcessMessages(), std::logic_error);
    EXPECT_EQ(seen, "fail fail fail wait fail caught: raised in the handler");
}

TEST(Plumbing, WaitForMessageSleepsUntilOneArrivesAndTimersTickOnlyWhilePumping)
{
    zt::Application.ProcessMessages();
    DWORD start = GetTickCount();
    zt::Application.WaitForMessage(300);
    EXPECT_GE(GetTickCount() - start, 250u);
    PostThreadMessageA(GetCurrentThreadId(), kPing, 0, 0);
    start = GetTickCount();
    zt::Application.WaitForMessage(3000);
    EXPECT_LT(GetTickCount() - start, 1000u);

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
    Sleep(200);
    EXPECT_EQ(ticks, 0) << "ticks without message processing";
    // At 50 ms the third tick comes well within a second; its exception ends the
    // pumping, and no tick follows once disabled.
    EXPECT_THROW(for (start = GetTickCount(); GetTickCount() - start < 1000; zt::Application.WaitForMessage(50))
                     zt::Application.ProcessMessages(),
                 zt::Exception);
    Sleep(300);
    zt::Application.ProcessMessages();
    EXPECT_EQ(ticks, 3);
}

} // namespace
