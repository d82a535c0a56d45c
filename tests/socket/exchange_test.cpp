// Whole exchanges against the scripted server on 127.0.0.1: the events and their
// order, what goes over the wire, what the answer holds, and every way an exchange
// can end.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "harness.h"
#include "testserver.h"

namespace {

using rztest::Script;
using rztest::ServerOptions;
using rztest::TestServer;
using namespace sockettest;

// Checks the progress counts of a finished receive: 0 first, running totals that
// never shrink, and the last one repeating the final total.
void ExpectProgress(const std::vector<std::int32_t>& progress, std::int32_t total)
{
    ASSERT_GE(progress.size(), 3u);
    EXPECT_EQ(progress.front(), 0);
    for (std::size_t i = 1; i < progress.size(); ++i)
        EXPECT_LE(progress[i - 1], progress[i]) << "at " << i;
    EXPECT_EQ(progress.back(), total);
    EXPECT_EQ(progress[progress.size() - 2], total);
}

TEST(Exchange, SocketOperationsFireTheirEventsInOrder)
{
    TestServer server(Script::Answer, "Domain: example.test\r\nStatus: active\r\n");
    auto socket = MakeSocket(server.Address());
    EventLog log;
    log.Attach(*socket);
    Watchdog watchdog(*socket, 20);
    zt::MemoryStream stream;

    socket->Reset();
    socket->Open();
    socket->Connect();
    socket->SendLine("example.test");
    socket->ReceiveToStream(stream);
    EXPECT_TRUE(socket->Closed());
    EXPECT_NE(socket->SocketHandle(), INVALID_SOCKET) << "the receive leaves the socket open";
    socket->Close();

    EXPECT_EQ(log.Joined(), "Open, Connect, LineSent:example.test, Progress, Closed, Closing, Closed");
    ExpectProgress(log.progress, 38);
    EXPECT_EQ(stream.ToString(), "Domain: example.test\r\nStatus: active\r\n");
    EXPECT_EQ(stream.Position(), 0u);
    EXPECT_EQ(socket->SocketHandle(), INVALID_SOCKET);
    EXPECT_FALSE(socket->TimerRunning());
    ASSERT_TRUE(server.WaitFinished(1, 5000));
    EXPECT_EQ(server.LastReceived(), "example.test\r\n");
}

TEST(Exchange, ExecuteRunsOneWholeExchange)
{
    TestServer server(Script::Answer, "answer line\r\n");
    auto whois = MakeWhois(server.Address());
    EventLog log;
    log.Attach(*whois);
    Watchdog watchdog(*whois, 20);
    whois->SetQuery("example.test");

    whois->Execute();

    EXPECT_EQ(log.Joined(),
              "Open, Connect, SendingQuery, LineSent:example.test, Progress, Closed, Closing, Closed");
    ExpectProgress(log.progress, 13);
    EXPECT_EQ(ResponseText(*whois), "answer line\r\n");
    EXPECT_EQ(whois->Response().Position(), 0u);
    EXPECT_EQ(whois->SocketHandle(), INVALID_SOCKET);
    ASSERT_TRUE(server.WaitFinished(1, 5000));
    EXPECT_EQ(server.LastReceived(), "example.test\r\n");

    // The same component runs the next exchange the same way.
    log.events.clear();
    log.progress.clear();
    whois->SetQuery("second.test");
    whois->Execute();
    EXPECT_EQ(log.Joined(),
              "Open, Connect, SendingQuery, LineSent:second.test, Progress, Closed, Closing, Closed");
    EXPECT_EQ(ResponseText(*whois), "answer line\r\n");
    ASSERT_TRUE(server.WaitFinished(2, 5000));
    EXPECT_EQ(server.LastReceived(), "second.test\r\n");
}

TEST(Exchange, QueryOnTheWire)
{
    struct Case {
        const char* name;
        std::string query;          // Query before Execute
        std::string replacement;    // set by OnSendingQuery when not empty
        std::string expected;       // what the server receives
    } cases[] = {
        {"empty query sends CR LF alone", "", "", "\r\n"},
        {"plain query", "example.test", "", "example.test\r\n"},
        {"OnSendingQuery changes what is sent", "first.test", "changed.test", "changed.test\r\n"},
        {"8-bit bytes go out unchanged", "\xE9t\xE9.test", "", "\xE9t\xE9.test\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestServer server(Script::Answer, "reply\r\n");
        auto whois = MakeWhois(server.Address());
        Watchdog watchdog(*whois, 20);
        whois->SetQuery(c.query);
        std::string replacement = c.replacement;
        if (!replacement.empty())
            whois->OnSendingQuery = [&](zt::Component* sender) {
                static_cast<zt::TztWhoIs*>(sender)->SetQuery(replacement);
            };
        whois->Execute();
        EXPECT_EQ(ResponseText(*whois), "reply\r\n");
        ASSERT_TRUE(server.WaitFinished(1, 5000));
        EXPECT_EQ(server.LastReceived(), c.expected);
    }
}

TEST(Exchange, AnswerIsKeptByteForByte)
{
    static const char raw[] = "line one\r\n\0\0zero\0bytes\n\r\x01\x7F\x80\xFF end";
    std::string answer(raw, sizeof raw - 1);
    answer += std::string(20000, '\0');
    answer += "tail";
    TestServer server(Script::Answer, answer);
    auto whois = MakeWhois(server.Address());
    Watchdog watchdog(*whois, 20);
    whois->SetQuery("q");
    whois->Execute();
    ASSERT_EQ(whois->Response().Size(), answer.size());
    EXPECT_TRUE(ResponseText(*whois) == answer);
}

TEST(Exchange, AnswerInOneByteSegments)
{
    std::string answer;
    for (int i = 0; i < 300; ++i)
        answer += static_cast<char>(i * 7);
    ServerOptions options;
    options.script = Script::Chunks;
    options.answer = answer;
    TestServer server(options);
    auto whois = MakeWhois(server.Address(), 2);
    EventLog log;
    log.Attach(*whois);
    Watchdog watchdog(*whois, 20);
    whois->Execute();
    EXPECT_TRUE(ResponseText(*whois) == answer);
    ExpectProgress(log.progress, 300);
}

TEST(Exchange, HundredMebibyteAnswer)
{
    const std::size_t size = 100u << 20;
    ServerOptions options;
    options.script = Script::Huge;
    options.hugeSize = size;
    TestServer server(options);
    auto whois = MakeWhois(server.Address());
    std::int32_t last = -1;
    int calls = 0;
    whois->OnRecvProgress = [&](zt::Component*, std::int32_t progress) {
        last = progress;
        ++calls;
    };
    Watchdog watchdog(*whois, 120);
    whois->Execute();
    ASSERT_EQ(whois->Response().Size(), size);
    EXPECT_EQ(last, static_cast<std::int32_t>(size));
    const char* data = whois->Response().Memory();
    const std::size_t block = 1 << 20;
    for (std::size_t offset = 0; offset < size; offset += block) {
        std::string expected = rztest::GeneratedBytes(offset, block);
        ASSERT_EQ(std::memcmp(data + offset, expected.data(), block), 0) << "at " << offset;
    }
}

TEST(Exchange, PeerClosingWithoutSendingGivesAnEmptyAnswer)
{
    TestServer server(Script::CloseSilently);
    auto whois = MakeWhois(server.Address(), 60);
    EventLog log;
    log.Attach(*whois);
    Watchdog watchdog(*whois, 20);
    whois->SetQuery("q");
    whois->Response().Write("old", 3);
    Stopwatch watch;
    Outcome outcome = Attempt([&] { whois->Execute(); });
    EXPECT_FALSE(outcome.Failed()) << outcome.className << ": " << outcome.message;
    EXPECT_LT(watch.Seconds(), 5.0) << "ends on the close, not by the time-out";
    EXPECT_EQ(whois->Response().Size(), 0u);
    EXPECT_EQ(log.Joined(), "Open, Connect, SendingQuery, LineSent:q, Progress, Closed, Closing, Closed");
    EXPECT_EQ(log.progress.back(), 0);
}

TEST(Exchange, RefusedConnectionFailsAtOnce)
{
    TestServer server(Script::Refuse);
    auto whois = MakeWhois(server.Address(), 60);
    EventLog log;
    log.Attach(*whois);
    Watchdog watchdog(*whois, 15);
    Stopwatch watch;
    Outcome outcome = Attempt([&] { whois->Execute(); });
    EXPECT_EQ(outcome.className, "ESocketError");
    EXPECT_EQ(outcome.message, "[10061] Connection refused");
    EXPECT_LT(watch.Seconds(), 3.0);
    EXPECT_FALSE(watchdog.Fired());
    // Close runs after the failure and releases the socket.
    EXPECT_EQ(log.Joined(), "Open, Error:[10061] Connection refused, Closing, Closed");
    EXPECT_EQ(whois->SocketHandle(), INVALID_SOCKET);
    EXPECT_FALSE(whois->TimerRunning());
}

TEST(Exchange, SilentServerTimesOut)
{
    TestServer server(Script::Silent);
    auto whois = MakeWhois(server.Address(), 1);
    EventLog log;
    log.Attach(*whois);
    Watchdog watchdog(*whois, 15);
    whois->SetQuery("q");
    Stopwatch watch;
    Outcome outcome = Attempt([&] { whois->Execute(); });
    EXPECT_EQ(outcome.className, "ETimedOutError");
    EXPECT_EQ(outcome.message, "Operation timed out");
    EXPECT_GT(watch.Seconds(), 0.8);
    EXPECT_LT(watch.Seconds(), 4.0);
    // OnError first, then the time-out closes the socket, then the exception leaves.
    EXPECT_EQ(log.Joined(),
              "Open, Connect, SendingQuery, LineSent:q, Progress, Error:Operation timed out, Closing, Closed");
    EXPECT_TRUE(whois->TimedOut());
    EXPECT_FALSE(whois->TimerRunning());
    EXPECT_EQ(whois->SocketHandle(), INVALID_SOCKET);
}

TEST(Exchange, TimeOutZeroNeverEndsAWait)
{
    TestServer server(Script::Silent);
    auto whois = MakeWhois(server.Address(), 0);
    Watchdog watchdog(*whois, 3);
    Stopwatch watch;
    Outcome outcome = Attempt([&] { whois->Execute(); });
    EXPECT_EQ(outcome.className, "ECanceledError") << "only the watchdog's Cancel ends it";
    EXPECT_TRUE(watchdog.Fired());
    EXPECT_GT(watch.Seconds(), 2.5);
    EXPECT_FALSE(whois->TimedOut());
}

TEST(Exchange, StalledAnswerTimesOutAndKeepsWhatCame)
{
    ServerOptions options;
    options.script = Script::StallAfterPart;
    options.answer = std::string(3000, 'x') + "never sent";
    options.partSize = 3000;
    TestServer server(options);
    auto whois = MakeWhois(server.Address(), 2);
    EventLog log;
    log.Attach(*whois);
    Watchdog watchdog(*whois, 20);
    Stopwatch watch;
    Outcome outcome = Attempt([&] { whois->Execute(); });
    EXPECT_EQ(outcome.className, "ETimedOutError");
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_GT(watch.Seconds(), 1.8);
    EXPECT_LT(watch.Seconds(), 6.0);
    EXPECT_EQ(ResponseText(*whois), std::string(3000, 'x'));
    EXPECT_EQ(whois->Response().Position(), 0u);
    EXPECT_EQ(log.events.back(), "Closed");
}

TEST(Exchange, SlowTrickleIsNotATimeOut)
{
    // Pieces every 150 ms for about 3 s in all, with a time-out of 1 s: only
    // silence counts, not the length of the answer.
    ServerOptions options;
    options.script = Script::Trickle;
    options.answer = std::string(320, 't');
    options.trickleSize = 16;
    options.trickleDelayMs = 150;
    TestServer server(options);
    auto whois = MakeWhois(server.Address(), 1);
    Watchdog watchdog(*whois, 20);
    Stopwatch watch;
    Outcome outcome = Attempt([&] { whois->Execute(); });
    EXPECT_FALSE(outcome.Failed()) << outcome.className << ": " << outcome.message;
    EXPECT_EQ(ResponseText(*whois), std::string(320, 't'));
    EXPECT_GT(watch.Seconds(), 2.5);
}

TEST(Exchange, ResetDuringTheAnswerKeepsWhatCame)
{
    // The server sends a part and then resets the connection (a close with a zero
    // linger time): after a pause, when the part has arrived whole, or at once,
    // when the reset discards what the server had not sent yet. The exchange ends
    // with the reset's error or, where the sockets library reports the reset as an
    // orderly close (Wine does), as an answer cut short; either way at once, with
    // every byte that came kept in order.
    struct Case {
        const char* name;
        std::size_t part;
        int delayMs;
        bool whole; // the part arrives whole
    } cases[] = {
        {"reset after a pause", 1000, 300, true},
        {"reset right after a long part", 4000000, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ServerOptions options;
        options.script = Script::ResetAfterPart;
        options.answer = rztest::GeneratedBytes(0, c.part) + "never sent";
        options.partSize = c.part;
        options.resetDelayMs = c.delayMs;
        TestServer server(options);
        auto whois = MakeWhois(server.Address(), 10);
        EventLog log;
        log.Attach(*whois);
        Watchdog watchdog(*whois, 20);
        Stopwatch watch;
        Outcome outcome = Attempt([&] { whois->Execute(); });
        if (outcome.Failed()) {
            EXPECT_EQ(outcome.className, "ESocketError");
            EXPECT_EQ(outcome.message, "[10054] Connection reset by peer");
        }
        std::printf("[ INFO     ] %s: %s after %zu bytes\n", c.name,
                    outcome.Failed() ? outcome.message.c_str() : "orderly end",
                    whois->Response().Size());
        EXPECT_LT(watch.Seconds(), 5.0);
        EXPECT_FALSE(watchdog.Fired());
        const std::string received = ResponseText(*whois);
        if (c.whole) {
            EXPECT_EQ(received.size(), c.part);
        }
        EXPECT_LE(received.size(), c.part);
        EXPECT_TRUE(received == rztest::GeneratedBytes(0, received.size()));
        EXPECT_EQ(whois->SocketHandle(), INVALID_SOCKET);
    }
}

TEST(Exchange, CancelFromRecvProgressKeepsTheBytesSoFar)
{
    ServerOptions options;
    options.script = Script::Huge;
    options.hugeSize = 8u << 20;
    TestServer server(options);
    auto whois = MakeWhois(server.Address());
    EventLog log;
    log.Attach(*whois);
    auto recorder = whois->OnRecvProgress;
    std::int32_t atCancel = -1;
    whois->OnRecvProgress = [&](zt::Component* sender, std::int32_t progress) {
        recorder(sender, progress);
        if (progress >= 100000 && atCancel < 0) {
            atCancel = progress;
            whois->Cancel();
        }
    };
    Watchdog watchdog(*whois, 30);
    Outcome outcome = Attempt([&] { whois->Execute(); });
    EXPECT_EQ(outcome.className, "ECanceledError");
    EXPECT_EQ(outcome.message, "Operation has been canceled");
    EXPECT_FALSE(watchdog.Fired());
    ASSERT_GT(atCancel, 0);
    // Cancel closes the socket; the wait ends after its pass; nothing is received
    // after the Cancel, and Execute's own Close finds no socket left.
    EXPECT_EQ(whois->Response().Size(), static_cast<std::size_t>(atCancel));
    EXPECT_EQ(log.progress.back(), atCancel);
    EXPECT_TRUE(ResponseText(*whois) == rztest::GeneratedBytes(0, atCancel));
    std::vector<std::string> tail(log.events.end() - 4, log.events.end());
    EXPECT_EQ(Join(tail), "Cancel, Closing, Closed, Error:Operation has been canceled");
    EXPECT_EQ(whois->SocketHandle(), INVALID_SOCKET);
}

TEST(Exchange, CancelWhileTheHostLookUpIsPending)
{
    // The Cancel comes from a message posted by OnOpen: it is processed in the first
    // pass of the host look-up's wait, after the request has been made. Whether the
    // reply has arrived by then is up to the library; the wait ends cancelled either
    // way, and there is no socket yet to close.
    auto whois = MakeWhois("localhost");
    whois->ServiceName = "whois";
    EventLog log;
    log.Attach(*whois);
    Poster cancel([&] { whois->Cancel(); });
    auto recorder = whois->OnOpen;
    whois->OnOpen = [&](zt::Component* sender) {
        recorder(sender);
        cancel.Post();
    };
    whois->Response().Write("previous", 8);
    Watchdog watchdog(*whois, 20);
    Outcome outcome = Attempt([&] { whois->Execute(); });
    EXPECT_EQ(outcome.className, "ECanceledError");
    EXPECT_EQ(log.Joined(), "Open, Cancel, Error:Operation has been canceled");
    EXPECT_EQ(whois->AsyncHandle(), nullptr);
    EXPECT_EQ(whois->SocketHandle(), INVALID_SOCKET);
    EXPECT_EQ(ResponseText(*whois), "previous");
    EXPECT_EQ(whois->StartupCount(), 1);
}

TEST(Exchange, OnErrorMayReplaceOnlyTheSocketErrorText)
{
    struct Case {
        const char* name;
        Script script;
        std::int32_t timeOut;
        bool cancel;
        const char* className;
        const char* message;
        const char* seen; // what OnError was given
    } cases[] = {
        {"socket error", Script::Refuse, 10, false, "ESocketError", "replaced", "[10061] Connection refused"},
        {"time-out", Script::Silent, 1, false, "ETimedOutError", "Operation timed out", "Operation timed out"},
        {"cancel", Script::Silent, 10, true, "ECanceledError", "Operation has been canceled",
         "Operation has been canceled"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestServer server(c.script);
        auto whois = MakeWhois(server.Address(), c.timeOut);
        std::vector<std::string> seen;
        whois->OnError = [&](zt::Component* sender, std::string& msg) {
            EXPECT_EQ(sender, whois.get());
            seen.push_back(msg);
            msg = "replaced";
        };
        Poster cancel([&] { whois->Cancel(); });
        if (c.cancel)
            whois->OnConnect = [&](zt::Component*) { cancel.Post(); };
        Watchdog watchdog(*whois, 20);
        Outcome outcome = Attempt([&] { whois->Execute(); });
        EXPECT_EQ(outcome.className, c.className);
        EXPECT_EQ(outcome.message, c.message);
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0], c.seen);
    }
}

TEST(Exchange, FailuresBeforeTheReceiveStepLeaveTheAnswer)
{
    TestServer good(Script::Answer, "the first answer\r\n");
    TestServer refusing(Script::Refuse);
    auto whois = MakeWhois(good.Address(), 1);
    Watchdog watchdog(*whois, 30);
    whois->Execute();
    ASSERT_EQ(ResponseText(*whois), "the first answer\r\n");

    struct Case {
        const char* name;
        std::string server;
        std::function<void(zt::TztWhoIs&)> setup;
        const char* message;
    } cases[] = {
        {"empty server", "", nullptr, "Server property is required"},
        {"refused", refusing.Address(), nullptr, "[10061] Connection refused"},
        {"overlong host", std::string(128, 'h') + ":43", nullptr, nullptr},
        {"handler of OnSendingQuery fails", good.Address(),
         [](zt::TztWhoIs& w) {
             w.OnSendingQuery = [](zt::Component*) { throw zt::Exception("handler failed"); };
         },
         "handler failed"},
        // Cancel outside a wait closes the socket; the send finds none.
        {"handler of OnConnect cancels", good.Address(),
         [](zt::TztWhoIs& w) {
             w.OnConnect = [&w](zt::Component*) { w.Cancel(); };
         },
         "You have to connect to the server first"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        whois->SetServer(c.server);
        whois->OnSendingQuery = nullptr;
        whois->OnConnect = nullptr;
        if (c.setup)
            c.setup(*whois);
        Outcome outcome = Attempt([&] { whois->Execute(); });
        EXPECT_TRUE(outcome.Failed());
        if (c.message) {
            EXPECT_EQ(outcome.message, c.message);
        }
        EXPECT_EQ(ResponseText(*whois), "the first answer\r\n");
        EXPECT_EQ(whois->SocketHandle(), INVALID_SOCKET);
    }
}

TEST(Exchange, ServerValidation)
{
    auto whois = MakeWhois("");
    EventLog log;
    log.Attach(*whois);
    Outcome outcome = Attempt([&] { whois->Execute(); });
    EXPECT_EQ(outcome.className, "ESocketError");
    EXPECT_EQ(outcome.message, "Server property is required");
    EXPECT_EQ(log.Joined(), "Open, Error:Server property is required");
    EXPECT_EQ(whois->StartupCount(), 0) << "fails before WSAStartup";
}

TEST(Exchange, OverlongNamesAreRefusedWithAClearText)
{
    struct Case {
        const char* name;
        std::string server;
        std::string serviceName;
        const char* message;
    } cases[] = {
        {"host part of 128", std::string(128, 'h'), "whois",
         "Host name is too long (at most 127 characters)"},
        {"host part of 5000 with a port", std::string(5000, 'h') + ":4321", "whois",
         "Host name is too long (at most 127 characters)"},
        {"service name of 64", "127.0.0.1", std::string(64, 's'),
         "Service name is too long (at most 63 characters)"},
        {"service name of 300", "127.0.0.1", std::string(300, 's'),
         "Service name is too long (at most 63 characters)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto whois = MakeWhois(c.server);
        whois->ServiceName = c.serviceName;
        EventLog log;
        log.Attach(*whois);
        Watchdog watchdog(*whois, 20);
        Outcome outcome = Attempt([&] { whois->Execute(); });
        EXPECT_EQ(outcome.className, "ESocketError");
        EXPECT_EQ(outcome.message, c.message);
        EXPECT_EQ(log.Joined(), std::string("Open, Error:") + c.message);
        EXPECT_EQ(whois->AsyncHandle(), nullptr) << "no look-up was started";
        EXPECT_FALSE(whois->HostResolved());
        EXPECT_FALSE(whois->TimerRunning());
    }
    // One character less fits: the unknown service of 63 characters falls back.
    TestServer server(Script::Answer, "fits\r\n");
    auto whois = MakeWhois("127.0.0.1");
    whois->ServiceName = std::string(63, 's');
    whois->SetDefaultPort(server.Port());
    Watchdog watchdog(*whois, 20);
    whois->Execute();
    EXPECT_EQ(ResponseText(*whois), "fits\r\n");
}

TEST(Exchange, UnresolvableHostGivesTheTextForItsCode)
{
    auto whois = MakeWhois("no-such-host.invalid");
    std::string seen;
    whois->OnError = [&](zt::Component*, std::string& msg) { seen = msg; };
    Watchdog watchdog(*whois, 30);
    Outcome outcome = Attempt([&] { whois->Execute(); });
    EXPECT_EQ(outcome.className, "ESocketError");
    EXPECT_FALSE(watchdog.Fired());
    ASSERT_TRUE(whois->ErrorPending());
    const std::uint16_t code = whois->ErrorCode();
    EXPECT_GE(code, 11001);
    EXPECT_LE(code, 11004);
    EXPECT_EQ(outcome.message, zt::TextForCode(code));
    EXPECT_EQ(outcome.message.rfind("[" + std::to_string(code) + "] ", 0), 0u) << outcome.message;
    EXPECT_EQ(seen, outcome.message);
    EXPECT_TRUE(whois->HostResolved());
    EXPECT_EQ(whois->SocketHandle(), INVALID_SOCKET);
}

TEST(Exchange, FailedServiceLookUpFallsBackWithoutLeavingAnError)
{
    // A service the system does not know: the look-up answers with an error, the
    // port falls back to DefaultPort, and that error is not reported by any later
    // step, not even while the receive waits for a late answer.
    ServerOptions options;
    options.script = Script::Trickle;
    options.answer = "late answer\r\n";
    options.trickleSize = 64;
    options.trickleDelayMs = 400;
    TestServer server(options);
    auto whois = MakeWhois("127.0.0.1", 5);
    whois->ServiceName = "rz-no-such-service";
    whois->SetDefaultPort(server.Port());
    Watchdog watchdog(*whois, 20);
    Outcome outcome = Attempt([&] { whois->Execute(); });
    EXPECT_FALSE(outcome.Failed()) << outcome.className << ": " << outcome.message;
    EXPECT_TRUE(whois->ServiceResolved());
    EXPECT_EQ(whois->Port(), server.Port());
    EXPECT_EQ(ResponseText(*whois), "late answer\r\n");
}

TEST(Exchange, ExceptionParkedByAWindowOfOursLeavesTheExchange)
{
    TestServer server(Script::Silent);
    auto whois = MakeWhois(server.Address(), 10);
    EventLog log;
    log.Attach(*whois);
    Poster failing([] { throw std::runtime_error("failure in another window"); });
    whois->OnConnect = [&](zt::Component*) { failing.Post(); };
    Watchdog watchdog(*whois, 20);
    Stopwatch watch;
    Outcome outcome = Attempt([&] { whois->Execute(); });
    EXPECT_EQ(outcome.className, "std::exception");
    EXPECT_EQ(outcome.message, "failure in another window");
    EXPECT_LT(watch.Seconds(), 5.0);
    EXPECT_EQ(whois->SocketHandle(), INVALID_SOCKET) << "Execute closes after any failure";
    EXPECT_EQ(log.events.back(), "Closed");
    PumpFor(100);
}

TEST(Exchange, WaitsKeepTheApplicationResponsive)
{
    // Messages of other windows are dispatched inside every wait: a posted message
    // runs during the receive of a slow answer.
    ServerOptions options;
    options.script = Script::Trickle;
    options.answer = std::string(64, 'a');
    options.trickleSize = 16;
    options.trickleDelayMs = 200;
    TestServer server(options);
    auto whois = MakeWhois(server.Address(), 5);
    int handled = 0;
    Poster other([&] { ++handled; });
    whois->OnRecvProgress = [&](zt::Component*, std::int32_t) { other.Post(); };
    Watchdog watchdog(*whois, 20);
    whois->Execute();
    EXPECT_GE(handled, 5);
}

} // namespace
