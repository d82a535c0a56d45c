// A stand-in for wsock32.dll that counts the calls of the socket component and
// hands each one on to ws2_32 unchanged. It exports the functions the Winsock
// binding looks up (countingwsock.def), RzGetWinsockCounts and
// RzHoldServiceLookups, the one departure: a service look-up that never answers,
// which no real look-up on 127.0.0.1 can be made to do.
#include <winsock2.h>
#include <windows.h>

#include "countingwsock.h"

namespace {
RzWinsockCounts counts;
volatile LONG holdServiceLookups = 0;
HANDLE const kHeldRequest = reinterpret_cast<HANDLE>(0x7A11);

// The function that is to fail without an error code; "" for none.
char failWithoutCode[32] = "";

void Count(long& counter) { InterlockedIncrement(&counter); }

bool FailsWithoutCode(const char* function)
{
    if (lstrcmpA(failWithoutCode, function) != 0)
        return false;
    WSASetLastError(0);
    return true;
}
} // namespace

extern "C" {

__declspec(dllexport) const RzWinsockCounts* __cdecl RzGetWinsockCounts(void) { return &counts; }

__declspec(dllexport) void __cdecl RzFailWithoutCode(const char* function)
{
    lstrcpynA(failWithoutCode, function, sizeof failWithoutCode);
}

__declspec(dllexport) void __cdecl RzHoldServiceLookups(int hold)
{
    InterlockedExchange(&holdServiceLookups, hold != 0);
}

int WSAAPI Counted_closesocket(SOCKET s)
{
    Count(counts.closes);
    return closesocket(s);
}

int WSAAPI Counted_connect(SOCKET s, const sockaddr* name, int length)
{
    Count(counts.connects);
    return connect(s, name, length);
}

u_short WSAAPI Counted_htons(u_short value) { return htons(value); }

unsigned long WSAAPI Counted_inet_addr(const char* text) { return inet_addr(text); }

int WSAAPI Counted_recv(SOCKET s, char* buffer, int length, int flags)
{
    Count(counts.recvs);
    int result = recv(s, buffer, length, flags);
    if (result == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK)
        Count(counts.recvWouldBlock);
    return result;
}

int WSAAPI Counted_send(SOCKET s, const char* buffer, int length, int flags)
{
    Count(counts.sends);
    return send(s, buffer, length, flags);
}

SOCKET WSAAPI Counted_socket(int family, int type, int protocol)
{
    Count(counts.sockets);
    return socket(family, type, protocol);
}

int WSAAPI Counted_gethostname(char* name, int length) { return gethostname(name, length); }

int WSAAPI Counted_WSAStartup(WORD version, LPWSADATA data)
{
    int result = WSAStartup(version, data);
    if (result == 0)
        Count(counts.startups);
    return result;
}

int WSAAPI Counted_WSACleanup(void)
{
    Count(counts.cleanups);
    int result = WSACleanup();
    if (result == SOCKET_ERROR)
        Count(counts.cleanupsFailed);
    return result;
}

int WSAAPI Counted_WSAGetLastError(void) { return WSAGetLastError(); }

BOOL WSAAPI Counted_WSAIsBlocking(void) { return WSAIsBlocking(); }

int WSAAPI Counted_WSACancelBlockingCall(void) { return WSACancelBlockingCall(); }

HANDLE WSAAPI Counted_WSAAsyncGetServByName(HWND window, u_int message, const char* name,
                                            const char* protocol, char* buffer, int length)
{
    Count(counts.serviceLookups);
    if (holdServiceLookups)
        return kHeldRequest;
    return WSAAsyncGetServByName(window, message, name, protocol, buffer, length);
}

HANDLE WSAAPI Counted_WSAAsyncGetHostByName(HWND window, u_int message, const char* name,
                                            char* buffer, int length)
{
    Count(counts.hostLookups);
    if (FailsWithoutCode("WSAAsyncGetHostByName"))
        return nullptr;
    return WSAAsyncGetHostByName(window, message, name, buffer, length);
}

int WSAAPI Counted_WSACancelAsyncRequest(HANDLE request)
{
    Count(counts.cancels);
    if (request == kHeldRequest)
        return 0;
    return WSACancelAsyncRequest(request);
}

int WSAAPI Counted_WSAAsyncSelect(SOCKET s, HWND window, u_int message, long events)
{
    if (FailsWithoutCode("WSAAsyncSelect"))
        return SOCKET_ERROR;
    return WSAAsyncSelect(s, window, message, events);
}

} // extern "C"
