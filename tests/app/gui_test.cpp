// The program as a user meets it: rozoru.exe started from a folder of its own, driven
// through its window from this process, against scripted whois and RDAP servers on
// 127.0.0.1. Each scenario checks bytes: what the server received, Results.Log and
// the results box.
#include <gtest/gtest.h>
#include <windows.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "testserver.h"
#include "uidriver.h"

namespace {

using namespace rztest;

const char kAbout[] = "Tessaly Whois V1.03";
const char kResultsClass[] = "RichEdit20W";

// What the rich-text box gives back for a text: every line end (CR LF, CR alone or
// LF alone) reads as CR LF; the text ends at a zero byte.
std::string AsShown(const std::string& text)
{
    std::string shown;
    for (std::size_t i = 0; i < text.size() && text[i] != '\0'; ++i) {
        const bool crLf = text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
        shown += text[i] == '\r' || text[i] == '\n' ? std::string("\r\n") : std::string(1, text[i]);
        i += crLf;
    }
    return shown;
}

// A record of Doms.dat whose area is named after its domain, and its header line.
std::string Record(const std::string& domain, const TestServer& server)
{
    return domain + "\r\n" + domain + " area\r\n" + server.Address() + "\r\n";
}

std::string Header(const std::string& domain, const TestServer& server)
{
    return "Country/Area: " + domain + " area.    Whois Server: " + server.Address();
}

// The window's controls at 96 DPI: class, top-left corner, size (0: that of its text)
// and text.
const struct {
    const char* className;
    int left, top, width, height;
    const char* text;
} kControls[] = {
    {"Static", 8, 8, 57, 21, "Host"},          {"Edit", 80, 8, 281, 21, ""},
    {"Button", 360, 8, 25, 21, "?"},           {"Button", 408, 8, 60, 21, "&Go"},
    {"Button", 472, 8, 60, 21, "&About"},      {kResultsClass, 8, 40, 521, 233, ""},
    {"Static", 8, 280, 324, 74, ""},           {"Button", 344, 288, 17, 17, ""},
    {"Button", 344, 328, 17, 17, ""},          {"Static", 368, 288, 0, 0, "Vantrel PGP Encryption tools"},
    {"Static", 368, 328, 0, 0, "Vantrel anti-Spam tools"},
};

class Gui : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = WindowsPath(RZ_GUI_SCRATCH) + "\\"
               + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "\\";
        ASSERT_NE(FreshCopy(WindowsPath(RZ_ROZORU_EXE), dir_), "");
    }

    std::string PathOf(const std::string& name) const { return dir_ + name; }

    void Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(PathOf(name), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    std::string Read(const std::string& name) const
    {
        std::ifstream file(PathOf(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    // Opens the file as another program that shares it for reading and writing.
    HANDLE Hold(const std::string& name) const
    {
        return CreateFileA(PathOf(name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    }

    // Starts the program from the scratch root, not its own folder, and finds its
    // window and controls.
    [[nodiscard]] bool Start(int scale = 1)
    {
        if (!app_.Start(PathOf("rozoru.exe"), WindowsPath(RZ_GUI_SCRATCH)))
            return false;
        main_ = app_.WaitForWindow("Vantrel Tessaly \"Whois\"", 30000);
        host_ = Control(main_, "Edit", 80 * scale, 8 * scale);
        go_ = Control(main_, "Button", 408 * scale, 8 * scale);
        about_ = Control(main_, "Button", 472 * scale, 8 * scale);
        help_ = Control(main_, "Button", 360 * scale, 8 * scale);
        results_ = Control(main_, kResultsClass, 8 * scale, 40 * scale);
        return main_ && host_ && go_ && about_ && help_ && results_;
    }

    // The window and its controls at `scale` times their size at 96 DPI; their texts
    // fit them in the window's font at that DPI.
    void CheckLayout(int scale) const
    {
        RECT client = {};
        GetClientRect(main_, &client);
        EXPECT_EQ(client.right, scale * 536);
        EXPECT_EQ(client.bottom, scale * 364);
        for (const auto& c : kControls) {
            SCOPED_TRACE(std::string(c.className) + " at " + std::to_string(c.left) + "," + std::to_string(c.top));
            HWND control = Control(main_, c.className, scale * c.left, scale * c.top);
            ASSERT_NE(control, nullptr);
            EXPECT_EQ(Text(control), c.text);
            const bool help = std::string(c.text) == "?";
            HDC dc = GetDC(nullptr);
            HGDIOBJ font = SelectObject(dc, CreateFontA(-scale * (help ? 13 : 11), 0, 0, 0, help ? FW_BOLD : FW_NORMAL,
                                                        0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Sans Serif"));
            RECT text = {}, rect = ControlRect(control);
            DrawTextA(dc, c.text, -1, &text, DT_CALCRECT | DT_SINGLELINE);
            DeleteObject(SelectObject(dc, font));
            ReleaseDC(nullptr, dc);
            EXPECT_EQ(rect.right - rect.left, c.width ? scale * c.width : text.right);
            EXPECT_EQ(rect.bottom - rect.top, c.height ? scale * c.height : text.bottom);
            EXPECT_LE(text.right, rect.right - rect.left);
            EXPECT_LE(text.bottom, rect.bottom - rect.top);
        }
    }

    // Closes the window as its close box does; the program ends with exit code 0.
    void CloseAndExpectCleanExit()
    {
        ASSERT_TRUE(Close(main_));
        DWORD code = 999;
        ASSERT_TRUE(app_.WaitExit(15000, code)) << "the program did not end";
        EXPECT_EQ(code, 0u);
    }

    bool WaitGo(bool enabled, DWORD milliseconds = 10000) const
    {
        return WaitUntil([&] { return Enabled(go_) == enabled; }, milliseconds);
    }

    // Types the host text and clicks Go.
    [[nodiscard]] bool Lookup(const std::string& host) const
    {
        return SetText(host_, host) && WaitGo(true) && Click(go_);
    }

    bool ExpectResults(const std::string& expected, DWORD milliseconds = 15000)
    {
        // Found afresh: a box that held a long answer is replaced by a new one.
        bool shown = WaitUntil([&] {
            results_ = Control(main_, kResultsClass, 8, 40);
            return Text(results_) == expected;
        }, milliseconds);
        EXPECT_TRUE(shown) << "box: " << ::testing::PrintToString(Text(results_).substr(0, 300))
                           << "\nnot: " << ::testing::PrintToString(expected.substr(0, 300));
        return shown;
    }

    // Waits for a box with the application title and OK, checks it and presses OK.
    // Errors have the stop icon, the help and About boxes none.
    void ExpectBox(const std::string& text, bool error, DWORD milliseconds = 10000) const
    {
        MessageBoxInfo box;
        ASSERT_TRUE(app_.WaitForMessageBox(box, milliseconds)) << "no box for " << text;
        EXPECT_EQ(box.caption, "Vantrel Tessaly Whois");
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.hasIcon, error);
        EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
        EXPECT_TRUE(PressOk(box));
    }

    void ExpectNoBox(DWORD milliseconds) const
    {
        MessageBoxInfo box;
        EXPECT_FALSE(app_.WaitForMessageBox(box, milliseconds)) << box.caption << ": " << box.text;
    }

    std::string dir_;
    UiProgram app_;
    HWND main_ = nullptr, host_ = nullptr, go_ = nullptr, about_ = nullptr, help_ = nullptr,
         results_ = nullptr;
};

TEST_F(Gui, FirstStartLayoutGoStateTabOrderKeysHelpAndAbout)
{
    // Without Results.Log the box is empty, never "<no data yet>".
    ASSERT_TRUE(Start());
    CheckLayout(1);
    EXPECT_FALSE(Enabled(go_));
    // The host box takes the longest domain name and no more.
    EXPECT_EQ(SendMessageA(host_, EM_GETLIMITTEXT, 0, 0), 253);

    // Tab order from the host box; a disabled Go (empty host box) is skipped.
    HWND encrypt = Control(main_, "Button", 344, 288), antiSpam = Control(main_, "Button", 344, 328);
    ASSERT_TRUE(WaitUntil([&] { return Focus(main_) == host_; }, 5000)) << "focus at start";
    auto tabThrough = [&](std::initializer_list<HWND> order) {
        for (HWND next : order) {
            ASSERT_TRUE(PressKey(main_, VK_TAB));
            EXPECT_TRUE(WaitUntil([&] { return Focus(main_) == next; }, 3000))
                << "Tab missed the control at " << ControlRect(next).left << "," << ControlRect(next).top;
        }
    };
    tabThrough({results_, encrypt, antiSpam, about_, help_, host_});

    // Go is enabled exactly while the trimmed host text is non-empty.
    const std::pair<const char*, bool> hosts[] = {
        {"   ", false}, {"x", true},     {" \t ", false}, {"\x01\x1f", false},
        {"", false},    {"\t.\t", true}, {"  a.test  ", true},
    };
    for (auto [text, enabled] : hosts) {
        ASSERT_TRUE(SetText(host_, text));
        EXPECT_TRUE(WaitGo(enabled, 3000)) << ::testing::PrintToString(text);
    }
    tabThrough({go_, results_, encrypt, antiSpam, about_});
    // Enter on a focused push button presses that button, not Go (which would
    // report the missing Doms.dat); Esc without a query does nothing.
    ASSERT_TRUE(PressKey(main_, VK_RETURN));
    ExpectBox(kAbout, false);
    ASSERT_TRUE(PressKey(main_, VK_ESCAPE));
    ExpectNoBox(500);
    ASSERT_TRUE(PressKey(main_, 'A', true));
    ExpectBox(kAbout, false);

    // "?" shows help.txt whole, or an empty box without it.
    ASSERT_TRUE(Click(help_));
    ExpectBox("", false);
    const std::string help = "Vantrel Tessaly Whois - Help\r\n\r\nType a name and press Go.";
    Write("help.txt", help);
    ASSERT_TRUE(Click(help_));
    ExpectBox(help, false);
    CloseAndExpectCleanExit();
}

TEST_F(Gui, At192DpiEverythingIsTwiceAsLargeAndTextsFit)
{
    // The prefix's screen DPI while the program starts (a fresh prefix has none: 96).
    HKEY key = nullptr;
    const DWORD dpi = 192;
    RegCreateKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &key);
    RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    const bool started = Start(2);
    RegDeleteValueA(key, "LogPixels");
    RegCloseKey(key);
    ASSERT_TRUE(started);
    CheckLayout(2);
    CloseAndExpectCleanExit();
}

TEST_F(Gui, AnswersAreLoggedExactlyShownUnderTheHeaderSavedAsTheyCameAndShownAgainAtTheNextStart)
{
    std::string big;
    for (int line = 0; big.size() < (1u << 20); ++line)
        big += "line " + std::to_string(line) + ": registrant data of the test record\r\n";
    big.resize(1u << 20);
    // The host text, the name the server must get, how Go is pressed, the answer, and
    // the answer as the box shows it (UTF-8 here) where that differs: bytes that are
    // not UTF-8 are read in the ANSI code page.
    const struct {
        const char* host;
        std::string query;
        char press; // click, Enter or Alt+G
        std::string answer;
        std::string shown = "";
    } cases[] = {
        {"empty.one", "empty.one", 'c', ""},
        {"Zero.Two", "zero.two", '\r', std::string("first line\r\nbefore\0after\r\nmore\r\n", 32)},
        {"  Mail.Example.TEST \t", "mail.example.test", 'c',
         "Domain Name: mail.example.test\r\nRegistrar: Vantrel \xE9tude\n\nStatus: active\rLast line\r\n",
         "Domain Name: mail.example.test\r\nRegistrar: Vantrel \xC3\xA9tude\n\nStatus: active\rLast line\r\n"},
        {"utf.three", "utf.three", 'c',
         "Inhaber: M\xC3\xBCller \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80\r\n"},
        // A name in another script goes out in its A-label form.
        {"M\xC3\xBCnchen.DE", "xn--mnchen-3ya.de", 'c', "Domain: xn--mnchen-3ya.de\r\n"},
        {"big.four", "big.four", 'g', big},
        // The box that held 1 MiB must not take minutes to empty. Text that looks
        // like RTF is shown as it is, now and at the next start.
        {"after.five", "after.five", 'c', "{\\rtf1\\ansi {\\b bold} \xE9t\xE9?}\r\n", "{\\rtf1\\ansi {\\b bold} \xC3\xA9t\xC3\xA9?}\r\n"},
    };
    auto domainOf = [](const std::string& name) { return name.substr(name.rfind('.') + 1); };
    std::deque<TestServer> servers;
    std::string table;
    for (const auto& c : cases)
        table += Record(domainOf(c.query), servers.emplace_back(Script::Answer, c.answer));
    Write("Doms.dat", table);
    Write("Results.Log", "previous answer"); // even an empty answer replaces it
    ASSERT_TRUE(Start());
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.host);
        ASSERT_TRUE(SetText(host_, c.host));
        ASSERT_TRUE(WaitGo(true));
        if (c.press == '\r') {
            PostMessageA(main_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(host_), TRUE);
            ASSERT_TRUE(WaitUntil([&] { return Focus(main_) == host_; }, 5000));
        }
        ASSERT_TRUE(c.press == 'c' ? Click(go_) : c.press == 'g' ? PressKey(main_, 'G', true) : PressKey(main_, VK_RETURN));
        ASSERT_TRUE(servers[i].WaitFinished(1, 20000));
        EXPECT_EQ(servers[i].LastReceived(), c.query + "\r\n");
        ExpectResults(AsShown(Header(domainOf(c.query), servers[i]) + "\r\n\n" + (c.shown.empty() ? c.answer : c.shown)),
                      c.answer.size() > 100000 ? 60000 : 20000);
        EXPECT_EQ(Read("Results.Log"), c.answer);
        EXPECT_EQ(Text(host_), c.host);
        EXPECT_TRUE(WaitGo(true));
    }
    ExpectNoBox(300);
    EXPECT_FALSE(std::filesystem::exists(PathOf("Results.Log.tmp")));

    // The box's menu comes up on a right click; Select All and Copy take the text as
    // shown, Save As the answer's bytes.
    PostMessageW(results_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(results_), MAKELPARAM(400, 300));
    HWND menu = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (menu = FindWindowA("#32768", nullptr)) != nullptr; }, 5000));
    PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }, 5000));
    const int idCopy = 200, idSelectAll = 201, idSaveAs = 202;
    PostMessageW(main_, WM_COMMAND, idSelectAll, 0);
    PostMessageW(main_, WM_COMMAND, idCopy, 0);
    std::string copied;
    ASSERT_TRUE(WaitUntil([&] {
        if (!OpenClipboard(nullptr))
            return false;
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            const auto* text = static_cast<const wchar_t*>(GlobalLock(data));
            copied = Utf8(text, lstrlenW(text));
            GlobalUnlock(data);
        }
        CloseClipboard();
        return copied == Text(results_);
    }, 5000)) << copied;
    PostMessageW(main_, WM_COMMAND, idSaveAs, 0);
    MessageBoxInfo dialog;
    ASSERT_TRUE(app_.WaitForMessageBox(dialog, 10000));
    ASSERT_TRUE(SetText(GetDlgItem(dialog.window, 0x47c), PathOf("saved copy.txt"))); // the file name box
    PostMessageW(dialog.window, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return Read("saved copy.txt") == cases[std::size(cases) - 1].answer; }, 10000));
    CloseAndExpectCleanExit();

    // The next start shows the last answer alone.
    ASSERT_TRUE(Start());
    ExpectResults(AsShown(cases[std::size(cases) - 1].shown), 30000);
    CloseAndExpectCleanExit();
}

