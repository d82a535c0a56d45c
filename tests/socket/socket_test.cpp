// The socket and whois components' own state: the process-wide library, stored
// properties, the notices of the hidden window, the resolution of host and port,
// the dial-up reference and the log of sent lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <utility>

#include "classes/dispatch.h"
#include "harness.h"
#include "ras/ztRasCmp.h"
#include "winsock/ztwsock.h"
#include "testserver.h"

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

// The file's bytes; "<none>" when it does not exist.
std::string FileText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return file ? std::string(std::istreambuf_iterator<char>(file), {}) : "<none>";
}

TEST(SocketComponent, ASecondComponentUnloadsTheProcessWideLibrary)
{
    Session first("127.0.0.1:1");
    EXPECT_TRUE(first.whois.WinsockLoaded());
    zt::TztSocket second(nullptr);
    EXPECT_FALSE(first.whois.WinsockLoaded());
    // The binding raises directly: no OnError.
    EXPECT_EQ(first.Execute(), "EWinsockDLLError: Winsock is not loaded");
    EXPECT_EQ(first.log.Joined(), "Open");
    EXPECT_EQ(first.whois.StartupCount(), 0);
    second.SetWinsockLoaded(true);
    EXPECT_TRUE(first.whois.WinsockLoaded());
}

TEST(SocketComponent, StoredPropertiesAreAppliedByName)
{
    zt::TztWhoIs whois(nullptr);
    whois.ApplyStoredProperties({{"WinsockLoaded", "True"}, {"Server", "whois.example.test:4343"},
                                 {"Query", "example.test"}, {"DefaultPort", "4343"}, {"TimeOut", "5"}});
    EXPECT_TRUE(whois.WinsockLoaded());
    EXPECT_EQ(whois.Server(), "whois.example.test:4343");
    EXPECT_EQ(whois.Query(), "example.test");
    EXPECT_EQ(whois.DefaultPort(), 4343);
    EXPECT_EQ(whois.TimeOut(), 5);
    for (const auto& [name, value] : {std::pair{"NoSuchProperty", "1"}, {"DefaultPort", "65536"},
                                      {"TimeOut", "ten"}, {"WinsockLoaded", "Yes"}, {"RAS", "NoSuchComponent"}}) {
        SCOPED_TRACE(name);
        EXPECT_NE(Attempt([&] { whois.ApplyStoredProperties({{name, value}}); }), "");
    }
    whois.ApplyStoredProperties({{"WinsockLoaded", "False"}});
    EXPECT_FALSE(whois.WinsockLoaded());
}

TEST(SocketComponent, PortChoice)
{
    // The port the service look-up of "whois" gives on this system, whatever it is.
    Session s("127.0.0.1", 10, 30);
    s.whois.SetDefaultPort(4444);
    ASSERT_EQ(s.Open(), "");
    ASSERT_TRUE(s.whois.ServiceResolved());
    const std::uint16_t looked = s.whois.Port();

    struct { const char *server, *serviceName; bool lookUp; int port; } cases[] = { // port -1: as looked up above
        {"127.0.0.1:4321", "whois", false, 4321},  {"127.0.0.1:65537", "whois", false, 1},
        {"127.0.0.1:-1", "whois", false, 65535},   {"127.0.0.1:4321", "", false, 4321},
        {"127.0.0.1:abc", "whois", true, -1},      {"127.0.0.1:0", "whois", true, -1},
        {"127.0.0.1:65536", "whois", true, -1},    {"127.0.0.1:12x", "whois", true, -1},
        {"127.0.0.1:1:2", "whois", true, -1},      {"127.0.0.1:99999999999", "whois", true, -1},
        {"127.0.0.1", "rz-no-such-service", true, 4444},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.server) + " / " + c.serviceName);
        s.whois.SetServer(c.server);
        s.whois.ServiceName = c.serviceName;
        EXPECT_EQ(s.Open(), "");
        EXPECT_EQ(s.whois.ServiceResolved(), c.lookUp);
        EXPECT_EQ(s.whois.Port(), c.port < 0 ? looked : c.port);
        EXPECT_FALSE(s.whois.ErrorPending()) << "a failed look-up leaves no error behind";
        EXPECT_TRUE(s.Idle());
    }
    s.whois.SetServer("127.0.0.1");
    s.whois.ServiceName = "";
    EXPECT_EQ(s.Open(), "ESocketError: Service name is required");
    EXPECT_TRUE(s.Idle());
}

TEST(SocketComponent, HostResolution)
{
    // A dotted address needs no look-up and leaves the looked-up text as it was.
    struct { const char* server; bool lookedUp; const char* addressText; std::uint32_t address; } cases[] = {
        {"127.0.0.1:43", false, "", 0x0100007Fu},
        {"localhost:43", true, "127.0.0.1", 0x0100007Fu},
        {"127.0.0.2:43", false, "127.0.0.1", 0x0200007Fu},
    };
    Session s("");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.server);
        s.whois.SetServer(c.server);
        EXPECT_EQ(s.Open(), "");
        EXPECT_EQ(s.whois.HostResolved(), c.lookedUp);
        EXPECT_EQ(s.whois.AddressText(), c.addressText);
        EXPECT_EQ(s.whois.Address(), c.address);
        EXPECT_FALSE(s.whois.LocalHost().empty());
    }
}

