// The dial-up component against a scripted rasapi32.dll of our own: the phone-book,
// active connections, saved passwords, failing calls and dial scripts are set per
// test, and every call the component makes is checked in the library's call log.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "classes/application.h"
#include "classes/dispatch.h"
#include "ras/ztRasCmp.h"
#include "ras/ztrasAPI.h"
#include "ras_support.h"
#include "socket/ztsockerr.h"

namespace {

using rastest::BoxesDuring;
using rastest::Now;
using rastest::PumpFor;
using rastest::PumpUntil;

const UINT_PTR kDialHandle = 0x5678;
const std::string kDialHandleText = "00005678";
const DWORD kConnected = 0x2000;
const DWORD kDisconnected = 0x2001;

rastest::FakeRas& Fake()
{
    static auto* fake = [] {
        auto* loaded = new rastest::FakeRas;
        loaded->Load();
        return loaded;
    }();
    return *fake;
}

std::string Hex(HANDLE handle)
{
    char text[16];
    wsprintfA(text, "%08lX", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(handle)));
    return text;
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

HANDLE Handle(UINT_PTR value) { return reinterpret_cast<HANDLE>(value); }

// Class name and message of what the action raises, or "" when it raises nothing.
template <class Action>
std::string RaisedBy(Action&& action)
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
        ASSERT_NE(Fake().PostedCount, nullptr) << "rasapi32.dll is not the scripted stand-in";
        Fake().Reset();
        Fake().logStart = 0;
        Fake().SetEntries({"Home", "Office", "ISP Night"});
    }

    void TearDown() override
    {
        ras.reset();
        Fake().Reset();
        // Whatever is still queued goes now, before the next test.
        try {
            zt::Application.ProcessMessages();
        } catch (...) {
        }
    }

    // A component with its events recorded in `events`.
    zt::TztRas& Make()
    {
        ras = std::make_unique<zt::TztRas>(nullptr);
        ras->TimeOut = 10;  // a dial that goes wrong ends within the test's bounds
        ras->OnStatusChange = [this](zt::Component* sender, std::string text) {
            EXPECT_EQ(sender, ras.get());
            statuses.push_back(text);
            events.push_back("status " + text);
        };
        ras->OnDisconnected = [this](zt::Component* sender) {
            EXPECT_EQ(sender, ras.get());
            events.push_back("disconnected");
        };
        return *ras;
    }

    // A component set to dial "Office" with a typed password.
    zt::TztRas& MakeDialler()
    {
        zt::TztRas& r = Make();
        r.SetService("Office");
        r.Password = "secret";
        Fake().ClearLog();
        return r;
    }

    std::string DialLine(const std::string& entry, const std::string& password)
    {
        return "RasDialA ext=null book=null rec=1052 entry=" + entry
               + " user=dialuser password=" + password + " kind=FFFFFFFF notifier="
               + Hex(ras->WindowHandle()) + " conn=null";
    }

    int Count(const std::string& event)
    {
        int n = 0;
        for (const auto& e : events)
            n += e == event;
        return n;
    }

    std::unique_ptr<zt::TztRas> ras;
    std::vector<std::string> statuses;
    std::vector<std::string> events;
};

// --- the binding ------------------------------------------------------------------

TEST(RasBinding, StatusResourceNumbersByDialState)
{
    const struct {
        std::uint32_t state;
        UINT id;
    } table[] = {
        {0, 120},      {1, 0},       {2, 122},      {3, 122},          {4, 122},
        {5, 124},      {6, 0},       {14, 131},     {19, 124},         {21, 128},
        {0x2000, 129}, {0x2001, 0},  {0x12000, 129}, {0xFFFF0000u, 120},
    };
    for (const auto& row : table)
        EXPECT_EQ(zt::ras::StatusResourceId(row.state), row.id) << "state " << row.state;
}

// --- construction and the phone-book ------------------------------------------------

