// The components over the counting wsock32.dll: how often each Winsock function is
// called. The calls still go to the system's sockets: the server is real.
#include <gtest/gtest.h>

#include "countingwsock.h"
#include "harness.h"
#include "testserver.h"

namespace {

using rztest::Script;
using rztest::ServerOptions;
using rztest::TestServer;
using namespace sockettest;

// Holds the wsock32.dll that the binding loads, so that its counters outlive the
// binding's own Unload, and reads them.
class Counted : public ::testing::Test {
protected:
    void SetUp() override
    {
        library_ = LoadLibraryA("wsock32.dll");
        ASSERT_NE(library_, nullptr);
        get_ = reinterpret_cast<RzGetWinsockCountsFn>(
            reinterpret_cast<void*>(GetProcAddress(library_, "RzGetWinsockCounts")));
        hold_ = reinterpret_cast<RzHoldServiceLookupsFn>(
            reinterpret_cast<void*>(GetProcAddress(library_, "RzHoldServiceLookups")));
        ASSERT_NE(get_, nullptr) << "the counting wsock32.dll is not the one loaded";
        ASSERT_NE(hold_, nullptr);
    }
    void TearDown() override
    {
        if (hold_)
            hold_(0);
        if (library_)
            FreeLibrary(library_);
    }
    RzWinsockCounts Now() const { return *get_(); }

    HMODULE library_ = nullptr;
    RzGetWinsockCountsFn get_ = nullptr;
    RzHoldServiceLookupsFn hold_ = nullptr;
};

TEST_F(Counted, OneCleanupForEachCountedStartup)
{
    TestServer server(Script::Answer, "ok\r\n");
    RzWinsockCounts before = Now();
    {
        auto idle = MakeWhois(server.Address());
    }
    EXPECT_EQ(Now().cleanups, before.cleanups) << "a component that never opened cleans nothing";

    before = Now();
    {
        auto whois = MakeWhois(server.Address());
        Watchdog watchdog(*whois, 30);
        whois->Execute();
        whois->Execute();
        // Fails after WSAStartup: still counted.
        whois->SetServer("no-such-host.invalid");
        EXPECT_TRUE(Attempt([&] { whois->Execute(); }).Failed());
        // Fails before WSAStartup: not counted.
        whois->SetServer("");
        EXPECT_TRUE(Attempt([&] { whois->Execute(); }).Failed());
        EXPECT_EQ(whois->StartupCount(), 3);
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
        auto whois = MakeWhois(server.Address());
        Watchdog watchdog(*whois, 30);
        whois->SetQuery(std::string(length, 'q'));
        RzWinsockCounts before = Now();
        whois->Execute();
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
    ServerOptions options;
    options.script = Script::Trickle;
    options.answer = std::string(320, 'p');
    options.trickleSize = 16;
    options.trickleDelayMs = 150;
    TestServer server(options);
    auto whois = MakeWhois(server.Address(), 5);
    Watchdog watchdog(*whois, 30);
    RzWinsockCounts before = Now();
    FILETIME created, exited, kernelBefore, userBefore, kernelAfter, userAfter;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernelBefore, &userBefore);
    Stopwatch watch;
    whois->Execute();
    const double wall = watch.Seconds();
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernelAfter, &userAfter);
    RzWinsockCounts after = Now();
    EXPECT_EQ(ResponseText(*whois), std::string(320, 'p'));
    const long recvs = after.recvs - before.recvs;
    EXPECT_GE(recvs, 20);
    EXPECT_LE(recvs, 20 * 4 + 10) << recvs << " recv calls, " << (after.recvWouldBlock - before.recvWouldBlock)
                                  << " of them would block";

    auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    const double cpu = static_cast<double>(ticks(kernelAfter) - ticks(kernelBefore)
                                           + ticks(userAfter) - ticks(userBefore))
                       / 1e7;
    EXPECT_LT(cpu, 0.25 * wall) << cpu << " s of CPU in " << wall << " s";
}

TEST_F(Counted, ServiceLookUpTimeOutFallsBackAndTheExchangeGoesOn)
{
    TestServer server(Script::Answer, "by the default port\r\n");
    auto whois = MakeWhois("127.0.0.1", 1);
    whois->SetDefaultPort(server.Port());
    EventLog log;
    log.Attach(*whois);
    Watchdog watchdog(*whois, 20);
    hold_(1);
    RzWinsockCounts before = Now();
    Stopwatch watch;
    Outcome outcome = Attempt([&] { whois->Execute(); });
    EXPECT_FALSE(outcome.Failed()) << outcome.className << ": " << outcome.message;
    EXPECT_GT(watch.Seconds(), 0.8) << "the look-up's wait ended by its time-out";
    EXPECT_EQ(Now().serviceLookups - before.serviceLookups, 1);
    EXPECT_EQ(Now().cancels - before.cancels, 1) << "the time-out cancelled the request";
    EXPECT_EQ(whois->Port(), server.Port());
    EXPECT_FALSE(whois->TimedOut());
    EXPECT_EQ(ResponseText(*whois), "by the default port\r\n");
    EXPECT_EQ(log.Joined(),
              "Open, Connect, SendingQuery, LineSent:, Progress, Closed, Closing, Closed");
}

TEST_F(Counted, CancelDuringTheServiceLookUpCancelsTheRequest)
{
    auto whois = MakeWhois("127.0.0.1", 10);
    EventLog log;
    log.Attach(*whois);
    Poster cancel([&] { whois->Cancel(); });
    auto recorder = whois->OnOpen;
    whois->OnOpen = [&](zt::Component* sender) {
        recorder(sender);
        cancel.Post();
    };
    Watchdog watchdog(*whois, 20);
    hold_(1);
    RzWinsockCounts before = Now();
    Outcome outcome = Attempt([&] { whois->Execute(); });
    EXPECT_EQ(outcome.className, "ECanceledError");
    EXPECT_EQ(Now().cancels - before.cancels, 1);
    EXPECT_EQ(Now().sockets - before.sockets, 0);
    EXPECT_EQ(log.Joined(), "Open, Cancel, Error:Operation has been canceled");
    EXPECT_EQ(whois->AsyncHandle(), nullptr);
}

} // namespace
