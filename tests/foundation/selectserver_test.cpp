// SelectServer over real files: opening, sharing, closing and re-reading the table.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>

#include "app/domtable.h"
#include "classes/sysutils.h"

namespace {

TEST(SelectServerFile, ReadsTheTableAfreshSharesItWithReadersAndClosesItOnEveryPath)
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    const std::string path = std::string(dir) + "rz_doms_" + std::to_string(GetCurrentProcessId()) + ".dat";
    DeleteFileA(path.c_str());  // one left by an earlier run that failed with the file open
    auto open = [&](DWORD access, DWORD share) {
        return CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
    };
    auto write = [&](const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; };
    // The query name and the server chosen, or the message of the input/output error.
    auto select = [&](const std::string& host, const std::string& table = "") -> std::string {
        try {
            const rozoru::ServerSelection s = rozoru::SelectServer(host, table.empty() ? path : table);
            return s.QueryName + " | " + s.Header + " | " + s.WhoisServer;
        } catch (const zt::EInOutError& e) {
            return e.Message();
        }
    };
    const std::string japan = "example.jp | Country/Area: Japan.    Whois Server: whois.jprs.jp | whois.jprs.jp";

    // An open fails with the system's code.
    EXPECT_EQ(select("example.jp"), "File not found");
    EXPECT_EQ(select("example.jp", "C:\\rz-no-such-dir\\sub\\Doms.dat"), "Invalid filename");
    write("de\r\nGermany\r\nwhois.denic.de\r\njp\r\nJapan\r\nwhois.jprs.jp\r\n");
    EXPECT_EQ(select("  WWW.Example.JP "), "www." + japan);
    EXPECT_EQ(select("example.fr"), "example.fr |  | whois.iana.org");  // read to the end
    // Closed after a match and after reading to the end: an exclusive open succeeds.
    HANDLE exclusive = open(GENERIC_READ | GENERIC_WRITE, 0);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE);
    CloseHandle(exclusive);
    // Other readers may hold it open meanwhile, a program that does not share it not.
    for (DWORD share : {DWORD(FILE_SHARE_READ), DWORD(0)}) {
        HANDLE other = open(GENERIC_READ, share);
        EXPECT_EQ(select("example.jp"), share != 0 ? japan : "I/O error 32");
        CloseHandle(other);
    }
    write("jp\r\nJP\r\n127.0.0.1:4343\r\n");
    EXPECT_EQ(select("example.jp"), "example.jp | Country/Area: JP.    Whois Server: 127.0.0.1:4343 | 127.0.0.1:4343");
    DeleteFileA(path.c_str());
}

} // namespace
