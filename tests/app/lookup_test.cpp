// Lookups beyond one exchange, against scripted servers on 127.0.0.1: whois
// referral chains, and RDAP over plain HTTP (WinHTTP serves http:// bases as they are).
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

#include "app/lookup.h"
#include "testserver.h"
#include "whois/ztrdap.h"
#include "whois/ztwhois.h"

namespace {

using namespace rztest;

std::string Outcome(const std::function<void()>& call)
{
    try {
        call();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

TEST(Referrals, ChainsFollowAtMostTwoNeverTwiceAndKeepWhatCameBeforeAFailure)
{
    TestServer refused(Script::Refuse), arinLike(Script::Answer, "NetRange: 192.0.2.0\r\n");
    TestServer ripeLike(Script::Answer, "inetnum: 192.0.2.0\r\n  ReferralServer: whois://" + arinLike.Address() + "\r\n");
    TestServer arin(Script::Answer, "NetRange: 192.0.0.0\r\nReferralServer: rwhois://x.test:4321\r\n"
                                    "ReferralServer: whois://" + ripeLike.Address() + "/\r\n");
    TestServer iana(Script::Answer, "whois: other.test\nrefer: " + arin.Address() + "\n");
    TestServer registrar(Script::Answer, "Registrant: Example\r\nRegistrar WHOIS Server: " + iana.Address() + "\r\n");
    TestServer thin(Script::Answer, "Domain Name: EXAMPLE.COM\r\n   registrar whois server: " + registrar.Address() + "\r\n");
    TestServer failing(Script::Answer, "Registrar WHOIS Server: " + refused.Address() + "\r\nlast line");
    // A loop: b sends back to a, named in capitals.
    std::string bName;
    TestServer a({.respond = [&](const std::string&) { return "Registrar WHOIS Server: " + bName + "\r\n"; }});
    TestServer b(Script::Answer, "Registrar WHOIS Server: LOCALHOST:" + std::to_string(a.Port()) + "\r\n");
    bName = b.Address();
    auto section = [](const TestServer& server) { return "\r\n--- Referral: " + server.Address() + " ---\r\n\r\n" + server.Answer(); };
    const struct { const char* name; std::string first, text; } cases[] = {
        // Thin registry to registrar; the registrar's own line leads nowhere new here
        // but to the root, whose refer line counts only in the root's answer.
        {"thin", thin.Address(), thin.Answer() + section(registrar) + section(iana)},
        // An address: the root, then its regional registry, then that one's referral.
        {"IPv4 chain", iana.Address(), iana.Answer() + section(arin) + section(ripeLike)},
        {"failing referral", failing.Address(), failing.Answer() + "\r\n\r\n--- Referral: " + refused.Address()
                                                    + " did not answer: [10061] Connection refused ---\r\n\r\n"},
        {"loop", "localhost:" + std::to_string(a.Port()), "Registrar WHOIS Server: " + bName + "\r\n" + section(b)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        zt::TztWhoIs whois(nullptr);
        whois.ApplyStoredProperties({{"WinsockLoaded", "True"}, {"DefaultPort", "43"}, {"TimeOut", "5"}});
        std::string text;
        EXPECT_EQ(Outcome([&] { text = rozoru::WhoisWithReferrals(whois, c.first, "192.0.2.1", iana.Address()); }), "");
        EXPECT_EQ(text, c.text);
    }
}

TEST(Rdap, AnswersRedirectsRelatedLinksAndFailures)
{
    TestServer registrar(Script::Answer, HttpAnswer("200 OK", R"({"ldhName":"EXAMPLE.INFO","entities":[{"roles":["registrant"],)"
                                                              R"("vcardArray":["vcard",[["fn",{},"text","R\u00e9gis"]]]}]})"));
    const std::string related = "http://" + registrar.Address() + "/domain/example.info";
    const std::string domain = R"({"ldhName":"EXAMPLE.INFO","status":["active"],"links":[{"rel":"related",)"
                               R"("type":"application/rdap+json","href":")" + related + R"("}]})";
    const struct { const char* name; ServerOptions server; std::string failure, text; } cases[] = {
        {"registered", {.answer = HttpAnswer("200 OK", domain)}, "",
         "Domain Name: EXAMPLE.INFO\r\nStatus: active\r\n\r\n--- Referral: " + related
             + " ---\r\n\r\nDomain Name: EXAMPLE.INFO\r\nRegistrant Name: R\xC3\xA9gis\r\n"},
        {"redirect", {.answer = HttpAnswer("302 Found", "", "Location: " + related + "\r\n")}, "",
         "Domain Name: EXAMPLE.INFO\r\nRegistrant Name: R\xC3\xA9gis\r\n"},
        {"free", {.answer = HttpAnswer("404 Not Found", "{}")}, "", "No record of example.info at "},
        {"busy", {.answer = HttpAnswer("429 Too Many Requests", "", "Retry-After: 30\r\n")},
         "The RDAP server asks to wait (Retry-After 30 s)", ""},
        {"error", {.answer = HttpAnswer("500 Internal Server Error", "")}, "RDAP server answered HTTP 500", ""},
        {"cut short", {.answer = HttpAnswer("200 OK", domain.substr(0, 40), "", 4000)}, "The RDAP answer is cut short", ""},
        {"not JSON", {.answer = HttpAnswer("200 OK", "<html>no</html>")}, "The RDAP answer is not JSON", ""},
        {"20 MiB", {.answer = HttpAnswer("200 OK", std::string(20u << 20, ' '))}, "The RDAP answer is larger than 16 MiB", ""},
        // Silence ends by the time-out, a refused connection at once.
        {"silent", {.script = Script::Silent}, "Operation timed out", ""},
        {"refused", {.script = Script::Refuse}, "Cannot connect to the RDAP server", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestServer server(c.server);
        zt::TztRdap rdap(nullptr);
        rdap.TimeOut = 1;
        rozoru::RdapAnswer answer;
        const DWORD start = GetTickCount();
        EXPECT_EQ(Outcome([&] { answer = rozoru::RdapLookup(rdap, "http://" + server.Address() + "/", "example.info"); }),
                  c.failure);
        EXPECT_LT(GetTickCount() - start, 5000u);
        EXPECT_EQ(answer.text.substr(0, c.text.size()), c.text);
        if (c.server.script != Script::Answer)
            continue;
        ASSERT_TRUE(server.WaitFinished(1, 5000));
        EXPECT_EQ(server.Received()[0].rfind("GET /domain/example.info HTTP/1.1\r\n", 0), 0u);
        EXPECT_NE(server.Received()[0].find("Accept: application/rdap+json\r\n"), std::string::npos);
    }
}

TEST(Rdap, FallbackIsForMissingUnreachableOrSilentServersOnly)
{
    auto falls = [](auto error) { return rozoru::FallsBackToRdap(std::make_exception_ptr(error)); };
    EXPECT_TRUE(falls(zt::ETimedOutError()));
    for (std::uint16_t code : {11001, 10061, 10065, 57004})
        EXPECT_TRUE(falls(zt::ESocketError(zt::TextForCode(code), code))) << code;
    EXPECT_FALSE(falls(zt::ECanceledError()));
    EXPECT_FALSE(falls(zt::ESocketError(zt::TextForCode(10054), 10054)));
}

} // namespace
