#include "domtable.h"

#include <cstring>

#include "../classes/sysutils.h"

namespace rozoru {

namespace {

const char kCR = 0x0D;
const char kLF = 0x0A;
const char kEndOfData = 0x1A; // Ctrl-Z

// Buffered line reader with the table's line rules: CR ends a line, an LF right
// behind it belongs to that line end, a lone LF is data, Ctrl-Z ends the data, and
// reading past the end gives empty lines.
class LineReader {
public:
    explicit LineReader(ByteSource& source) : source_(source) {}

    // No byte left, or the next byte is Ctrl-Z.
    bool AtEnd()
    {
        return !Fill() || buffer_[pos_] == kEndOfData;
    }

    void ReadLine(std::string& line)
    {
        line.clear();
        while (Fill()) {
            const char* start = buffer_ + pos_;
            std::size_t available = length_ - pos_;
            std::size_t run = 0;
            while (run < available && start[run] != kCR && start[run] != kEndOfData)
                ++run;
            line.append(start, run);
            pos_ += run;
            if (run == available)
                continue;
            if (start[run] == kEndOfData) {
                ended_ = true;
                return;
            }
            ++pos_; // the CR
            if (Fill() && buffer_[pos_] == kLF)
                ++pos_;
            return;
        }
    }

private:
    // Makes sure a byte is buffered; false at the end of the data.
    bool Fill()
    {
        if (ended_)
            return false;
        if (pos_ < length_)
            return true;
        length_ = source_.Read(buffer_, sizeof buffer_);
        pos_ = 0;
        if (length_ == 0)
            ended_ = true;
        return !ended_;
    }

    ByteSource& source_;
    char buffer_[65536];
    std::size_t pos_ = 0;
    std::size_t length_ = 0;
    bool ended_ = false;
};

} // namespace

ServerSelection PrepareSelection(const std::string& hostText)
{
    ServerSelection selection;
    selection.QueryName = zt::LowerAscii(zt::Trim(hostText));
    std::string::size_type dot = selection.QueryName.rfind('.');
    selection.Domain = dot == std::string::npos ? selection.QueryName
                                                : selection.QueryName.substr(dot + 1);
    return selection;
}

std::string BuildHeader(const std::string& area, const std::string& server)
{
    std::string header = "Country/Area: " + area;
    if (!server.empty())
        header += ".    Whois Server: " + server;
    else
        header += ".    Sorry, no whois server for that areas known";
    return header;
}

void ScanTable(ByteSource& table, ServerSelection& selection)
{
    LineReader reader(table);
    std::string domain, area, server;
    selection.Matched = false;
    while (!reader.AtEnd()) {
        reader.ReadLine(domain);
        reader.ReadLine(area);
        reader.ReadLine(server);
        if (domain.size() == selection.Domain.size()
            && zt::LowerAscii(domain) == selection.Domain) {
            selection.Matched = true;
            selection.Header = BuildHeader(area, server);
            selection.WhoisServer = server;
            return;
        }
    }
    // No record matched: a named domain is asked of the root registry, which knows
    // every top-level domain; the last record's server belongs to some other
    // registry and is never used.
    selection.Header.clear();
    selection.WhoisServer = selection.Domain.empty() ? std::string() : kRootWhoisServer;
}

} // namespace rozoru
