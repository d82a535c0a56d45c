// The dial-up component against a scripted rasapi32.dll of our own: the phone-book,
// active connections, saved password, a failing call and the dial events are set per
// test, and every call the component makes is checked in the library's call log.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "classes/application.h"
#include "classes/dispatch.h"
#include "ras/ztRasCmp.h"
#include "ras_support.h"

namespace {

using namespace rastest;
using Lines = std::vector<std::string>;

const DWORD kConnected = 0x2000, kDisconnected = 0x2001;
const HANDLE kDialHandle = reinterpret_cast<HANDLE>(0x5678);  // written by the stand-in's RasDialA
const std::string kHangUpDial = "RasHangUpA conn=00005678";
const std::string kTooLong = "Exception: Password is too long (at most 256 characters)";

HANDLE Handle(UINT_PTR value) { return reinterpret_cast<HANDLE>(value); }

void PostDialEvent(HWND window, DWORD state, DWORD error)
{
    PostMessageA(window, RegisterWindowMessageA("RASDIALEVENT"), state, error);
}

// Processor time this thread has used.
ULONGLONG ThreadCpuMilliseconds()
{
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto value = [](const FILETIME& t) {
        return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return (value(kernel) + value(user)) / 10000;
}

// "Class: message" of what the action raises, "" when it raises nothing.
std::string RaisedBy(const std::function<void()>& action)
{
    try {
        action();
    } catch (const zt::Exception& e) {
        return std::string(e.ClassName()) + ": " + e.Message();
    }
    return "";
}

class RasTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(fake, nullptr) << "rasapi32.dll is not the scripted stand-in";
        Reset({"Home", "Office", "ISP Night"});
    }

    // No component; a fresh stand-in with these entries.
    void Reset(const Lines& entries)
    {
        ras.reset();
        events.clear();
        *fake = {};
        fake->entries = entries;
    }

    // A component with its events recorded; given a service, set to dial it with a
    // typed password. The call log starts empty.
    zt::TztRas& Make(const std::string& service = "")
    {
        ras = std::make_unique<zt::TztRas>(nullptr);
        ras->TimeOut = 10;  // a dial that goes wrong ends within the test's bounds
        ras->OnStatusChange = [this](zt::Component* sender, std::string text) {
            EXPECT_EQ(sender, ras.get());
            events.push_back("status " + text);
        };
        ras->OnDisconnected = [this](zt::Component* sender) {
            EXPECT_EQ(sender, ras.get());
            events.push_back("disconnected");
        };
        if (!service.empty()) {
            ras->SetService(service);
            ras->Password = "secret";
        }
        fake->log[0] = '\0';
        return *ras;
    }

    std::string DialLine(const std::string& password)
    {
        char notifier[16];
        wsprintfA(notifier, "%08lX",
                  static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(ras->WindowHandle())));
        return "RasDialA ext=null book=null rec=1052 entry=Office user=dialuser password=" + password
               + " kind=FFFFFFFF notifier=" + notifier + " conn=null";
    }

    FakeRasControl* fake = Fake();
    std::unique_ptr<zt::TztRas> ras;
    Lines events;
};

TEST_F(RasTest, PhoneBookIsReadAtConstructionAndAfresh)
{
    zt::TztRas r(nullptr);
    EXPECT_EQ(Log(), Lines{"RasEnumEntriesA reserved=null book=null size=6600 rec=264"});
    EXPECT_EQ(r.Entries().Text(), "Home\r\nOffice\r\nISP Night\r\n");
    EXPECT_TRUE(r.RasAvailable());
    fake->entries = {"Later"};
    EXPECT_EQ(r.GetEntries().Text(), "Later\r\n");
}

TEST_F(RasTest, PhoneBookThatCannotBeReadLeavesNoEntriesQuietly)
{
    // A failing call; more entries than the 25 records of the buffer, which is not grown.
    for (DWORD code : {610u, 603u}) {
        SCOPED_TRACE(code);
        Reset(code == 603 ? Lines(26, "Entry") : Lines{"Home"});
        if (code == 610)
            fake->failing = {"RasEnumEntriesA", 610};
        EXPECT_EQ(ErrorBoxText([&] { Make(); }), "");
        EXPECT_EQ(ras->Entries().Count(), 0);
        EXPECT_FALSE(ras->RasAvailable());
        EXPECT_EQ(ras->LastError(), code);
    }
}

