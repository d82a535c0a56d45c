// Whole exchanges against the scripted server on 127.0.0.1: the events and their
// order, what goes over the wire, what the answer holds, and every way an exchange
// can end.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "harness.h"
#include "testserver.h"

namespace {

using rztest::GeneratedBytes;
using rztest::Script;
using rztest::ServerOptions;
using rztest::TestServer;
using namespace sockettest;

// Progress of a finished receive: 0 first, running totals that never shrink, the
// last one repeating the final total.
void ExpectProgress(const std::vector<std::int32_t>& progress, std::size_t total)
{
    ASSERT_GE(progress.size(), 3u);
    EXPECT_EQ(progress.front(), 0);
    for (std::size_t i = 1; i < progress.size(); ++i)
        EXPECT_LE(progress[i - 1], progress[i]) << "at " << i;
    EXPECT_EQ(progress.back(), static_cast<std::int32_t>(total));
    EXPECT_EQ(progress[progress.size() - 2], progress.back());
}

TEST(Exchange, ExecuteRunsOneWholeExchangeEachTime)
{
    TestServer server(Script::Answer, "answer line\r\n");
    Session s(server.Address());
    int count = 0;
    for (const std::string query : {"example.test", "second.test"}) {
        s.log = {};
        s.whois.SetQuery(query);
        EXPECT_EQ(s.Execute(), "");
        EXPECT_EQ(s.log.Joined(), "Open, Connect, SendingQuery, LineSent:" + query
                                      + ", Progress, Closed, Closing, Closed");
        ExpectProgress(s.log.progress, 13);
        EXPECT_EQ(s.Response(), "answer line\r\n");
        EXPECT_EQ(s.whois.Response().Position(), 0u);
        EXPECT_TRUE(s.Idle());
        ASSERT_TRUE(server.WaitFinished(++count, 5000));
        EXPECT_EQ(server.LastReceived(), query + "\r\n");
    }
}

TEST(Exchange, QueryOnTheWire)
{
    struct { std::string query, replacement, expected; } cases[] = { // replacement: set by OnSendingQuery
        {"", "", "\r\n"},
        {"first.test", "changed.test", "changed.test\r\n"},
        {"\xE9t\xE9.test", "", "\xE9t\xE9.test\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        TestServer server(Script::Answer, "reply\r\n");
        Session s(server.Address());
        s.whois.SetQuery(c.query);
        if (!c.replacement.empty())
            s.whois.OnSendingQuery = [&](zt::Component*) { s.whois.SetQuery(c.replacement); };
        EXPECT_EQ(s.Execute(), "");
        ASSERT_TRUE(server.WaitFinished(1, 5000));
        EXPECT_EQ(server.LastReceived(), c.expected);
    }
}

TEST(Exchange, AnswerIsKeptByteForByte)
{
    static const char raw[] = "line one\r\n\0\0zero\0bytes\n\r\x01\x7F\x80\xFF end";
    std::string zeros = std::string(raw, sizeof raw - 1) + std::string(20000, '\0') + "tail", bytes;
    for (int i = 0; i < 300; ++i)
        bytes += static_cast<char>(i * 7);
    // An answer may be 16 MiB long; one byte more stops the exchange, keeping 16 MiB.
    const std::size_t limit = 16u << 20;
    const std::string tooLong = "ESocketError: Answer too long (more than 16 MiB); the first 16 MiB are kept";
    struct { const char* name; ServerOptions options; std::size_t size; std::string outcome; } cases[] = {
        {"zero and control bytes", {.answer = zeros}, zeros.size(), ""},
        {"one byte per segment", {.script = Script::Chunks, .answer = bytes}, bytes.size(), ""},
        {"16 MiB", {.script = Script::Huge, .hugeSize = limit}, limit, ""},
        {"16 MiB and a byte", {.script = Script::Huge, .hugeSize = limit + 1}, limit, tooLong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestServer server(c.options);
        Session s(server.Address(), 2, 120);
        EXPECT_EQ(s.Execute(), c.outcome);
        EXPECT_TRUE(s.Idle());
        ASSERT_EQ(s.whois.Response().Size(), c.size);
        std::string expected = c.options.script == Script::Huge ? GeneratedBytes(0, c.size) : c.options.answer;
        EXPECT_EQ(std::memcmp(s.whois.Response().Memory(), expected.data(), c.size), 0);
        if (c.outcome.empty())
            ExpectProgress(s.log.progress, c.size);
    }
}

TEST(Exchange, CloseWithoutAnswerAndRefusalEndAtOnce)
{
    // A peer that closes without sending gives an empty answer and no error; a refused
    // connection fails before the receive step and leaves the previous answer.
    struct { Script script; std::string outcome, log, response; } cases[] = {
        {Script::CloseSilently, "", "Open, Connect, SendingQuery, LineSent:q, Progress, Closed, Closing, Closed", ""},
        {Script::Refuse, "ESocketError: [10061] Connection refused",
         "Open, Error:[10061] Connection refused, Closing, Closed", "old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log);
        TestServer server(c.script);
        Session s(server.Address(), 60, 15);
        s.whois.SetQuery("q");
        s.whois.Response().Write("old", 3);
        EXPECT_EQ(s.Execute(), c.outcome);
        EXPECT_LT(s.seconds, 3.0) << "not by the time-out";
        EXPECT_EQ(s.log.Joined(), c.log);
        EXPECT_EQ(s.Response(), c.response);
        EXPECT_TRUE(s.Idle());
    }
}

TEST(Exchange, TimeOuts)
{
    TestServer silent(Script::Silent);
    {
        // The operations by themselves: OnError first, then the time-out closes the
        // socket, then the exception leaves.
        Session s(silent.Address(), 1, 15);
        zt::MemoryStream stream;
        auto steps = [&] {
            s.whois.Reset();
            s.whois.Open();
            s.whois.Connect();
            s.whois.SendLine("q");
            s.whois.ReceiveToStream(stream);
        };
        EXPECT_EQ(s.Execute(steps), "ETimedOutError: Operation timed out");
        EXPECT_TRUE(s.seconds > 0.8 && s.seconds < 4.0) << s.seconds;
        EXPECT_EQ(s.log.Joined(), "Open, Connect, LineSent:q, Progress, Error:Operation timed out, Closing, Closed");
        EXPECT_TRUE(s.Idle());
    }
    {
        // TimeOut 0: only the watchdog's Cancel ends the wait.
        Session s(silent.Address(), 0, 3);
        EXPECT_EQ(s.Execute(), kCanceled);
        EXPECT_TRUE(s.fired);
        EXPECT_GT(s.seconds, 2.5);
    }
    {
        // The answer stalls: the bytes that came are kept.
        TestServer server({.script = Script::StallAfterPart, .answer = std::string(3000, 'x') + "-", .partSize = 3000});
        Session s(server.Address(), 2);
        EXPECT_EQ(s.Execute(), "ETimedOutError: Operation timed out");
        EXPECT_TRUE(s.seconds > 1.8 && s.seconds < 6.0) << s.seconds;
        EXPECT_EQ(s.Response(), std::string(3000, 'x'));
        EXPECT_EQ(s.whois.Response().Position(), 0u);
        EXPECT_EQ(s.log.events.back(), "Closed");
    }
}

TEST(Exchange, SlowTrickleIsNotATimeOutAndTheApplicationStaysResponsive)
{
    // Pieces of 16 bytes every 150 ms, about 3 s in all, with a time-out of 1 s: only
    // silence counts. Messages of other windows are dispatched inside the wait.
    TestServer server({.script = Script::Trickle, .answer = std::string(320, 't')});
    Session s(server.Address(), 1);
    int handled = 0;
    Poster other([&] { ++handled; });
    s.whois.OnRecvProgress = [&](zt::Component*, std::int32_t) { other.Post(); };
    EXPECT_EQ(s.Execute(), "");
    EXPECT_EQ(s.Response(), std::string(320, 't'));
    EXPECT_GT(s.seconds, 2.5);
    EXPECT_GE(handled, 15);
}

TEST(Exchange, AModalLoopDuringTheAnswerIsNoTimeOut)
{
    // A message box or a window being dragged runs its own loop inside the receive's
    // wait: it delivers the notices and the ticks but reads nothing. Data waiting to
    // be read counts as activity: 30 pieces every 150 ms, a loop of 2.5 s, TimeOut 1.
    TestServer server({.script = Script::Trickle, .answer = std::string(480, 't')});
    Session s(server.Address(), 1);
    bool held = false;
    s.whois.OnRecvProgress = [&](zt::Component*, std::int32_t progress) {
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
    EXPECT_EQ(s.Execute(), "");
    EXPECT_EQ(s.Response(), std::string(480, 't'));
}

TEST(Exchange, ResetDuringTheAnswerKeepsWhatCame)
{
    // A reset after a pause, when the part has arrived whole, or right after a long
    // part, when it discards what was not sent yet. Where the sockets library reports
    // a reset as an orderly close (Wine does) the answer is just cut short.
    struct { std::size_t part; int delayMs; bool whole; } cases[] = {{1000, 300, true}, {4000000, 0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.part);
        TestServer server({.script = Script::ResetAfterPart, .answer = GeneratedBytes(0, c.part) + "never",
                           .partSize = c.part, .resetDelayMs = c.delayMs});
        Session s(server.Address());
        const std::string outcome = s.Execute();
        EXPECT_TRUE(outcome.empty() || outcome == "ESocketError: [10054] Connection reset by peer") << outcome;
        EXPECT_LT(s.seconds, 5.0);
        const std::string received = s.Response();
        EXPECT_TRUE(c.whole ? received.size() == c.part : received.size() <= c.part) << received.size();
        EXPECT_TRUE(received == GeneratedBytes(0, received.size()));
        EXPECT_TRUE(s.Idle());
    }
}

TEST(Exchange, CancelFromRecvProgressKeepsTheBytesSoFar)
{
    TestServer server({.script = Script::Huge, .hugeSize = 8u << 20});
    Session s(server.Address());
    auto recorder = s.whois.OnRecvProgress;
    std::int32_t atCancel = -1;
    s.whois.OnRecvProgress = [&](zt::Component* sender, std::int32_t progress) {
        recorder(sender, progress);
        if (progress >= 100000 && atCancel < 0) {
            atCancel = progress;
            s.whois.Cancel();
        }
    };
    EXPECT_EQ(s.Execute(), kCanceled);
    EXPECT_FALSE(s.fired);
    ASSERT_GT(atCancel, 0);
    // Cancel closes the socket, nothing is received after it, and Execute's own Close
    // finds no socket left.
    EXPECT_EQ(s.log.Joined(), "Open, Connect, SendingQuery, LineSent:, Progress, Cancel, Closing, Closed, "
                              "Error:Operation has been canceled");
    EXPECT_EQ(s.log.progress.back(), atCancel);
    EXPECT_TRUE(s.Response() == GeneratedBytes(0, atCancel));
}

TEST(Exchange, CancelWhileTheHostLookUpIsPending)
{
    // Whether the look-up's reply has come by the first pass is up to the library;
    // the wait ends cancelled either way, and there is no socket yet to close.
    Session s("localhost");
    s.CancelAfterOpen();
    s.whois.Response().Write("previous", 8);
    EXPECT_EQ(s.Execute(), kCanceled);
    EXPECT_EQ(s.log.Joined(), "Open, Cancel, Error:Operation has been canceled");
    EXPECT_TRUE(s.Idle());
    EXPECT_EQ(s.Response(), "previous");
    EXPECT_EQ(s.whois.StartupCount(), 1);
}

TEST(Exchange, OnErrorMayReplaceOnlyTheSocketErrorText)
{
    struct { Script script; std::int32_t timeOut; bool cancel; std::string outcome, seen; } cases[] = {
        {Script::Refuse, 10, false, "ESocketError: replaced", "[10061] Connection refused"},
        {Script::Silent, 1, false, "ETimedOutError: Operation timed out", "Operation timed out"},
        {Script::Silent, 10, true, kCanceled, "Operation has been canceled"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seen);
        TestServer server(c.script);
        Session s(server.Address(), c.timeOut);
        std::vector<std::string> seen;
        s.whois.OnError = [&](zt::Component* sender, std::string& msg) {
            EXPECT_EQ(sender, &s.whois);
            seen.push_back(msg);
            msg = "replaced";
        };
        if (c.cancel)
            s.whois.OnConnect = [&](zt::Component*) { s.cancel.Post(); };
        EXPECT_EQ(s.Execute(), c.outcome);
        EXPECT_EQ(seen, std::vector<std::string>{c.seen});
    }
}

TEST(Exchange, FailuresBeforeTheReceiveStepLeaveTheAnswer)
{
    TestServer good(Script::Answer, "the first answer\r\n");
    TestServer refusing(Script::Refuse);
    Session s(good.Address(), 1, 30);
    s.Execute();
    ASSERT_EQ(s.Response(), "the first answer\r\n");

    auto failing = [](zt::Component*) { throw zt::Exception("handler failed"); };
    auto cancel = [&](zt::Component*) { s.whois.Cancel(); };
    struct { std::string server; zt::NotifyEvent onConnect, onSendingQuery; std::string outcome; } cases[] = {
        {"", nullptr, nullptr, "ESocketError: Server property is required"},
        {refusing.Address(), nullptr, nullptr, "ESocketError: [10061] Connection refused"},
        {good.Address(), nullptr, failing, "Exception: handler failed"},
        // Cancel outside a wait closes the socket; the send finds none.
        {good.Address(), cancel, nullptr, "ESocketError: You have to connect to the server first"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.outcome);
        s.whois.SetServer(c.server);
        s.whois.OnConnect = c.onConnect;
        s.whois.OnSendingQuery = c.onSendingQuery;
        EXPECT_EQ(s.Execute(), c.outcome);
        EXPECT_EQ(s.Response(), "the first answer\r\n");
        EXPECT_TRUE(s.Idle());
    }
}

TEST(Exchange, BadServerOrServiceIsRefusedBeforeAnyLookUp)
{
    struct { std::string server, serviceName, message; } cases[] = {
        {"", "whois", "Server property is required"},
        {std::string(128, 'h'), "whois", "Host name is too long (at most 127 characters)"},
        {std::string(5000, 'h') + ":4321", "whois", "Host name is too long (at most 127 characters)"},
        {"127.0.0.1", std::string(64, 's'), "Service name is too long (at most 63 characters)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Session s(c.server);
        s.whois.ServiceName = c.serviceName;
        EXPECT_EQ(s.Execute(), "ESocketError: " + c.message);
        EXPECT_EQ(s.log.Joined(), "Open, Error:" + c.message);
        EXPECT_TRUE(s.Idle());
        EXPECT_FALSE(s.whois.HostResolved());
        EXPECT_EQ(s.whois.StartupCount(), c.server.empty() ? 0 : 1) << "an empty Server fails before WSAStartup";
    }
    // One character less fits: the unknown service of 63 characters falls back.
    TestServer server(Script::Answer, "fits\r\n");
    Session s("127.0.0.1");
    s.whois.ServiceName = std::string(63, 's');
    s.whois.SetDefaultPort(server.Port());
    EXPECT_EQ(s.Execute(), "");
    EXPECT_EQ(s.Response(), "fits\r\n");
}

TEST(Exchange, UnresolvableHostGivesTheTextForItsCode)
{
    Session s("no-such-host.invalid", 10, 30);
    const std::string outcome = s.Execute();
    ASSERT_TRUE(s.whois.ErrorPending());
    const std::uint16_t code = s.whois.ErrorCode();
    EXPECT_TRUE(code >= 11001 && code <= 11004) << code;
    const std::string text = zt::TextForCode(code);
    EXPECT_EQ(text.rfind("[" + std::to_string(code) + "] ", 0), 0u) << text;
    EXPECT_EQ(outcome, "ESocketError: " + text);
    EXPECT_EQ(s.log.Joined(), "Open, Error:" + text);
    EXPECT_TRUE(s.Idle());
}

TEST(Exchange, ExceptionParkedByAWindowOfOursLeavesTheExchange)
{
    TestServer server(Script::Silent);
    Session s(server.Address());
    Poster failing([] { throw std::runtime_error("failure in another window"); });
    s.whois.OnConnect = [&](zt::Component*) { failing.Post(); };
    EXPECT_EQ(s.Execute(), "std::exception: failure in another window");
    EXPECT_LT(s.seconds, 5.0);
    EXPECT_TRUE(s.Idle()) << "Execute closes after any failure and the wait's timer stops";
}

} // namespace
