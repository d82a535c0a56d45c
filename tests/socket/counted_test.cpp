// The components over the counting wsock32.dll: how often each Winsock function is
// called. The calls still go to the system's sockets: the server is real.
#include <gtest/gtest.h>

#include <stdexcept>

#include "countingwsock.h"
#include "harness.h"
#include "testserver.h"

namespace {

using rztest::Script;
using rztest::TestServer;
using namespace sockettest;

// Holds the wsock32.dll that the binding loads, so that its counters outlive the
// binding's own Unload, and reads them.
class Counted : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(get_ && hold_) << "the counting wsock32.dll is not the one loaded";
    }
    ~Counted() override
    {
        if (hold_)
            hold_(0);
        if (failWithoutCode_)
            failWithoutCode_("");
        FreeLibrary(library_);
    }
    template <class Function> Function Proc(const char* name) const
    {
        return library_ ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library_, name))) : nullptr;
    }
    RzWinsockCounts Now() const { return *get_(); }

    HMODULE library_ = LoadLibraryA("wsock32.dll");
    RzGetWinsockCountsFn get_ = Proc<RzGetWinsockCountsFn>("RzGetWinsockCounts");
    RzHoldServiceLookupsFn hold_ = Proc<RzHoldServiceLookupsFn>("RzHoldServiceLookups");
    RzFailWithoutCodeFn failWithoutCode_ = Proc<RzFailWithoutCodeFn>("RzFailWithoutCode");
};

TEST_F(Counted, OneCleanupForEachCountedStartup)
{
    TestServer server(Script::Answer, "ok\r\n");
    RzWinsockCounts before = Now();
    {
        Session idle(server.Address());
    }
    EXPECT_EQ(Now().cleanups, before.cleanups) << "a component that never opened cleans nothing";
    {
        Session s(server.Address(), 10, 30);
        s.Execute();
        s.Execute();
        s.whois.SetServer("no-such-host.invalid"); // fails after WSAStartup: counted
        EXPECT_NE(s.Execute(), "");
        s.whois.SetServer(""); // fails before WSAStartup: not counted
        EXPECT_NE(s.Execute(), "");
        EXPECT_EQ(s.whois.StartupCount(), 3);
        EXPECT_EQ(Now().startups - before.startups, 3);
        EXPECT_EQ(Now().cleanups, before.cleanups) << "no WSACleanup between exchanges";
    }
    RzWinsockCounts after = Now();
    EXPECT_EQ(after.cleanups - before.cleanups, 3);
    EXPECT_EQ(after.cleanupsFailed, before.cleanupsFailed);
    EXPECT_EQ(after.sockets - before.sockets, 2) << "the failed look-up made no socket";
    EXPECT_EQ(after.closes - before.closes, 2);
}

TEST_F(Counted, TheQueryLineGoesOutInOneSend)
{
    TestServer server(Script::Answer, "ok\r\n");
    for (std::size_t length : {0u, 12u, 2000u}) {
        SCOPED_TRACE(length);
        Session s(server.Address(), 10, 30);
        s.whois.SetQuery(std::string(length, 'q'));
        RzWinsockCounts before = Now();
        EXPECT_EQ(s.Execute(), "");
        EXPECT_EQ(Now().sends - before.sends, 1);
        EXPECT_EQ(Now().connects - before.connects, 1);
    }
    ASSERT_TRUE(server.WaitFinished(3, 5000));
    EXPECT_EQ(server.Received()[2], std::string(2000, 'q') + "\r\n");
}

TEST_F(Counted, ReceiveWaitsForNoticesInsteadOfPolling)
{
    // Twenty pieces, 150 ms apart: a polling receive would call recv thousands of
    // times; one that sleeps until the next notice calls it a few times a piece.
    TestServer server({.script = Script::Trickle, .answer = std::string(320, 'p')});
    Session s(server.Address(), 5, 30);
    auto cpu = [] {
        FILETIME created, exited, kernel, user;
        GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
        auto seconds = [](const FILETIME& t) { return ((1ull * t.dwHighDateTime << 32) | t.dwLowDateTime) / 1e7; };
        return seconds(kernel) + seconds(user);
    };
    RzWinsockCounts before = Now();
    const double cpuBefore = cpu();
    EXPECT_EQ(s.Execute(), "");
    const double used = cpu() - cpuBefore;
    EXPECT_EQ(s.Response(), std::string(320, 'p'));
    const long recvs = Now().recvs - before.recvs;
    EXPECT_GE(recvs, 20);
    EXPECT_LE(recvs, 20 * 4 + 10) << (Now().recvWouldBlock - before.recvWouldBlock) << " would block";
    EXPECT_LT(used, 0.25 * s.seconds) << used << " s of CPU in " << s.seconds << " s";
}

TEST_F(Counted, HeldServiceLookUp)
{
    // A service look-up that never answers: its time-out falls back to DefaultPort and
    // the exchange goes on; a Cancel from OnOpen ends it. Either way the request is
    // cancelled.
    TestServer server(Script::Answer, "by the default port\r\n");
    struct { bool cancel; std::string outcome, log; int sockets; } cases[] = {
        {false, "", "Open, Connect, SendingQuery, LineSent:, Progress, Closed, Closing, Closed", 1},
        {true, kCanceled, "Open, Cancel, Error:Operation has been canceled", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log);
        Session s("127.0.0.1", 1);
        s.whois.SetDefaultPort(server.Port());
        if (c.cancel)
            s.CancelAfterOpen();
        hold_(1);
        RzWinsockCounts before = Now();
        EXPECT_EQ(s.Execute(), c.outcome);
        EXPECT_EQ(s.log.Joined(), c.log);
        EXPECT_GT(s.seconds, c.cancel ? 0.0 : 0.8) << "the look-up's wait ends by its time-out";
        EXPECT_EQ(Now().serviceLookups - before.serviceLookups, 1);
        EXPECT_EQ(Now().cancels - before.cancels, 1);
        EXPECT_EQ(Now().sockets - before.sockets, c.sockets);
        EXPECT_TRUE(s.Idle());
    }
}

TEST_F(Counted, AFailureWithoutACodeIsReportedAtOnce)
{
    // Never a wait for a reply that cannot come.
    TestServer server(Script::Answer, "never read\r\n");
    const struct { const char *function, *server, *outcome; } cases[] = {
        {"WSAAsyncGetHostByName", "localhost", "ESocketError: Error resolving remote host"},
        {"WSAAsyncSelect", "127.0.0.1", "ESocketError: Windows Sockets call WSAAsyncSelect failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.function);
        failWithoutCode_(c.function);
        Session s(std::string(c.server) + ":" + std::to_string(server.Port()));
        EXPECT_EQ(s.Execute(), c.outcome);
        EXPECT_LT(s.seconds, 3.0);
        EXPECT_TRUE(s.Idle());
    }
}

TEST_F(Counted, ResetCancelsALookUpThatAFailureLeftPending)
{
    // A failure of another window leaves the held look-up's wait; its late reply must
    // not end a wait of the next exchange.
    Session s("127.0.0.1");
    Poster failing([] { throw std::runtime_error("failure in another window"); });
    s.whois.OnOpen = [&](zt::Component*) { failing.Post(); };
    hold_(1);
    EXPECT_EQ(s.Execute(), "std::exception: failure in another window");
    ASSERT_NE(s.whois.AsyncHandle(), nullptr);
    const long cancels = Now().cancels;
    s.whois.Reset();
    EXPECT_EQ(Now().cancels - cancels, 1);
    EXPECT_EQ(s.whois.AsyncHandle(), nullptr);
}

} // namespace
