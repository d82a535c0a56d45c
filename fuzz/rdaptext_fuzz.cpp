// Feeds the RDAP answer renderer arbitrary bodies. Besides not crashing, it checks what
// must hold for every body: a problem comes without text; a shown text is valid UTF-8
// made of whole CR LF lines, with no CR or LF inside a line; and an accepted answer
// cut anywhere before its closing brace is reported as cut short. (A body cut short
// may hold a whole value before the cut, "{} \"x" for one, so its cuts may be
// accepted or refused as not JSON: nothing is checked for them.)
// An accepted answer may well give an empty text ("{}"), so that is not checked.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "whois/rdaptext.h"

namespace {

using zt::rdap::Problem;

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool ValidUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        unsigned lead = static_cast<unsigned char>(text[i]);
        std::size_t more = lead < 0x80 ? 0 : lead < 0xC2 ? 9 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2
                         : lead < 0xF5 ? 3 : 9;
        if (more == 9 || text.size() - i - 1 < more)
            return false;
        unsigned code = more == 0 ? lead : lead & (0x3Fu >> more);
        for (std::size_t k = 1; k <= more; ++k) {
            unsigned next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = code << 6 | (next & 0x3F);
        }
        if ((more == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF)))
            || (more == 3 && (code < 0x10000 || code > 0x10FFFF)))
            return false;
        i += more + 1;
    }
    return true;
}

bool WholeLines(const std::string& text)
{
    if (!text.empty() && (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0))
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))
            return false;
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            return false;
    }
    return true;
}

// A number of 309 digits or more is beyond a double; a body holding one followed by
// a negative exponent is accepted, while a cut inside it overflows and is no JSON.
bool HasHugeNumber(std::string_view body)
{
    std::size_t run = 0;
    for (char c : body) {
        run = (c >= '0' && c <= '9') ? run + 1 : 0;
        if (run >= 309)
            return true;
    }
    return false;
}

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view body(reinterpret_cast<const char*>(data), size);
    zt::rdap::Rendered rendered = zt::rdap::Render(body);
    if (rendered.problem != Problem::None) {
        Check(rendered.text.empty() && rendered.relatedUrl.empty());
        Check(!zt::rdap::ProblemText(rendered.problem).empty());
    } else {
        Check(ValidUtf8(rendered.text) && WholeLines(rendered.text));
        Check(ValidUtf8(rendered.relatedUrl));
    }

    // Every cut of an accepted answer before its closing brace ends inside a value.
    if (rendered.problem != Problem::None || HasHugeNumber(body))
        return 0;
    std::size_t limit = body.find_last_not_of(" \t\r\n"); // the closing brace
    for (std::size_t cut : {limit, limit / 2})
        Check(zt::rdap::Render(body.substr(0, cut)).problem == Problem::CutShort);
    return 0;
}
