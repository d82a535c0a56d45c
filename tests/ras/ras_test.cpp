// The dial-up component against a scripted rasapi32.dll of our own: the phone-book,
// active connections, saved password, a failing call and the dial events are set per
// test. The library's log is each test's trace: the calls the component makes, the
// events it fires ("<status text>", "disconnected"), what it raised and its state.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <tuple>

#include "classes/application.h"
#include "ras/ztRasCmp.h"
#include "ras/ztrasAPI.h"
#include "ras_support.h"

namespace {

const DWORD kConnected = 0x2000, kDisconnected = 0x2001;
const std::string kEnum = "EnumConnections 10", kGet = kEnum + " | GetParams Office";
const std::string kDial = kGet + " | SetParams Office dialuser secret ffffffff | Dial Office dialuser secret";
const std::string kUp = "up dialled conn=5678 error=", kDown = "down dialled conn=ffffffff error=";
const std::string kUpThenDown = kUp + "0 | HangUp 5678 | disconnected | " + kDown + "0";
const std::string kIdle = "down conn=ffffffff error=0";
const std::string kTooLong = "raised Exception: Password is too long (at most 256 characters)";

void Note(const std::string& line) { LogLine(*Fake(), line); }

// Runs the action and notes what it raised; true when it raised.
bool NoteRaised(const std::function<void()>& action)
{
    try {
        return action(), false;
    } catch (const zt::Exception& e) {
        return Note(std::string("raised ") + e.ClassName() + ": " + e.Message()), true;
    }
}

class RasTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(fake, nullptr) << "rasapi32.dll is not the scripted stand-in"; }
    void TearDown() override { ras.reset(); }

    // A fresh stand-in with two entries and a component over it whose events go to the
    // log ("?" marks one from another sender), set to dial the service with a typed
    // password. The log starts empty.
    zt::TztRas& Make(const std::string& service = "")
    {
        ras.reset();
        *fake = {.entries = {"Home", "Office"}};
        ras = std::make_unique<zt::TztRas>(nullptr);
        ras->TimeOut = 10;  // a dial that goes wrong ends within the test's bounds
        ras->OnStatusChange = [](auto* c, auto s) { Note((c == ras.get() ? "<" : "?<") + s + ">"); };
        ras->OnDisconnected = [](zt::Component* c) { Note(c == ras.get() ? "disconnected" : "?disconnected"); };
        ErrorBoxText([&] { ras->SetService(service); });  // a box here fails the trace instead of waiting
        ras->Password = "secret";
        fake->log[0] = '\0';
        return *ras;
    }

    // Runs the action; notes what it raised, if anything, and the state it left.
    bool Step(const std::function<void()>& action)
    {
        const bool raised = NoteRaised(action);
        char text[80];
        wsprintfA(text, "%s%s conn=%lx error=%lu", ras->LinkUp() ? "up" : "down", ras->Dialled() ? " dialled" : "",
                  (unsigned long)(UINT_PTR)ras->ConnHandle(), (unsigned long)ras->LastError());
        Note(text);
        return raised;
    }

    FakeRasControl* fake = Fake();
    static inline std::unique_ptr<zt::TztRas> ras;  // static: thread timers reach it too
};

TEST_F(RasTest, PhoneBookIsReadAtConstructionAndAfreshAndAServiceMustBeInIt)
{
    zt::TztRas& r = Make();
    zt::Component form(nullptr);
    form.SetDesigning(true);
    auto* designed = new zt::TztRas(&form);  // the form frees it
    EXPECT_EQ(std::tuple(designed->WindowHandle(), designed->Entries().Text()),
              std::tuple(nullptr, "Home\r\nOffice\r\n"));
    fake->entries = {"Home", "Office", "ISP Night"};
    EXPECT_EQ(r.GetEntries().Text(), "Home\r\nOffice\r\nISP Night\r\n");

    auto set = [&](const std::string& value) {
        return ErrorBoxText([&] { r.SetService(value); }) + " => " + r.Service();
    };
    // Another letter case is accepted and kept as given; an unknown name empties Service.
    EXPECT_EQ(set("oFFICE"), " => oFFICE");
    EXPECT_EQ(set("Nowhere"), "Invalid service name => ");
    fake->entries = {"Home", "Added"};
    EXPECT_EQ(set("Added"), " => Added");
    // While the link is up Service is kept; without entries RAS counts as absent, and
    // that is checked first; empty is always accepted.
    fake->connections = {{"Added", 0x111, ""}};
    r.Connect();
    EXPECT_EQ(set("Home"), "This property can be set only before\restablishing the connection => Added");
    fake->entries = {};
    r.GetEntries();
    EXPECT_EQ(set("Office"), "TztRas component was unable to detect\rRAS on your system. => Added");
    EXPECT_EQ(set(""), " => ");
    // A failing call; more entries than the 25 records of the buffer, which is not grown.
    for (DWORD code : {610u, 603u}) {
        fake->entries = std::vector<std::string>(code == 603 ? 26 : 1, "Entry");
        fake->failing = {"EnumEntries", code == 610 ? code : 0};
        EXPECT_EQ(ErrorBoxText([&] { r.GetEntries(); }), "");
        EXPECT_EQ(std::tuple(r.Entries().Count(), r.RasAvailable(), r.LastError()), std::tuple(0, false, code));
    }

    // Stored properties go through the same checks.
    zt::TztRas& s = Make();
    auto apply = [&](const zt::StoredProperties& stored) {
        return ErrorBoxText([&] { NoteRaised([&] { s.ApplyStoredProperties(stored); }); }) + " => " + s.Service();
    };
    EXPECT_EQ(apply({{"Service", "Office"}, {"ForceService", "False"}, {"MinimizeAtConnect", "True"},
                     {"Password", "pw"}, {"RemovePassword", "False"}, {"TimeOut", "-5"}}), " => Office");
    EXPECT_EQ(std::tuple(s.ForceService, s.MinimizeAtConnect, s.Password, s.RemovePassword, s.TimeOut),
              std::tuple(false, true, "pw", false, -5));
    EXPECT_EQ(apply({{"Service", "Elsewhere"}}), "Invalid service name => ");
    EXPECT_EQ(apply({{"Password", std::string(257, 'p')}}) + fake->log + " " + s.Password,
              " => EnumEntries 25 | EnumEntries 25 | " + kTooLong + " pw");
}

