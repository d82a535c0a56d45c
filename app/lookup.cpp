#include "lookup.h"

#include <set>
#include <vector>

#include "../classes/sysutils.h"
#include "../socket/ztsockerr.h"
#include "../whois/rdaptext.h"
#include "../whois/referral.h"
#include "../whois/ztrdap.h"
#include "../whois/ztwhois.h"

namespace rozoru {

namespace {

// The failure's message, whatever raised it.
std::string MessageOf(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

bool IsCancel(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const zt::ECanceledError&) {
        return true;
    } catch (...) {
        return false;
    }
}

// Appends a separator line between blank lines, and what follows it.
void AppendSection(std::string& text, const std::string& line, const std::string& answer = {})
{
    if (!text.empty() && text.back() != '\n')
        text += "\r\n";
    text += "\r\n" + line + "\r\n\r\n" + answer;
}

// A referral that failed: the lookup goes on without it, but a cancellation ends the
// whole lookup. Called from inside a catch block.
void AppendFailure(std::string& text, const std::string& server)
{
    const std::exception_ptr error = std::current_exception();
    if (IsCancel(error))
        std::rethrow_exception(error);
    AppendSection(text, "--- Referral: " + server + " did not answer: " + MessageOf(error) + " ---");
}

std::string HostOf(const std::string& server) { return zt::LowerAscii(server.substr(0, server.find(':'))); }

} // namespace

std::string WhoisWithReferrals(zt::TztWhoIs& whois, const std::string& server,
                               const std::string& query, const std::string& rootServer)
{
    whois.SetServer(server);
    whois.SetQuery(query);
    whois.Execute();
    std::string text = whois.Response().ToString();
    std::string answer = text;
    std::set<std::string> asked = {zt::ServerKey(server)};
    std::string current = server;
    for (int hop = 0; hop < kMaxReferrals; ++hop) {
        const std::string next = zt::FindReferral(answer, HostOf(current) == HostOf(rootServer));
        if (next.empty() || !asked.insert(zt::ServerKey(next)).second)
            break;
        whois.SetServer(next);
        whois.SetQuery(query);
        try {
            whois.Execute();
        } catch (...) {
            AppendFailure(text, next);
            break;
        }
        answer = whois.Response().ToString();
        AppendSection(text, "--- Referral: " + next + " ---", answer);
        current = next;
    }
    return text;
}

bool FallsBackToRdap(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const zt::ETimedOutError&) {
        return true;
    } catch (const zt::ESocketError& e) {
        // Not found, refused, unreachable, timed out, an address that does not resolve.
        switch (e.Code()) {
        case 11001: case 11002: case 11003: case 11004:
        case 10061: case 10051: case 10065: case 10060:
        case zt::msgResolveError:
            return true;
        default:
            return false;
        }
    } catch (...) {
        return false;
    }
}

RdapAnswer RdapLookup(zt::TztRdap& rdap, const std::string& base, const std::string& name)
{
    const std::string url = base + (base.empty() || base.back() != '/' ? "/" : "") + "domain/" + name;
    // One answer: its text, or the reason it cannot be shown.
    auto ask = [&rdap](const std::string& address) -> zt::rdap::Rendered {
        rdap.Execute(address);
        if (rdap.BodyTooLarge())
            throw zt::Exception(zt::rdap::ProblemText(zt::rdap::Problem::TooLarge));
        if (rdap.Status() == 429)
            throw zt::Exception("The RDAP server asks to wait"
                                + (rdap.RetryAfter().empty() ? std::string()
                                                             : " (Retry-After " + rdap.RetryAfter() + " s)"));
        if (rdap.Status() == 404)
            return {};
        if (rdap.Status() != 200)
            throw zt::Exception("RDAP server answered HTTP " + std::to_string(rdap.Status()));
        zt::rdap::Rendered rendered = zt::rdap::Render(rdap.Body());
        if (rendered.problem != zt::rdap::Problem::None)
            throw zt::Exception(zt::rdap::ProblemText(rendered.problem));
        return rendered;
    };

    RdapAnswer answer;
    const zt::rdap::Rendered first = ask(url);
    answer.json = rdap.Body();
    if (rdap.Status() == 404) {
        answer.text = "No record of " + name + " at " + url;
        return answer;
    }
    answer.text = first.text;
    // The registrar's own RDAP server, shown like a whois referral.
    if (!first.relatedUrl.empty() && first.relatedUrl != url) {
        try {
            const zt::rdap::Rendered related = ask(first.relatedUrl);
            if (rdap.Status() == 404)
                throw zt::Exception("No record of " + name);
            AppendSection(answer.text, "--- Referral: " + first.relatedUrl + " ---", related.text);
        } catch (...) {
            AppendFailure(answer.text, first.relatedUrl);
        }
    }
    return answer;
}

std::string RdapHeader(const std::string& area, const std::string& base)
{
    return "Country/Area: " + area + ".    RDAP Server: " + base;
}

} // namespace rozoru
