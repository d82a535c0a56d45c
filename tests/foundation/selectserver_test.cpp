// SelectServer over real files: opening, sharing, closing and re-reading the table.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/domtable.h"
#include "classes/sysutils.h"

namespace {

class SelectServerFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        char dir[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        path_ = std::string(dir) + "rz_doms_" + std::to_string(GetCurrentProcessId()) + ".dat";
    }
    void TearDown() override { DeleteFileA(path_.c_str()); }

    void Write(const std::string& bytes)
    {
        HANDLE file = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }

    // The message of the input/output error SelectServer raises, or "" for none.
    std::string FailureOf(const std::string& path)
    {
        try {
            rozoru::SelectServer("example.jp", path);
        } catch (const zt::EInOutError& e) {
            return e.Message();
        }
        return "";
    }

    std::string path_;
};

TEST_F(SelectServerFile, ReadsTheTableAfreshAtEveryCall)
{
    Write("jp\r\nJapan\r\nwhois.jprs.jp\r\n");
    rozoru::ServerSelection first = rozoru::SelectServer("  WWW.Example.JP ", path_);
    EXPECT_EQ(first.QueryName, "www.example.jp");
    EXPECT_EQ(first.Header, "Country/Area: Japan.    Whois Server: whois.jprs.jp");
    EXPECT_EQ(first.WhoisServer, "whois.jprs.jp");

    Write("jp\r\nJapan\r\n127.0.0.1:4343\r\n");
    EXPECT_EQ(rozoru::SelectServer("example.jp", path_).WhoisServer, "127.0.0.1:4343");
}

TEST_F(SelectServerFile, OpenFailuresCarryTheSystemsCode)
{
    EXPECT_EQ(FailureOf(path_), "File not found");
    EXPECT_EQ(FailureOf("C:\\rz-no-such-dir\\sub\\Doms.dat"), "Invalid filename");

    // Another program holds the table open without sharing it.
    Write("jp\r\nJapan\r\nwhois.jprs.jp\r\n");
    HANDLE locked = CreateFileA(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FailureOf(path_), "I/O error 32");
    CloseHandle(locked);

    // Other readers may hold it open meanwhile.
    HANDLE reader = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FailureOf(path_), "");
    CloseHandle(reader);
}

TEST_F(SelectServerFile, ClosesTheTableOnEveryPath)
{
    Write("de\r\nGermany\r\nwhois.denic.de\r\njp\r\nJapan\r\nwhois.jprs.jp\r\n");
    rozoru::SelectServer("example.jp", path_);  // matched
    rozoru::SelectServer("example.fr", path_);  // read to the end
    // An exclusive open succeeds only when nothing holds the file any more.
    HANDLE exclusive = CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE);
    CloseHandle(exclusive);
}

} // namespace
