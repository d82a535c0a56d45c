// The program as a user meets it: rozoru.exe started from a folder of its own, driven
// through its window from this process, against a scripted whois server on
// 127.0.0.1. Each scenario checks bytes: what the server received, Results.Log and
// the results box.
#include <gtest/gtest.h>
#include <windows.h>
#include <richedit.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "testserver.h"
#include "uidriver.h"

namespace {

using rztest::MessageBoxInfo;
using rztest::UiDriver;
using rztest::UiProcess;
using rztest::WaitUntil;

const char kTitle[] = "Vantrel Tessaly Whois";
const char kCaption[] = "Vantrel Tessaly \"Whois\"";
const char kNoServerTail[] = ".    Sorry, no whois server for that areas known";

// A path of the build tree (this side of Wine) as a Windows path.
std::string WindowsPath(std::string path)
{
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return "Z:" + path;
}

const std::string& ProgramPath()
{
    static const std::string path = WindowsPath(RZ_ROZORU_EXE);
    return path;
}

const std::string& ScratchRoot()
{
    static const std::string path = WindowsPath(RZ_GUI_SCRATCH) + "\\";
    return path;
}

void RemoveTree(const std::string& directory)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = directory + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path + "\\");
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(directory.c_str());
}

// What the rich-text box gives back for a text: every line end (CR LF, CR alone or
// LF alone) is one paragraph end, read as CR LF; the text ends at a zero byte.
std::string AsShown(const std::string& text)
{
    std::string shown;
    for (std::size_t i = 0; i < text.size() && text[i] != '\0'; ++i) {
        if (text[i] == '\r') {
            shown += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (text[i] == '\n') {
            shown += "\r\n";
        } else {
            shown += text[i];
        }
    }
    return shown;
}

std::string Printable(const std::string& bytes)
{
    std::string out;
    for (unsigned char c : bytes.substr(0, 400)) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c < 0x20 || c >= 0x7F)
            out += "\\x" + std::string(1, "0123456789abcdef"[c >> 4])
                   + std::string(1, "0123456789abcdef"[c & 15]);
        else
            out += static_cast<char>(c);
    }
    if (bytes.size() > 400)
        out += "... (" + std::to_string(bytes.size()) + " bytes)";
    return out;
}

