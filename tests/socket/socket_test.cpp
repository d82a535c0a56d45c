// The socket and whois components' own state: construction, properties, the
// process-wide library, the notices of the hidden window, the resolution of host
// and port, Reset, the dial-up reference and the log of sent lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "classes/dispatch.h"
#include "harness.h"
#include "ras/ztRasCmp.h"
#include "testserver.h"
#include "winsock/ztwsock.h"

namespace {

using rztest::Script;
using rztest::TestServer;
using namespace sockettest;

std::string TempPath(const std::string& name)
{
    char directory[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, directory);
    return std::string(directory) + "rz-socket-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string FileText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(SocketComponent, ConstructionState)
{
    zt::TztSocket socket(nullptr);
    EXPECT_EQ(socket.SocketHandle(), INVALID_SOCKET);
    EXPECT_EQ(socket.TimeOut(), 60);
    EXPECT_EQ(socket.DefaultPort(), 0);
    EXPECT_EQ(socket.ServiceName, "");
    EXPECT_EQ(socket.Protocol, 0);
    EXPECT_EQ(socket.SendFlags(), 0);
    EXPECT_EQ(socket.StartupCount(), 0);
    EXPECT_EQ(socket.AsyncHandle(), nullptr);
    EXPECT_NE(socket.WindowHandle(), nullptr);
    EXPECT_FALSE(socket.TimerRunning());
    EXPECT_FALSE(socket.TimedOut() || socket.Canceled() || socket.HostResolved()
                 || socket.ServiceResolved() || socket.Connected() || socket.Readable()
                 || socket.Writable() || socket.Closed() || socket.ErrorPending());
    EXPECT_EQ(socket.RAS(), nullptr);

    zt::TztWhoIs whois(nullptr);
    EXPECT_EQ(whois.DefaultPort(), 43);
    EXPECT_EQ(whois.ServiceName, "whois");
    EXPECT_EQ(whois.TimeOut(), 60);
    EXPECT_EQ(whois.Query(), "");
    EXPECT_EQ(whois.Response().Size(), 0u);
}

TEST(SocketComponent, NoHiddenWindowInDesignState)
{
    zt::Component form(nullptr);
    form.SetDesigning(true);
    auto* socket = new zt::TztWhoIs(&form);
    EXPECT_TRUE(socket->Designing());
    EXPECT_EQ(socket->WindowHandle(), nullptr);
    // The owner frees it.
}

TEST(SocketComponent, WinsockLoadedIsAViewOfTheProcessWideLibrary)
{
    auto first = MakeWhois("127.0.0.1:1");
    EXPECT_TRUE(first->WinsockLoaded());
    first->SetWinsockLoaded(true);
    EXPECT_TRUE(first->WinsockLoaded());

    // Constructing a second socket component unloads the library the first loaded.
    zt::TztSocket second(nullptr);
    EXPECT_FALSE(first->WinsockLoaded());
    EXPECT_FALSE(zt::WinsockInstance->IsLoaded());
    EventLog log;
    log.Attach(*first);
    Outcome outcome = Attempt([&] { first->Execute(); });
    EXPECT_EQ(outcome.className, "EWinsockDLLError");
    EXPECT_EQ(outcome.message, "Winsock is not loaded");
    // The binding raises directly: no OnError.
    EXPECT_EQ(log.Joined(), "Open");
    EXPECT_EQ(first->StartupCount(), 0);

    second.SetWinsockLoaded(true);
    EXPECT_TRUE(first->WinsockLoaded());
    second.SetWinsockLoaded(false);
    EXPECT_FALSE(first->WinsockLoaded());
}

TEST(SocketComponent, StoredPropertiesAreAppliedByName)
{
    zt::TztWhoIs whois(nullptr);
    ASSERT_FALSE(whois.WinsockLoaded());
    whois.ApplyStoredProperties({{"WinsockLoaded", "True"},
                                 {"Server", "whois.example.test:4343"},
                                 {"Query", "example.test"},
                                 {"DefaultPort", "4343"},
                                 {"TimeOut", "5"}});
    EXPECT_TRUE(whois.WinsockLoaded());
    EXPECT_EQ(whois.Server(), "whois.example.test:4343");
    EXPECT_EQ(whois.Query(), "example.test");
    EXPECT_EQ(whois.DefaultPort(), 4343);
    EXPECT_EQ(whois.TimeOut(), 5);

    // The form's own stored values.
    whois.ApplyStoredProperties({{"WinsockLoaded", "True"}, {"DefaultPort", "43"}});
    EXPECT_EQ(whois.DefaultPort(), 43);
    EXPECT_TRUE(whois.WinsockLoaded());

    for (const zt::StoredProperties& bad :
         {zt::StoredProperties{{"NoSuchProperty", "1"}},
          zt::StoredProperties{{"DefaultPort", "65536"}},
          zt::StoredProperties{{"TimeOut", "ten"}},
          zt::StoredProperties{{"WinsockLoaded", "Yes"}},
          zt::StoredProperties{{"RAS", "NoSuchComponent"}}}) {
        SCOPED_TRACE(bad[0].first);
        EXPECT_TRUE(Attempt([&] { whois.ApplyStoredProperties(bad); }).Failed());
    }
    whois.ApplyStoredProperties({{"WinsockLoaded", "False"}});
    EXPECT_FALSE(whois.WinsockLoaded());
}

TEST(SocketComponent, HostAndPortParts)
{
    struct Case {
        const char* server;
        const char* host;
        std::int32_t port;
    } cases[] = {
        {"whois.example.test", "whois.example.test", 0},
        {"whois.example.test:4321", "whois.example.test", 4321},
        {"name:abc", "name", 0},
        {"name:0", "name", 0},
        {"name:65536", "name", 65536},
        {"name:-1", "name", -1},
        {"name:", "name", 0},
        {"name:12x", "name", 0},
        {"name:99999999999", "name", 0},
        {"a:1:2", "a", 0},
        {":80", "", 80},
        {"", "", 0},
    };
    zt::TztSocket socket(nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server);
        socket.SetServer(c.server);
        EXPECT_EQ(socket.HostPart(), c.host);
        EXPECT_EQ(socket.PortPart(), c.port);
    }
}

TEST(SocketComponent, PortChoice)
{
    // The port the service look-up of "whois" gives on this system, whatever it is.
    auto socket = MakeWhois("127.0.0.1");
    socket->SetDefaultPort(4444);
    Watchdog watchdog(*socket, 30);
    socket->Reset();
    socket->Open();
    socket->Close();
    ASSERT_TRUE(socket->ServiceResolved());
    const std::uint16_t looked = socket->Port();

    struct Case {
        const char* server;
        const char* serviceName;
        bool lookUp;
        int port; // -1: the port the look-up gave above
    } cases[] = {
        {"127.0.0.1:4321", "whois", false, 4321},
        {"127.0.0.1:65537", "whois", false, 1},
        {"127.0.0.1:-1", "whois", false, 65535},
        {"127.0.0.1:4321", "", false, 4321},
        {"127.0.0.1:abc", "whois", true, -1},
        {"127.0.0.1:0", "whois", true, -1},
        {"127.0.0.1:65536", "whois", true, -1},
        {"127.0.0.1:", "whois", true, -1},
        {"127.0.0.1", "rz-no-such-service", true, 4444},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.server) + " / " + c.serviceName);
        socket->SetServer(c.server);
        socket->ServiceName = c.serviceName;
        socket->Reset();
        Outcome outcome = Attempt([&] { socket->Open(); });
        socket->Close();
        EXPECT_FALSE(outcome.Failed()) << outcome.message;
        EXPECT_EQ(socket->ServiceResolved(), c.lookUp);
        EXPECT_EQ(socket->Port(), c.port < 0 ? looked : c.port);
        EXPECT_FALSE(socket->ErrorPending()) << "a failed look-up leaves no error behind";
        EXPECT_FALSE(socket->TimerRunning());
    }

    socket->SetServer("127.0.0.1");
    socket->ServiceName = "";
    socket->Reset();
    Outcome outcome = Attempt([&] { socket->Open(); });
    EXPECT_EQ(outcome.message, "Service name is required");
    EXPECT_EQ(socket->SocketHandle(), INVALID_SOCKET);
}

