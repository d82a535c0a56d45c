#include "ztwsock.h"

#include "../socket/ztsockerr.h"

namespace zt {

TztWinsock* WinsockInstance = nullptr;

namespace {
// The binding's unit: the instance lives from the program's start-up code to its
// shut-down code, around every form and component.
struct WinsockUnit {
    WinsockUnit() { WinsockInstance = new TztWinsock; }
    ~WinsockUnit()
    {
        delete WinsockInstance;
        WinsockInstance = nullptr;
    }
} winsockUnit;

// The exact signatures the library exports, taken from the system's declarations so
// that a wrong one fails to compile.
using closesocket_t = decltype(&::closesocket);
using connect_t = decltype(&::connect);
using htons_t = decltype(&::htons);
using inet_addr_t = decltype(&::inet_addr);
using recv_t = decltype(&::recv);
using send_t = decltype(&::send);
using socket_t = decltype(&::socket);
using gethostname_t = decltype(&::gethostname);
using WSAStartup_t = decltype(&::WSAStartup);
using WSACleanup_t = decltype(&::WSACleanup);
using WSAGetLastError_t = decltype(&::WSAGetLastError);
using WSAIsBlocking_t = decltype(&::WSAIsBlocking);
using WSACancelBlockingCall_t = decltype(&::WSACancelBlockingCall);
using WSAAsyncGetServByName_t = decltype(&::WSAAsyncGetServByName);
using WSAAsyncGetHostByName_t = decltype(&::WSAAsyncGetHostByName);
using WSACancelAsyncRequest_t = decltype(&::WSACancelAsyncRequest);
using WSAAsyncSelect_t = decltype(&::WSAAsyncSelect);
} // namespace

TztWinsock::~TztWinsock() { Unload(); }

// A module handle is a pointer: it is compared as one, never cut to 32 bits (a
// 64-bit handle above 2 GiB would read as negative). 32 and below mean failure.
bool TztWinsock::IsLoaded() const noexcept
{
    return reinterpret_cast<std::uintptr_t>(handle_) > 32;
}

void TztWinsock::Load()
{
    UINT previous = SetErrorMode(SEM_NOOPENFILEERRORBOX);
    handle_ = LoadLibraryA("wsock32.dll");
    SetErrorMode(previous);
    if (!IsLoaded()) {
        handle_ = nullptr;
        throw EWinsockDLLError(msgWinsockNotFound);
    }
}

void TztWinsock::Unload() noexcept
{
    if (handle_ != nullptr) {
        FreeLibrary(handle_);
        handle_ = nullptr;
    }
}

FARPROC TztWinsock::GetProc(const char* name)
{
    if (!IsLoaded())
        throw EWinsockDLLError(msgWinsockNotLoaded);
    FARPROC address = GetProcAddress(handle_, name);
    if (address == nullptr)
        throw EWinsockDLLError(msgFunctionNotFound, name);
    return address;
}

int TztWinsock::closesocket(SOCKET s) { return Proc<closesocket_t>("closesocket")(s); }

int TztWinsock::connect(SOCKET s, const struct sockaddr* name, int nameLength)
{
    return Proc<connect_t>("connect")(s, name, nameLength);
}

u_short TztWinsock::htons(u_short value) { return Proc<htons_t>("htons")(value); }

unsigned long TztWinsock::inet_addr(const char* text)
{
    // Looked up in the held handle directly: with no library loaded this reports the
    // function, not the library, as missing.
    FARPROC address = handle_ != nullptr ? GetProcAddress(handle_, "inet_addr") : nullptr;
    if (address == nullptr)
        throw EWinsockDLLError(msgFunctionNotFound, "inet_addr");
    return reinterpret_cast<inet_addr_t>(reinterpret_cast<void*>(address))(text);
}

int TztWinsock::recv(SOCKET s, char* buffer, int length, int flags)
{
    return Proc<recv_t>("recv")(s, buffer, length, flags);
}

int TztWinsock::send(SOCKET s, const char* buffer, int length, int flags)
{
    return Proc<send_t>("send")(s, buffer, length, flags);
}

SOCKET TztWinsock::socket(int family, int type, int protocol)
{
    return Proc<socket_t>("socket")(family, type, protocol);
}

int TztWinsock::gethostname(char* name, int length)
{
    return Proc<gethostname_t>("gethostname")(name, length);
}

int TztWinsock::WSAStartup(WORD version, LPWSADATA data)
{
    return Proc<WSAStartup_t>("WSAStartup")(version, data);
}

int TztWinsock::WSACleanup() { return Proc<WSACleanup_t>("WSACleanup")(); }

int TztWinsock::WSAGetLastError() { return Proc<WSAGetLastError_t>("WSAGetLastError")(); }

BOOL TztWinsock::WSAIsBlocking() { return Proc<WSAIsBlocking_t>("WSAIsBlocking")(); }

int TztWinsock::WSACancelBlockingCall()
{
    return Proc<WSACancelBlockingCall_t>("WSACancelBlockingCall")();
}

HANDLE TztWinsock::WSAAsyncGetServByName(HWND window, u_int message, const char* name,
                                         const char* protocol, char* buffer, int length)
{
    return Proc<WSAAsyncGetServByName_t>("WSAAsyncGetServByName")(window, message, name,
                                                                   protocol, buffer, length);
}

HANDLE TztWinsock::WSAAsyncGetHostByName(HWND window, u_int message, const char* name,
                                         char* buffer, int length)
{
    return Proc<WSAAsyncGetHostByName_t>("WSAAsyncGetHostByName")(window, message, name,
                                                                   buffer, length);
}

int TztWinsock::WSACancelAsyncRequest(HANDLE request)
{
    return Proc<WSACancelAsyncRequest_t>("WSACancelAsyncRequest")(request);
}

int TztWinsock::WSAAsyncSelect(SOCKET s, HWND window, u_int message, long events)
{
    return Proc<WSAAsyncSelect_t>("WSAAsyncSelect")(s, window, message, events);
}

} // namespace zt
