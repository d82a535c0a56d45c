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

struct Whois {
    Whois() { whois.ApplyStoredProperties({{"WinsockLoaded", "True"}, {"DefaultPort", "43"}, {"TimeOut", "5"}}); }
    zt::TztWhoIs whois{nullptr};
};

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
    auto section = [](const TestServer& server, const std::string& answer) {
        return "\r\n--- Referral: " + server.Address() + " ---\r\n\r\n" + answer;
    };
    const struct { const char* name; TestServer& first; std::string text; } cases[] = {
        // Thin registry to registrar; the registrar's own line leads nowhere new here
        // but to the root, whose refer line counts only in the root's answer.
        {"thin", thin, "Domain Name: EXAMPLE.COM\r\n   registrar whois server: " + registrar.Address() + "\r\n"
                           + section(registrar, "Registrant: Example\r\nRegistrar WHOIS Server: " + iana.Address() + "\r\n")
                           + section(iana, "whois: other.test\nrefer: " + arin.Address() + "\n")},
        // An address: the root, then its regional registry, then that one's referral.
        {"IPv4 chain", iana, "whois: other.test\nrefer: " + arin.Address() + "\n"
                                 + section(arin, "NetRange: 192.0.0.0\r\nReferralServer: rwhois://x.test:4321\r\n"
                                                 "ReferralServer: whois://" + ripeLike.Address() + "/\r\n")
                                 + section(ripeLike, "inetnum: 192.0.2.0\r\n  ReferralServer: whois://" + arinLike.Address() + "\r\n")},
        {"failing referral", failing, "Registrar WHOIS Server: " + refused.Address() + "\r\nlast line\r\n\r\n--- Referral: "
                                          + refused.Address() + " did not answer: [10061] Connection refused ---\r\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Whois w;
        std::string text;
        EXPECT_EQ(Outcome([&] { text = rozoru::WhoisWithReferrals(w.whois, c.first.Address(), "192.0.2.1", iana.Address()); }), "");
        EXPECT_EQ(text, c.text);
    }
    EXPECT_TRUE(ripeLike.WaitFinished(1, 5000));
    EXPECT_EQ(arinLike.Finished(), 0) << "a third referral was followed";

    // A loop asks each server once: a's name in capitals and with port 43 written out
    // is still a.
    std::string aName, bName;
    TestServer a({.respond = [&](const std::string&) { return "Registrar WHOIS Server: " + bName + "\r\n"; }});
    TestServer b({.respond = [&](const std::string&) { return "Registrar WHOIS Server: " + aName + "\r\n"; }});
    aName = "LOCALHOST:" + std::to_string(a.Port());
    bName = b.Address();
    Whois w;
    EXPECT_EQ(Outcome([&] { rozoru::WhoisWithReferrals(w.whois, "localhost:" + std::to_string(a.Port()), "q", ""); }), "");
    EXPECT_TRUE(b.WaitFinished(1, 5000));
    EXPECT_EQ(a.Finished(), 1);
}

TEST(Rdap, AnswersRedirectsRelatedLinksAndFailures)
{
    TestServer registrar({.script = Script::Http, .respond = [](const std::string&) {
        return HttpAnswer("200 OK", R"({"ldhName":"EXAMPLE.INFO","entities":[{"roles":["registrant"],)"
                                    R"("vcardArray":["vcard",[["fn",{},"text","R\u00e9gis"]]]}]})");
    }});
    const std::string related = "http://" + registrar.Address() + "/domain/example.info";
    const std::string domain = R"({"ldhName":"EXAMPLE.INFO","status":["active"],"links":[{"rel":"related",)"
                               R"("type":"application/rdap+json","href":")" + related + R"("}]})";
    const std::string big(20u << 20, ' ');
    const struct { const char* name; std::function<std::string(const std::string&)> respond; std::string failure, text; } cases[] = {
        {"registered", [&](const std::string&) { return HttpAnswer("200 OK", domain); }, "",
         "Domain Name: EXAMPLE.INFO\r\nStatus: active\r\n\r\n--- Referral: " + related
             + " ---\r\n\r\nDomain Name: EXAMPLE.INFO\r\nRegistrant Name: R\xC3\xA9gis\r\n"},
        {"redirect", [&](const std::string&) { return HttpAnswer("302 Found", "", "Location: " + related + "\r\n"); },
         "", "Domain Name: EXAMPLE.INFO\r\nRegistrant Name: R\xC3\xA9gis\r\n"},
        {"free", [](const std::string&) { return HttpAnswer("404 Not Found", "{}"); }, "", "No record of example.info at "},
        {"busy", [](const std::string&) { return HttpAnswer("429 Too Many Requests", "", "Retry-After: 30\r\n"); },
         "The RDAP server asks to wait (Retry-After 30 s)", ""},
        {"error", [](const std::string&) { return HttpAnswer("500 Internal Server Error", ""); },
         "RDAP server answered HTTP 500", ""},
        {"cut short", [&](const std::string&) { return HttpAnswer("200 OK", domain.substr(0, 40), "", 4000); },
         "The RDAP answer is cut short", ""},
        {"not JSON", [](const std::string&) { return HttpAnswer("200 OK", "<html>no</html>"); }, "The RDAP answer is not JSON", ""},
        {"20 MiB", [&](const std::string&) { return HttpAnswer("200 OK", big); }, "The RDAP answer is larger than 16 MiB", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestServer server({.script = Script::Http, .respond = c.respond});
        zt::TztRdap rdap(nullptr);
        rozoru::RdapAnswer answer;
        const std::string base = "http://" + server.Address() + "/";
        EXPECT_EQ(Outcome([&] { answer = rozoru::RdapLookup(rdap, base, "example.info"); }), c.failure);
        EXPECT_EQ(answer.text.substr(0, c.text.size()), c.text);
        ASSERT_TRUE(server.WaitFinished(1, 5000));
        EXPECT_EQ(server.Received()[0].rfind("GET /domain/example.info HTTP/1.1\r\n", 0), 0u);
        EXPECT_NE(server.Received()[0].find("Accept: application/rdap+json\r\n"), std::string::npos);
    }

    // Silence ends by the time-out, a refused connection at once.
    for (Script script : {Script::Silent, Script::Refuse}) {
        TestServer server(script);
        zt::TztRdap rdap(nullptr);
        rdap.TimeOut = 1;
        const DWORD start = GetTickCount();
        EXPECT_EQ(Outcome([&] { rdap.Execute("http://" + server.Address() + "/domain/x.info"); }),
                  script == Script::Silent ? "Operation timed out" : "Cannot connect to the RDAP server");
        EXPECT_LT(GetTickCount() - start, 5000u) << (script == Script::Silent ? "silent" : "refused");
    }
}

TEST(Rdap, FallbackIsForMissingUnreachableOrSilentServersOnly)
{
    auto falls = [](auto error) { return rozoru::FallsBackToRdap(std::make_exception_ptr(error)); };
    EXPECT_TRUE(falls(zt::ETimedOutError()));
    for (int code : {11001, 10061, 10065, 57004})
        EXPECT_TRUE(falls(zt::ESocketError(zt::TextForCode(static_cast<std::uint16_t>(code))))) << code;
    EXPECT_FALSE(falls(zt::ECanceledError()));
    EXPECT_FALSE(falls(zt::ESocketError(zt::TextForCode(10054))));
}

} // namespace