TEST_F(RasTest, ConnectAdoptsOrDialsAndEveryOutcomeLeavesItsState)
{
    const std::string longest(256, 'q');
    const std::vector<FakeRasConnection> named = {{"Home", 0x111, "10.0.0.1"}, {"Office", 0x222, "10.0.0.2"}};
    decltype(named) others = {{"Home", 0x111, ""}, {"Work", 0x333, "10.0.0.3"}, {"office", 0x222, "10.0.0.4"}};
    const struct Row {
        std::string service = "Office";
        std::vector<FakeRasConnection> connections = {};
        // After Connect: destroy the component; or post an error event, then make
        // OnDisconnected raise.
        bool force = true, remove = true, minimize = false, destroy = false, afterwards = false;
        std::string saved = "", typed = "secret";
        std::pair<std::string, DWORD> failing = {};
        std::vector<FakeRasEvent> script = {{kConnected, 0}};
        std::string trace;  // of Connect, then of a Disconnect unless Connect raised or destroy
    } rows[] = {
        // An empty service counts as up; an active connection of the service, found by
        // name, is adopted, and unless the service is forced any with an IP address.
        // None is hung up.
        {.service = "", .trace = kEnum + " | up conn=ffffffff error=0 | " + kIdle},
        {.connections = named, .trace = kEnum + " | up conn=222 error=0 | " + kIdle},
        {.connections = named, .force = false, .trace = kEnum + " | up conn=222 error=0 | " + kIdle},
        {.connections = others, .force = false,
         .trace = kEnum + " | Projection 111 | Projection 333 | up conn=333 error=0 | " + kIdle},
        // The name is matched in its exact letter case. Each state's text goes by its low
        // 16 bits; states 1 and 0x2001 have none, and 0x2001 neither drops the link nor fires.
        {.service = "OFFICE", .connections = others,
         .script = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {14, 0}, {19, 0}, {21, 0}, {0x12000, 0},
                    {kConnected, 0}, {kDisconnected, 0}},
         .trace = kEnum + " | GetParams OFFICE | SetParams OFFICE dialuser secret ffffffff | Dial OFFICE dialuser"
                  " secret | <Opening port> | <> | <Connecting device> | <Connecting device> | <Connecting device>"
                  " | <Verifying user name and password> | <Authenticated> | <Verifying user name and password>"
                  " | <Logging on to network> | <Connected> | <Connected> | <> | " + kUpThenDown},
        // A saved password is dialled as it is; a typed one is stored first, up to 256
        // characters, and one more is refused before anything is stored or dialled.
        {.destroy = true, .saved = "stored-pw", .typed = "typed",
         .trace = kGet + " | Dial Office dialuser stored-pw | <Connected> | " + kUp + "0"},
        {.remove = false, .typed = longest,
         .trace = kGet + " | SetParams Office dialuser " + longest + " 0 | Dial Office dialuser " + longest
                  + " | <Connected> | " + kUpThenDown},
        {.typed = longest + "p", .trace = kGet + " | " + kTooLong + " | " + kDown + "0"},
        // A failing call raises with the platform's text, or a built one where it has
        // none; only a failed dial is hung up.
        {.failing = {"EnumConnections", 610},
         .trace = kEnum + " | raised ERASError: Fake RAS error 610 | down conn=ffffffff error=610"},
        {.connections = others, .force = false, .failing = {"Projection", 12345},
         .trace = kEnum + " | Projection 111 | raised ERASError: RAS error no 12345 | down conn=ffffffff error=12345"},
        {.failing = {"GetParams", 623}, .trace = kGet + " | raised ERASError: Fake RAS error 623 | " + kDown + "623"},
        {.failing = {"SetParams", 615},
         .trace = kGet + " | SetParams Office dialuser secret ffffffff | raised ERASError: Fake RAS error 615 | "
                  + kDown + "615"},
        {.failing = {"Dial", 633},
         .trace = kDial + " | HangUp 5678 | disconnected | raised ERASError: Fake RAS error 633 | " + kDown + "633"},
        // An error while waiting hangs up, then raises; once the link is up it is raised
        // without a hang-up into the loop that delivers it: the wait of Connect, or the
        // caller's loop after Connect. A failing handler does not stop the hang-up.
        // MinimizeAtConnect minimises the system's dial window a second after the link is up.
        {.script = {{0, 0}, {2, 0}, {2, 678}},
         .trace = kDial + " | <Opening port> | <Connecting device> | <Connecting device> | HangUp 5678 | disconnected"
                  " | raised ERASError: Fake RAS error 678 | " + kDown + "678"},
        {.script = {{kConnected, 0}, {kDisconnected, 629}},
         .trace = kDial + " | <Connected> | <> | raised ERASError: Fake RAS error 629 | " + kUp + "629"},
        {.minimize = true, .afterwards = true,
         .trace = kDial + " | <Connected> | " + kUp + "0 | <> | raised ERASError: Fake RAS error 628 | " + kUp
                  + "628 | HangUp 5678 | raised Exception: handler failed | " + kDown + "628"},
    };
    const HWND dialog = CreateWindowExA(0, "#32770", "Dial status", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200,
                                        100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(dialog, nullptr);
    for (const Row& row : rows) {
        SCOPED_TRACE(&row - rows);
        zt::TztRas& r = Make(row.service);
        std::tie(r.ForceService, r.Password, r.RemovePassword, r.MinimizeAtConnect) =
            std::tuple(row.force, row.typed, row.remove, row.minimize);
        std::tie(fake->connections, fake->savedPassword, fake->failing, fake->script) =
            std::tuple(row.connections, row.saved, row.failing, row.script);
        const DWORD start = GetTickCount();
        const bool raised = Step([&] {
            r.Connect();
            // Read before anything has run over the frame of the call that returned.
            const auto* dialled = static_cast<const zt::ras::RASDIALPARAMS*>(fake->dialled);
            EXPECT_TRUE(dialled == nullptr || dialled->szPassword[0] == '\0') << "the password is left on the stack";
        });
        EXPECT_EQ(std::pair(GetTickCount() - start >= 950, !!IsIconic(dialog)), std::pair(row.minimize, row.minimize));
        if (row.afterwards) {
            PostMessageA(r.WindowHandle(), RegisterWindowMessageA("RASDIALEVENT"), kDisconnected, 628);
            Step([] { zt::Application.ProcessMessages(); });
            r.OnDisconnected = [](zt::Component*) { throw zt::Exception("handler failed"); };
        }
        if (row.destroy)
            ras.reset();  // the link stays up
        else if (!raised)
            Step([&] { r.Disconnect(); });
        EXPECT_EQ(fake->log, row.trace);
    }
    DestroyWindow(dialog);
}

