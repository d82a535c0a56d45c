// Names in any script: the A-label (xn--) form of a domain name, by the system's
// IDN conversion where the system has it.
#pragma once

#include <string>

namespace rozoru {

enum class IdnResult {
    Converted,   // `ascii` holds the name's A-label form
    Refused,     // not a valid domain name
    Unavailable, // the system has no IDN conversion
};

// Converts a UTF-8 name with the system's IdnToAscii (kernel32, or normaliz.dll on
// older systems), looked up at the moment of the call.
IdnResult ToAsciiName(const std::string& utf8Name, std::string& ascii);

} // namespace rozoru
