// A stand-in for wsock32.dll that counts some calls of the socket component and hands
// each one on to ws2_32 unchanged; countingwsock.def forwards the other functions the
// Winsock binding looks up. The departures (countingwsock.h) do what no real look-up
// or call on 127.0.0.1 can be made to do.
#include <winsock2.h>
#include <windows.h>

#include "countingwsock.h"

namespace {
RzWinsockCounts counts;
HANDLE const kHeldRequest = reinterpret_cast<HANDLE>(0x7A11);

bool FailsWithoutCode(const char* function)
{
    if (counts.failWithoutCode == nullptr || lstrcmpA(counts.failWithoutCode, function) != 0)
        return false;
    WSASetLastError(0);
    return true;
}
} // namespace

extern "C" {

__declspec(dllexport) RzWinsockCounts* __cdecl RzGetWinsockCounts(void) { return &counts; }

// A function that counts its calls and hands them on.
#define RZ_COUNTED(result, name, counter, parameters, arguments)                                 \
    result WSAAPI Counted_##name parameters { ++counts.counter; return name arguments; }
RZ_COUNTED(int, WSAStartup, startups, (WORD version, LPWSADATA data), (version, data))
RZ_COUNTED(int, WSACleanup, cleanups, (void), ())
RZ_COUNTED(int, send, sends, (SOCKET s, const char* buffer, int length, int flags), (s, buffer, length, flags))
RZ_COUNTED(int, recv, recvs, (SOCKET s, char* buffer, int length, int flags), (s, buffer, length, flags))

HANDLE WSAAPI Counted_WSAAsyncGetServByName(HWND window, u_int message, const char* name, const char* protocol,
                                            char* buffer, int length)
{
    ++counts.serviceLookups;
    return counts.holdServiceLookups ? kHeldRequest
                                     : WSAAsyncGetServByName(window, message, name, protocol, buffer, length);
}

int WSAAPI Counted_WSACancelAsyncRequest(HANDLE request)
{
    ++counts.cancels;
    return request == kHeldRequest ? 0 : WSACancelAsyncRequest(request);
}

HANDLE WSAAPI Counted_WSAAsyncGetHostByName(HWND window, u_int message, const char* name, char* buffer, int length)
{
    return FailsWithoutCode("WSAAsyncGetHostByName") ? nullptr
                                                     : WSAAsyncGetHostByName(window, message, name, buffer, length);
}

int WSAAPI Counted_WSAAsyncSelect(SOCKET s, HWND window, u_int message, long events)
{
    return FailsWithoutCode("WSAAsyncSelect") ? SOCKET_ERROR : WSAAsyncSelect(s, window, message, events);
}

} // extern "C"
