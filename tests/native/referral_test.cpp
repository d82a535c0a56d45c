// Which server a whois answer refers to.
#include <gtest/gtest.h>

#include <string>

#include "whois/referral.h"

namespace {

TEST(Referral, KeysPrecedenceAndHostsThatAreIgnored)
{
    const std::string longest = std::string(63, 'a') + "." + std::string(63, 'b');
    const struct { std::string answer; bool fromRoot; std::string server; } cases[] = {
        {"Domain: x\r\n \tREGISTRAR whois SERVER:  whois.reg.test \r\n", false, "whois.reg.test"},
        {"Registrar WHOIS Server: http://whois.reg.test\r\nRegistrar WHOIS Server: whois.ok.test:4343\r\n", false,
         "whois.ok.test:4343"},
        {"ReferralServer: whois://a.test\nReferralServer: rwhois://b.test:4321\nReferralServer: whois://c.test:43/\n",
         false, "c.test:43"},
        {"Registrar WHOIS Server: r.test\nReferralServer: whois://c.test\n", false, "r.test"},
        {"refer: whois.nic.test\nwhois: whois.other.test\n", true, "whois.nic.test"},
        {"whois: 192.0.2.7:4343\n", true, "192.0.2.7:4343"},
        {"refer: whois.nic.test\n", false, ""},
        {"  refer:whois.nic.test", true, "whois.nic.test"},
        {"Registrar WHOIS Server: " + longest + ".c:43\r\n", false, ""}, // 130 characters
        {"Registrar WHOIS Server: " + longest.substr(0, 121) + ":43\r\n", false, longest.substr(0, 121) + ":43"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(zt::FindReferral(c.answer, c.fromRoot), c.server) << c.answer;
    for (const char* bad : {"", "a b.test", "a..b", "-a.test", "a-.test", "a.test:", "a.test:0", "a.test:65536",
                            "a.test:4x", "a_b.test", "a.test/x", "[::1]:43"})
        EXPECT_FALSE(zt::IsPlainServer(bad)) << bad;
    EXPECT_EQ(zt::ServerKey("Whois.Test"), zt::ServerKey("whois.test:43"));
    EXPECT_NE(zt::ServerKey("whois.test:4343"), zt::ServerKey("whois.test"));
}

} // namespace