TEST_F(RasTest, ComponentInAFormDesignerMakesNoWindow)
{
    zt::Component form(nullptr);
    form.SetDesigning(true);
    auto* r = new zt::TztRas(&form);  // the form frees it
    EXPECT_EQ(r->WindowHandle(), nullptr);
    EXPECT_EQ(r->Entries().Count(), 3);
}

TEST_F(RasTest, ServiceSetterChecksAndItsErrorBoxes)
{
    zt::TztRas& r = Make();
    auto set = [&](const char* value) { return ErrorBoxText([&] { r.SetService(value); }); };

    // Another letter case is accepted and kept as given; an unknown name empties Service.
    EXPECT_EQ(set("isp NIGHT"), "");
    EXPECT_EQ(r.Service(), "isp NIGHT");
    EXPECT_EQ(set("Nowhere"), "Invalid service name");
    EXPECT_EQ(r.Service(), "");
    // The phone-book is read afresh.
    fake->entries = {"Home", "Added"};
    EXPECT_EQ(set("Added"), "");
    EXPECT_EQ(r.Service(), "Added");

    // While the link is up Service is kept, except that empty is always accepted.
    fake->connections = {{"Added", 0x111, ""}};
    r.Connect();
    ASSERT_TRUE(r.LinkUp());
    EXPECT_EQ(set("Home"), "This property can be set only before\restablishing the connection");
    EXPECT_EQ(r.Service(), "Added");
    // Without entries RAS counts as absent, and that is checked first.
    fake->entries = {};
    r.GetEntries();
    EXPECT_EQ(set("Office"), "TztRas component was unable to detect\rRAS on your system.");
    EXPECT_EQ(r.Service(), "Added");
    EXPECT_EQ(set(""), "");
    EXPECT_EQ(r.Service(), "");
}

TEST_F(RasTest, StoredPropertiesAreAppliedByNameWithTheSettersChecks)
{
    zt::TztRas& r = Make();
    const zt::StoredProperties stored = {{"Service", "Office"},          {"ForceService", "False"},
                                         {"MinimizeAtConnect", "True"}, {"Password", "pw"},
                                         {"RemovePassword", "False"},   {"TimeOut", "-5"}};
    EXPECT_EQ(ErrorBoxText([&] { r.ApplyStoredProperties(stored); }), "");
    EXPECT_EQ(r.Service(), "Office");
    EXPECT_FALSE(r.ForceService);
    EXPECT_TRUE(r.MinimizeAtConnect);
    EXPECT_EQ(r.Password, "pw");
    EXPECT_FALSE(r.RemovePassword);
    EXPECT_EQ(r.TimeOut, -5);

    EXPECT_EQ(ErrorBoxText([&] { r.ApplyStoredProperties({{"Service", "Elsewhere"}}); }),
              "Invalid service name");
    EXPECT_EQ(r.Service(), "");
    EXPECT_EQ(RaisedBy([&] { r.ApplyStoredProperties({{"Password", std::string(257, 'p')}}); }),
              kTooLong);
    EXPECT_EQ(r.Password, "pw");
}

TEST_F(RasTest, EmptyServiceMarksTheLinkUpWithoutDialling)
{
    zt::TztRas& r = Make();
    r.Connect();
    EXPECT_TRUE(r.LinkUp());
    EXPECT_FALSE(r.Dialled());
    r.Disconnect();
    EXPECT_FALSE(r.LinkUp());
    EXPECT_EQ(Log(), Lines{kEnumConnections});  // nothing dialled, nothing hung up
    EXPECT_EQ(events, Lines{});
}