TEST_F(Gui, FailedLookupsKeepTheSavedAnswerAndRdapAnswersWhereWhoisCannot)
{
    TestServer refusing(Script::Refuse), answering(Script::Answer, "new answer\r\n");
    const std::string body = R"({"ldhName":"EXAMPLE.INFO","status":["active"]})";
    TestServer rdap(Script::Answer, HttpAnswer("200 OK", body));
    Write("Results.Log", "previous answer");
    // A saved answer held open by another program: reported at start, and the
    // window is there all the same, with Go set from the empty host box.
    HANDLE held = Hold("Results.Log");
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(Start());
    ExpectBox("Cannot open file " + PathOf("Results.Log") + ".", true);
    CloseHandle(held);
    EXPECT_FALSE(Enabled(go_));

    // No Doms.dat: the box stays empty.
    ASSERT_TRUE(Lookup("a.test"));
    ExpectBox("File not found.", true);
    EXPECT_EQ(Text(results_), "");

    // A record without a server: the header, and no one is asked.
    const std::string base = "http://" + rdap.Address() + "/";
    Write("Doms.dat", Record("test", refusing) + Record("save", answering) + Record("gone", refusing)
                          + "none\r\nNowhere Land\r\n\r\ninfo\r\nGeneric top-level domain\r\n\r\n");
    Write("rdap.dat", "info\r\n" + base + "\r\ngone\r\n" + base + "\r\n");
    ASSERT_TRUE(Lookup("www.host.NONE"));
    ExpectResults("Country/Area: Nowhere Land.    Sorry, no whois server for that areas known");
    ExpectNoBox(1000);

    // Names refused before anything is sent: one with a control byte inside, and one
    // that the conversion to an A-label refuses (a label longer than 63 once converted).
    std::string tooLong;
    for (int i = 0; i < 64; ++i)
        tooLong += "\xC3\xBC";
    for (auto [host, text] : {std::pair<std::string, std::string>{"x.sa\nve", "The host name contains a control character."},
                              {tooLong + ".save", "Not a valid domain name: " + tooLong + ".save."}}) {
        ASSERT_TRUE(Lookup(host));
        ExpectBox(text, true);
    }
    EXPECT_EQ(answering.Finished(), 0);

    // A refused connection is reported at once; the header stays.
    ASSERT_TRUE(Lookup("refused.test"));
    ExpectBox("[10061] Connection refused.", true, 8000);
    ExpectResults(Header("test", refusing));
    EXPECT_EQ(Read("Results.Log"), "previous answer");

    // RDAP answers where there is no whois server, or where it cannot be reached.
    const std::string text = "Domain Name: EXAMPLE.INFO\r\nStatus: active\r\n";
    for (auto [host, area] : {std::pair{"example.info", "Generic top-level domain"}, {"x.gone", "gone area"}}) {
        SCOPED_TRACE(host);
        ASSERT_TRUE(Lookup(host));
        ExpectResults(AsShown("Country/Area: " + std::string(area) + ".    RDAP Server: " + base + "\r\n\n" + text));
        EXPECT_EQ(Read("Results.Log"), text);
        EXPECT_EQ(Read("Results.json"), body);
        EXPECT_TRUE(WaitGo(true));
    }
    ASSERT_TRUE(rdap.WaitFinished(2, 5000));
    EXPECT_EQ(rdap.Received()[1].rfind("GET /domain/x.gone HTTP/1.1", 0), 0u);

    // An answer that cannot replace the saved one (here a folder) leaves it and no
    // temporary file behind.
    ASSERT_TRUE(DeleteFileA(PathOf("Results.Log").c_str()));
    ASSERT_TRUE(CreateDirectoryA(PathOf("Results.Log").c_str(), nullptr));
    ASSERT_TRUE(Lookup("x.save"));
    ExpectBox("Cannot create file Results.Log.", true);
    ExpectResults(Header("save", answering));
    EXPECT_TRUE(std::filesystem::is_directory(PathOf("Results.Log")));
    EXPECT_FALSE(std::filesystem::exists(PathOf("Results.Log.tmp")));
    EXPECT_TRUE(WaitGo(true));
    CloseAndExpectCleanExit();
}

