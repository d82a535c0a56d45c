// The state of the counting wsock32.dll (countingwsock.cpp): counts of calls, and
// two departures from ws2_32 that a test may switch on. A test reaches it through the
// export RzGetWinsockCounts of the wsock32.dll the process has loaded, and may write it.
#pragma once

struct RzWinsockCounts {
    // Calls of WSAStartup, WSACleanup, send, recv, WSAAsyncGetServByName, WSACancelAsyncRequest.
    long startups = 0, cleanups = 0, sends = 0, recvs = 0, serviceLookups = 0, cancels = 0;
    // Set: WSAAsyncGetServByName starts no look-up and returns a request whose
    // reply never comes, a look-up that outlasts any time-out; cancelling it succeeds.
    bool holdServiceLookups = false;
    // The function (WSAAsyncGetHostByName or WSAAsyncSelect) that fails with the
    // error code 0 at every call; null for none.
    const char* failWithoutCode = nullptr;
};

typedef RzWinsockCounts*(__cdecl* RzGetWinsockCountsFn)(void);