class Gui : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        CreateDirectoryA(ScratchRoot().c_str(), nullptr);
        dir_ = ScratchRoot() + info->name() + "\\";
        RemoveTree(dir_);
        ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr)) << dir_;
        ASSERT_TRUE(CopyFileA(ProgramPath().c_str(), (dir_ + "rozoru.exe").c_str(), FALSE))
            << ProgramPath();
    }

    void TearDown() override
    {
        if (process_ && process_->Running()) {
            // Boxes left open by a failed check go first, then the window.
            MessageBoxInfo box;
            for (int i = 0; i < 5 && driver_->FindMessageBox(box); ++i)
                driver_->PressOk(box, 2000);
            if (main_ != nullptr)
                UiDriver::Close(main_);
            DWORD code = 0;
            if (!process_->WaitExit(5000, code))
                process_->Kill();
        }
    }

    std::string PathOf(const std::string& name) const { return dir_ + name; }

    void WriteBytes(const std::string& name, const std::string& bytes) const
    {
        std::ofstream file(PathOf(name), std::ios::binary | std::ios::trunc);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    bool Exists(const std::string& name) const
    {
        return GetFileAttributesA(PathOf(name).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    std::string ReadBytes(const std::string& name) const
    {
        std::ifstream file(PathOf(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    // The table: domain "test" served by the given server, "none" without a server.
    void WriteTable(const std::string& server) const
    {
        WriteBytes("Doms.dat", "test\r\nTest Area\r\n" + server + "\r\n"
                               "none\r\nNowhere Land\r\n\r\n");
    }

    static std::string TestHeader(const rztest::TestServer& server)
    {
        return "Country/Area: Test Area.    Whois Server: " + server.Address();
    }

    // Starts the program from the scratch root (not its own folder) and finds its
    // window and controls.
    [[nodiscard]] bool Start()
    {
        process_ = std::make_unique<UiProcess>();
        if (!process_->Start(PathOf("rozoru.exe"), ScratchRoot())) {
            ADD_FAILURE() << "cannot start " << PathOf("rozoru.exe");
            return false;
        }
        driver_ = std::make_unique<UiDriver>(process_->Id());
        main_ = driver_->WaitForWindow(kCaption, 30000, "TForm1");
        if (main_ == nullptr) {
            MessageBoxInfo box;
            if (driver_->FindMessageBox(box))
                ADD_FAILURE() << "a box instead of the window: " << box.caption << ": " << box.text;
            else
                ADD_FAILURE() << "the main window did not appear";
            return false;
        }
        host_ = UiDriver::Control(main_, "Edit", 80, 8);
        go_ = UiDriver::Control(main_, "Button", 408, 8);
        about_ = UiDriver::Control(main_, "Button", 472, 8);
        help_ = UiDriver::Control(main_, "Button", 360, 8);
        results_ = UiDriver::Control(main_, RICHEDIT_CLASSA, 8, 40);
        if (!host_ || !go_ || !about_ || !help_ || !results_) {
            ADD_FAILURE() << "a control is missing";
            return false;
        }
        return true;
    }

    // Closes the window as its close box does; the program ends with exit code 0.
    void CloseAndExpectCleanExit()
    {
        ASSERT_TRUE(UiDriver::Close(main_));
        DWORD code = 999;
        ASSERT_TRUE(process_->WaitExit(15000, code)) << "the program did not end";
        EXPECT_EQ(code, 0u);
        main_ = nullptr;
    }

    std::string Results() const { return UiDriver::Text(results_); }

    bool WaitForResults(const std::string& expected, DWORD milliseconds = 15000) const
    {
        return WaitUntil([&] { return Results() == expected; }, milliseconds);
    }

    void ExpectResults(const std::string& expected, DWORD milliseconds = 15000) const
    {
        EXPECT_TRUE(WaitForResults(expected, milliseconds))
            << "box:      " << Printable(Results()) << "\nexpected: " << Printable(expected);
    }

    // Waits for the error box, checks it and presses OK.
    void ExpectErrorBox(const std::string& text, DWORD milliseconds = 10000) const
    {
        MessageBoxInfo box;
        ASSERT_TRUE(driver_->WaitForMessageBox(box, milliseconds)) << "no box for " << text;
        EXPECT_EQ(box.caption, kTitle);
        EXPECT_EQ(box.text, text);
        EXPECT_TRUE(box.hasIcon) << "an error box has the stop icon";
        EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
        EXPECT_TRUE(driver_->PressOk(box));
    }

    // Waits for the message box of the help or About button, checks it, presses OK.
    void ExpectMessage(const std::string& text) const
    {
        MessageBoxInfo box;
        ASSERT_TRUE(driver_->WaitForMessageBox(box, 10000)) << "no box for " << text;
        EXPECT_EQ(box.caption, kTitle);
        EXPECT_EQ(box.text, text);
        EXPECT_FALSE(box.hasIcon);
        EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
        EXPECT_TRUE(driver_->PressOk(box));
    }

    // No box appears within the time.
    void ExpectNoBox(DWORD milliseconds) const
    {
        MessageBoxInfo box;
        EXPECT_FALSE(driver_->WaitForMessageBox(box, milliseconds))
            << "unexpected box: " << box.caption << ": " << box.text;
    }

    bool WaitGo(bool enabled, DWORD milliseconds = 10000) const
    {
        return WaitUntil([&] { return UiDriver::Enabled(go_) == enabled; }, milliseconds);
    }

    std::string dir_;
    std::unique_ptr<UiProcess> process_;
    std::unique_ptr<UiDriver> driver_;
    HWND main_ = nullptr;
    HWND host_ = nullptr;
    HWND go_ = nullptr;
    HWND about_ = nullptr;
    HWND help_ = nullptr;
    HWND results_ = nullptr;
};

// --- The window ------------------------------------------------------------------

TEST_F(Gui, FirstStartShowsTheWindowAsLaidOutWithAnEmptyBoxAndGoDisabled)
{
    WriteTable("127.0.0.1:1");
    ASSERT_TRUE(Start());

    RECT client = {};
    GetClientRect(main_, &client);
    EXPECT_EQ(client.right - client.left, 536);
    EXPECT_EQ(client.bottom - client.top, 364);
    LONG style = GetWindowLongA(main_, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME) << "the border is fixed";
    EXPECT_FALSE(style & (WS_HSCROLL | WS_VSCROLL));
    RECT frame = {};
    GetWindowRect(main_, &frame);
    EXPECT_NEAR((frame.left + frame.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((frame.top + frame.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);

    struct Expected {
        const char* className;
        int left, top, width, height;
        const char* text;
        bool tabStop;
    };
    const Expected controls[] = {
        {"Static", 8, 8, 57, 21, "Host", false},
        {"Edit", 80, 8, 281, 21, "", true},
        {"Button", 360, 8, 25, 21, "?", true},
        {"Button", 408, 8, 60, 21, "&Go", true},
        {"Button", 472, 8, 60, 21, "&About", true},
        {RICHEDIT_CLASSA, 8, 40, 521, 233, "", true},
        {"Static", 8, 280, 324, 74, "", false},
        {"Button", 344, 288, 17, 17, "", true},
        {"Button", 344, 328, 17, 17, "", true},
    };
    for (const Expected& e : controls) {
        SCOPED_TRACE(std::string(e.className) + " at " + std::to_string(e.left) + ","
                     + std::to_string(e.top));
        HWND control = UiDriver::Control(main_, e.className, e.left, e.top);
        ASSERT_NE(control, nullptr);
        RECT rect = UiDriver::ControlRect(control);
        EXPECT_EQ(rect.right - rect.left, e.width);
        EXPECT_EQ(rect.bottom - rect.top, e.height);
        EXPECT_EQ(UiDriver::Text(control), e.text);
        EXPECT_EQ((GetWindowLongA(control, GWL_STYLE) & WS_TABSTOP) != 0, e.tabStop);
    }
    // The static texts size themselves to their text: one line of the 8-point font.
    for (auto [top, text] : {std::pair{288, "Vantrel PGP Encryption tools"},
                             std::pair{328, "Vantrel anti-Spam tools"}}) {
        HWND control = UiDriver::Control(main_, "Static", 368, top);
        ASSERT_NE(control, nullptr) << text;
        EXPECT_EQ(UiDriver::Text(control), text);
        RECT rect = UiDriver::ControlRect(control);
        EXPECT_GT(rect.right - rect.left, 60) << text;
        EXPECT_LT(rect.right - rect.left, 168) << text;
        EXPECT_GE(rect.bottom - rect.top, 10) << text;
        EXPECT_LT(rect.bottom - rect.top, 17) << text;
        EXPECT_FALSE(GetWindowLongA(control, GWL_STYLE) & WS_TABSTOP);
    }
    LONG resultsStyle = GetWindowLongA(results_, GWL_STYLE);
    EXPECT_TRUE(resultsStyle & ES_MULTILINE);
    EXPECT_FALSE(resultsStyle & (ES_READONLY | ES_DISABLENOSCROLL | WS_HSCROLL | ES_AUTOHSCROLL));
    EXPECT_EQ(GetWindowLongA(go_, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);

    // No Results.Log: the box is empty, not "<no data yet>"; the host box is empty,
    // so Go is disabled; the host box has the focus.
    EXPECT_EQ(Results(), "");
    EXPECT_FALSE(UiDriver::Enabled(go_));
    EXPECT_TRUE(UiDriver::Enabled(about_));
    EXPECT_TRUE(WaitUntil([&] { return driver_->Focus(main_) == host_; }, 5000));
    EXPECT_FALSE(Exists("Results.Log"));
    CloseAndExpectCleanExit();
}

TEST_F(Gui, GoIsEnabledExactlyWhileTheTrimmedHostTextIsNonEmpty)
{
    WriteTable("127.0.0.1:1");
    ASSERT_TRUE(Start());
    const std::pair<const char*, bool> cases[] = {
        {"   ", false}, {"x", true},     {" \t ", false}, {"  a.test  ", true},
        {"", false},    {"\t.\t", true}, {"\x01\x1f", false},
    };
    for (auto [text, enabled] : cases) {
        ASSERT_TRUE(UiDriver::SetText(host_, text));
        EXPECT_TRUE(WaitGo(enabled, 3000)) << "host text '" << Printable(text) << "'";
    }
    CloseAndExpectCleanExit();
}

// --- Lookups ---------------------------------------------------------------------

TEST_F(Gui, SuccessfulQueryShowsHeaderAndAnswerAndIsShownAgainAtTheNextStart)
{
    const std::string answer = "Domain Name: mail.example.test\r\nRegistrar: Vantrel \xE9tude\n"
                               "\nStatus: active\rLast line\r\n";
    rztest::TestServer server(rztest::Script::Answer, answer);
    WriteTable(server.Address());
    ASSERT_TRUE(Start());

    ASSERT_TRUE(UiDriver::SetText(host_, "  Mail.Example.TEST \t"));
    ASSERT_TRUE(WaitGo(true));
    ASSERT_TRUE(UiDriver::Click(go_));
    ExpectResults(AsShown(TestHeader(server) + "\r\n\n" + answer));
    ASSERT_TRUE(server.WaitFinished(1, 5000));
    EXPECT_EQ(server.LastReceived(), "mail.example.test\r\n");
    EXPECT_EQ(ReadBytes("Results.Log"), answer);
    EXPECT_FALSE(Exists("Results.Log.tmp"));
    EXPECT_TRUE(WaitGo(true));
    ExpectNoBox(300);
    CloseAndExpectCleanExit();

    // The next start shows the saved answer alone.
    ASSERT_TRUE(Start());
    ExpectResults(AsShown(answer), 5000);
    EXPECT_FALSE(UiDriver::Enabled(go_));
    CloseAndExpectCleanExit();
    EXPECT_EQ(server.Finished(), 1);
}

TEST_F(Gui, GoClickEnterAndAltGEachRunOneLookupOfTheWholeName)
{
    rztest::TestServer server(rztest::Script::Answer, "answer\r\n");
    WriteTable(server.Address());
    ASSERT_TRUE(Start());

    struct Trigger {
        const char* name;
        const char* host;
    };
    const Trigger triggers[] = {{"click", "one.test"}, {"enter", "Two.Example.Test"},
                                {"alt+g", "three.test"}};
    int count = 0;
    for (const Trigger& t : triggers) {
        SCOPED_TRACE(t.name);
        ASSERT_TRUE(UiDriver::SetText(host_, t.host));
        ASSERT_TRUE(WaitGo(true));
        UiDriver::SetText(results_, "-");
        if (std::string(t.name) == "click") {
            ASSERT_TRUE(UiDriver::Click(go_));
        } else if (std::string(t.name) == "enter") {
            ASSERT_TRUE(WaitUntil([&] { return driver_->Focus(main_) == host_; }, 5000));
            ASSERT_TRUE(driver_->PressKey(main_, VK_RETURN));
        } else {
            ASSERT_TRUE(driver_->PressAltKey(main_, 'G'));
        }
        ++count;
        ASSERT_TRUE(server.WaitFinished(count, 10000));
        std::string name = t.host;
        for (char& c : name)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        EXPECT_EQ(server.LastReceived(), name + "\r\n");
        ExpectResults(AsShown(TestHeader(server) + "\r\n\nanswer\r\n"));
        // Focus back to the host box for the next key.
        if (driver_->Focus(main_) != host_)
            PostMessageA(main_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(host_), TRUE);
    }
    ExpectNoBox(300);
    EXPECT_EQ(server.Finished(), 3);
    CloseAndExpectCleanExit();
}

TEST_F(Gui, RecordWithoutServerShowsTheHeaderAndAsksNoOne)
{
    rztest::TestServer server(rztest::Script::Answer, "never\r\n");
    WriteTable(server.Address());
    WriteBytes("Results.Log", "kept\r\n");
    ASSERT_TRUE(Start());
    ExpectResults("kept\r\n", 5000);

    ASSERT_TRUE(UiDriver::SetText(host_, "www.host.NONE"));
    ASSERT_TRUE(WaitGo(true));
    ASSERT_TRUE(UiDriver::Click(go_));
    ExpectResults(std::string("Country/Area: Nowhere Land") + kNoServerTail);
    ExpectNoBox(1000);
    EXPECT_EQ(server.Finished(), 0);
    EXPECT_EQ(ReadBytes("Results.Log"), "kept\r\n");
    EXPECT_TRUE(UiDriver::Enabled(go_));
    CloseAndExpectCleanExit();
}

TEST_F(Gui, RefusedConnectionReportsTheErrorAndKeepsHeaderAndLog)
{
    rztest::TestServer server(rztest::Script::Refuse);
    WriteTable(server.Address());
    WriteBytes("Results.Log", "previous answer");
    ASSERT_TRUE(Start());

    ASSERT_TRUE(UiDriver::SetText(host_, "refused.test"));
    ASSERT_TRUE(WaitGo(true));
    DWORD start = GetTickCount();
    ASSERT_TRUE(UiDriver::Click(go_));
    ExpectErrorBox("[10061] Connection refused.", 8000);
    EXPECT_LT(GetTickCount() - start, 8000u);
    ExpectResults(TestHeader(server));
    EXPECT_EQ(ReadBytes("Results.Log"), "previous answer");
    EXPECT_TRUE(WaitGo(true));
    CloseAndExpectCleanExit();
}

TEST_F(Gui, EmptyAnswerGivesAnEmptyLogAndTheHeaderWithItsLineEnds)
{
    rztest::TestServer server(rztest::Script::CloseSilently);
    WriteTable(server.Address());
    WriteBytes("Results.Log", "previous answer");
    ASSERT_TRUE(Start());
    ASSERT_TRUE(UiDriver::SetText(host_, "empty.test"));
    ASSERT_TRUE(WaitGo(true));
    ASSERT_TRUE(UiDriver::Click(go_));
    ExpectResults(AsShown(TestHeader(server) + "\r\n\n"));
    ExpectNoBox(300);
    EXPECT_TRUE(Exists("Results.Log"));
    EXPECT_EQ(ReadBytes("Results.Log"), "");
    CloseAndExpectCleanExit();
}

TEST_F(Gui, AnswerWithAZeroByteIsLoggedWholeAndShownUpToTheZero)
{
    const std::string answer("first line\r\nbefore\0after\r\nmore\r\n", 32);
    rztest::TestServer server(rztest::Script::Answer, answer);
    WriteTable(server.Address());
    ASSERT_TRUE(Start());
    ASSERT_TRUE(UiDriver::SetText(host_, "zero.test"));
    ASSERT_TRUE(WaitGo(true));
    ASSERT_TRUE(UiDriver::Click(go_));
    ExpectResults(TestHeader(server) + "\r\n\r\nfirst line\r\nbefore");
    EXPECT_EQ(ReadBytes("Results.Log"), answer);
    CloseAndExpectCleanExit();
}

TEST_F(Gui, MebibyteAnswerIsLoggedAndShownWhole)
{
    std::string answer;
    for (int line = 0; answer.size() < (1u << 20); ++line)
        answer += "line " + std::to_string(line) + ": registrant data of the test record\r\n";
    answer.resize(1u << 20);
    rztest::TestServer server(rztest::Script::Answer, answer);
    WriteTable(server.Address());
    ASSERT_TRUE(Start());
    ASSERT_TRUE(UiDriver::SetText(host_, "big.test"));
    ASSERT_TRUE(WaitGo(true));
    ASSERT_TRUE(UiDriver::Click(go_));
    ASSERT_TRUE(server.WaitFinished(1, 20000));
    ExpectResults(AsShown(TestHeader(server) + "\r\n\n" + answer), 60000);
    EXPECT_EQ(ReadBytes("Results.Log"), answer);
    ExpectNoBox(200);
    CloseAndExpectCleanExit();
}

TEST_F(Gui, MissingTableReportsFileNotFoundAndLeavesTheBoxEmpty)
{
    rztest::TestServer server(rztest::Script::Answer, "never\r\n");
    WriteBytes("Results.Log", "previous answer");
    ASSERT_TRUE(Start());
    ExpectResults("previous answer", 5000);
    ASSERT_TRUE(UiDriver::SetText(host_, "a.test"));
    ASSERT_TRUE(WaitGo(true));
    ASSERT_TRUE(UiDriver::Click(go_));
    ExpectErrorBox("File not found.");
    EXPECT_EQ(Results(), "");
    EXPECT_EQ(server.Finished(), 0);
    EXPECT_EQ(ReadBytes("Results.Log"), "previous answer");
    CloseAndExpectCleanExit();
}

TEST_F(Gui, AnswerThatCannotBeSavedIsReportedAndLeavesNoTemporaryFile)
{
    rztest::TestServer server(rztest::Script::Answer, "new answer\r\n");
    WriteTable(server.Address());
    // A folder of that name: the answer cannot take its place.
    ASSERT_TRUE(CreateDirectoryA(PathOf("Results.Log").c_str(), nullptr));
    ASSERT_TRUE(Start());
    EXPECT_EQ(Results(), "") << "a folder is no saved answer";
    ASSERT_TRUE(UiDriver::SetText(host_, "save.test"));
    ASSERT_TRUE(WaitGo(true));
    ASSERT_TRUE(UiDriver::Click(go_));
    ExpectErrorBox("Cannot create file Results.Log.");
    ExpectResults(TestHeader(server));
    EXPECT_FALSE(Exists("Results.Log.tmp"));
    EXPECT_TRUE(GetFileAttributesA(PathOf("Results.Log").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    CloseAndExpectCleanExit();
}

TEST_F(Gui, SavedAnswerHeldOpenByAnotherProgramIsReportedAtStart)
{
    WriteTable("127.0.0.1:1");
    WriteBytes("Results.Log", "locked answer");
    HANDLE held = CreateFileA(PathOf("Results.Log").c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(Start());
    ExpectErrorBox("Cannot open file " + PathOf("Results.Log") + ".");
    CloseHandle(held);
    // The window is there all the same, with Go set from the (empty) host box.
    EXPECT_TRUE(IsWindowVisible(main_));
    EXPECT_FALSE(UiDriver::Enabled(go_));
    CloseAndExpectCleanExit();
}

// --- Help and About ---------------------------------------------------

TEST_F(Gui, HelpShowsHelpTxtWholeOrAnEmptyBox)
{
    WriteTable("127.0.0.1:1");
    ASSERT_TRUE(Start());
    ASSERT_TRUE(UiDriver::Click(help_));
    ExpectMessage("");

    const std::string help = "Vantrel Tessaly Whois - Help\r\n\r\nType a name and press Go.";
    WriteBytes("help.txt", help);
    ASSERT_TRUE(UiDriver::Click(help_));
    ExpectMessage(help);
    CloseAndExpectCleanExit();
}

TEST_F(Gui, AboutShowsNameAndVersionFromTheButtonAndAltA)
{
    WriteTable("127.0.0.1:1");
    ASSERT_TRUE(Start());
    ASSERT_TRUE(UiDriver::Click(about_));
    ExpectMessage("Tessaly Whois V1.03");
    ASSERT_NE(driver_->WaitForFocusIn(main_, 5000), nullptr);
    ASSERT_TRUE(driver_->PressAltKey(main_, 'A'));
    ExpectMessage("Tessaly Whois V1.03");
    CloseAndExpectCleanExit();
}

// --- While a query runs -----------------------------------------------------------

TEST_F(Gui, WhileAQueryRunsGoIsDisabledEnterDoesNothingAndEscCancels)
{
    rztest::ServerOptions options;
    options.script = rztest::Script::Silent;
    options.holdMs = 20000;
    rztest::TestServer server(options);
    WriteTable(server.Address());
    WriteBytes("Results.Log", "previous answer");
    ASSERT_TRUE(Start());

    ASSERT_TRUE(UiDriver::SetText(host_, "slow.test"));
    ASSERT_TRUE(WaitGo(true));
    ASSERT_TRUE(UiDriver::Click(go_));
    ExpectResults(TestHeader(server));
    ASSERT_TRUE(WaitGo(false)) << "Go stays enabled during the query";

    // A second lookup cannot start: not by typing, Enter, Alt+G or a click.
    ASSERT_TRUE(UiDriver::SetText(host_, "other.test"));
    ASSERT_TRUE(driver_->PressKey(main_, VK_RETURN));
    ASSERT_TRUE(driver_->PressAltKey(main_, 'G'));
    ASSERT_TRUE(UiDriver::Click(go_));
    ExpectNoBox(1000);
    EXPECT_FALSE(UiDriver::Enabled(go_));
    EXPECT_EQ(Results(), TestHeader(server));

    // The window still answers: About opens and closes during the query, and an
    // error of another button is shown without ending the query.
    ASSERT_TRUE(UiDriver::Click(about_));
    ExpectMessage("Tessaly Whois V1.03");
    WriteBytes("help.txt", "help");
    HANDLE held = CreateFileA(PathOf("help.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(UiDriver::Click(help_));
    ExpectErrorBox("Cannot open file " + PathOf("help.txt") + ".");
    CloseHandle(held);
    EXPECT_FALSE(UiDriver::Enabled(go_)) << "the query goes on";
    EXPECT_EQ(server.Finished(), 0);

    ASSERT_NE(driver_->WaitForFocusIn(main_, 5000), nullptr);
    ASSERT_TRUE(driver_->PressKey(main_, VK_ESCAPE));
    ExpectErrorBox("Operation has been canceled.", 5000);
    EXPECT_TRUE(WaitGo(true)) << "Go follows the host text again";
    EXPECT_EQ(Results(), TestHeader(server));
    EXPECT_EQ(ReadBytes("Results.Log"), "previous answer");
    ASSERT_TRUE(server.WaitFinished(1, 5000));
    EXPECT_EQ(server.LastReceived(), "slow.test\r\n");
    // No second connection was made.
    Sleep(500);
    EXPECT_EQ(server.Finished(), 1);
    CloseAndExpectCleanExit();
}

TEST_F(Gui, ClosingDuringAQueryCancelsItAndEndsCleanly)
{
    rztest::ServerOptions options;
    options.script = rztest::Script::Silent;
    options.holdMs = 20000;
    rztest::TestServer server(options);
    WriteTable(server.Address());
    WriteBytes("Results.Log", "previous answer");
    ASSERT_TRUE(Start());

    ASSERT_TRUE(UiDriver::SetText(host_, "close.test"));
    ASSERT_TRUE(WaitGo(true));
    ASSERT_TRUE(UiDriver::Click(go_));
    ExpectResults(TestHeader(server));
    ASSERT_TRUE(WaitGo(false));

    ASSERT_TRUE(UiDriver::Close(main_));
    DWORD code = 999;
    bool sawBox = false;
    ASSERT_TRUE(WaitUntil(
        [&] {
            MessageBoxInfo box;
            sawBox = sawBox || driver_->FindMessageBox(box);
            return !process_->Running();
        },
        15000))
        << "the program did not end";
    EXPECT_FALSE(sawBox) << "a box appeared while closing";
    ASSERT_TRUE(process_->WaitExit(0, code));
    EXPECT_EQ(code, 0u);
    main_ = nullptr;
    EXPECT_EQ(ReadBytes("Results.Log"), "previous answer");
    EXPECT_TRUE(server.WaitFinished(1, 5000));
}

// --- Keyboard -------------------------------------------------------------------------

TEST_F(Gui, TabFollowsTheTabOrderAndSkipsADisabledGo)
{
    WriteTable("127.0.0.1:1");
    ASSERT_TRUE(Start());
    HWND encrypt = UiDriver::Control(main_, "Button", 344, 288);
    HWND antiSpam = UiDriver::Control(main_, "Button", 344, 328);
    ASSERT_TRUE(WaitUntil([&] { return driver_->Focus(main_) == host_; }, 5000));

    auto tabTo = [&](HWND expected, const char* name) {
        ASSERT_TRUE(driver_->PressKey(main_, VK_TAB));
        EXPECT_TRUE(WaitUntil([&] { return driver_->Focus(main_) == expected; }, 3000))
            << "Tab did not reach " << name;
    };
    // Go disabled (empty host box): from the host box straight to the results box.
    tabTo(results_, "the results box");
    tabTo(encrypt, "the encryption link button");
    tabTo(antiSpam, "the anti-spam link button");
    tabTo(about_, "About");
    tabTo(help_, "?");
    tabTo(host_, "the host box");

    ASSERT_TRUE(UiDriver::SetText(host_, "x.test"));
    ASSERT_TRUE(WaitGo(true));
    tabTo(go_, "Go");
    tabTo(results_, "the results box");

    // Enter on a focused push button presses that button, not Go.
    tabTo(encrypt, "the encryption link button");
    tabTo(antiSpam, "the anti-spam link button");
    tabTo(about_, "About");
    ASSERT_TRUE(driver_->PressKey(main_, VK_RETURN));
    ExpectMessage("Tessaly Whois V1.03");

    // Esc without a query does nothing: no box, the window stays.
    ASSERT_NE(driver_->WaitForFocusIn(main_, 5000), nullptr);
    ASSERT_TRUE(driver_->PressKey(main_, VK_ESCAPE));
    ExpectNoBox(500);
    EXPECT_TRUE(IsWindowVisible(main_));
    CloseAndExpectCleanExit();
}

} // namespace
