// Feeds the table scan arbitrary tables and host texts and compares it with a plain
// byte-by-byte reading of the same rules. The first byte picks how much of the input
// is the host text; the rest is the table, read in pieces whose size the second byte
// picks.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/domtable.h"

namespace {
class PieceSource : public rozoru::ByteSource {
public:
    PieceSource(const std::uint8_t* data, std::size_t size, std::size_t piece)
        : data_(data), size_(size), piece_(piece) {}
    std::size_t Read(char* buffer, std::size_t size) override
    {
        std::size_t count = std::min({size, piece_, size_ - pos_});
        std::copy(data_ + pos_, data_ + pos_ + count, buffer);
        pos_ += count;
        return count;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t piece_;
    std::size_t pos_ = 0;
};
// The table's line rules spelled out byte by byte: the scan must agree with this.
rozoru::ServerSelection Reference(const std::string& host, const std::string& table)
{
    rozoru::ServerSelection result = rozoru::PrepareSelection(host);
    std::size_t end = table.find('\x1A');
    std::string data = table.substr(0, end);
    std::size_t pos = 0;
    auto line = [&]() {
        std::string text;
        while (pos < data.size() && data[pos] != '\r')
            text += data[pos++];
        if (pos < data.size()) {
            ++pos;
            if (pos < data.size() && data[pos] == '\n')
                ++pos;
        }
        return text;
    };
    while (pos < data.size()) {
        std::string domain = line(), area = line(), server = line();
        std::string lowered = domain;
        for (char& c : lowered)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c + 32);
        if (lowered == result.Domain) {
            result.Matched = true;
            result.Header = rozoru::BuildHeader(area, server);
            result.WhoisServer = server;
            return result;
        }
    }
    result.WhoisServer = result.Domain.empty() ? "" : rozoru::kRootWhoisServer;
    return result;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    std::size_t hostLength = std::min<std::size_t>(data[0] % 64, size - 2);
    std::size_t piece = 1 + data[1] % 32;
    std::string host(reinterpret_cast<const char*>(data + 2), hostLength);
    rozoru::ServerSelection selection = rozoru::PrepareSelection(host);
    PieceSource source(data + 2 + hostLength, size - 2 - hostLength, piece);
    rozoru::ScanTable(source, selection);
    std::string table(reinterpret_cast<const char*>(data + 2 + hostLength), size - 2 - hostLength);
    rozoru::ServerSelection expected = Reference(host, table);
    if (selection.Matched != expected.Matched || selection.Header != expected.Header
        || selection.WhoisServer != expected.WhoisServer)
        __builtin_trap();
    return 0;
}
