// Feeds the table scan arbitrary tables and host texts. The first byte picks how
// much of the input is the host text; the rest is the table, read in pieces whose
// size the second byte picks.
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
    // What the scan yields must be consistent with itself.
    if (selection.Matched != !selection.Header.empty())
        __builtin_trap();
    if (!selection.Matched && !selection.Domain.empty()
        && selection.WhoisServer != rozoru::kRootWhoisServer)
        __builtin_trap();
    if (selection.QueryName.size() > host.size())
        __builtin_trap();
    return 0;
}
