// The message table as the program carries it: the string-table resource.
#include <gtest/gtest.h>

#include "socket/ztsockerr.h"

namespace {

TEST(MessageTable, ComponentMessagesComeBackExactly)
{
    const std::pair<std::uint16_t, const char*> expected[] = {
        {57000, "Operation timed out"},
        {57001, "Operation has been canceled"},
        {57002, "Server property is required"},
        {57003, "Invalid Winsock version"},
        {57004, "Error resolving remote host"},
        {57005, "Service name is required"},
        {57008, "You have to connect to the server first"},
        {57010, "Function %s not found"},
        {57011, "Winsock is not loaded"},
        {57012, "Winsock not found"},
    };
    for (const auto& [id, text] : expected)
        EXPECT_EQ(zt::LoadMessage(id), text) << id;
    EXPECT_EQ(zt::LoadMessage(57006), "");
    EXPECT_EQ(zt::LoadMessage(57009), "");
}

TEST(MessageTable, WinsockTextsComeBackExactly)
{
    const std::pair<std::uint16_t, const char*> expected[] = {
        {10000, "[0] No Error"},
        {10004, "[10004] Interrupted function call"},
        {10013, "[10013] Permission denied."},
        {10035, "[10035] Resource temporarily not available"},
        {10054, "[10054] Connection reset by peer"},
        {10058, "[10058] Can't send after socket shutdown"},
        {10059, "[10059] Too many references, can't splice"},
        {10060, "[10060] Connection timed out"},
        {10061, "[10061] Connection refused"},
        {10065, "[10065] No Route to Host"},
        {10071, "[10071] Too many levels of remote in path"},
        {10093, "[10093] Successful WSAStartup() not yet performed"},
        {10094, "[10094] Graceful shutdown in progress"},
        {11001, "[11001] Host not found"},
        {11003, "[11003] Non-Recoverable errors: FORMERR, REFUSED, NOTIMP"},
        {11004, "[11004] Valid name, no data record of requested type"},
    };
    for (const auto& [id, text] : expected)
        EXPECT_EQ(zt::TextForCode(id), text) << id;
}

TEST(MessageTable, CodesWithoutATextGetOneBuilt)
{
    for (std::uint16_t code : {10001, 10072, 10090, 10095, 11000, 11005, 12345, 1, 65535})
        EXPECT_EQ(zt::TextForCode(code), "Error #" + std::to_string(code)) << code;
}

TEST(MessageTable, ExceptionsTakeTheirTextsWhenRaised)
{
    EXPECT_STREQ(zt::ETimedOutError().what(), "Operation timed out");
    EXPECT_STREQ(zt::ECanceledError().what(), "Operation has been canceled");
    EXPECT_STREQ(zt::EWinsockDLLError(57012).what(), "Winsock not found");
    EXPECT_STREQ(zt::EWinsockDLLError(57010, "inet_addr").what(), "Function inet_addr not found");
    EXPECT_STREQ(zt::ESocketError("[10061] Connection refused").what(), "[10061] Connection refused");
    EXPECT_STREQ(zt::EWinsockDLLError(57012).ClassName(), "EWinsockDLLError");
    // Each derives directly from the base exception class.
    static_assert(std::is_base_of_v<zt::Exception, zt::ESocketError>);
    static_assert(!std::is_base_of_v<zt::ESocketError, zt::ETimedOutError>);
    static_assert(!std::is_base_of_v<zt::ESocketError, zt::ECanceledError>);
}

} // namespace
