// The domain table and the choice of the whois server. The scan itself works on
// bytes from any source and needs no window and no file system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace rozoru {

// The root registry's whois server: it answers for every top-level domain with the
// registry and the whois server that serve it.
inline constexpr const char* kRootWhoisServer = "whois.iana.org";

struct ServerSelection {
    std::string QueryName;   // host text, trimmed and lower-cased: the whole name
    std::string Domain;      // text after the last full stop of QueryName
    bool Matched = false;    // a record of the table matched Domain
    std::string Header;      // header line of the matching record; empty without one
    std::string WhoisServer; // server to ask; no query follows when empty
};

// Where the table's bytes come from. Read returns the number of bytes placed in the
// buffer, 0 at the end; it raises on a read error.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
};

// The parts of the selection that need no table: QueryName and Domain.
ServerSelection PrepareSelection(const std::string& hostText);

// Scans the table for the first record whose lower-cased domain line equals
// selection.Domain and completes the selection. Reads no further than that record.
void ScanTable(ByteSource& table, ServerSelection& selection);

// The header line for a record's area and server.
std::string BuildHeader(const std::string& area, const std::string& server);

// The line ends of a 32-byte block (bit i: byte i is a CR or a Ctrl-Z), as the scan
// finds them on this processor, and by the portable way every processor can take.
std::uint32_t LineEndMask(const char* block);
std::uint32_t LineEndMaskPortable(const char* block);

// Reads the table file afresh and selects the server. Raises the input/output error
// of a failed open or read; the file is closed before the error leaves.
ServerSelection SelectServer(const std::string& hostText, const std::string& tablePath);

} // namespace rozoru
