// The run-time binding of wsock32.dll: loading, lookups by name, message words. Run
// three times: with the system's library, with our own wsock32.dll that lacks
// WSAAsyncSelect (RZ_WSOCK32_NOSEL set) and with none (RZ_WSOCK32_MISSING set).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>

#include "socket/ztsockerr.h"
#include "winsock/ztwsock.h"

namespace {

// The message of the binding's error that the call raises, "" for none.
template <class Call>
std::string ErrorOf(Call call)
{
    try {
        call();
    } catch (const zt::EWinsockDLLError& e) {
        return e.Message();
    }
    return "";
}

TEST(WinsockBinding, CallsFailUntilTheLibraryIsLoadedAndAfterItIsUnloaded)
{
    ASSERT_NE(zt::WinsockInstance, nullptr) << "the process-wide binding exists before any component";
    using W = zt::TztWinsock;  // the two words of a notification's second parameter
    EXPECT_EQ(std::tuple(W::GetErrorWord(0xFFFF0001u), W::GetEventWord(0xFFFF0001u),
                         W::GetErrorWord((10061u << 16) | 16u), W::GetEventWord((10061u << 16) | 16u)),
              std::tuple(0xFFFF, 1, 10061, 16));
    zt::TztWinsock binding;
    WSADATA data;
    auto expectNotLoaded = [&] {
        EXPECT_FALSE(binding.IsLoaded());
        EXPECT_EQ(ErrorOf([&] { binding.WSAStartup(0x0101, &data); }) + " | " + ErrorOf([&] { binding.WSACleanup(); })
                      + " | " + ErrorOf([&] { binding.inet_addr("127.0.0.1"); }),
                  "Winsock is not loaded | Winsock is not loaded | Function inet_addr not found");
    };
    binding.Unload();  // nothing loaded: nothing to do
    expectNotLoaded();
    if (std::getenv("RZ_WSOCK32_MISSING") != nullptr) {
        SetErrorMode(0);
        EXPECT_EQ(ErrorOf([&] { binding.Load(); }), "Winsock not found");
        EXPECT_EQ(SetErrorMode(0), 0u) << "the error mode that kept the system's box away is not restored";
        expectNotLoaded();
        return;
    }
    binding.Load();
    ASSERT_TRUE(binding.IsLoaded());
    const bool withoutSelect = GetProcAddress(GetModuleHandleA("wsock32.dll"), "WSAAsyncSelect") == nullptr;
    ASSERT_EQ(withoutSelect, std::getenv("RZ_WSOCK32_NOSEL") != nullptr) << "not the library of this run";
    ASSERT_EQ(binding.WSAStartup(0x0101, &data), 0);
    EXPECT_EQ(binding.inet_addr("127.0.0.1"), 0x0100007Ful);
    EXPECT_EQ(binding.inet_addr("no.such.address"), INADDR_NONE);
    EXPECT_EQ(binding.htons(0x1234), 0x3412);
    char name[512];
    EXPECT_EQ(binding.gethostname(name, sizeof name), 0);
    const SOCKET s = binding.socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(s, INVALID_SOCKET);
    // A missing function fails every call while the others work.
    for (int call = 0; withoutSelect && call < 2; ++call)
        EXPECT_EQ(ErrorOf([&] { binding.WSAAsyncSelect(s, nullptr, WM_USER, FD_READ); }),
                  "Function WSAAsyncSelect not found");
    EXPECT_EQ(binding.closesocket(s), 0);
    EXPECT_EQ(binding.closesocket(s), SOCKET_ERROR);
    EXPECT_EQ(binding.WSAGetLastError(), WSAENOTSOCK);
    EXPECT_EQ(binding.WSACleanup(), 0);
    EXPECT_EQ(ErrorOf([&] { binding.GetProc("NoSuchExport"); }), "Function NoSuchExport not found");
    binding.Unload();
    expectNotLoaded();
}

} // namespace