TEST_F(Gui, WhileAQueryRunsGoIsDisabledTheWindowAnswersEscCancelsAndClosingEndsIt)
{
    // A lookup of slow.test that its server never answers, over "previous answer".
    TestServer silent(Script::Silent);
    Write("Doms.dat", Record("test", silent));
    Write("Results.Log", "previous answer");
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Lookup("slow.test") && ExpectResults(Header("test", silent)) && WaitGo(false));
    // A second lookup cannot start: not by typing, Enter, Alt+G or a click.
    ASSERT_TRUE(SetText(host_, "other.test"));
    ASSERT_TRUE(PressKey(main_, VK_RETURN));
    ASSERT_TRUE(PressKey(main_, 'G', true));
    ASSERT_TRUE(Click(go_));
    ExpectNoBox(1000);
    EXPECT_FALSE(Enabled(go_));

    // About works, and an error of another button is shown without ending the query.
    ASSERT_TRUE(Click(about_));
    ExpectBox(kAbout, false);
    Write("help.txt", "help");
    HANDLE held = Hold("help.txt");
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(Click(help_));
    ExpectBox("Cannot open file " + PathOf("help.txt") + ".", true);
    CloseHandle(held);
    EXPECT_FALSE(Enabled(go_)) << "the query goes on";
    EXPECT_EQ(silent.Finished(), 0);

    ASSERT_TRUE(PressKey(main_, VK_ESCAPE));
    ExpectBox("Operation has been canceled.", true, 5000);
    EXPECT_TRUE(WaitGo(true)) << "Go follows the host text again";
    EXPECT_EQ(Text(results_), Header("test", silent));
    EXPECT_EQ(Read("Results.Log"), "previous answer");
    ASSERT_TRUE(silent.WaitFinished(1, 5000));
    EXPECT_EQ(silent.LastReceived(), "slow.test\r\n");
    Sleep(500);
    EXPECT_EQ(silent.Finished(), 1) << "a second connection was made";

    // Closing during a query cancels it; a box shown now would hold the program up.
    ASSERT_TRUE(Lookup("slow.test") && WaitGo(false));
    CloseAndExpectCleanExit();
    EXPECT_EQ(Read("Results.Log"), "previous answer");
    EXPECT_TRUE(silent.WaitFinished(2, 5000));
}

} // namespace