TEST_F(RasTest, TimeOutEndsTheWaitWithoutSpinningAndLeavesTheDialRunningZeroNever)
{
    auto cpuMilliseconds = [] {
        ULARGE_INTEGER t[4];  // created, exited, kernel, user: FILETIME's layout
        GetThreadTimes(GetCurrentThread(), (FILETIME*)&t[0], (FILETIME*)&t[1], (FILETIME*)&t[2], (FILETIME*)&t[3]);
        return (t[2].QuadPart + t[3].QuadPart) / 10000;
    };
    zt::TztRas& r = Make("Office");
    // A thread timer cancels the first wait from inside it, and bounds the second, which
    // must not see that cancel.
    const auto cancel = [](HWND, UINT, UINT_PTR, DWORD) CALLBACK { Note("cancel"); ras->Disconnect(); };
    for (std::int32_t seconds : {0, 2}) {
        r.TimeOut = seconds;
        const UINT_PTR timer = SetTimer(nullptr, 0, seconds == 0 ? 2500 : 6000, cancel);
        fake->script = {{0, 0}};
        const DWORD start = GetTickCount();
        const ULONGLONG cpuBefore = cpuMilliseconds();
        Step([&] { r.Connect(); });
        const DWORD elapsed = GetTickCount() - start;
        EXPECT_LT(cpuMilliseconds() - cpuBefore, elapsed / 4) << "the wait spins";
        EXPECT_TRUE(elapsed >= 1900 && elapsed < 3500) << elapsed;
        KillTimer(nullptr, timer);
    }
    // A later hang-up ends the attempt; every one after a dial calls the library again.
    r.Disconnect();
    r.HangUp();
    EXPECT_EQ(fake->log, kDial + " | <Opening port> | cancel | HangUp 5678 | disconnected | raised ECanceledError: "
                         "Operation has been canceled | " + kDown + "0 | " + kDial + " | <Opening port> | raised "
                         "ETimedOutError: Operation timed out | down dialled conn=5678 error=0 | HangUp 5678 | "
                         "disconnected | HangUp ffffffff | disconnected");
}

} // namespace