TEST_F(RasTest, ActiveConnectionOfTheServiceIsAdoptedNotDialledNotHungUp)
{
    for (bool force : {true, false}) {
        SCOPED_TRACE(force ? "ForceService True" : "ForceService False");
        Reset({"Home", "Office"});
        fake->connections = {{"Home", 0x111, "10.1.1.1"}, {"Office", 0x222, "10.2.2.2"}};
        zt::TztRas& r = Make("Office");
        r.ForceService = force;
        r.Connect();
        EXPECT_TRUE(r.LinkUp());
        EXPECT_FALSE(r.Dialled());
        EXPECT_EQ(r.ConnHandle(), Handle(0x222));
        r.Disconnect();
        // Found by name: no projection query, nothing dialled, nothing hung up.
        EXPECT_EQ(Log(), Lines{kEnumConnections});
        EXPECT_EQ(events, Lines{});
        EXPECT_EQ(r.ConnHandle(), INVALID_HANDLE_VALUE);
    }
}

TEST_F(RasTest, AnyConnectionWithAnIpAddressCountsUnlessServiceIsForced)
{
    fake->connections = {{"Home", 0x111, ""}, {"Work", 0x333, "10.0.0.7"}, {"Late", 0x444, "10.0.0.8"}};
    fake->script = {{kConnected, 0}};
    zt::TztRas& r = Make("Office");
    r.ForceService = false;
    r.Connect();
    EXPECT_TRUE(r.LinkUp());
    EXPECT_FALSE(r.Dialled());
    EXPECT_EQ(r.ConnHandle(), Handle(0x333));
    EXPECT_EQ(Log(), (Lines{kEnumConnections,
                            "RasGetProjectionInfoA conn=00000111 kind=8021 size=24 rec=24 zeroed=1",
                            "RasGetProjectionInfoA conn=00000333 kind=8021 size=24 rec=24 zeroed=1"}));

    // Forced to its own entry, the component dials it.
    zt::TztRas& forced = Make("Office");
    forced.Connect();
    EXPECT_EQ(forced.ConnHandle(), kDialHandle);
    EXPECT_EQ(Log("RasGetProjectionInfoA"), Lines{});
}

TEST_F(RasTest, ServiceInOtherLetterCaseIsDialledNotAdopted)
{
    fake->connections = {{"Office", 0x222, "10.2.2.2"}};
    fake->script = {{kConnected, 0}};
    zt::TztRas& r = Make("OFFICE");
    r.Connect();
    EXPECT_EQ(r.ConnHandle(), kDialHandle);
    ASSERT_EQ(Log("RasDialA").size(), 1u);
    EXPECT_NE(Log("RasDialA")[0].find(" entry=OFFICE "), std::string::npos);
}

TEST_F(RasTest, FailingCallsRaiseWithThePlatformsTextAndOnlyAFailedDialHangsUp)
{
    const struct {
        const char* function;
        DWORD code;  // the stand-in has texts for 600 to 999 only: else the component builds one
        bool forceService;
        std::string calls;  // made before the error text is asked for, without "Ras" and "A"
    } rows[] = {
        {"RasEnumConnectionsA", 610, true, "EnumConnections"},
        {"RasEnumConnectionsA", 12345, true, "EnumConnections"},
        {"RasGetProjectionInfoA", 720, false, "EnumConnections GetProjectionInfo"},
        {"RasGetEntryDialParamsA", 623, true, "EnumConnections GetEntryDialParams"},
        {"RasSetEntryDialParamsA", 615, true, "EnumConnections GetEntryDialParams SetEntryDialParams"},
        {"RasDialA", 633, true, "EnumConnections GetEntryDialParams SetEntryDialParams Dial HangUp"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.function + std::string(" ") + std::to_string(row.code));
        Reset({"Home", "Office"});
        fake->connections = {{"Home", 0x111, "10.1.1.1"}};
        zt::TztRas& r = Make("Office");
        r.ForceService = row.forceService;
        fake->failing = {row.function, row.code};
        events.push_back(RaisedBy([&] { r.Connect(); }));

        const std::string code = std::to_string(row.code);
        std::string calls;
        for (const auto& line : Log())
            calls += " " + line.substr(3, line.find(' ') - 4);
        EXPECT_EQ(calls, " " + row.calls + " GetErrorString");
        EXPECT_EQ(Log("RasGetErrorStringA"), Lines{"RasGetErrorStringA code=" + code + " size=256"});
        const bool hangsUp = row.calls.ends_with("HangUp");
        EXPECT_EQ(Log("RasHangUpA"), hangsUp ? Lines{kHangUpDial} : Lines{});
        Lines expected = hangsUp ? Lines{"disconnected"} : Lines{};
        const char* text = row.code < 1000 ? "ERASError: Fake RAS error " : "ERASError: RAS error no ";
        expected.push_back(text + code);
        EXPECT_EQ(events, expected);
        EXPECT_EQ(r.LastError(), row.code);
        // The dial starts with reading the entry's parameters.
        EXPECT_EQ(r.Dialled(), row.calls.find("GetEntryDialParams") != std::string::npos);
        EXPECT_FALSE(r.LinkUp());
        EXPECT_EQ(r.ConnHandle(), INVALID_HANDLE_VALUE);
    }
}

