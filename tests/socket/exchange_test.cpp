// Whole exchanges against the scripted server on 127.0.0.1: the events and their
// order, what goes over the wire, what the answer holds, and every way an exchange
// can end.
#include <gtest/gtest.h>

#include <algorithm>

#include "harness.h"
#include "testserver.h"

namespace {

using namespace rztest;
using namespace sockettest;

TEST(Exchange, EachExecuteRunsOneWholeExchangeAndKeepsTheAnswerByteForByte)
{
    const std::string zeros = std::string("one\r\n\0\0two\n\r", 12) + std::string(20000, '\0') + GeneratedBytes(0, 500);
    // An answer may be 16 MiB long; one byte more stops the exchange, keeping 16 MiB.
    // A peer that closes without sending gives an empty answer and no error.
    // OnSendingQuery may still change the query; an empty one sends CR LF only.
    const std::size_t limit = 16u << 20;
    const std::string tooLong = "ESocketError: Answer too long (more than 16 MiB); the first 16 MiB are kept";
    struct { ServerOptions options; std::size_t size; std::string query, replacement = {}, outcome = {}; } cases[] = {
        {{.answer = zeros}, zeros.size(), "example.test"},
        {{.answer = GeneratedBytes(7, 300), .pieceSize = 1, .pieceDelayMs = 2}, 300, ""},
        {{.answer = ""}, 0, "first.test", "changed.test"},
        {{.answer = GeneratedBytes(0, limit)}, limit, "\xE9t\xE9.test"},
        {{.answer = GeneratedBytes(0, limit + 1)}, limit, "q", "", tooLong},
    };
    Session s("", 2, 120);
    for (const auto& c : cases) {
        const std::string sent = c.replacement.empty() ? c.query : c.replacement;
        SCOPED_TRACE(sent);
        TestServer server(c.options);
        s.whois.SetServer(server.Address());
        s.whois.SetQuery(c.query);
        s.whois.OnSendingQuery = [&](zt::Component*) {
            s.Log("SendingQuery");
            if (!c.replacement.empty())
                s.whois.SetQuery(c.replacement);
        };
        s.log = "";
        s.progress.clear();
        EXPECT_EQ(s.Execute(), c.outcome);
        EXPECT_TRUE(s.Idle());
        ASSERT_EQ(s.whois.Response().Size(), c.size);
        EXPECT_EQ(s.whois.Response().Position(), 0u);
        EXPECT_TRUE(s.Response() == c.options.answer.substr(0, c.size));
        ASSERT_TRUE(server.WaitFinished(1, 5000));
        EXPECT_EQ(server.LastReceived(), sent + "\r\n");
        if (!c.outcome.empty())
            continue;
        EXPECT_EQ(s.log, "Open, Connect, SendingQuery, LineSent:" + sent + ", Progress, Closed, Closing, Closed");
        // Progress: 0 first, running totals that never shrink, the last repeating the total.
        ASSERT_GE(s.progress.size(), 2u);
        EXPECT_TRUE(s.progress.front() == 0 && std::is_sorted(s.progress.begin(), s.progress.end()));
        EXPECT_EQ(s.progress.back(), static_cast<std::int32_t>(c.size));
        EXPECT_EQ(s.progress[s.progress.size() - 2], s.progress.back());
    }
}

TEST(Exchange, TimeOutsAndCancelKeepTheBytesSoFar)
{
    // The operations by themselves: OnError first, then a time-out closes the socket
    // itself, a Cancel first closes it; then the exception leaves, with a text that
    // OnError cannot replace. A stalled answer times out.
    const std::string timedOut = "Error:Operation timed out, Closing, Closed";
    const std::string canceled = "Cancel, Closing, Closed, Error:Operation has been canceled";
    struct { ServerOptions options; std::int32_t timeOut; std::string end; double least, most; } cases[] = {
        {{.script = Script::Silent}, 1, timedOut, 0.8, 4},
        {{.script = Script::Silent, .answer = GeneratedBytes(0, 3001), .partSize = 3000}, 1, timedOut, 0.8, 4},
        // TimeOut 0 never times out: only the watchdog's Cancel, after 3 s, ends the wait.
        {{.script = Script::Silent}, 0, canceled, 2.5, 5},
        // Cancel from OnRecvProgress once 100000 bytes have come: nothing is received after
        // it. Before, a notice of the close (Windows may give it while data still waits)
        // must not end the reading.
        {{.answer = GeneratedBytes(0, 8u << 20)}, 10, canceled, 0, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        TestServer server(c.options);
        Session s(server.Address(), c.timeOut, c.timeOut ? 15 : 3);
        s.replaceError = "replaced";
        s.whois.OnRecvProgress = [&, recorder = s.whois.OnRecvProgress](zt::Component* sender, std::int32_t progress) {
            recorder(sender, progress);
            if (progress >= 100000)
                s.whois.Cancel();
            else if (progress > 0 && c.options.script == Script::Answer)
                PostMessageA(s.whois.WindowHandle(), zt::WM_SOCKETEVENT, 0, FD_CLOSE);
        };
        zt::MemoryStream stream;
        const std::string outcome = s.Execute([&] {
            s.whois.Reset();
            s.whois.Open();
            s.whois.Connect();
            s.whois.SendLine("q");
            s.whois.ReceiveToStream(stream);
        });
        EXPECT_EQ(outcome, c.end == timedOut ? "ETimedOutError: Operation timed out" : kCanceled);
        EXPECT_EQ(s.log, "Open, Connect, LineSent:q, Progress, " + c.end);
        EXPECT_TRUE(s.seconds > c.least && s.seconds < c.most) << s.seconds;
        EXPECT_EQ(s.fired, c.timeOut == 0);
        EXPECT_EQ(stream.Size(), static_cast<std::size_t>(s.progress.back()));
        EXPECT_GE(stream.Size(), c.options.partSize);
        EXPECT_TRUE(stream.ToString() == GeneratedBytes(0, stream.Size()));
        EXPECT_EQ(stream.Position(), 0u);
        EXPECT_TRUE(s.Idle());
    }
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

TEST(Exchange, FailuresBeforeTheReceiveStepLeaveTheAnswerAndEndAtOnce)
{
    TestServer good(Script::Answer, "the first answer\r\n"), refusing(Script::Refuse);
    Session s(good.Address(), 10, 30);
    s.whois.SetDefaultPort(good.Port());
    s.Execute();
    ASSERT_EQ(s.Response(), "the first answer\r\n");

    Poster failing([] { throw zt::Exception("failure in another window"); });
    auto post = [](Poster& poster) { return [to = &poster](zt::Component*) { to->Post(); }; };
    auto cancel = [&](zt::Component*) { s.whois.Cancel(); };
    auto raise = [](zt::Component*) { throw zt::Exception("handler failed"); };
    using W = zt::TztWhoIs;
    const std::string tooLong = "ESocketError: Host name is too long (at most 127 characters)";
    struct {
        std::string server, outcome, serviceName = "whois";
        zt::NotifyEvent W::*event = &W::OnOpen;
        zt::NotifyEvent handler = nullptr;
    } cases[] = {
        {"", "ESocketError: Server property is required"},
        {refusing.Address(), "ESocketError: [10061] Connection refused"},
        // Names too long for their buffers, refused before any look-up; one character
        // less fits (the unknown service falls back to DefaultPort).
        {std::string(128, 'h'), tooLong},
        {std::string(5000, 'h') + ":4321", tooLong},
        {"127.0.0.1", "ESocketError: Service name is too long (at most 63 characters)", std::string(64, 's')},
        {"127.0.0.1", "", std::string(63, 's')},
        // Cancel from a message that the first pass of the host look-up's wait processes.
        {"localhost", kCanceled, "whois", &W::OnOpen, post(s.cancel)},
        // Cancel outside a wait closes the socket; the send finds none.
        {good.Address(), "ESocketError: You have to connect to the server first", "whois", &W::OnConnect, cancel},
        {good.Address(), "Exception: handler failed", "whois", &W::OnSendingQuery, raise},
        // An exception parked by another window leaves the send's wait and stops its timer.
        {good.Address(), "Exception: failure in another window", "whois", &W::OnConnect, post(failing)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.outcome);
        s.whois.SetServer(c.server);
        s.whois.ServiceName = c.serviceName;
        s.whois.*c.event = c.handler;
        EXPECT_EQ(s.Execute(), c.outcome);
        s.whois.*c.event = nullptr;
        EXPECT_LT(s.seconds, 3.0) << "not by the time-out";
        EXPECT_EQ(s.Response(), "the first answer\r\n");
        EXPECT_TRUE(s.Idle());
    }
}

TEST(Exchange, UnresolvableHostGivesTheTableTextForItsCodeWhichOnErrorMayReplace)
{
    Session s("no-such-host.invalid", 10, 30);
    s.replaceError = "replaced";
    EXPECT_EQ(s.Execute(), "ESocketError: replaced");
    const std::uint16_t code = s.whois.ErrorCode();
    EXPECT_TRUE(s.whois.ErrorPending() && code >= 11001 && code <= 11004) << code;
    EXPECT_EQ(s.log.rfind("Open, Error:[" + std::to_string(code) + "] ", 0), 0u) << s.log;
    EXPECT_EQ(s.log, "Open, Error:" + zt::TextForCode(code));
    EXPECT_TRUE(s.Idle());
}

} // namespace
