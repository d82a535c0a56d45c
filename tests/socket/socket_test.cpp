// The socket and whois components' own state: the process-wide library, stored
// properties, the notices of the hidden window, the resolution of host and port,
// the dial-up reference and the log of sent lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <tuple>
#include <utility>

#include "classes/dispatch.h"
#include "harness.h"
#include "ras/ztRasCmp.h"
#include "testserver.h"
#include "winsock/ztwsock.h"

namespace {

using namespace sockettest;

TEST(SocketComponent, StoredPropertiesAndTheProcessWideLibrary)
{
    Session s("127.0.0.1:1");
    EXPECT_TRUE(s.whois.WinsockLoaded());
    s.whois.ApplyStoredProperties({{"Server", "whois.example.test:4343"}, {"Query", "example.test"},
                                   {"DefaultPort", "4343"}, {"TimeOut", "5"}});
    EXPECT_EQ(std::tuple(s.whois.Server(), s.whois.Query(), s.whois.DefaultPort(), s.whois.TimeOut()),
              std::tuple("whois.example.test:4343", "example.test", 4343, 5));
    for (const auto& [name, value] : {std::pair{"NoSuchProperty", "1"}, {"DefaultPort", "65536"},
                                      {"TimeOut", "ten"}, {"WinsockLoaded", "Yes"}, {"RAS", "NoSuchComponent"}})
        EXPECT_NE(Attempt([&] { s.whois.ApplyStoredProperties({{name, value}}); }), "") << name;
    // A second component unloads the library; the binding raises directly, no OnError.
    auto* second = new zt::TztSocket(nullptr);
    EXPECT_EQ(s.Execute(), "EWinsockDLLError: Winsock is not loaded");
    EXPECT_EQ(s.log, "Open");
    second->SetWinsockLoaded(true);
    EXPECT_TRUE(s.whois.WinsockLoaded());
    // A component that opened and is destroyed after the binding's shut-down pays nothing back.
    second->SetServer("127.0.0.1:1");
    second->Open();
    second->Close();
    zt::TztWinsock* binding = std::exchange(zt::WinsockInstance, nullptr);
    delete second;
    zt::WinsockInstance = binding;
    s.whois.ApplyStoredProperties({{"WinsockLoaded", "False"}});
    EXPECT_FALSE(s.whois.WinsockLoaded());
}

TEST(SocketComponent, OpenResolvesHostAndPort)
{
    Session s("localhost", 10, 30);
    s.whois.SetDefaultPort(4444);
    // Open makes the socket last: only after a success is there one to close.
    auto open = [&] { return Attempt([&] { s.whois.Reset(); s.whois.Open(); s.whois.Close(); }); };
    // The port the look-up of "whois" gives on this system, whatever it is.
    ASSERT_EQ(open(), "");
    EXPECT_TRUE(s.whois.HostResolved() && s.whois.ServiceResolved() && !s.whois.LocalHost().empty());
    EXPECT_EQ(s.whois.AddressText(), "127.0.0.1");
    const std::uint16_t looked = s.whois.Port();

    // A port in Server wins, its low 16 bits; anything else goes to the look-up (port
    // -1: its port; 0: it fails, DefaultPort). A dotted address needs no look-up and
    // leaves the looked-up text as it was.
    struct { const char *server, *serviceName; int port; } cases[] = {
        {"127.0.0.1:4321", "whois", 4321}, {"127.0.0.1:4321", "", 4321},  {"127.0.0.1:65537", "whois", 1},
        {"127.0.0.1:-1", "whois", 65535},  {"127.0.0.1:abc", "whois", -1}, {"127.0.0.1:0", "whois", -1},
        {"127.0.0.1:65536", "whois", -1},  {"127.0.0.1:12x", "whois", -1}, {"127.0.0.1:1:2", "whois", -1},
        {"127.0.0.1:99999999999", "whois", -1}, {"127.0.0.1", "rz-no-such-service", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.server) + " / " + c.serviceName);
        s.whois.SetServer(c.server);
        s.whois.ServiceName = c.serviceName;
        EXPECT_EQ(open(), "");
        EXPECT_EQ(s.whois.Port(), c.port < 0 ? looked : c.port > 0 ? c.port : 4444);
        EXPECT_EQ(s.whois.ServiceResolved(), c.port <= 0);
        EXPECT_FALSE(s.whois.HostResolved() || s.whois.ErrorPending());
        EXPECT_EQ(s.whois.Address(), 0x0100007Fu);
        EXPECT_EQ(s.whois.AddressText(), "127.0.0.1");
        EXPECT_TRUE(s.Idle());
    }
    s.whois.ServiceName = "";
    EXPECT_EQ(open(), "ESocketError: Service name is required");
}

