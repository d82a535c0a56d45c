// The message table as the program carries it: the string-table resource.
#include <gtest/gtest.h>

#include <type_traits>

#include "socket/ztsockerr.h"

namespace {

TEST(MessageTable, EachTextComesBackExactlyAndACodeWithoutOneGetsOneBuilt)
{
    const std::pair<std::uint16_t, const char*> texts[] = {
        {57000, "Operation timed out"}, {57001, "Operation has been canceled"}, {57002, "Server property is required"},
        {57003, "Invalid Winsock version"}, {57004, "Error resolving remote host"}, {57005, "Service name is required"},
        {57006, "Error #57006"}, {57008, "You have to connect to the server first"}, {57009, "Error #57009"},
        {57010, "Function %s not found"}, {57011, "Winsock is not loaded"}, {57012, "Winsock not found"},
        {57013, "Windows Sockets call %s failed"}, {10000, "[0] No Error"}, {10001, "Error #10001"},
        {10004, "[10004] Interrupted function call"}, {10013, "[10013] Permission denied."},
        {10035, "[10035] Resource temporarily not available"}, {10054, "[10054] Connection reset by peer"},
        {10058, "[10058] Can't send after socket shutdown"}, {10059, "[10059] Too many references, can't splice"},
        {10060, "[10060] Connection timed out"}, {10061, "[10061] Connection refused"},
        {10065, "[10065] No Route to Host"}, {10071, "[10071] Too many levels of remote in path"},
        {10072, "Error #10072"}, {10090, "Error #10090"}, {10093, "[10093] Successful WSAStartup() not yet performed"},
        {10094, "[10094] Graceful shutdown in progress"}, {10095, "Error #10095"}, {11000, "Error #11000"},
        {11001, "[11001] Host not found"}, {11003, "[11003] Non-Recoverable errors: FORMERR, REFUSED, NOTIMP"},
        {11004, "[11004] Valid name, no data record of requested type"}, {11005, "Error #11005"},
        {12345, "Error #12345"}, {1, "Error #1"}, {65535, "Error #65535"},
    };
    for (const auto& [id, text] : texts)
        EXPECT_EQ(zt::TextForCode(id), text) << id;
}

TEST(MessageTable, ExceptionsTakeTheirTextsWhenRaisedAndDeriveFromTheBaseDirectly)
{
    EXPECT_EQ(std::string(zt::ETimedOutError().what()) + " | " + zt::ECanceledError().what() + " | "
                  + zt::EWinsockDLLError(57012).ClassName() + ": " + zt::EWinsockDLLError(57012).what() + " | "
                  + zt::EWinsockDLLError(57010, "inet_addr").what(),
              "Operation timed out | Operation has been canceled | EWinsockDLLError: Winsock not found"
              " | Function inet_addr not found");
    static_assert(std::is_base_of_v<zt::Exception, zt::ESocketError>);
    static_assert(!std::is_base_of_v<zt::ESocketError, zt::ETimedOutError>);
    static_assert(!std::is_base_of_v<zt::ESocketError, zt::ECanceledError>);
}

} // namespace