TEST(SocketComponent, NoticesSetTheirFlags)
{
    // param: error word << 16 | event word; flags: those set afterwards. A look-up
    // reply for a request that is not pending (here: none is) sets nothing.
    struct { UINT message; std::uint32_t param; const char* flags; std::uint16_t errorCode; } cases[] = {
        {zt::WM_HOSTLOOKUP, 0, "", 0},
        {zt::WM_HOSTLOOKUP, 11001u << 16, "", 0},
        {zt::WM_SERVICELOOKUP, 11004u << 16, "", 0},
        {zt::WM_SOCKETEVENT, FD_READ, "Readable", 0},
        {zt::WM_SOCKETEVENT, FD_WRITE, "Writable", 0},
        {zt::WM_SOCKETEVENT, FD_CONNECT, "Connected", 0},
        {zt::WM_SOCKETEVENT, FD_CLOSE, "Closed", 0},
        {zt::WM_SOCKETEVENT, (10061u << 16) | FD_CONNECT, "ErrorPending", 10061},
        {zt::WM_SOCKETEVENT, (10053u << 16) | FD_CLOSE, "ErrorPending", 10053},
        {zt::WM_SOCKETEVENT, FD_READ | FD_CLOSE, "", 0},
        {zt::WM_SOCKETEVENT, FD_OOB, "", 0},
    };
    zt::TztSocket socket(nullptr);
    auto notice = [&](UINT message, std::uint32_t param) {
        SendMessageA(socket.WindowHandle(), message, 1234, static_cast<LPARAM>(param));
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.message) + " " + std::to_string(c.param));
        socket.Reset();
        notice(c.message, c.param);
        std::string flags;
        for (auto [set, name] : {std::pair{socket.HostResolved(), "HostResolved"},
                                 {socket.ServiceResolved(), "ServiceResolved"}, {socket.Readable(), "Readable"},
                                 {socket.Writable(), "Writable"}, {socket.Connected(), "Connected"},
                                 {socket.Closed(), "Closed"}, {socket.ErrorPending(), "ErrorPending"}})
            if (set)
                flags += std::string(flags.empty() ? "" : " ") + name;
        EXPECT_EQ(flags, c.flags);
        EXPECT_EQ(socket.ErrorCode(), c.errorCode);
    }
    // Reset clears the flags and keeps the last error code.
    notice(zt::WM_SOCKETEVENT, (10054u << 16) | FD_READ);
    socket.Cancel();
    socket.Reset();
    EXPECT_FALSE(socket.ErrorPending() || socket.Readable() || socket.Canceled());
    EXPECT_EQ(socket.ErrorCode(), 10054);
}

TEST(SocketComponent, OperationsWithoutASocket)
{
    Session s("127.0.0.1:1");
    EXPECT_EQ(Attempt([&] { s.whois.SendLine("text"); }), "ESocketError: You have to connect to the server first");
    s.whois.Close();
    s.whois.Cancel();
    // Canceled stays until Reset: Connect fails at once.
    s.whois.Open();
    EXPECT_EQ(Attempt([&] { s.whois.Connect(); }), "ECanceledError: Operation has been canceled");
    s.whois.Close();
    EXPECT_EQ(s.log.Joined(), "Error:You have to connect to the server first, Cancel, Open, "
                              "Error:Operation has been canceled, Closing, Closed");
}

TEST(SocketComponent, RemovingTheDialUpComponentClearsTheReference)
{
    zt::Component form(nullptr);
    auto* socket = new zt::TztWhoIs(&form);
    auto* ras = new zt::TztRas(&form);
    auto* other = new zt::TztRas(nullptr);
    socket->SetRAS(ras);
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
    const std::string path = TempPath("sent.log"), unused = TempPath("unused.log");
    std::remove(path.c_str());
    std::remove(unused.c_str());
    {
        Session s(server.Address(), 10, 30);
        s.whois.SetQuery("not logged");
        s.Execute();
        s.whois.LogFile = path;
        for (const char* query : {"first.test", ""}) {
            s.whois.SetQuery(query);
            EXPECT_EQ(s.Execute(), "");
        }
        EXPECT_EQ(FileText(path), "<none>") << "written only when the component goes";
    }
    EXPECT_EQ(FileText(path), "first.test\r\n\r\n");
    {
        // Set while lines were sent, cleared before the end: nothing is written.
        Session s(server.Address(), 10, 30);
        s.whois.LogFile = unused;
        s.Execute();
        s.whois.LogFile = "";
    }
    EXPECT_EQ(FileText(unused), "<none>");
    {
        // Nothing sent: an empty file.
        zt::TztWhoIs whois(nullptr);
        whois.LogFile = path;
    }
    EXPECT_EQ(FileText(path), "");
    std::remove(path.c_str());
}

TEST(SocketComponent, LogThatCannotBeWrittenIsParkedForTheNextPass)
{
    ASSERT_FALSE(zt::HasParkedException());
    {
        zt::TztWhoIs whois(nullptr);
        whois.LogFile = TempPath("no-such-directory\\sent.log");
    }
    std::exception_ptr error = zt::TakeParked();
    ASSERT_TRUE(error);
    EXPECT_EQ(Attempt([&] { std::rethrow_exception(error); }).rfind("EInOutError: ", 0), 0u);
}

TEST(SocketComponent, DestroyedAfterTheBindingIsGone)
{
    // A component that outlives the binding's shut-down pays back nothing.
    auto whois = std::make_unique<zt::TztWhoIs>(nullptr);
    whois->ApplyStoredProperties({{"WinsockLoaded", "True"}});
    whois->SetServer("127.0.0.1:1");
    whois->Open();
    whois->Close();
    ASSERT_EQ(whois->StartupCount(), 1);
    zt::TztWinsock* binding = std::exchange(zt::WinsockInstance, nullptr);
    whois.reset();
    zt::WinsockInstance = binding;
}

} // namespace