TEST(SocketComponent, NoticesSetTheirFlags)
{
    // param: error word << 16 | event word; flags: those set afterwards; errorCode: the
    // code afterwards. A look-up reply while no request is pending sets nothing. Reset
    // (before each notice) clears the flags and keeps the code.
    struct { UINT message; std::uint32_t param; const char* flags; std::uint16_t errorCode; } cases[] = {
        {zt::WM_SOCKETEVENT, FD_READ, "Readable", 0},     {zt::WM_SOCKETEVENT, FD_WRITE, "Writable", 0},
        {zt::WM_SOCKETEVENT, FD_CONNECT, "Connected", 0}, {zt::WM_SOCKETEVENT, FD_CLOSE, "Closed", 0},
        {zt::WM_SOCKETEVENT, (10053u << 16) | FD_CLOSE, "ErrorPending", 10053},
        {zt::WM_HOSTLOOKUP, 0, "", 10053},                {zt::WM_SERVICELOOKUP, 11004u << 16, "", 10053},
        {zt::WM_SOCKETEVENT, FD_READ | FD_CLOSE, "", 0},  {zt::WM_SOCKETEVENT, FD_OOB, "", 0},
    };
    zt::TztSocket socket(nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.message) + " " + std::to_string(c.param));
        socket.Cancel();
        socket.Reset();
        SendMessageA(socket.WindowHandle(), c.message, 0, static_cast<LPARAM>(c.param));
        std::string flags;
        for (auto [set, name] : {std::pair{socket.HostResolved(), "HostResolved"},
                                 {socket.ServiceResolved(), "ServiceResolved"}, {socket.Readable(), "Readable"},
                                 {socket.Writable(), "Writable"}, {socket.Connected(), "Connected"},
                                 {socket.Closed(), "Closed"}, {socket.ErrorPending(), "ErrorPending"},
                                 {socket.Canceled(), "Canceled"}})
            flags += set ? name : "";
        EXPECT_EQ(flags, c.flags);
        EXPECT_EQ(socket.ErrorCode(), c.errorCode);
    }
}

TEST(SocketComponent, RemovingTheDialUpComponentClearsTheReference)
{
    zt::Component form(nullptr);
    auto* socket = new zt::TztWhoIs(&form);
    // One of the same owner, and one of another owner: it is watched too.
    for (zt::Component* owner : {&form, static_cast<zt::Component*>(nullptr)}) {
        auto* ras = new zt::TztRas(owner);
        socket->SetRAS(ras);
        delete new zt::TztRas(nullptr);
        EXPECT_EQ(socket->RAS(), ras) << "another component's removal changes nothing";
        delete ras;
        EXPECT_EQ(socket->RAS(), nullptr);
    }
    // Stored by name.
    auto* named = new zt::TztRas(&form);
    named->SetName("Ras2");
    socket->ApplyStoredProperties({{"RAS", "Ras2"}});
    EXPECT_EQ(socket->RAS(), named);
}

TEST(SocketComponent, LogOfSentLines)
{
    const std::string path = "rz-socket-" + std::to_string(GetCurrentProcessId()) + ".log";
    auto text = [&] {
        std::ifstream file(path, std::ios::binary);
        return file ? std::string(std::istreambuf_iterator<char>(file), {}) : "<none>";
    };
    // A component that sends nothing and goes with LogFile set.
    auto unused = [](const std::string& logFile) { zt::TztWhoIs(nullptr).LogFile = logFile; };
    std::remove(path.c_str());
    rztest::TestServer server(rztest::Script::Answer, "ok\r\n");
    {
        Session s(server.Address(), 10, 30);
        for (const char* query : {"not logged", "first.test", ""}) {
            s.whois.SetQuery(query);
            EXPECT_EQ(s.Execute(), "");
            s.whois.LogFile = path; // from the second exchange on
        }
        EXPECT_EQ(text(), "<none>") << "written only when the component goes";
    }
    EXPECT_EQ(text(), "first.test\r\n\r\n");
    unused(path);
    EXPECT_EQ(text(), "");
    std::remove(path.c_str());
    // A log that cannot be written is parked for the loop that processes messages next.
    ASSERT_FALSE(zt::HasParkedException());
    unused(path + "-no-such-directory\\sent.log");
    std::exception_ptr error = zt::TakeParked();
    ASSERT_TRUE(error);
    EXPECT_EQ(Attempt([&] { std::rethrow_exception(error); }).rfind("EInOutError: ", 0), 0u);
}

} // namespace
