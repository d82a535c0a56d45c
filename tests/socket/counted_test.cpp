// The components over the counting wsock32.dll: how often Winsock functions are
// called, and the failures only a stand-in can give. The calls still go to the
// system's sockets: the server is real.
#include <gtest/gtest.h>

#include <utility>

#include "countingwsock.h"
#include "harness.h"
#include "testserver.h"

namespace {

using namespace rztest;
using namespace sockettest;

// Holds the wsock32.dll that the binding loads, so that its counts outlive the
// binding's own Unload; each test starts from zero counts and no departures.
class Counted : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto get = reinterpret_cast<RzGetWinsockCountsFn>(
            reinterpret_cast<void*>(GetProcAddress(library_, "RzGetWinsockCounts")));
        ASSERT_NE(get, nullptr) << "the counting wsock32.dll is not the one loaded";
        counts = get();
        *counts = {};
    }

    static inline const HMODULE library_ = LoadLibraryA("wsock32.dll"); // held until the program ends
    RzWinsockCounts* counts = nullptr;
};

TEST_F(Counted, OneCleanupForEachCountedStartupAndOneSendForTheQueryLine)
{
    TestServer server(Script::Answer, "ok\r\n");
    Session{server.Address()}; // a component that never opened cleans nothing up
    {
        Session s(server.Address(), 10, 30);
        s.whois.SetQuery(std::string(2000, 'q'));
        EXPECT_EQ(s.Execute(), "");
        EXPECT_EQ(counts->sends, 1) << "the query line and its CR LF go out in one send";
        s.whois.SetServer("no-such-host.invalid"); // fails after WSAStartup: counted
        EXPECT_NE(s.Execute(), "");
        s.whois.SetServer(""); // fails before WSAStartup: not counted
        EXPECT_NE(s.Execute(), "");
        EXPECT_EQ(counts->startups, 2);
        EXPECT_EQ(counts->cleanups, 0) << "none between exchanges";
    }
    EXPECT_EQ(counts->cleanups, 2);
}

TEST_F(Counted, SlowTrickleAndAModalLoopAreNoTimeOutAndTheReceiveDoesNotPoll)
{
    // 30 pieces of 16 bytes, 150 ms apart, with a time-out of 1 s: only silence counts.
    // At the first data a modal loop (a message box, a window being dragged) runs for
    // 2.5 s inside the receive's wait: it delivers the notices and the ticks but reads
    // nothing, and data waiting to be read counts as activity. Messages of other
    // windows are dispatched inside the wait. A polling receive would call recv
    // thousands of times; one that sleeps until the next notice, a few times a piece.
    TestServer server({.answer = std::string(480, 't'), .pieceSize = 16, .pieceDelayMs = 150});
    Session s(server.Address(), 1, 30);
    int handled = 0;
    Poster other([&] { ++handled; });
    bool held = false;
    s.whois.OnRecvProgress = [&](zt::Component*, std::int32_t progress) {
        other.Post();
        if (progress == 0 || std::exchange(held, true))
            return;
        for (const DWORD start = GetTickCount(); GetTickCount() - start < 2500;) {
            MSG message;
            if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&message);
            else
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
    };
    auto cpu = [] {
        FILETIME t[4];
        GetProcessTimes(GetCurrentProcess(), &t[0], &t[1], &t[2], &t[3]);
        const double high = 4294967296.0 * (t[2].dwHighDateTime + t[3].dwHighDateTime);
        return (high + t[2].dwLowDateTime + t[3].dwLowDateTime) / 1e7; // kernel and user time
    };
    double used = -cpu();
    EXPECT_EQ(s.Execute(), "");
    used += cpu();
    EXPECT_LT(used, 0.25 * s.seconds) << used << " s of CPU in " << s.seconds << " s";
    EXPECT_EQ(s.Response(), std::string(480, 't'));
    EXPECT_GE(handled, 10);
    EXPECT_LE(counts->recvs, 30 * 4 + 10);
}

TEST_F(Counted, HeldServiceLookUp)
{
    // A service look-up that never answers: its time-out falls back to DefaultPort and
    // the exchange goes on; a Cancel from OnOpen ends it, and so does a failure of
    // another window, leaving the request pending until Reset cancels it (its late
    // reply must not end a wait of the next exchange). A reply for another request, in
    // the first pass of the look-up's wait, ends nothing.
    TestServer server(Script::Answer, "by the default port\r\n");
    Session s("127.0.0.1", 1);
    s.whois.SetDefaultPort(server.Port());
    Poster failing([] { throw zt::Exception("failure in another window"); });
    struct { Poster* post; std::string outcome, log; } cases[] = {
        {nullptr, "", "Open, Connect, SendingQuery, LineSent:, Progress, Closed, Closing, Closed"},
        {&s.cancel, kCanceled, "Open, Cancel, Error:Operation has been canceled"},
        {&failing, "Exception: failure in another window", "Open"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.outcome);
        s.log = "";
        s.whois.OnOpen = [&](zt::Component*) {
            s.Log("Open");
            PostMessageA(s.whois.WindowHandle(), zt::WM_SERVICELOOKUP, 1234, 0);
            if (c.post)
                c.post->Post();
        };
        *counts = {.holdServiceLookups = true};
        EXPECT_EQ(s.Execute(), c.outcome);
        s.whois.Reset();
        EXPECT_EQ(s.log, c.log);
        EXPECT_EQ(s.seconds > 0.8, c.outcome.empty()) << "only the time-out takes a second";
        EXPECT_EQ(counts->serviceLookups, 1);
        EXPECT_EQ(counts->cancels, 1);
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
        counts->failWithoutCode = c.function;
        Session s(std::string(c.server) + ":" + std::to_string(server.Port()));
        EXPECT_EQ(s.Execute(), c.outcome);
        EXPECT_LT(s.seconds, 3.0);
        EXPECT_TRUE(s.Idle());
    }
}

} // namespace