TEST(SocketComponent, PortInTheServerTextIsWhereTheConnectionGoes)
{
    TestServer server(Script::Answer, "by port\r\n");
    auto whois = MakeWhois("127.0.0.1:" + std::to_string(server.Port()));
    whois->SetDefaultPort(1);
    Watchdog watchdog(*whois, 20);
    whois->Execute();
    EXPECT_EQ(ResponseText(*whois), "by port\r\n");
}

TEST(SocketComponent, HostResolution)
{
    auto socket = MakeSocket("127.0.0.1:43");
    Watchdog watchdog(*socket, 20);
    socket->Reset();
    socket->Open();
    socket->Close();
    EXPECT_FALSE(socket->HostResolved()) << "a dotted address needs no look-up";
    EXPECT_EQ(socket->AddressText(), "");
    EXPECT_EQ(socket->Address(), 0x0100007Fu);
    EXPECT_EQ(socket->Port(), 43);

    socket->SetServer("localhost:43");
    socket->Reset();
    socket->Open();
    socket->Close();
    EXPECT_TRUE(socket->HostResolved());
    EXPECT_EQ(socket->AddressText(), "127.0.0.1");
    EXPECT_EQ(socket->Address(), 0x0100007Fu);
    EXPECT_FALSE(socket->LocalHost().empty());

    // A later dotted address leaves the looked-up text as it was.
    socket->SetServer("127.0.0.2:43");
    socket->Reset();
    socket->Open();
    socket->Close();
    EXPECT_EQ(socket->AddressText(), "127.0.0.1");
    EXPECT_EQ(socket->Address(), 0x0200007Fu);
}

