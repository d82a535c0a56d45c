// Start-up without the Windows Sockets library. This program runs with wsock32.dll
// disabled (a Wine DLL override that the started program inherits): rozoru.exe
// must report the failure in its own box and end with exit code 1, without ever
// showing its window.
#include <gtest/gtest.h>

#include "uidriver.h"

namespace {

TEST(StartUp, WithoutWinsockTheProgramShowsApplicationErrorAndEndsWithExitCode1)
{
    ASSERT_EQ(LoadLibraryA("wsock32.dll"), nullptr) << "wsock32.dll is not disabled for this test";
    std::string dir = rztest::WindowsPath(RZ_GUI_SCRATCH);
    std::string program = rztest::FreshCopy(rztest::WindowsPath(RZ_ROZORU_EXE), dir);
    rztest::UiProgram app;
    ASSERT_TRUE(app.Start(program, dir)) << program;
    rztest::MessageBoxInfo box;
    ASSERT_TRUE(app.WaitForMessageBox(box, 30000)) << "no start-up failure box";
    EXPECT_EQ(box.caption, "Application Error");
    EXPECT_EQ(box.text, "Exception EWinsockDLLError: Winsock not found.");
    EXPECT_TRUE(box.hasIcon);
    EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(app.WaitForWindow("Vantrel Tessaly \"Whois\"", 0), nullptr) << "the window was shown";
    EXPECT_TRUE(rztest::PressOk(box));
    DWORD code = 999;
    ASSERT_TRUE(app.WaitExit(10000, code)) << "the program did not end";
    EXPECT_EQ(code, 1u);
}

} // namespace
