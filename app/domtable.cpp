#include "domtable.h"

#include "../classes/sysutils.h"

namespace rozoru {

namespace {
const char kCR = 0x0D;
const char kLF = 0x0A;
const char kEndOfData = 0x1A; // Ctrl-Z
} // namespace

bool LineReader::Peek(char& byte)
{
    if (pos_ == length_) {
        length_ = source_.Read(buffer_, sizeof buffer_);
        pos_ = 0;
        if (length_ == 0)
            return false;
    }
    byte = buffer_[pos_];
    return true;
}

bool LineReader::AtEnd()
{
    char byte;
    return !Peek(byte) || byte == kEndOfData;
}

std::string LineReader::NextLine()
{
    std::string line;
    char byte;
    while (Peek(byte) && byte != kEndOfData) {
        ++pos_;
        if (byte == kCR) {
            if (Peek(byte) && byte == kLF)
                ++pos_;
            break;
        }
        line += byte;
    }
    return line;
}

bool FindRecord(ByteSource& table, const std::string& key, std::size_t lines,
                std::vector<std::string>& record)
{
    LineReader reader(table);
    while (!reader.AtEnd()) {
        record.clear();
        for (std::size_t i = 0; i < lines; ++i)
            record.push_back(reader.NextLine());
        if (zt::LowerAscii(record[0]) == key)
            return true;
    }
    record.clear();
    return false;
}

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
    std::vector<std::string> record;
    selection.Matched = FindRecord(table, selection.Domain, 3, record);
    if (selection.Matched) {
        selection.Area = record[1];
        selection.Header = BuildHeader(record[1], record[2]);
        selection.WhoisServer = record[2];
        return;
    }
    // No record matched: a named domain is asked of the root registry, which knows
    // every top-level domain; the last record's server belongs to some other
    // registry and is never used.
    selection.Area.clear();
    selection.Header.clear();
    selection.WhoisServer = selection.Domain.empty() ? std::string() : kRootWhoisServer;
}

} // namespace rozoru
