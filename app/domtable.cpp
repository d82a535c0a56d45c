#include "domtable.h"

#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#endif

#include "../classes/sysutils.h"

namespace rozoru {

namespace {

const char kCR = 0x0D;
const char kLF = 0x0A;
const char kEndOfData = 0x1A; // Ctrl-Z

// Equal after lower-casing the table's side (A-Z only); `wanted` is lower-case already.
// Compared from the end: names of the same length share their starts far more often
// ("xn--...") than their ends.
bool EqualsLowered(const char* field, std::size_t length, const std::string& wanted)
{
    if (length != wanted.size())
        return false;
    for (std::size_t i = length; i-- > 0;) {
        char c = field[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != wanted[i])
            return false;
    }
    return true;
}

// Where the line ends of a 32-byte block lie: bit i is set when byte i is a CR or a
// Ctrl-Z. The table is scanned whole at every lookup, so this is the lookup's cost.
constexpr std::size_t kBlock = 32;
using BlockMaskFunction = std::uint32_t (*)(const char* block);

} // namespace

std::uint32_t LineEndMaskPortable(const char* block)
{
    std::uint32_t mask = 0;
    for (int part = 0; part < 8; ++part) {
        std::uint32_t word;
        std::memcpy(&word, block + 4 * part, 4);
        for (std::uint32_t key : {0x0D0D0D0Du, 0x1A1A1A1Au}) {
            std::uint32_t x = word ^ key;
            // The high bit of each byte of `zero` is set exactly where x has a zero byte.
            std::uint32_t zero = ~(((x & 0x7F7F7F7Fu) + 0x7F7F7F7Fu) | x) & 0x80808080u;
            for (int byte = 0; byte < 4; ++byte)
                if (zero & (0x80u << (8 * byte)))
                    mask |= 1u << (4 * part + byte);
        }
    }
    return mask;
}

namespace {

#if defined(__i386__) || defined(__x86_64__)
__attribute__((target("sse2"))) std::uint32_t BlockMaskSse2(const char* block)
{
    const __m128i crs = _mm_set1_epi8(kCR), eofs = _mm_set1_epi8(kEndOfData);
    __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
    __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16));
    low = _mm_or_si128(_mm_cmpeq_epi8(low, crs), _mm_cmpeq_epi8(low, eofs));
    high = _mm_or_si128(_mm_cmpeq_epi8(high, crs), _mm_cmpeq_epi8(high, eofs));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(low))
           | static_cast<std::uint32_t>(_mm_movemask_epi8(high)) << 16;
}
#endif

BlockMaskFunction ChooseBlockMask()
{
#if defined(__i386__) || defined(__x86_64__)
    if (__builtin_cpu_supports("sse2"))
        return BlockMaskSse2;
#endif
    return LineEndMaskPortable;
}

const BlockMaskFunction blockMask = ChooseBlockMask();

} // namespace

std::uint32_t LineEndMask(const char* block) { return blockMask(block); }

namespace {

// Buffered line reader with the table's line rules: CR ends a line, an LF right
// behind it belongs to that line end, a lone LF is data, Ctrl-Z ends the data, and
// reading past the end gives empty lines. A line that lies within the buffer is
// handed out in place; only one that crosses a refill is copied.
class LineReader {
public:
    explicit LineReader(ByteSource& source) : source_(source) {}

    // No byte left, or the next byte is Ctrl-Z.
    bool AtEnd()
    {
        return !Fill() || buffer_[pos_] == kEndOfData;
    }

    // The next line, valid until the next call.
    __attribute__((always_inline)) std::string_view NextLine()
    {
        // Most lines lie in the buffer and end in a CR with a byte behind it: take
        // those without any of the general checks.
        std::size_t start = pos_;
        if (!skipLF_ && start < length_) {
            std::size_t stop = NextLineEnd(start);
            if (stop + 1 < length_ && buffer_[stop] == kCR) {
                pos_ = stop + 1 + (buffer_[stop + 1] == kLF ? 1 : 0);
                return std::string_view(buffer_ + start, stop - start);
            }
        }
        return NextLineSlow();
    }

    // Reads records until one whose domain line equals `wanted` after lower-casing,
    // and leaves the reader behind that line; false at the end of the data. Whole
    // records that lie in the buffer are taken in one pass over their line ends; a
    // record that reaches the end of the buffer, or holds a Ctrl-Z, goes the general
    // way, line by line.
    bool FindRecord(const std::string& wanted)
    {
        const std::size_t wantedLength = wanted.size();
        for (;;) {
            if (AtEnd())
                return false;
            // Locals, so that the loop keeps them in registers; pos_ is written back
            // when the loop ends.
            const char* const buffer = buffer_;
            const std::size_t length = length_;
            const BlockMaskFunction mask = blockMask;
            std::size_t recordStart = pos_;
            std::size_t block = recordStart & ~(kBlock - 1);
            std::uint32_t ends = mask(buffer + block) & (~0u << (recordStart - block));
            // The next line end; false when it is not a CR with a byte behind it in
            // this buffer.
            auto nextEnd = [&](std::size_t& at) {
                while (ends == 0) {
                    block += kBlock;
                    if (block >= length)
                        return false;
                    ends = mask(buffer + block);
                }
                at = block + static_cast<std::size_t>(__builtin_ctz(ends));
                ends &= ends - 1;
                return at + 1 < length && buffer[at] != kEndOfData;
            };
            for (;;) {
                std::size_t domainEnd, areaEnd, serverEnd;
                if (!nextEnd(domainEnd))
                    break;
                if (domainEnd - recordStart == wantedLength
                    && EqualsLowered(buffer + recordStart, wantedLength, wanted)) {
                    pos_ = domainEnd + 1 + (buffer[domainEnd + 1] == kLF ? 1 : 0);
                    skipLF_ = false;
                    return true;
                }
                // The LF of a CR LF is no line end, so the other two lines need
                // nothing but their ends.
                if (!nextEnd(areaEnd) || !nextEnd(serverEnd))
                    break;
                std::size_t next = serverEnd + 1 + (buffer[serverEnd + 1] == kLF ? 1 : 0);
                recordStart = next;
                if (next >= length || buffer[next] == kEndOfData)
                    break;
            }
            pos_ = recordStart;
            if (AtEnd())
                return false;
            // The record at pos_ crosses the end of the buffer or holds a Ctrl-Z.
            std::string_view domain = NextLine();
            if (EqualsLowered(domain.data(), domain.size(), wanted))
                return true;
            SkipLines(2);
        }
    }