TEST(SocketComponent, NoticesSetTheirFlags)
{
    struct Case {
        const char* name;
        UINT message;
        std::uint32_t param; // error word << 16 | event word
        const char* flags;   // which flags are set afterwards
        std::uint16_t errorCode;
    } cases[] = {
        {"host look-up", zt::WM_HOSTLOOKUP, 0, "HostResolved", 0},
        {"host look-up failed", zt::WM_HOSTLOOKUP, 11001u << 16, "HostResolved ErrorPending", 11001},
        {"service look-up", zt::WM_SERVICELOOKUP, 0, "ServiceResolved", 0},
        {"service look-up failed", zt::WM_SERVICELOOKUP, 11004u << 16, "ServiceResolved ErrorPending", 11004},
        {"FD_READ", zt::WM_SOCKETEVENT, FD_READ, "Readable", 0},
        {"FD_WRITE", zt::WM_SOCKETEVENT, FD_WRITE, "Writable", 0},
        {"FD_CONNECT", zt::WM_SOCKETEVENT, FD_CONNECT, "Connected", 0},
        {"FD_CLOSE", zt::WM_SOCKETEVENT, FD_CLOSE, "Closed", 0},
        {"FD_CONNECT failed", zt::WM_SOCKETEVENT, (10061u << 16) | FD_CONNECT, "ErrorPending", 10061},
        {"FD_READ failed", zt::WM_SOCKETEVENT, (10054u << 16) | FD_READ, "ErrorPending", 10054},
        {"FD_CLOSE failed", zt::WM_SOCKETEVENT, (10053u << 16) | FD_CLOSE, "ErrorPending", 10053},
        {"two events at once", zt::WM_SOCKETEVENT, FD_READ | FD_CLOSE, "", 0},
        {"FD_OOB", zt::WM_SOCKETEVENT, FD_OOB, "", 0},
    };
    zt::TztSocket socket(nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        socket.Reset();
        SendMessageA(socket.WindowHandle(), c.message, 1234, static_cast<LPARAM>(c.param));
        std::string flags;
        auto add = [&](bool set, const char* name) {
            if (set)
                flags += (flags.empty() ? "" : " ") + std::string(name);
        };
        add(socket.HostResolved(), "HostResolved");
        add(socket.ServiceResolved(), "ServiceResolved");
        add(socket.Readable(), "Readable");
        add(socket.Writable(), "Writable");
        add(socket.Connected(), "Connected");
        add(socket.Closed(), "Closed");
        add(socket.ErrorPending(), "ErrorPending");
        EXPECT_EQ(flags, c.flags);
        EXPECT_EQ(socket.ErrorCode(), c.errorCode);
    }

    // Reset clears the flags and keeps the last error code.
    SendMessageA(socket.WindowHandle(), zt::WM_SOCKETEVENT, 0, (10054 << 16) | FD_READ);
    SendMessageA(socket.WindowHandle(), zt::WM_SOCKETEVENT, 0, FD_READ);
    EXPECT_EQ(socket.ErrorCode(), 0) << "the last notice counts";
    SendMessageA(socket.WindowHandle(), zt::WM_SOCKETEVENT, 0, (10054 << 16) | FD_READ);
    socket.Cancel();
    socket.Reset();
    EXPECT_FALSE(socket.ErrorPending() || socket.Readable() || socket.Canceled());
    EXPECT_EQ(socket.ErrorCode(), 10054);

    // Other messages get the default processing.
    EXPECT_EQ(SendMessageA(socket.WindowHandle(), WM_USER + 151, 0, 0), 0);
}

TEST(SocketComponent, SendLineNeedsASocket)
{
    auto socket = MakeSocket("127.0.0.1:1");
    EventLog log;
    log.Attach(*socket);
    Outcome outcome = Attempt([&] { socket->SendLine("text"); });
    EXPECT_EQ(outcome.className, "ESocketError");
    EXPECT_EQ(outcome.message, "You have to connect to the server first");
    EXPECT_EQ(log.Joined(), "Error:You have to connect to the server first");
}