TEST_F(RasTest, ConstructionReadsThePhoneBookAndStartsIdle)
{
    zt::TztRas& r = Make();
    EXPECT_EQ(Fake().Log(), (std::vector<std::string>{
                                "RasEnumEntriesA reserved=null book=null size=6600 rec=264"}));
    ASSERT_EQ(r.Entries().Count(), 3);
    EXPECT_EQ(r.Entries()[0], "Home");
    EXPECT_EQ(r.Entries()[1], "Office");
    EXPECT_EQ(r.Entries()[2], "ISP Night");
    EXPECT_TRUE(r.RasAvailable());
    EXPECT_EQ(r.LastError(), 0u);
    EXPECT_NE(r.WindowHandle(), nullptr);
    EXPECT_FALSE(r.LinkUp());
    EXPECT_FALSE(r.Dialled());
    EXPECT_EQ(r.ConnHandle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(r.Service(), "");

    zt::TztRas defaults(nullptr);
    EXPECT_TRUE(defaults.ForceService);
    EXPECT_FALSE(defaults.MinimizeAtConnect);
    EXPECT_EQ(defaults.Password, "");
    EXPECT_TRUE(defaults.RemovePassword);
    EXPECT_EQ(defaults.TimeOut, 120);
    EXPECT_FALSE(defaults.OnStatusChange);
    EXPECT_FALSE(defaults.OnDisconnected);
}

TEST_F(RasTest, GetEntriesReadsAfresh)
{
    zt::TztRas& r = Make();
    Fake().SetEntries({"Later"});
    const zt::StringList& entries = r.GetEntries();
    EXPECT_EQ(&entries, &r.Entries());
    ASSERT_EQ(entries.Count(), 1);
    EXPECT_EQ(entries[0], "Later");
}

TEST_F(RasTest, PhoneBookThatCannotBeReadLeavesNoEntriesQuietly)
{
    // A failing call, and more entries than the 25 records the buffer holds: the
    // buffer is not grown, the code stays in LastError, no box appears.
    std::vector<std::string> many;
    for (int i = 0; i < 26; ++i)
        many.push_back("Entry " + std::to_string(i));
    const struct {
        const char* name;
        std::function<void()> setup;
        std::uint32_t code;
    } rows[] = {
        {"failing call", [] { Fake().FailCall("RasEnumEntriesA", 610); }, 610},
        {"26 entries", [&] { Fake().SetEntries(many); }, 603},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Fake().Reset();
        Fake().logStart = 0;
        row.setup();
        auto boxes = BoxesDuring([&] { Make(); });
        EXPECT_TRUE(boxes.empty());
        EXPECT_EQ(ras->Entries().Count(), 0);
        EXPECT_FALSE(ras->RasAvailable());
        EXPECT_EQ(ras->LastError(), row.code);
        EXPECT_EQ(Fake().Calls("RasEnumEntriesA").size(), 1u);
    }
    // Exactly 25 fit.
    Fake().Reset();
    many.pop_back();
    Fake().SetEntries(many);
    Make();
    EXPECT_EQ(ras->Entries().Count(), 25);
    EXPECT_EQ(ras->Entries()[24], "Entry 24");
}

TEST_F(RasTest, ComponentInAFormDesignerMakesNoWindow)
{
    zt::Component form(nullptr);
    form.SetDesigning(true);
    auto* r = new zt::TztRas(&form);  // the form frees it
    EXPECT_EQ(r->WindowHandle(), nullptr);
    EXPECT_EQ(r->Entries().Count(), 3);
}

// --- the Service property ------------------------------------------------------------

TEST_F(RasTest, ServiceSetterChecksAndItsErrorBoxes)
{
    zt::TztRas& r = Make();
    const std::string noRas = "TztRas component was unable to detect\rRAS on your system.";
    const std::string linkUp = "This property can be set only before\restablishing the connection";

    // Another letter case is accepted and kept as given; no box.
    EXPECT_TRUE(BoxesDuring([&] { r.SetService("isp NIGHT"); }).empty());
    EXPECT_EQ(r.Service(), "isp NIGHT");

    // A name the phone-book does not hold: box, Service emptied.
    auto boxes = BoxesDuring([&] { r.SetService("Nowhere"); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].text, "Invalid service name");
    EXPECT_TRUE(boxes[0].errorIcon);
    EXPECT_EQ(r.Service(), "");

    // The setter reads the phone-book afresh.
    Fake().SetEntries({"Home", "Office", "ISP Night", "Added"});
    EXPECT_TRUE(BoxesDuring([&] { r.SetService("Added"); }).empty());
    EXPECT_EQ(r.Service(), "Added");

    // While the link is up: box, Service kept; empty is always accepted.
    Fake().AddConnection("Added", 0x111, "");
    r.Connect();
    ASSERT_TRUE(r.LinkUp());
    boxes = BoxesDuring([&] { r.SetService("Home"); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, linkUp);
    EXPECT_TRUE(boxes[0].errorIcon);
    EXPECT_EQ(r.Service(), "Added");
    EXPECT_TRUE(BoxesDuring([&] { r.SetService(""); }).empty());
    EXPECT_EQ(r.Service(), "");
    r.Disconnect();
    EXPECT_TRUE(BoxesDuring([&] { r.SetService("Home"); }).empty());
    EXPECT_EQ(r.Service(), "Home");

    // Without entries RAS counts as absent: box, Service kept.
    Fake().SetEntries({});
    r.GetEntries();
    boxes = BoxesDuring([&] { r.SetService("Office"); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].text, noRas);
    EXPECT_EQ(r.Service(), "Home");
    EXPECT_TRUE(BoxesDuring([&] { r.SetService(""); }).empty());
    EXPECT_EQ(r.Service(), "");
}

TEST_F(RasTest, StoredPropertiesAreAppliedByName)
{
    zt::TztRas& r = Make();
    auto boxes = BoxesDuring([&] {
        r.ApplyStoredProperties({{"Service", "Office"},
                                 {"ForceService", "False"},
                                 {"MinimizeAtConnect", "True"},
                                 {"Password", "pw"},
                                 {"RemovePassword", "False"},
                                 {"TimeOut", "-5"}});
    });
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(r.Service(), "Office");
    EXPECT_FALSE(r.ForceService);
    EXPECT_TRUE(r.MinimizeAtConnect);
    EXPECT_EQ(r.Password, "pw");
    EXPECT_FALSE(r.RemovePassword);
    EXPECT_EQ(r.TimeOut, -5);

    // The setter's checks run while a form loads, too.
    boxes = BoxesDuring([&] { r.ApplyStoredProperties({{"Service", "Elsewhere"}}); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Invalid service name");
    EXPECT_EQ(r.Service(), "");

    EXPECT_THROW(r.ApplyStoredProperties({{"Colour", "Red"}}), zt::Exception);
    EXPECT_THROW(r.ApplyStoredProperties({{"TimeOut", "2147483648"}}), zt::Exception);
    EXPECT_THROW(r.ApplyStoredProperties({{"RemovePassword", "yes"}}), zt::Exception);
}

// --- finding a connection that is up ---------------------------------------------------

TEST_F(RasTest, EmptyServiceMarksTheLinkUpWithoutDialling)
{
    zt::TztRas& r = Make();
    Fake().ClearLog();
    r.Connect();
    EXPECT_EQ(Fake().Log(), (std::vector<std::string>{
                                "RasEnumConnectionsA size=4120 rec=412 zeroed=1"}));
    EXPECT_TRUE(r.LinkUp());
    EXPECT_FALSE(r.Dialled());
    r.Disconnect();
    EXPECT_FALSE(r.LinkUp());
    EXPECT_TRUE(Fake().Calls("RasHangUpA").empty());
    EXPECT_EQ(Count("disconnected"), 0);
}

TEST_F(RasTest, ActiveConnectionOfTheServiceIsAdoptedNotDialledNotHungUp)
{
    for (bool force : {true, false}) {
        SCOPED_TRACE(force ? "ForceService True" : "ForceService False");
        Fake().Reset();
        Fake().logStart = 0;
        Fake().SetEntries({"Home", "Office"});
        Fake().AddConnection("Home", 0x111, "10.1.1.1");
        Fake().AddConnection("Office", 0x222, "10.2.2.2");
        events.clear();
        zt::TztRas& r = MakeDialler();
        r.ForceService = force;
        r.Connect();
        EXPECT_TRUE(r.LinkUp());
        EXPECT_FALSE(r.Dialled());
        EXPECT_EQ(r.ConnHandle(), Handle(0x222));
        // Found by name: no projection query, nothing dialled.
        EXPECT_EQ(Fake().Log(), (std::vector<std::string>{
                                    "RasEnumConnectionsA size=4120 rec=412 zeroed=1"}));
        r.Disconnect();
        EXPECT_TRUE(Fake().Calls("RasHangUpA").empty());
        EXPECT_EQ(Count("disconnected"), 0);
        EXPECT_EQ(r.ConnHandle(), INVALID_HANDLE_VALUE);
        EXPECT_FALSE(r.LinkUp());
    }
}

TEST_F(RasTest, AnyConnectionWithAnIpAddressCountsUnlessServiceIsForced)
{
    Fake().AddConnection("Home", 0x111, "");
    Fake().AddConnection("Work", 0x333, "10.0.0.7");
    Fake().AddConnection("Late", 0x444, "10.0.0.8");
    Fake().SetDialScript({{0, kConnected, 0}});

    zt::TztRas& r = MakeDialler();
    r.ForceService = false;
    r.Connect();
    EXPECT_TRUE(r.LinkUp());
    EXPECT_FALSE(r.Dialled());
    EXPECT_EQ(r.ConnHandle(), Handle(0x333));
    EXPECT_EQ(Fake().Log(),
              (std::vector<std::string>{
                  "RasEnumConnectionsA size=4120 rec=412 zeroed=1",
                  "RasGetProjectionInfoA conn=00000111 kind=8021 size=24 rec=24 zeroed=1",
                  "RasGetProjectionInfoA conn=00000333 kind=8021 size=24 rec=24 zeroed=1"}));

    // Forced to its own entry, the component dials it.
    ras.reset();
    zt::TztRas& forced = MakeDialler();
    forced.Connect();
    EXPECT_TRUE(forced.Dialled());
    EXPECT_EQ(forced.ConnHandle(), Handle(kDialHandle));
    EXPECT_TRUE(Fake().Calls("RasGetProjectionInfoA").empty());
    EXPECT_EQ(Fake().Calls("RasDialA").size(), 1u);
}

TEST_F(RasTest, ConnectionsWithoutAnIpAddressDoNotCount)
{
    Fake().AddConnection("Home", 0x111, "");
    Fake().SetDialScript({{0, kConnected, 0}});
    zt::TztRas& r = MakeDialler();
    r.ForceService = false;
    r.Connect();
    EXPECT_TRUE(r.Dialled());
    EXPECT_EQ(r.ConnHandle(), Handle(kDialHandle));
    EXPECT_EQ(Fake().Calls("RasGetProjectionInfoA").size(), 1u);
}

TEST_F(RasTest, ServiceInOtherLetterCaseIsDialledNotAdopted)
{
    Fake().AddConnection("Office", 0x222, "10.2.2.2");
    Fake().SetDialScript({{0, kConnected, 0}});
    zt::TztRas& r = Make();
    r.SetService("OFFICE");
    r.Connect();
    EXPECT_TRUE(r.Dialled());
    EXPECT_EQ(r.ConnHandle(), Handle(kDialHandle));
    auto dials = Fake().Calls("RasDialA");
    ASSERT_EQ(dials.size(), 1u);
    EXPECT_NE(dials[0].find(" entry=OFFICE "), std::string::npos) << dials[0];
}

TEST_F(RasTest, FailuresBeforeTheDialRaiseWithThePlatformsText)
{
    const struct {
        const char* function;
        DWORD code;
        bool forceService;
        std::string raised;
    } rows[] = {
        {"RasEnumConnectionsA", 610, true, "ERASError: Fake RAS error 610"},
        // No text from the platform for the code: the component builds one.
        {"RasEnumConnectionsA", 12345, true, "ERASError: RAS error no 12345"},
        {"RasGetProjectionInfoA", 720, false, "ERASError: Fake RAS error 720"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.function + std::string(" ") + std::to_string(row.code));
        Fake().Reset();
        Fake().logStart = 0;
        Fake().SetEntries({"Home", "Office"});
        Fake().AddConnection("Home", 0x111, "10.1.1.1");
        events.clear();
        zt::TztRas& r = MakeDialler();
        r.ForceService = row.forceService;
        Fake().FailCall(row.function, row.code);
        EXPECT_EQ(RaisedBy([&] { r.Connect(); }), row.raised);
        EXPECT_EQ(r.LastError(), row.code);
        EXPECT_FALSE(r.LinkUp());
        EXPECT_FALSE(r.Dialled());
        EXPECT_EQ(r.ConnHandle(), INVALID_HANDLE_VALUE);
        EXPECT_TRUE(Fake().Calls("RasGetEntryDialParamsA").empty());
        EXPECT_TRUE(Fake().Calls("RasDialA").empty());
        EXPECT_EQ(Fake().Calls("RasGetErrorStringA"),
                  (std::vector<std::string>{"RasGetErrorStringA code=" + std::to_string(row.code)
                                            + " size=256"}));
    }
}

// --- dialling ----------------------------------------------------------------------------

TEST_F(RasTest, DialToConnectedReportsEveryStateAndKeepsTheHandle)
{
    Fake().SetDialScript({{0, 0, 0},
                          {30, 2, 0},
                          {30, 3, 0},
                          {30, 4, 0},
                          {30, 5, 0},
                          {30, 14, 0},
                          {30, kConnected, 0}});
    zt::TztRas& r = MakeDialler();
    r.Connect();
    EXPECT_EQ(statuses, (std::vector<std::string>{"Opening port", "Connecting device",
                                                  "Connecting device", "Connecting device",
                                                  "Verifying user name and password",
                                                  "Authenticated", "Connected"}));
    EXPECT_TRUE(r.LinkUp());
    EXPECT_TRUE(r.Dialled());
    EXPECT_EQ(r.ConnHandle(), Handle(kDialHandle));
    EXPECT_EQ(r.LastError(), 0u);
    EXPECT_EQ(Fake().Log(),
              (std::vector<std::string>{
                  "RasEnumConnectionsA size=4120 rec=412 zeroed=1",
                  "RasGetEntryDialParamsA book=null rec=1052 entry=Office zeroed=1",
                  "RasSetEntryDialParamsA book=null rec=1052 entry=Office user=dialuser "
                  "password=secret remove=FFFFFFFF",
                  DialLine("Office", "secret")}));

    r.Disconnect();
    EXPECT_EQ(Fake().Calls("RasHangUpA"),
              (std::vector<std::string>{"RasHangUpA conn=" + kDialHandleText}));
    EXPECT_EQ(Count("disconnected"), 1);
    EXPECT_FALSE(r.LinkUp());
    EXPECT_EQ(r.ConnHandle(), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(r.Dialled());
}

TEST_F(RasTest, StatesWithoutATextGiveAnEmptyOneAndDisconnectedDoesNotDropTheLink)
{
    // All four wait in the queue together and are handled in one pass.
    Fake().SetDialScript({{0, 0, 0}, {0, 1, 0}, {0, kConnected, 0}, {0, kDisconnected, 0}});
    zt::TztRas& r = MakeDialler();
    r.TimeOut = 2;
    EXPECT_EQ(RaisedBy([&] { r.Connect(); }), "");
    EXPECT_EQ(statuses, (std::vector<std::string>{"Opening port", "", "Connected", ""}));
    EXPECT_TRUE(r.LinkUp());
    EXPECT_EQ(Count("disconnected"), 0);
}

TEST_F(RasTest, RemovePasswordIsPassedAsAllBitsOrZero)
{
    const struct {
        bool remove;
        const char* flag;
    } rows[] = {{true, "FFFFFFFF"}, {false, "0"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.flag);
        Fake().SetDialScript({{0, kConnected, 0}});
        zt::TztRas& r = MakeDialler();
        r.RemovePassword = row.remove;
        r.Connect();
        EXPECT_EQ(Fake().Calls("RasSetEntryDialParamsA"),
                  (std::vector<std::string>{"RasSetEntryDialParamsA book=null rec=1052 entry=Office "
                                            "user=dialuser password=secret remove="
                                            + std::string(row.flag)}));
        ras.reset();
    }
}

TEST_F(RasTest, SavedPasswordMakesPasswordAndRemovePasswordIrrelevant)
{
    Fake().SetPasswordSaved(1, "stored-pw");
    Fake().SetDialScript({{0, kConnected, 0}});
    zt::TztRas& r = MakeDialler();
    r.Password = "typed";
    r.RemovePassword = false;
    r.Connect();
    EXPECT_TRUE(r.LinkUp());
    EXPECT_TRUE(Fake().Calls("RasSetEntryDialParamsA").empty());
    EXPECT_EQ(Fake().Calls("RasDialA"), (std::vector<std::string>{DialLine("Office", "stored-pw")}));
}

TEST_F(RasTest, PasswordThatDoesNotFitIsRefusedBeforeAnythingIsStoredOrDialled)
{
    const std::string tooLong(257, 'p');
    const std::string refused = "Exception: Password is too long (at most 256 characters)";

    zt::TztRas& r = MakeDialler();
    r.Password = tooLong;
    EXPECT_EQ(RaisedBy([&] { r.Connect(); }), refused);
    EXPECT_TRUE(Fake().Calls("RasSetEntryDialParamsA").empty());
    EXPECT_TRUE(Fake().Calls("RasDialA").empty());
    EXPECT_TRUE(Fake().Calls("RasHangUpA").empty());
    EXPECT_FALSE(r.LinkUp());

    // A form cannot store one either.
    r.Password = "kept";
    EXPECT_EQ(RaisedBy([&] { r.ApplyStoredProperties({{"Password", tooLong}}); }), refused);
    EXPECT_EQ(r.Password, "kept");

    // 256 characters fit, whole.
    const std::string longest(256, 'q');
    r.Password = longest;
    Fake().SetDialScript({{0, kConnected, 0}});
    Fake().ClearLog();
    EXPECT_EQ(RaisedBy([&] { r.Connect(); }), "");
    EXPECT_EQ(Fake().Calls("RasDialA"), (std::vector<std::string>{DialLine("Office", longest)}));
}

TEST_F(RasTest, FailuresOfTheDialStepsRaiseAndOnlyAFailedDialHangsUp)
{
    const struct {
        const char* function;
        DWORD code;
        bool hangsUp;
        std::vector<std::string> calls;
    } rows[] = {
        {"RasGetEntryDialParamsA", 623, false, {"RasEnumConnectionsA", "RasGetEntryDialParamsA"}},
        {"RasSetEntryDialParamsA", 615, false,
         {"RasEnumConnectionsA", "RasGetEntryDialParamsA", "RasSetEntryDialParamsA"}},
        {"RasDialA", 633, true,
         {"RasEnumConnectionsA", "RasGetEntryDialParamsA", "RasSetEntryDialParamsA", "RasDialA",
          "RasHangUpA"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.function);
        Fake().Reset();
        Fake().logStart = 0;
        Fake().SetEntries({"Office"});
        events.clear();
        zt::TztRas& r = MakeDialler();
        Fake().FailCall(row.function, row.code);
        std::string raised = RaisedBy([&] { r.Connect(); });
        events.push_back("raised " + raised);

        std::vector<std::string> calls;
        for (const auto& line : Fake().Log())
            if (line.rfind("RasGetErrorStringA", 0) != 0)
                calls.push_back(line.substr(0, line.find(' ')));
        EXPECT_EQ(calls, row.calls);
        std::vector<std::string> expected;
        if (row.hangsUp) {
            EXPECT_EQ(Fake().Calls("RasHangUpA"),
                      (std::vector<std::string>{"RasHangUpA conn=" + kDialHandleText}));
            expected.push_back("disconnected");
        }
        expected.push_back("raised ERASError: Fake RAS error " + std::to_string(row.code));
        EXPECT_EQ(events, expected);
        EXPECT_EQ(r.LastError(), row.code);
        EXPECT_TRUE(r.Dialled());
        EXPECT_FALSE(r.LinkUp());
        EXPECT_EQ(r.ConnHandle(), INVALID_HANDLE_VALUE);
    }
}

TEST_F(RasTest, ErrorWhileWaitingHangsUpFirstThenRaises)
{
    Fake().SetDialScript({{0, 0, 0}, {50, 2, 0}, {50, 2, 678}, {50, kConnected, 0}});
    zt::TztRas& r = MakeDialler();
    std::string raised = RaisedBy([&] { r.Connect(); });
    events.push_back("raised " + raised);
    EXPECT_EQ(events, (std::vector<std::string>{"status Opening port", "status Connecting device",
                                                "status Connecting device", "disconnected",
                                                "raised ERASError: Fake RAS error 678"}));
    EXPECT_EQ(Fake().Calls("RasHangUpA"),
              (std::vector<std::string>{"RasHangUpA conn=" + kDialHandleText}));
    EXPECT_EQ(r.LastError(), 678u);
    EXPECT_FALSE(r.LinkUp());
    EXPECT_EQ(r.ConnHandle(), INVALID_HANDLE_VALUE);
}

TEST_F(RasTest, ErrorAfterTheLinkIsUpIsRaisedIntoTheLoopThatDeliversIt)
{
    // Delivered later: the caller's own message loop gets the exception.
    Fake().SetDialScript({{0, kConnected, 0}, {150, kDisconnected, 628}});
    zt::TztRas& r = MakeDialler();
    r.Connect();
    ASSERT_TRUE(r.LinkUp());
    std::string raised = RaisedBy([] { PumpFor(5000); });
    EXPECT_EQ(raised, "ERASError: Fake RAS error 628");
    EXPECT_FALSE(zt::HasParkedException());
    EXPECT_TRUE(r.LinkUp());
    EXPECT_EQ(r.LastError(), 628u);
    EXPECT_EQ(r.ConnHandle(), Handle(kDialHandle));
    EXPECT_TRUE(Fake().Calls("RasHangUpA").empty());
    EXPECT_EQ(Count("disconnected"), 0);
    ras.reset();

    // Delivered in the same pass as the connected state: the wait of Connect is the
    // loop, so Connect raises, without hanging up.
    events.clear();
    Fake().SetDialScript({{0, kConnected, 0}, {0, kDisconnected, 629}});
    zt::TztRas& again = MakeDialler();
    EXPECT_EQ(RaisedBy([&] { again.Connect(); }), "ERASError: Fake RAS error 629");
    EXPECT_TRUE(again.LinkUp());
    EXPECT_EQ(again.LastError(), 629u);
    EXPECT_TRUE(Fake().Calls("RasHangUpA").empty());
    EXPECT_EQ(Count("disconnected"), 0);
}

TEST_F(RasTest, TimeOutEndsTheWaitButLeavesTheDialRunning)
{
    for (std::int32_t seconds : {1, 2}) {
        SCOPED_TRACE(seconds);
        Fake().SetDialScript({{0, 0, 0}});
        events.clear();
        zt::TztRas& r = MakeDialler();
        r.TimeOut = seconds;
        DWORD start = Now();
        ULONGLONG cpuBefore = ThreadCpuMilliseconds();
        EXPECT_EQ(RaisedBy([&] { r.Connect(); }), "ETimedOutError: Operation timed out");
        DWORD elapsed = Now() - start;
        // The wait sleeps between messages; it does not spin.
        EXPECT_LT(ThreadCpuMilliseconds() - cpuBefore, elapsed / 4);
        EXPECT_GE(elapsed, seconds * 1000u - 100);
        EXPECT_LT(elapsed, seconds * 1000u + 1500);
        EXPECT_FALSE(r.LinkUp());
        EXPECT_TRUE(r.Dialled());
        EXPECT_EQ(r.ConnHandle(), Handle(kDialHandle));
        EXPECT_TRUE(Fake().Calls("RasHangUpA").empty());
        EXPECT_EQ(Count("disconnected"), 0);

        // A later Disconnect ends the attempt.
        r.Disconnect();
        EXPECT_EQ(Fake().Calls("RasHangUpA"),
                  (std::vector<std::string>{"RasHangUpA conn=" + kDialHandleText}));
        EXPECT_EQ(Count("disconnected"), 1);
        ras.reset();
        Fake().Reset();
        Fake().logStart = 0;
        Fake().SetEntries({"Office"});
    }
}

TEST_F(RasTest, TimeOutOfZeroOrLessNeverEndsTheWait)
{
    const struct {
        std::int32_t timeOut;
        DWORD connectsAfter;
    } rows[] = {{0, 2500}, {-1, 1500}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.timeOut);
        Fake().SetDialScript({{0, 0, 0}, {row.connectsAfter, kConnected, 0}});
        zt::TztRas& r = MakeDialler();
        r.TimeOut = row.timeOut;
        DWORD start = Now();
        EXPECT_EQ(RaisedBy([&] { r.Connect(); }), "");
        EXPECT_GE(Now() - start, row.connectsAfter - 100);
        EXPECT_TRUE(r.LinkUp());
        ras.reset();
    }
}

TEST_F(RasTest, DisconnectFromInsideTheWaitCancelsTheDial)
{
    Fake().SetDialScript({{0, 0, 0}, {0, 2, 0}, {100, 3, 0}, {100, kConnected, 0}});
    zt::TztRas& r = MakeDialler();
    bool cancelled = false;
    r.OnStatusChange = [&](zt::Component*, std::string text) {
        events.push_back("status " + text);
        if (text == "Connecting device" && !cancelled) {
            cancelled = true;
            r.Disconnect();
        }
    };
    std::string raised = RaisedBy([&] { r.Connect(); });
    events.push_back("raised " + raised);
    EXPECT_EQ(events, (std::vector<std::string>{"status Opening port", "status Connecting device",
                                                "disconnected",
                                                "raised ECanceledError: Operation has been canceled"}));
    EXPECT_EQ(Fake().Calls("RasHangUpA"),
              (std::vector<std::string>{"RasHangUpA conn=" + kDialHandleText}));
    EXPECT_FALSE(r.LinkUp());
    EXPECT_EQ(r.ConnHandle(), INVALID_HANDLE_VALUE);
}

TEST_F(RasTest, EarlierDisconnectDoesNotCancelTheNextDial)
{
    Fake().SetDialScript({{0, 0, 0}, {50, kConnected, 0}});
    zt::TztRas& r = MakeDialler();
    r.Disconnect();
    EXPECT_EQ(RaisedBy([&] { r.Connect(); }), "");
    EXPECT_TRUE(r.LinkUp());
}

TEST_F(RasTest, EveryHangUpAfterADialHangsUpAgain)
{
    Fake().SetDialScript({{0, kConnected, 0}});
    zt::TztRas& r = MakeDialler();
    r.Connect();
    r.HangUp();
    r.HangUp();
    EXPECT_EQ(Fake().Calls("RasHangUpA"),
              (std::vector<std::string>{"RasHangUpA conn=" + kDialHandleText,
                                        "RasHangUpA conn=FFFFFFFF"}));
    EXPECT_EQ(Count("disconnected"), 2);
    EXPECT_FALSE(r.LinkUp());
}

TEST_F(RasTest, HangUpSettlesTheStateEvenWhenTheHandlerFails)
{
    Fake().SetDialScript({{0, kConnected, 0}});
    zt::TztRas& r = MakeDialler();
    r.Connect();
    r.OnDisconnected = [](zt::Component*) { throw zt::Exception("handler failed"); };
    EXPECT_EQ(RaisedBy([&] { r.Disconnect(); }), "Exception: handler failed");
    EXPECT_FALSE(r.LinkUp());
    EXPECT_EQ(r.ConnHandle(), INVALID_HANDLE_VALUE);
}

TEST_F(RasTest, DestroyingTheComponentLeavesTheLinkUp)
{
    Fake().SetDialScript({{0, kConnected, 0}});
    zt::TztRas& r = MakeDialler();
    r.Connect();
    ASSERT_TRUE(r.LinkUp());
    ras.reset();
    EXPECT_TRUE(Fake().Calls("RasHangUpA").empty());
    EXPECT_EQ(Count("disconnected"), 0);
}

TEST_F(RasTest, MinimizeAtConnectMinimisesTheSystemDialogWindow)
{
    HWND dialog = CreateWindowExA(0, "#32770", "Dial status", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  10, 10, 200, 100, nullptr, nullptr, GetModuleHandleA(nullptr),
                                  nullptr);
    ASSERT_NE(dialog, nullptr);
    for (bool minimize : {false, true}) {
        SCOPED_TRACE(minimize);
        Fake().SetDialScript({{0, kConnected, 0}});
        zt::TztRas& r = MakeDialler();
        r.MinimizeAtConnect = minimize;
        DWORD start = Now();
        r.Connect();
        DWORD elapsed = Now() - start;
        EXPECT_EQ(IsIconic(dialog) != FALSE, minimize);
        if (minimize)
            EXPECT_GE(elapsed, 950u);
        else
            EXPECT_LT(elapsed, 900u);
        ras.reset();
    }
    DestroyWindow(dialog);
}

} // namespace
