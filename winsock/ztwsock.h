// The run-time binding of the Windows Sockets 1.1 library. The program does not link
// wsock32.dll: the one process-wide TztWinsock loads it, and every operation looks
// its function up by name at the moment of the call.
#pragma once

#include <winsock.h>
#include <windows.h>

#include <cstdint>

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

    // The Windows Sockets operations, each with the signature of the function of the
    // same name.
    int closesocket(SOCKET s);
    int connect(SOCKET s, const struct sockaddr* name, int nameLength);
    u_short htons(u_short value);
    unsigned long inet_addr(const char* text);
    int recv(SOCKET s, char* buffer, int length, int flags);
    int send(SOCKET s, const char* buffer, int length, int flags);
    SOCKET socket(int family, int type, int protocol);
    int gethostname(char* name, int length);
    int WSAStartup(WORD version, LPWSADATA data);
    int WSACleanup();
    int WSAGetLastError();
    BOOL WSAIsBlocking();
    int WSACancelBlockingCall();
    HANDLE WSAAsyncGetServByName(HWND window, u_int message, const char* name,
                                 const char* protocol, char* buffer, int length);
    HANDLE WSAAsyncGetHostByName(HWND window, u_int message, const char* name, char* buffer,
                                 int length);
    int WSACancelAsyncRequest(HANDLE request);
    int WSAAsyncSelect(SOCKET s, HWND window, u_int message, long events);

private:
    template <class Function>
    Function Proc(const char* name)
    {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProc(name)));
    }

    HMODULE handle_ = nullptr;
};

// The one instance: created before any component, freed after all of them.
extern TztWinsock* WinsockInstance;

} // namespace zt