    // Steps over `count` lines without looking at them: one pass over the line
    // ends of the cached blocks, following a line into the next read.
    void SkipLines(int count)
    {
        while (count > 0 && Fill()) {
            std::size_t block = pos_ & ~(kBlock - 1);
            if (block != maskBlock_) {
                mask_ = blockMask(buffer_ + block);
                maskBlock_ = block;
            }
            std::uint32_t ends = mask_ & (~0u << (pos_ - block));
            for (;;) {
                while (ends == 0) {
                    block += kBlock;
                    if (block >= length_)
                        break;
                    mask_ = blockMask(buffer_ + block);
                    maskBlock_ = block;
                    ends = mask_;
                }
                std::size_t at =
                    ends == 0 ? length_ : block + static_cast<std::size_t>(__builtin_ctz(ends));
                if (at >= length_) {
                    pos_ = length_; // the line goes on in the next read
                    break;
                }
                if (buffer_[at] == kEndOfData) {
                    pos_ = at;
                    ended_ = true;
                    return;
                }
                ends &= ends - 1;
                pos_ = at + 1;
                if (pos_ == length_) {
                    skipLF_ = true;
                    --count;
                    break;
                }
                if (buffer_[pos_] == kLF)
                    ++pos_;
                if (--count == 0)
                    return;
            }
        }
    }

private:
    __attribute__((noinline)) std::string_view NextLineSlow()
    {
        if (!Fill())
            return {};
        std::size_t start = pos_;
        std::size_t stop = NextLineEnd(start);
        if (stop < length_) {
            // The whole line is in the buffer.
            Consume(stop);
            return std::string_view(buffer_ + start, stop - start);
        }
        carry_.assign(buffer_ + start, stop - start);
        pos_ = stop;
        while (Fill()) {
            start = pos_;
            stop = NextLineEnd(start);
            carry_.append(buffer_ + start, stop - start);
            if (stop < length_) {
                Consume(stop);
                break;
            }
            pos_ = stop;
        }
        return carry_;
    }

    // Steps over the line end at `stop`: a CR, with the LF behind it, or Ctrl-Z.
    void Consume(std::size_t stop)
    {
        if (buffer_[stop] == kEndOfData) {
            pos_ = stop;
            ended_ = true;
            return;
        }
        pos_ = stop + 1;
        skipLF_ = true;
    }

    // Makes sure a byte is buffered; false at the end of the data. An LF that
    // follows a CR is dropped here, also when the refill separated the two.
    bool Fill()
    {
        for (;;) {
            if (ended_)
                return false;
            if (pos_ >= length_) {
                length_ = source_.Read(buffer_, kBufferSize);
                pos_ = 0;
                maskBlock_ = kNoBlock;
                // Zeros behind the data let the last block be read whole.
                std::memset(buffer_ + length_, 0, kBlock);
                if (length_ == 0) {
                    ended_ = true;
                    return false;
                }
            }
            if (!skipLF_)
                return true;
            skipLF_ = false;
            if (buffer_[pos_] == kLF)
                ++pos_;
        }
    }

    // The first CR or Ctrl-Z at or after `from` in the buffer, or length_.
    __attribute__((always_inline)) std::size_t NextLineEnd(std::size_t from)
    {
        while (from < length_) {
            std::size_t block = from & ~(kBlock - 1);
            if (block != maskBlock_) {
                mask_ = blockMask(buffer_ + block);
                maskBlock_ = block;
            }
            std::uint32_t ahead = mask_ >> (from - block);
            if (ahead != 0) {
                std::size_t at = from + static_cast<std::size_t>(__builtin_ctz(ahead));
                return at < length_ ? at : length_;
            }
            from = block + kBlock;
        }
        return length_;
    }

    static constexpr std::size_t kBufferSize = 65536;
    static constexpr std::size_t kNoBlock = ~static_cast<std::size_t>(0);

    ByteSource& source_;
    alignas(16) char buffer_[kBufferSize + kBlock];
    std::size_t pos_ = 0;
    std::size_t length_ = 0;
    std::size_t maskBlock_ = kNoBlock;
    std::uint32_t mask_ = 0;
    bool ended_ = false;
    bool skipLF_ = false;
    std::string carry_;
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
    selection.Matched = false;
    if (reader.FindRecord(selection.Domain)) {
        std::string area(reader.NextLine());
        std::string server(reader.NextLine());
        selection.Matched = true;
        selection.Header = BuildHeader(area, server);
        selection.WhoisServer = server;
        return;
    }
    // No record matched: a named domain is asked of the root registry, which knows
    // every top-level domain; the last record's server belongs to some other
    // registry and is never used.
    selection.Header.clear();
    selection.WhoisServer = selection.Domain.empty() ? std::string() : kRootWhoisServer;
}

} // namespace rozoru
