// The counters of the counting wsock32.dll (countingwsock.cpp). A test reads them
// through the export RzGetWinsockCounts of the wsock32.dll the process has loaded,
// and may hold service look-ups with RzHoldServiceLookups.
#pragma once

struct RzWinsockCounts {
    long startups;       // WSAStartup calls that succeeded
    long cleanups;       // WSACleanup calls
    long cleanupsFailed; // of those, the ones that returned SOCKET_ERROR
    long sockets;        // socket calls
    long closes;         // closesocket calls
    long connects;       // connect calls
    long sends;          // send calls
    long recvs;          // recv calls
    long recvWouldBlock; // of those, the ones that failed with WSAEWOULDBLOCK
    long hostLookups;    // WSAAsyncGetHostByName calls
    long serviceLookups; // WSAAsyncGetServByName calls
    long cancels;        // WSACancelAsyncRequest calls
};

typedef const RzWinsockCounts*(__cdecl* RzGetWinsockCountsFn)(void);

// While held (nonzero), WSAAsyncGetServByName starts no look-up and returns a
// request handle whose reply never comes: a service look-up that outlasts any
// time-out. Cancelling that handle succeeds.
typedef void(__cdecl* RzHoldServiceLookupsFn)(int hold);

// Makes the named function (WSAAsyncGetHostByName or WSAAsyncSelect) fail with the
// error code 0 at every call; "" ends that.
typedef void(__cdecl* RzFailWithoutCodeFn)(const char* function);
