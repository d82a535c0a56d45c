// Start-up without the Windows Sockets library. This program runs with wsock32.dll
// disabled (a Wine DLL override that the started program inherits): rozoru.exe
// must report the failure in its own box and end with exit code 1, without ever
// showing its window.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "uidriver.h"

namespace {

std::string WindowsPath(std::string path)
{
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return "Z:" + path;
}

TEST(StartUp, WithoutWinsockTheProgramShowsApplicationErrorAndEndsWithExitCode1)
{
    // The override is in effect here too.
    HMODULE winsock = LoadLibraryA("wsock32.dll");
    ASSERT_EQ(winsock, nullptr) << "wsock32.dll is not disabled for this test";

    std::string dir = WindowsPath(RZ_GUI_SCRATCH) + "\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string program = dir + "rozoru.exe";
    ASSERT_TRUE(CopyFileA(WindowsPath(RZ_ROZORU_EXE).c_str(), program.c_str(), FALSE));

    rztest::UiProcess process;
    ASSERT_TRUE(process.Start(program, dir));
    rztest::UiDriver driver(process.Id());
    rztest::MessageBoxInfo box;
    ASSERT_TRUE(driver.WaitForMessageBox(box, 30000)) << "no start-up failure box";
    EXPECT_EQ(box.caption, "Application Error");
    EXPECT_EQ(box.text, "Exception EWinsockDLLError: Winsock not found.");
    EXPECT_TRUE(box.hasIcon);
    EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(driver.FindWindowByCaption("Vantrel Tessaly \"Whois\""), nullptr)
        << "the window was shown";
    EXPECT_TRUE(driver.PressOk(box));
    DWORD code = 999;
    ASSERT_TRUE(process.WaitExit(10000, code)) << "the program did not end";
    EXPECT_EQ(code, 1u);
    // The window never appeared, and nothing was written.
    EXPECT_EQ(GetFileAttributesA((dir + "Results.Log").c_str()), INVALID_FILE_ATTRIBUTES);
}

} // namespace
