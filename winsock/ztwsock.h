// The run-time binding of the Windows Sockets 1.1 library. The program does not link
// wsock32.dll: the one process-wide TztWinsock loads it, and every operation looks
// its function up by name at the moment of the call.
#pragma once

#include <winsock.h>
#include <windows.h>

#include <cstdint>

#include "../classes/handle.h"
#include "../classes/imports.h"

// The library's functions, in the binding's order, each with the signature of the
// system's own declaration. inet_addr is bound by hand: it has a lookup of its own.
#define ZT_WSOCK32_FUNCTIONS(X)                                                             \
    X(closesocket)                                                                          \
    X(connect)                                                                              \
    X(htons)                                                                                \
    X(recv)                                                                                 \
    X(send)                                                                                 \
    X(socket)                                                                               \
    X(gethostname)                                                                          \
    X(WSAStartup)                                                                           \
    X(WSACleanup)                                                                           \
    X(WSAGetLastError)                                                                      \
    X(WSAIsBlocking)                                                                        \
    X(WSACancelBlockingCall)                                                                \
    X(WSAAsyncGetServByName)                                                                \
    X(WSAAsyncGetHostByName)                                                                \
    X(WSACancelAsyncRequest)                                                                \
    X(WSAAsyncSelect)

namespace zt::wsock32 {
#define ZT_WSOCK32_IMPORT(name) ZT_IMPORT(name, decltype(&::name))
ZT_WSOCK32_FUNCTIONS(ZT_WSOCK32_IMPORT)
ZT_WSOCK32_IMPORT(inet_addr)
#undef ZT_WSOCK32_IMPORT
} // namespace zt::wsock32

namespace zt {

class TztWinsock {
public:
    TztWinsock() = default;
    virtual ~TztWinsock();
    TztWinsock(const TztWinsock&) = delete;
    TztWinsock& operator=(const TztWinsock&) = delete;

    // The handle, read as an unsigned number of pointer width, is above 32.
    bool IsLoaded() const noexcept;
    // Loads "wsock32.dll" without the system's own error box; raises
    // EWinsockDLLError "Winsock not found" when it cannot be loaded.
    void Load();
    void Unload() noexcept;
    // The address of an export of the loaded library; raises "Winsock is not loaded"
    // or "Function %s not found". Never returns null.
    FARPROC GetProc(const char* name);

    static std::uint16_t GetErrorWord(std::uint32_t param) noexcept
    {
        return static_cast<std::uint16_t>(param >> 16);
    }
    static std::uint16_t GetEventWord(std::uint32_t param) noexcept
    {
        return static_cast<std::uint16_t>(param & 0xFFFF);
    }

    // The Windows Sockets operations, one for each function of the list, called with
    // that function's arguments: GetProc, then the call.
#define ZT_WSOCK32_OPERATION(name)                                                          \
    template <class... Args>                                                                \
    auto name(Args... args)                                                                 \
    {                                                                                       \
        return Require(wsock32::Import_##name(module_.get()), #name)(args...);              \
    }
    ZT_WSOCK32_FUNCTIONS(ZT_WSOCK32_OPERATION)
#undef ZT_WSOCK32_OPERATION

    // Looked up in the held handle directly: with no library loaded this reports the
    // function, not the library, as missing.
    unsigned long inet_addr(const char* text);

private:
    // The found function, or the binding's error for a missing library or function.
    template <class Pointer>
    Pointer Require(Pointer function, const char* name)
    {
        if (!IsLoaded() || function == nullptr)
            GetProc(name); // raises
        return function;
    }

    OwnedLibrary module_;
};

// The one instance: created before any component, freed after all of them.
extern TztWinsock* WinsockInstance;

} // namespace zt
