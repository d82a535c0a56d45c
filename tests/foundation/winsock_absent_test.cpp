// The binding when the library or one of its functions is not there. Run twice: with
// wsock32.dll missing, and with our own wsock32.dll that lacks WSAAsyncSelect.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "socket/ztsockerr.h"
#include "winsock/ztwsock.h"

namespace {

bool LibraryMissing() { return std::getenv("RZ_WSOCK32_MISSING") != nullptr; }

TEST(WinsockAbsent, MissingLibraryIsReportedAndLeavesNothingLoaded)
{
    if (!LibraryMissing())
        GTEST_SKIP() << "wsock32.dll is present in this run";
    SetErrorMode(0);
    zt::TztWinsock binding;
    try {
        binding.Load();
        FAIL() << "Load succeeded without the library";
    } catch (const zt::EWinsockDLLError& e) {
        EXPECT_EQ(e.Message(), "Winsock not found");
    }
    EXPECT_FALSE(binding.IsLoaded());
    // The error mode that kept the system's own box away is restored.
    EXPECT_EQ(SetErrorMode(0), 0u);
    WSADATA data;
    EXPECT_THROW(binding.WSAStartup(0x0101, &data), zt::EWinsockDLLError);
}

TEST(WinsockAbsent, MissingFunctionFailsEveryCallWhileTheOthersWork)
{
    if (LibraryMissing())
        GTEST_SKIP() << "no library in this run";
    zt::TztWinsock binding;
    binding.Load();
    ASSERT_TRUE(binding.IsLoaded());
    // Our own library, not the system's, was loaded.
    ASSERT_EQ(GetProcAddress(GetModuleHandleA("wsock32.dll"), "WSAAsyncSelect"), nullptr);
    WSADATA data;
    ASSERT_EQ(binding.WSAStartup(0x0101, &data), 0);
    SOCKET s = binding.socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(s, INVALID_SOCKET);
    for (int call = 0; call < 2; ++call) {
        try {
            binding.WSAAsyncSelect(s, nullptr, WM_USER, FD_READ);
            FAIL() << "WSAAsyncSelect was found";
        } catch (const zt::EWinsockDLLError& e) {
            EXPECT_EQ(e.Message(), "Function WSAAsyncSelect not found");
        }
    }
    EXPECT_TRUE(binding.IsLoaded());
    EXPECT_EQ(binding.htons(80), 0x5000);
    EXPECT_EQ(binding.closesocket(s), 0);
    EXPECT_EQ(binding.WSACleanup(), 0);
}

} // namespace
