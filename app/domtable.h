// The domain table and the choice of the whois server. The scan itself works on
// bytes from any source and needs no window and no file system.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace rozoru {

// The root registry's whois server: it answers for every top-level domain with the
// registry and the whois server that serve it.
inline constexpr const char* kRootWhoisServer = "whois.iana.org";

struct ServerSelection {
    std::string QueryName;   // host text, trimmed and lower-cased: the whole name
    std::string Domain;      // text after the last full stop of QueryName
    bool Matched = false;    // a record of the table matched Domain
    std::string Area;        // country or area of the matching record; empty without one
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

// Reads a table's lines: a CR ends a line and an LF right behind it belongs to that
// line end (a lone LF is data), a Ctrl-Z ends the data, lines have no length limit,
// and past the end of the data every line is empty.
class LineReader {
public:
    explicit LineReader(ByteSource& source) : source_(source) {}
    // No byte left, or the next byte is Ctrl-Z.
    bool AtEnd();
    std::string NextLine();

private:
    bool Peek(char& byte);

    ByteSource& source_;
    char buffer_[8192];
    std::size_t length_ = 0;
    std::size_t pos_ = 0;
};

// Scans records of `lines` lines each for the first one whose first line, lower-cased,
// equals `key`: true with its lines in `record`. Reads no further than that record.
bool FindRecord(ByteSource& table, const std::string& key, std::size_t lines,
                std::vector<std::string>& record);

// The parts of the selection that need no table: QueryName and Domain.
ServerSelection PrepareSelection(const std::string& hostText);

// Scans the table for the first record whose lower-cased domain line equals
// selection.Domain and completes the selection.
void ScanTable(ByteSource& table, ServerSelection& selection);

// The header line for a record's area and server.
std::string BuildHeader(const std::string& area, const std::string& server);

// Reads the table file afresh and selects the server. Raises the input/output error
// of a failed open or read; the file is closed before the error leaves.
ServerSelection SelectServer(const std::string& hostText, const std::string& tablePath);

// The RDAP base URL that rdap.dat (records of two lines: domain, base URL; the line
// rules of Doms.dat) holds for the domain; empty when the file or the entry is
// missing. Raises the input/output error of a file that cannot be read.
std::string RdapBaseFor(const std::string& domain, const std::string& tablePath);

} // namespace rozoru
