// The run-time binding of wsock32.dll: loading, lookups by name, message words.
#include <gtest/gtest.h>

#include "socket/ztsockerr.h"
#include "winsock/ztwsock.h"

namespace {

std::string ErrorOf(void (*call)(zt::TztWinsock&), zt::TztWinsock& binding)
{
    try {
        call(binding);
    } catch (const zt::EWinsockDLLError& e) {
        return e.Message();
    }
    return "";
}

TEST(WinsockBinding, NotLoadedUntilLoad)
{
    zt::TztWinsock binding;
    EXPECT_FALSE(binding.IsLoaded());
    binding.Unload();
    binding.Unload();
    EXPECT_FALSE(binding.IsLoaded());
    EXPECT_EQ(ErrorOf([](zt::TztWinsock& b) { WSADATA d; b.WSAStartup(0x0101, &d); }, binding),
              "Winsock is not loaded");
    EXPECT_EQ(ErrorOf([](zt::TztWinsock& b) { b.WSACleanup(); }, binding), "Winsock is not loaded");
    EXPECT_EQ(ErrorOf([](zt::TztWinsock& b) { b.inet_addr("127.0.0.1"); }, binding),
              "Function inet_addr not found");
}

TEST(WinsockBinding, LoadedLibraryAnswersEveryOperation)
{
    zt::TztWinsock binding;
    binding.Load();
    ASSERT_TRUE(binding.IsLoaded());
    WSADATA data;
    ASSERT_EQ(binding.WSAStartup(0x0101, &data), 0);
    EXPECT_EQ(binding.inet_addr("127.0.0.1"), 0x0100007Ful);
    EXPECT_EQ(binding.inet_addr("no.such.address"), INADDR_NONE);
    EXPECT_EQ(binding.htons(0x1234), 0x3412);
    char name[512];
    EXPECT_EQ(binding.gethostname(name, sizeof name), 0);
    SOCKET s = binding.socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_NE(s, INVALID_SOCKET);
    EXPECT_EQ(binding.closesocket(s), 0);
    EXPECT_EQ(binding.closesocket(s), SOCKET_ERROR);
    EXPECT_EQ(binding.WSAGetLastError(), WSAENOTSOCK);
    EXPECT_EQ(binding.WSACleanup(), 0);
    EXPECT_EQ(ErrorOf([](zt::TztWinsock& b) { b.GetProc("NoSuchExport"); }, binding),
              "Function NoSuchExport not found");
    binding.Unload();
    EXPECT_FALSE(binding.IsLoaded());
}

TEST(WinsockBinding, MessageWords)
{
    EXPECT_EQ(zt::TztWinsock::GetErrorWord((10061u << 16) | 16u), 10061);
    EXPECT_EQ(zt::TztWinsock::GetEventWord((10061u << 16) | 16u), 16);
    EXPECT_EQ(zt::TztWinsock::GetErrorWord(0xFFFF0001u), 0xFFFF);
    EXPECT_EQ(zt::TztWinsock::GetEventWord(0xFFFF0001u), 1);
}

TEST(WinsockBinding, ProcessWideInstanceExistsBeforeAnyComponent)
{
    ASSERT_NE(zt::WinsockInstance, nullptr);
}

} // namespace
