// Whois referrals: the server an answer sends the asker on to. No windows.h here.
#pragma once

#include <string>

namespace zt {

// The server that the answer refers to, as "host" or "host:port"; empty when none.
// Keys are compared without regard to case at the start of a line, after optional
// blanks: "Registrar WHOIS Server: HOST" (a thin registry's answer; the first valid
// one), else "ReferralServer: whois://HOST[:PORT]" (the last such line; other schemes
// are ignored), else, in an answer of the root registry (fromRoot), "refer: HOST",
// or "whois: HOST" when there is no refer line. A host that is not a plain host name
// or dotted address with an optional port, or is longer than 127 characters, is
// ignored.
std::string FindReferral(const std::string& answer, bool fromRoot);

// A plain host name or dotted IPv4 address, optionally followed by ":port" (1 to
// 65535), at most 127 characters.
bool IsPlainServer(const std::string& server);

// The server as a lookup compares it: its host without regard to case, with the
// port (43 when none is given).
std::string ServerKey(const std::string& server);

} // namespace zt
