// The application's small utilities, and the resources built into rozoru.exe.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>

#include "app/FmxUtils.h"
#include "app/PathOfF.h"
#include "app/readastr.h"
#include "classes/sysutils.h"
#include "uidriver.h"

namespace {

TEST(ReadAsString, ReturnsEveryByteOrNothingAndKeepsOthersOut)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string dir = std::string(temp) + "rozoru-readastr\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    const std::string cases[] = {
        "",
        std::string("zero\0byte\r\nCR LF\rCR\nLF\x1a after Ctrl-Z \xff\xe9", 40),
        std::string(3u << 20, 'x') + "end",
    };
    const std::string path = dir + "file.bin";
    for (const std::string& bytes : cases) {
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        EXPECT_EQ(rozoru::ReadAsString(path), bytes) << bytes.size() << " bytes";
        // The file is closed again: an exclusive open succeeds.
        HANDLE again = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(again, INVALID_HANDLE_VALUE);
        CloseHandle(again);
    }
    // No such file, or a folder: nothing.
    for (const std::string& none : {dir + "missing.txt", dir + "no folder\\missing.txt", dir,
                                    dir.substr(0, dir.size() - 1)})
        EXPECT_EQ(rozoru::ReadAsString(none), "") << none;

    // The file is opened unshared: even a holder that shares everything keeps it out.
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_THROW(rozoru::ReadAsString(path), zt::EFOpenError);
    CloseHandle(held);
}

TEST(DirectoryPart, KeepsTheTextUpToTheLastBackslash)
{
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Program Files\\Vantrel\\rozoru.exe", "C:\\Program Files\\Vantrel\\"},
        {"\\\\server\\share\\rozoru.exe", "\\\\server\\share\\"},
        {"C:\\dir\\", "C:\\dir\\"}, {"\\", "\\"}, {"rozoru.exe", "rozoru.exe"},
        {"C:/forward/slashes.exe", "C:/forward/slashes.exe"}, {"a\\b.c\\d", "a\\b.c\\"},
    };
    for (auto [path, expected] : cases)
        EXPECT_EQ(rozoru::DirectoryPart(path), expected) << path;
}

TEST(ShellOpenFile, TextsOfUpTo79CharactersGoToTheShellLongerOnesAreRefused)
{
    // A file that does not exist: the shell answers "file not found" (2) without
    // opening anything; a refused call answers 0 and never reaches the shell.
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string name = std::string(temp) + "rozoru-missing-";
    ASSERT_LT(name.size() + 4, 79u);
    name.resize(75, 'n');
    const std::string longest = name + ".zzq";
    auto result = [](const std::string& file, const std::string& params, const std::string& dir) {
        return reinterpret_cast<INT_PTR>(
            rozoru::ShellOpenFile(nullptr, file, params, dir, SW_SHOW));
    };
    EXPECT_EQ(result(longest, std::string(79, 'p'), std::string(temp)), SE_ERR_FNF);
    EXPECT_EQ(result("n" + longest, "", ""), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(result(longest, std::string(80, 'p'), ""), 0);
    EXPECT_EQ(result(longest, "", std::string(80, 'd')), 0);
    EXPECT_EQ(result(longest, std::string("a\0b", 3), ""), 0) << "a zero would cut the text";
}

TEST(ProgramResources, IconLogoManifestAndVersion)
{
    // (The message table built into the program shows in the window's error boxes.)
    const std::string path = rztest::WindowsPath(RZ_ROZORU_EXE);
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << path;
    // RT_GROUP_ICON, RT_BITMAP, RT_MANIFEST
    EXPECT_NE(FindResourceA(module, "MAINICON", MAKEINTRESOURCEA(14)), nullptr);
    EXPECT_NE(FindResourceA(module, "LOGO", MAKEINTRESOURCEA(2)), nullptr);
    EXPECT_NE(FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)), nullptr);
    FreeLibrary(module);

    DWORD ignored = 0;
    std::string version(GetFileVersionInfoSizeA(path.c_str(), &ignored), '\0');
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, version.size(), version.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(version.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00030000u);
}

} // namespace