TEST(SocketComponent, CloseAndCancelWithoutASocket)
{
    auto socket = MakeSocket("127.0.0.1:1");
    EventLog log;
    log.Attach(*socket);
    socket->Close();
    EXPECT_EQ(log.Joined(), "");
    socket->Cancel();
    EXPECT_EQ(log.Joined(), "Cancel");
    EXPECT_TRUE(socket->Canceled());

    // Canceled stays until Reset: Connect fails at once.
    socket->Open();
    log.events.clear();
    Outcome outcome = Attempt([&] { socket->Connect(); });
    EXPECT_EQ(outcome.className, "ECanceledError");
    EXPECT_EQ(log.Joined(), "Error:Operation has been canceled");
    socket->Close();
}

TEST(SocketComponent, RemovingTheDialUpComponentClearsTheReference)
{
    zt::Component form(nullptr);
    auto* socket = new zt::TztWhoIs(&form);
    auto* ras = new zt::TztRas(&form);
    ras->SetName("Ras1");
    auto* other = new zt::TztRas(nullptr);

    socket->SetRAS(ras);
    EXPECT_EQ(socket->RAS(), ras);
    delete other;
    EXPECT_EQ(socket->RAS(), ras) << "another component's removal changes nothing";
    delete ras;
    EXPECT_EQ(socket->RAS(), nullptr);

    // A dial-up component of another owner is watched too.
    auto* foreign = new zt::TztRas(nullptr);
    socket->SetRAS(foreign);
    delete foreign;
    EXPECT_EQ(socket->RAS(), nullptr);

    // Stored by name.
    auto* named = new zt::TztRas(&form);
    named->SetName("Ras2");
    socket->ApplyStoredProperties({{"RAS", "Ras2"}});
    EXPECT_EQ(socket->RAS(), named);
}

TEST(SocketComponent, LogOfSentLines)
{
    TestServer server(Script::Answer, "ok\r\n");
    const std::string path = TempPath("sent.log");
    const std::string unused = TempPath("unused.log");
    std::remove(path.c_str());
    std::remove(unused.c_str());
    {
        auto whois = MakeWhois(server.Address());
        Watchdog watchdog(*whois, 30);
        whois->SetQuery("not logged");
        whois->Execute();
        whois->LogFile = path;
        whois->SetQuery("first.test");
        whois->Execute();
        whois->SetQuery("");
        whois->Execute();
        EXPECT_EQ(whois->LogList().Count(), 2);
        EXPECT_FALSE(FileExists(path)) << "written only when the component goes";
    }
    EXPECT_EQ(FileText(path), "first.test\r\n\r\n");

    {
        // Set while lines were sent, cleared before the end: nothing is written.
        auto whois = MakeWhois(server.Address());
        Watchdog watchdog(*whois, 30);
        whois->LogFile = unused;
        whois->SetQuery("q");
        whois->Execute();
        whois->LogFile = "";
    }
    EXPECT_FALSE(FileExists(unused));

    {
        // Nothing sent: an empty file.
        zt::TztWhoIs whois(nullptr);
        whois.LogFile = path;
    }
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(FileText(path), "");
    std::remove(path.c_str());
}

TEST(SocketComponent, LogThatCannotBeWrittenIsReportedByTheNextPass)
{
    ASSERT_FALSE(zt::HasParkedException());
    {
        zt::TztWhoIs whois(nullptr);
        whois.LogFile = TempPath("no-such-directory\\sent.log");
    }
    std::exception_ptr error = zt::TakeParked();
    ASSERT_TRUE(error);
    try {
        std::rethrow_exception(error);
    } catch (const zt::Exception& e) {
        EXPECT_STREQ(e.ClassName(), "EInOutError");
    }
}

TEST(SocketComponent, DialUpHookRunsAroundTheExchange)
{
    TestServer server(Script::Answer, "ok\r\n");
    zt::Component form(nullptr);
    auto* ras = new zt::TztRas(&form);
    auto* whois = new zt::TztWhoIs(&form);
    whois->ApplyStoredProperties({{"WinsockLoaded", "True"}});
    whois->SetServer(server.Address());
    whois->SetRAS(ras);
    bool upAtOpen = false;
    whois->OnOpen = [&](zt::Component*) { upAtOpen = ras->LinkUp(); };
    Watchdog watchdog(*whois, 20);
    Outcome outcome = Attempt([&] { whois->Execute(); });
    if (outcome.className == "ERASError")
        GTEST_SKIP() << "no dial-up service here: " << outcome.message;
    ASSERT_FALSE(outcome.Failed()) << outcome.className << ": " << outcome.message;
    EXPECT_TRUE(upAtOpen) << "Connect of the dial-up component ran before OnOpen";
    EXPECT_EQ(ResponseText(*whois), "ok\r\n");
}

} // namespace
