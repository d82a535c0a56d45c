// The text of RDAP answers and the bodies refused.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "whois/rdaptext.h"

namespace {

using zt::rdap::Problem;

TEST(RdapText, RegisteredDomainWithRedactedContacts)
{
    // The fuzz target's seed: a registered domain with every field shown.
    std::ifstream file(RZ_RDAP_SEEDS "/domain.json", std::ios::binary);
    const std::string body(std::istreambuf_iterator<char>(file), {});
    zt::rdap::Rendered rendered = zt::rdap::Render(body);
    ASSERT_EQ(rendered.problem, Problem::None);
    EXPECT_EQ(rendered.text,
              "Domain Name: XN--BCHER-KVA.COM\r\nDomain Name (Unicode): bücher.com\r\n"
              "Handle: 2138514_DOMAIN_COM-VRSN\r\n"
              "Status: client delete prohibited\r\nStatus: client transfer prohibited\r\n"
              "Registered: 2003-04-11T09:12:00Z\r\nExpires: 2027-04-11T09:12:00Z\r\n"
              "Last Changed: 2024-03-12T10:00:04Z\r\n"
              "Name Server: NS1.EXAMPLE.NET\r\nName Server: NS2.EXAMPLE.NET\r\nDNSSEC: unsigned\r\n"
              "Registrar: Example Registrar, Inc.\r\nRegistrar IANA ID: 292\r\n"
              "Registrant Name: REDACTED\r\nRegistrant Organization: Example Holdings\r\n"
              "Registrant Email: REDACTED\r\n"
              "Tech Name: REDACTED\r\nTech Phone: REDACTED\r\n"
              "Abuse Name: REDACTED\r\nAbuse Email: abuse@registrar.example\r\n"
              "Abuse Phone: +1.2125551234\r\n"
              "\r\nRegistry remark\r\nHeld in escrow.\r\n"
              "\r\nTerms of Use\r\nService subject to the Terms of Use.\r\n"
              "\r\nhttps://icann.org/epp\r\n"
              "\r\n>>> Last update of RDAP database: 2025-01-02T03:04:05Z <<<\r\n");
    EXPECT_EQ(rendered.relatedUrl, "https://rdap.registrar.example/domain/XN--BCHER-KVA.COM");
}

TEST(RdapText, SkipsWhatDoesNotFit)
{
    const std::pair<const char*, const char*> answers[] = {
        {"{}", ""},
        {R"({"ldhName":"A.EXAMPLE","unicodeName":"a.example","secureDNS":{"delegationSigned":true}})",
         "Domain Name: A.EXAMPLE\r\nDNSSEC: signed\r\n"},
        {R"({"ldhName":5,"handle":"","status":["ok",7,null],"nameservers":[1,{"ldhName":["x"]}],
            "secureDNS":{"delegationSigned":"yes"},"events":[{"eventAction":"expiration"},5],
            "entities":[3,{"roles":"registrar"},{"roles":["technical"],"vcardArray":["vcard",
              [7,["fn"],["fn",{},"text",{"a":1}],["TEL",{"type":"Fax"},"text","1"],["tel",{},"text","+1.5"]]]}],
            "notices":[{"title":7,"description":"x"},3],"remarks":{"title":"x"},
            "redacted":[{"name":"Tech Email"},{"name":{"description":" tech  NAME "}}]})",
         "Status: ok\r\nTech Name: REDACTED\r\nTech Phone: +1.5\r\n"},
    };
    for (auto [body, text] : answers) {
        zt::rdap::Rendered rendered = zt::rdap::Render(body);
        EXPECT_EQ(rendered.problem, Problem::None) << body;
        EXPECT_EQ(rendered.text, text) << body;
        EXPECT_EQ(rendered.relatedUrl, "") << body;
    }
}

TEST(RdapText, RefusedBodies)
{
    auto nested = [](int levels) {
        return "{\"a\":" + std::string(levels - 1, '[') + std::string(levels - 1, ']') + "}";
    };
    std::string padded = "{\"a\":\"" + std::string(zt::rdap::kMaxBody - 8, 'x') + "\"}";
    const std::pair<std::string, Problem> bodies[] = {
        {"<html>502 Bad Gateway</html>", Problem::NotJson},
        {"", Problem::CutShort},
        {"{\"ldhName\":\"EXAMPLE.COM\"", Problem::CutShort},
        {"{\"ldhName\":\"EXAMP", Problem::CutShort},
        {"{\"a\":t", Problem::CutShort},
        {"{\"a\":x", Problem::NotJson}, // fails on its last byte, not past it
        {"{} x", Problem::NotJson},
        {std::string("{}\0x", 4), Problem::NotJson}, // the parser ends its input at a NUL
        {"[{\"ldhName\":\"EXAMPLE.COM\"}]", Problem::NotJson},
        {"\"EXAMPLE.COM\"", Problem::NotJson},
        {"{\"ldhName\":\"EXAMPLE\xC0\xAE" "COM\"}", Problem::NotJson},
        {nested(64), Problem::None},
        {nested(65), Problem::TooDeep},
        {std::string(65, '[') + std::string(65, ']'), Problem::TooDeep},
        {"{\"a\":\"\\\"" + std::string(70, '[') + "\"}", Problem::None},
        {"{\"a\":\"\\\\\",\"b\":" + nested(64) + "}", Problem::TooDeep},
        {padded, Problem::None},
        {padded + " ", Problem::TooLarge},
    };
    ASSERT_EQ(padded.size(), zt::rdap::kMaxBody);
    for (const auto& [body, problem] : bodies) {
        zt::rdap::Rendered rendered = zt::rdap::Render(body);
        EXPECT_EQ(rendered.problem, problem) << body.substr(0, 80);
        if (problem != Problem::None)
            EXPECT_EQ(rendered.text, "") << body.substr(0, 80);
    }
    const std::pair<Problem, const char*> texts[] = {
        {Problem::None, ""},
        {Problem::NotJson, "The RDAP answer is not JSON"},
        {Problem::CutShort, "The RDAP answer is cut short"},
        {Problem::TooDeep, "The RDAP answer nests deeper than 64 levels"},
        {Problem::TooLarge, "The RDAP answer is larger than 16 MiB"},
    };
    for (auto [problem, text] : texts)
        EXPECT_EQ(zt::rdap::ProblemText(problem), text);
}

} // namespace