TEST_F(RasTest, DialToConnectedReportsEveryStateAndKeepsTheHandle)
{
    // All wait in the queue together. The text goes by the low 16 bits of the state;
    // states 1 and 0x2001 have none, and 0x2001 (disconnected) neither drops the link
    // nor fires OnDisconnected.
    fake->script = {{0, 0},  {1, 0},  {2, 0},  {3, 0},       {4, 0},          {5, 0},
                    {14, 0}, {19, 0}, {21, 0}, {0x12000, 0}, {kConnected, 0}, {kDisconnected, 0}};
    zt::TztRas& r = Make("Office");
    r.Connect();
    const std::string verifying = "status Verifying user name and password";
    const std::string connecting = "status Connecting device";
    EXPECT_EQ(events, (Lines{"status Opening port", "status ", connecting, connecting, connecting, verifying,
                             "status Authenticated", verifying, "status Logging on to network",
                             "status Connected", "status Connected", "status "}));
    EXPECT_TRUE(r.LinkUp());
    EXPECT_TRUE(r.Dialled());
    EXPECT_EQ(r.ConnHandle(), kDialHandle);
    EXPECT_EQ(r.LastError(), 0u);
    EXPECT_EQ(Log(), (Lines{kEnumConnections,
                            "RasGetEntryDialParamsA book=null rec=1052 entry=Office zeroed=1",
                            "RasSetEntryDialParamsA book=null rec=1052 entry=Office user=dialuser "
                            "password=secret remove=FFFFFFFF",
                            DialLine("secret")}));

    r.Disconnect();
    EXPECT_EQ(Log("RasHangUpA"), Lines{kHangUpDial});
    EXPECT_EQ(events.back(), "disconnected");
    EXPECT_FALSE(r.LinkUp());
    EXPECT_EQ(r.ConnHandle(), INVALID_HANDLE_VALUE);
}

TEST_F(RasTest, TypedPasswordIsStoredForTheDialUnlessOneIsSaved)
{
    const std::string longest(256, 'q'), tooLong(257, 'p');
    const struct {
        std::string saved;  // saved with the entry; "": none
        std::string typed;
        bool remove;
        std::string stored;  // arguments of RasSetEntryDialParamsA from the password on; "": no call
        std::string dialled;  // password in the dialled record; "": no dial
        std::string raised;
    } rows[] = {
        {"", "secret", false, "password=secret remove=0", "secret", ""},
        // A saved password: Password and RemovePassword play no part.
        {"stored-pw", "typed", false, "", "stored-pw", ""},
        // 256 characters fit, whole; one more is refused before anything is stored or dialled.
        {"", longest, true, "password=" + longest + " remove=FFFFFFFF", longest, ""},
        {"", tooLong, true, "", "", kTooLong},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.typed.substr(0, 8));
        Reset({"Office"});
        fake->savedPassword = row.saved;
        fake->script = {{kConnected, 0}};
        zt::TztRas& r = Make("Office");
        r.Password = row.typed;
        r.RemovePassword = row.remove;
        EXPECT_EQ(RaisedBy([&] { r.Connect(); }), row.raised);
        EXPECT_EQ(Log("RasSetEntryDialParamsA"),
                  row.stored.empty() ? Lines{}
                                     : Lines{"RasSetEntryDialParamsA book=null rec=1052 entry=Office "
                                             "user=dialuser " + row.stored});
        EXPECT_EQ(Log("RasDialA"), row.dialled.empty() ? Lines{} : Lines{DialLine(row.dialled)});
        EXPECT_EQ(Log("RasHangUpA"), Lines{});
        EXPECT_EQ(r.LinkUp(), row.raised.empty());
    }
}

