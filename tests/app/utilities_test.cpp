// The application's small utilities, and the resources built into rozoru.exe.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>

#include "app/FmxUtils.h"
#include "app/PathOfF.h"
#include "app/readastr.h"
#include "classes/sysutils.h"

namespace {

std::string WindowsPath(std::string path)
{
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return "Z:" + path;
}

class ReadAsStringTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        dir_ = std::string(temp) + "rozoru-readastr\\";
        CreateDirectoryA(dir_.c_str(), nullptr);
    }

    std::string Write(const std::string& name, const std::string& bytes)
    {
        std::string path = dir_ + name;
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    std::string dir_;
};

TEST_F(ReadAsStringTest, ReturnsEveryByteOfTheFile)
{
    const std::string cases[] = {
        "",
        "one line",
        std::string("zero\0byte\r\nCR LF\rCR\nLF\x1a after Ctrl-Z \xff\xe9", 40),
        std::string(3u << 20, 'x') + "end",
    };
    int i = 0;
    for (const std::string& bytes : cases) {
        std::string path = Write("file" + std::to_string(i++) + ".bin", bytes);
        EXPECT_EQ(rozoru::ReadAsString(path), bytes) << path;
        // The file is closed again: an exclusive open succeeds.
        HANDLE again = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(again, INVALID_HANDLE_VALUE) << path;
        CloseHandle(again);
    }
}

TEST_F(ReadAsStringTest, NoFileOrAFolderGivesAnEmptyText)
{
    EXPECT_EQ(rozoru::ReadAsString(dir_ + "missing.txt"), "");
    EXPECT_EQ(rozoru::ReadAsString(dir_ + "no such folder\\missing.txt"), "");
    EXPECT_EQ(rozoru::ReadAsString(dir_), "");
    EXPECT_EQ(rozoru::ReadAsString(dir_.substr(0, dir_.size() - 1)), "");
}

TEST_F(ReadAsStringTest, AFileOpenElsewhereCannotBeOpened)
{
    std::string path = Write("held.txt", "held");
    // Even a holder that shares everything keeps an unshared open out.
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    try {
        rozoru::ReadAsString(path);
        ADD_FAILURE() << "the held file was read";
    } catch (const zt::EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file " + path);
    }
    CloseHandle(held);
    EXPECT_EQ(rozoru::ReadAsString(path), "held");
}

TEST(DirectoryPart, KeepsTheTextUpToTheLastBackslash)
{
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Program Files\\Vantrel\\rozoru.exe", "C:\\Program Files\\Vantrel\\"},
        {"C:\\rozoru.exe", "C:\\"},
        {"\\\\server\\share\\rozoru.exe", "\\\\server\\share\\"},
        {"C:\\dir\\", "C:\\dir\\"},
        {"\\", "\\"},
        {"rozoru.exe", "rozoru.exe"},
        {"C:/forward/slashes.exe", "C:/forward/slashes.exe"},
        {"a\\b.c\\d", "a\\b.c\\"},
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
    std::string base = std::string(temp) + "rozoru-missing-";
    auto named = [&](std::size_t length) {
        std::string name = base;
        name.resize(length - 4, 'n');
        return name + ".zzq";
    };
    ASSERT_LT(base.size() + 4, 79u);

    auto result = [](const std::string& file, const std::string& params, const std::string& dir) {
        return reinterpret_cast<INT_PTR>(rozoru::ShellOpenFile(nullptr, file, params, dir, SW_SHOW));
    };
    std::string longest = named(79);
    EXPECT_EQ(result(longest, "", ""), SE_ERR_FNF);
    EXPECT_EQ(result(named(80), "", ""), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(result(longest, std::string(79, 'p'), std::string(temp)), SE_ERR_FNF);
    EXPECT_EQ(result(longest, std::string(80, 'p'), ""), 0);
    EXPECT_EQ(result(longest, "", std::string(80, 'd')), 0);
    EXPECT_EQ(result(longest, std::string("a\0b", 3), ""), 0) << "a zero would cut the text";
}

// --- Resources of the program ------------------------------------------------------

class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override
    {
        path_ = WindowsPath(RZ_ROZORU_EXE);
        module_ = LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, nullptr) << path_;
    }
    void TearDown() override
    {
        if (module_ != nullptr)
            FreeLibrary(module_);
    }

    std::string VersionString(const std::string& block, const char* name)
    {
        void* value = nullptr;
        UINT length = 0;
        std::string query = "\\StringFileInfo\\" + block + "\\" + name;
        if (!VerQueryValueA(version_.data(), query.c_str(), &value, &length) || length == 0)
            return "<none>";
        return std::string(static_cast<const char*>(value));
    }

    std::string path_;
    HMODULE module_ = nullptr;
    std::string version_;
};

TEST_F(ProgramResources, HoldBothTheMessageTableAndTheProgramsOwn)
{
    // The message table of the components, merged with the program's resources.
    char text[256] = {};
    ASSERT_GT(LoadStringA(module_, 57002, text, sizeof text), 0);
    EXPECT_STREQ(text, "Server property is required");
    ASSERT_GT(LoadStringA(module_, 10061, text, sizeof text), 0);
    EXPECT_STREQ(text, "[10061] Connection refused");

    EXPECT_NE(FindResourceA(module_, "MAINICON", MAKEINTRESOURCEA(14)), nullptr)   // RT_GROUP_ICON
        << "application icon";
    HRSRC logo = FindResourceA(module_, "LOGO", MAKEINTRESOURCEA(2));              // RT_BITMAP
    ASSERT_NE(logo, nullptr);
    const auto* header = static_cast<const BITMAPINFOHEADER*>(
        LockResource(LoadResource(module_, logo)));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->biWidth, 324);
    EXPECT_EQ(header->biHeight, 74);

    HRSRC manifest = FindResourceA(module_, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(manifest, nullptr) << "manifest";
    std::string xml(static_cast<const char*>(LockResource(LoadResource(module_, manifest))),
                    SizeofResource(module_, manifest));
    EXPECT_NE(xml.find("level=\"asInvoker\""), std::string::npos);
}

TEST_F(ProgramResources, VersionIs103)
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path_.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    version_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoA(path_.c_str(), 0, size, version_.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(version_.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00030000u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00030000u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    struct Translation {
        WORD language;
        WORD codePage;
    }* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(version_.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    char block[16];
    wsprintfA(block, "%04x%04x", translation->language, translation->codePage);
    EXPECT_EQ(VersionString(block, "ProductName"), "Vantrel Tessaly Whois");
    EXPECT_EQ(VersionString(block, "CompanyName"), "Vantrel");
    EXPECT_EQ(VersionString(block, "FileVersion"), "1.03");
    EXPECT_EQ(VersionString(block, "ProductVersion"), "1.03");
}

} // namespace
