// The lookups behind the Go button that go beyond one whois exchange: following a
// whois answer's referrals, and asking a registry's RDAP server where port 43 is
// gone.
#pragma once

#include <exception>
#include <string>

#include "domtable.h"

namespace zt {
class TztWhoIs;
class TztRdap;
} // namespace zt

namespace rozoru {

// Whois follows at most this many referrals in one lookup.
inline constexpr int kMaxReferrals = 2;

// Asks `server` for `query`, then each server the answer refers to, never one twice.
// The text is the first answer, then for each referral a line
// "--- Referral: HOST ---" between blank lines and its answer; without a referral it
// is the server's bytes exactly. The first exchange's failure is raised; a referral
// that fails ends the text with "--- Referral: HOST did not answer: <error> ---"; a
// cancellation ends the whole lookup. `rootServer` is the registry whose "refer:"
// lines count.
std::string WhoisWithReferrals(zt::TztWhoIs& whois, const std::string& server,
                               const std::string& query,
                               const std::string& rootServer = kRootWhoisServer);

// A failure of a port-43 exchange after which RDAP may answer instead: the host is
// not found, the connection refused or unreachable, or a time-out.
bool FallsBackToRdap(std::exception_ptr error);

struct RdapAnswer {
    std::string text; // what Results.Log keeps and the box shows under the header
    std::string json; // the registry's answer as received, for Results.json
};

// Asks the RDAP server at `base` for the domain `name`, and the registrar's RDAP
// server its answer links to. A record that does not exist is an answer ("No record
// of NAME at URL"); other statuses and bodies that cannot be shown raise.
RdapAnswer RdapLookup(zt::TztRdap& rdap, const std::string& base, const std::string& name);

// "Country/Area: AREA.    RDAP Server: URL"
std::string RdapHeader(const std::string& area, const std::string& base);

} // namespace rozoru
