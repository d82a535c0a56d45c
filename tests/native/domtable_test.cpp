// The table scan and the server choice, over tables held in memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "app/domtable.h"

using rozoru::ServerSelection;

namespace {

// Hands out the table in pieces of a given size, counting what was read.
class MemorySource : public rozoru::ByteSource {
public:
    MemorySource(std::string data, std::size_t piece = 65536)
        : data_(std::move(data)), piece_(piece) {}
    std::size_t Read(char* buffer, std::size_t size) override
    {
        std::size_t count = std::min({size, piece_, data_.size() - pos_});
        data_.copy(buffer, count, pos_);
        pos_ += count;
        return count;
    }
    std::size_t Consumed() const { return pos_; }

private:
    std::string data_;
    std::size_t piece_;
    std::size_t pos_ = 0;
};

ServerSelection Select(const std::string& host, const std::string& table, std::size_t piece = 65536)
{
    ServerSelection selection = rozoru::PrepareSelection(host);
    MemorySource source(table, piece);
    rozoru::ScanTable(source, selection);
    return selection;
}

const std::string kJapan = "Country/Area: Japan.    Whois Server: whois.jprs.jp";

TEST(PrepareSelection, TrimsLowerCasesAndTakesTheLastLabel)
{
    struct Case { const char* host; const char* query; const char* domain; };
    const Case cases[] = {
        {"  Example.COM  ", "example.com", "com"}, {"\t\x01Mail.Example.CO.UK\r\n", "mail.example.co.uk", "uk"},
        {"uk", "uk", "uk"},                       {"example.com.", "example.com.", ""},
        {" \t ", "", ""},                          {"a b.C D", "a b.c d", "c d"},
        {"\xC4XAMPLE.\xD6Z", "\xC4xample.\xD6z", "\xD6z"}, // bytes above 0x7F stay
    };
    for (const Case& c : cases) {
        ServerSelection s = rozoru::PrepareSelection(c.host);
        EXPECT_EQ(s.QueryName, c.query) << c.host;
        EXPECT_EQ(s.Domain, c.domain) << c.host;
    }
}

TEST(ScanTable, LineRules)
{
    struct Case {
        const char* name;
        std::string table;
        std::string host;
        bool matched;
        std::string header;
        std::string server;
    };
    const std::string jp = "jp\r\nJapan\r\nwhois.jprs.jp\r\n";
    const Case cases[] = {
        {"CR LF", "de\r\nGermany\r\nwhois.denic.de\r\n" + jp, "www.Example.JP", true, kJapan, "whois.jprs.jp"},
        {"CR alone", "de\rGermany\rwhois.denic.de\rjp\rJapan\rwhois.jprs.jp\r", "x.jp", true, kJapan, "whois.jprs.jp"},
        {"lone LF stays in the field", "jp\r\nJa\npan\r\nwhois.jprs.jp\r\n", "x.jp", true,
         "Country/Area: Ja\npan.    Whois Server: whois.jprs.jp", "whois.jprs.jp"},
        {"LF-only table has no usable record", "jp\nJapan\nwhois.jprs.jp\n", "x.jp", false, "", "whois.iana.org"},
        {"Ctrl-Z ends the data", "de\r\nGermany\r\nwhois.denic.de\r\n\x1A" + jp, "x.jp", false, "", "whois.iana.org"},
        {"Ctrl-Z inside a line", "jp\r\nJap\x1A" "an\r\nwhois.jprs.jp\r\n", "x.jp", true,
         "Country/Area: Jap.    Sorry, no whois server for that areas known", ""},
        {"record cut short", "de\r\nGermany\r\nwhois.denic.de\r\njp\r\nJapan", "x.jp", true,
         "Country/Area: Japan.    Sorry, no whois server for that areas known", ""},
        {"empty server line", "jp\r\nJapan\r\n\r\n", "x.jp", true,
         "Country/Area: Japan.    Sorry, no whois server for that areas known", ""},
        {"duplicate: the first wins", jp + "jp\r\nNippon\r\nother.example\r\n", "x.jp", true, kJapan, "whois.jprs.jp"},
        {"domain line in capitals", "JP\r\nJapan\r\nwhois.jprs.jp\r\n", "x.jp", true, kJapan, "whois.jprs.jp"},
        {"trailing blank in the domain line", "jp \r\nJapan\r\nwhois.jprs.jp\r\n", "x.jp", false, "", "whois.iana.org"},
        {"server taken untrimmed", "jp\r\nJapan\r\n whois.jprs.jp \r\n", "x.jp", true,
         "Country/Area: Japan.    Whois Server:  whois.jprs.jp ", " whois.jprs.jp "},
        {"extra empty line makes an all-empty record", jp + "\r\n", "example.", true,
         "Country/Area: .    Sorry, no whois server for that areas known", ""},
        {"empty domain without an empty record", jp, "example.", false, "", ""},
        {"empty host", jp, "  ", false, "", ""},
        {"empty table", "", "x.jp", false, "", "whois.iana.org"},
        {"unmatched never uses the last record's server", jp, "x.fr", false, "", "whois.iana.org"},
        {"bare top-level domain finds its record", jp, "JP", true, kJapan, "whois.jprs.jp"},
        {"CR LF split across reads", jp, "x.jp", true, kJapan, "whois.jprs.jp"},
    };
    for (const Case& c : cases) {
        for (std::size_t piece : {std::size_t(1), std::size_t(3), std::size_t(65536)}) {
            ServerSelection s = Select(c.host, c.table, piece);
            EXPECT_EQ(s.Matched, c.matched) << c.name << " piece " << piece;
            EXPECT_EQ(s.Header, c.header) << c.name << " piece " << piece;
            EXPECT_EQ(s.WhoisServer, c.server) << c.name << " piece " << piece;
        }
    }
}

TEST(ScanTable, StopsAtTheFirstMatchTakesLinesOfAnyLengthAndPassesReadErrorsOn)
{
    const std::string table = "jp\r\nJapan\r\nwhois.jprs.jp\r\n";
    ServerSelection selection = rozoru::PrepareSelection("x.jp");
    MemorySource source(table + std::string(100000, 'x'), 16);
    rozoru::ScanTable(source, selection);
    EXPECT_TRUE(selection.Matched);
    EXPECT_LE(source.Consumed(), table.size() + 16);

    const std::string area(1 << 20, 'A'), server = std::string(70000, 's') + ".example";
    ServerSelection s = Select("x.jp", "jp\r\n" + area + "\r\n" + server + "\r\n");
    EXPECT_EQ(s.Header, "Country/Area: " + area + ".    Whois Server: " + server);

    struct FailingSource : rozoru::ByteSource {
        std::size_t Read(char*, std::size_t) override { throw std::runtime_error("read failed"); }
    } failing;
    EXPECT_THROW(rozoru::ScanTable(failing, selection), std::runtime_error);
}

} // namespace