TEST_F(RasTest, ErrorWhileWaitingHangsUpFirstThenRaises)
{
    fake->script = {{0, 0}, {2, 0}, {2, 678}};
    zt::TztRas& r = Make("Office");
    events.push_back(RaisedBy([&] { r.Connect(); }));
    EXPECT_EQ(events, (Lines{"status Opening port", "status Connecting device", "status Connecting device",
                             "disconnected", "ERASError: Fake RAS error 678"}));
    EXPECT_EQ(Log("RasHangUpA"), Lines{kHangUpDial});
    EXPECT_EQ(r.LastError(), 678u);
    EXPECT_FALSE(r.LinkUp());
    EXPECT_EQ(r.ConnHandle(), INVALID_HANDLE_VALUE);
}

TEST_F(RasTest, ErrorAfterTheLinkIsUpIsRaisedIntoTheLoopThatDeliversIt)
{
    // Delivered after Connect returned: the caller's own message loop gets it.
    fake->script = {{kConnected, 0}};
    zt::TztRas& r = Make("Office");
    r.Connect();
    ASSERT_TRUE(r.LinkUp());
    PostDialEvent(r.WindowHandle(), kDisconnected, 628);
    EXPECT_EQ(RaisedBy([] { zt::Application.ProcessMessages(); }), "ERASError: Fake RAS error 628");
    EXPECT_FALSE(zt::HasParkedException());
    EXPECT_TRUE(r.LinkUp());
    EXPECT_EQ(r.LastError(), 628u);
    EXPECT_EQ(r.ConnHandle(), kDialHandle);
    EXPECT_EQ(Log("RasHangUpA"), Lines{});

    // Delivered in the same pass as the connected state: the wait of Connect is the
    // loop, so Connect raises, without hanging up.
    fake->script = {{kConnected, 0}, {kDisconnected, 629}};
    zt::TztRas& again = Make("Office");
    EXPECT_EQ(RaisedBy([&] { again.Connect(); }), "ERASError: Fake RAS error 629");
    EXPECT_TRUE(again.LinkUp());
    EXPECT_EQ(again.LastError(), 629u);
    EXPECT_EQ(Log("RasHangUpA"), Lines{});
}

TEST_F(RasTest, TimeOutEndsTheWaitWithoutSpinningAndLeavesTheDialRunning)
{
    for (std::int32_t seconds : {1, 2}) {
        SCOPED_TRACE(seconds);
        Reset({"Office"});
        fake->script = {{0, 0}};
        zt::TztRas& r = Make("Office");
        r.TimeOut = seconds;
        DWORD start = GetTickCount();
        ULONGLONG cpuBefore = ThreadCpuMilliseconds();
        EXPECT_EQ(RaisedBy([&] { r.Connect(); }), "ETimedOutError: Operation timed out");
        DWORD elapsed = GetTickCount() - start;
        // The wait sleeps between messages; it does not spin.
        EXPECT_LT(ThreadCpuMilliseconds() - cpuBefore, elapsed / 4);
        EXPECT_GE(elapsed, seconds * 1000u - 100);
        EXPECT_LT(elapsed, seconds * 1000u + 1500);
        EXPECT_FALSE(r.LinkUp());
        EXPECT_TRUE(r.Dialled());
        EXPECT_EQ(r.ConnHandle(), kDialHandle);
        EXPECT_EQ(Log("RasHangUpA"), Lines{});

        // A later Disconnect ends the attempt.
        r.Disconnect();
        EXPECT_EQ(Log("RasHangUpA"), Lines{kHangUpDial});
        EXPECT_EQ(events, (Lines{"status Opening port", "disconnected"}));
    }
}

TEST_F(RasTest, TimeOutOfZeroNeverEndsTheWait)
{
    fake->script = {{0, 0}};
    zt::TztRas& r = Make("Office");
    r.TimeOut = 0;
    // Connected after the timer's first tick.
    std::thread later([window = r.WindowHandle()] {
        Sleep(1500);
        PostDialEvent(window, kConnected, 0);
    });
    DWORD start = GetTickCount();
    EXPECT_EQ(RaisedBy([&] { r.Connect(); }), "");
    later.join();
    EXPECT_GE(GetTickCount() - start, 1400u);
    EXPECT_TRUE(r.LinkUp());
}

TEST_F(RasTest, DisconnectFromInsideTheWaitCancelsThatDialOnly)
{
    fake->script = {{0, 0}, {2, 0}};
    zt::TztRas& r = Make("Office");
    r.OnStatusChange = [&](zt::Component*, std::string text) {
        events.push_back("status " + text);
        if (text == "Connecting device")
            r.Disconnect();
    };
    events.push_back(RaisedBy([&] { r.Connect(); }));
    EXPECT_EQ(events, (Lines{"status Opening port", "status Connecting device", "disconnected",
                             "ECanceledError: Operation has been canceled"}));
    EXPECT_EQ(Log("RasHangUpA"), Lines{kHangUpDial});
    EXPECT_FALSE(r.LinkUp());
    EXPECT_EQ(r.ConnHandle(), INVALID_HANDLE_VALUE);

    // The cancel does not carry over to the next dial.
    fake->script = {{0, 0}, {kConnected, 0}};
    EXPECT_EQ(RaisedBy([&] { r.Connect(); }), "");
    EXPECT_TRUE(r.LinkUp());
}

TEST_F(RasTest, EveryHangUpAfterADialHangsUpAgainAndSettlesTheState)
{
    fake->script = {{kConnected, 0}};
    zt::TztRas& r = Make("Office");
    r.Connect();
    events.clear();
    r.HangUp();
    r.HangUp();
    EXPECT_EQ(Log("RasHangUpA"), (Lines{kHangUpDial, "RasHangUpA conn=FFFFFFFF"}));
    EXPECT_EQ(events, (Lines{"disconnected", "disconnected"}));
    EXPECT_FALSE(r.LinkUp());

    // Also when the handler fails.
    r.Connect();
    r.OnDisconnected = [](zt::Component*) { throw zt::Exception("handler failed"); };
    EXPECT_EQ(RaisedBy([&] { r.Disconnect(); }), "Exception: handler failed");
    EXPECT_FALSE(r.LinkUp());
    EXPECT_EQ(r.ConnHandle(), INVALID_HANDLE_VALUE);
}

TEST_F(RasTest, DestroyingTheComponentLeavesTheLinkUp)
{
    fake->script = {{kConnected, 0}};
    Make("Office").Connect();
    ASSERT_TRUE(ras->LinkUp());
    ras.reset();
    EXPECT_EQ(Log("RasHangUpA"), Lines{});
    EXPECT_EQ(events.back(), "status Connected");
}

TEST_F(RasTest, MinimizeAtConnectMinimisesTheSystemDialogWindowAfterASecond)
{
    HWND dialog = CreateWindowExA(0, "#32770", "Dial status", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                                  200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(dialog, nullptr);
    fake->script = {{kConnected, 0}};
    for (bool minimize : {false, true}) {
        SCOPED_TRACE(minimize);
        zt::TztRas& r = Make("Office");
        r.MinimizeAtConnect = minimize;
        DWORD start = GetTickCount();
        r.Connect();
        EXPECT_EQ(GetTickCount() - start >= 950, minimize);
        EXPECT_EQ(IsIconic(dialog) != FALSE, minimize);
    }
    DestroyWindow(dialog);
}

} // namespace
