// Binding of the platform's Remote Access Service library (rasapi32.dll): the
// records that cross the boundary in their ANSI layouts, the constants, the string
// resources that serve as status texts, and the functions, which are looked up by
// their exported names at every call.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "../classes/handle.h"
#include "../classes/imports.h"

namespace zt::ras {

// Field lengths, each without the terminating zero.
inline constexpr std::size_t MaxEntryName = 256;
inline constexpr std::size_t MaxDeviceType = 16;
inline constexpr std::size_t MaxDeviceName = 128;
inline constexpr std::size_t MaxPhoneNumber = 128;
inline constexpr std::size_t MaxCallbackNumber = 128;
inline constexpr std::size_t MaxUserName = 256;
inline constexpr std::size_t MaxPassword = 256;
inline constexpr std::size_t MaxDomain = 15;
inline constexpr std::size_t MaxIpAddress = 15;

using HRASCONN = HANDLE;

#pragma pack(push, 4)

// One phone-book entry name (the version without flags and phone-book path).
struct RASENTRYNAME {
    DWORD dwSize;
    char szEntryName[MaxEntryName + 1];
};

// One active connection (the version with device type and name).
struct RASCONN {
    DWORD dwSize;
    HRASCONN hrasconn;
    char szEntryName[MaxEntryName + 1];
    char szDeviceType[MaxDeviceType + 1];
    char szDeviceName[MaxDeviceName + 1];
};

// The dial parameters of an entry (the version without sub-entry and callback id).
struct RASDIALPARAMS {
    DWORD dwSize;
    char szEntryName[MaxEntryName + 1];
    char szPhoneNumber[MaxPhoneNumber + 1];
    char szCallbackNumber[MaxCallbackNumber + 1];
    char szUserName[MaxUserName + 1];
    char szPassword[MaxPassword + 1];
    char szDomain[MaxDomain + 1];
};

// The PPP IP projection of a connection.
struct RASPPPIP {
    DWORD dwSize;
    DWORD dwError;
    char szIpAddress[MaxIpAddress + 1];
};

#pragma pack(pop)

// The platform packs these records to 4 bytes on both architectures. Only RASCONN
// holds a pointer-sized field, its connection handle, so only its layout differs:
// on x86_64 the 8-byte handle stays at offset 4 (4-byte packing) and the names
// follow at 12, 415 bytes in all, padded to 416.
static_assert(sizeof(RASENTRYNAME) == 264);
static_assert(sizeof(RASDIALPARAMS) == 1052);
static_assert(offsetof(RASDIALPARAMS, szPassword) == 776);
static_assert(sizeof(RASPPPIP) == 24);
static_assert(offsetof(RASPPPIP, szIpAddress) == 8);
#if defined(_WIN64)
static_assert(sizeof(RASCONN) == 416);
static_assert(offsetof(RASCONN, hrasconn) == 4 && offsetof(RASCONN, szEntryName) == 12);
#else
static_assert(sizeof(RASCONN) == 412);
static_assert(offsetof(RASCONN, hrasconn) == 4 && offsetof(RASCONN, szEntryName) == 8);
#endif

// Fixed enumeration buffers; never grown when the platform reports them too small.
inline constexpr DWORD EntryBufferCount = 25;
inline constexpr DWORD ConnBufferCount = 10;
inline constexpr DWORD EntryBufferSize = EntryBufferCount * sizeof(RASENTRYNAME);
inline constexpr DWORD ConnBufferSize = ConnBufferCount * sizeof(RASCONN);
static_assert(EntryBufferSize == 6600);
static_assert(ConnBufferSize == (sizeof(void*) == 8 ? 4160 : 4120));

inline constexpr DWORD RASP_PppIp = 0x8021;
// Notifier kind: dial progress as window messages to a window handle.
inline constexpr DWORD NotifierWindowMessage = 0xFFFFFFFF;

// Dial states.
enum : DWORD {
    RASCS_OpenPort = 0,
    RASCS_PortOpened = 1,
    RASCS_ConnectDevice = 2,
    RASCS_DeviceConnected = 3,
    RASCS_AllDevicesConnected = 4,
    RASCS_Authenticate = 5,
    RASCS_Authenticated = 14,
    RASCS_StartAuthentication = 19,
    RASCS_LogonNetwork = 21,
    RASCS_Connected = 0x2000,
    RASCS_Disconnected = 0x2001,
};

// Name of the registered message that carries dial progress: first parameter the
// dial state, second an error code (0 for none).
inline constexpr char DialEventMessageName[] = "RASDIALEVENT";

// Number of the library's string resource that describes a dial state (the low
// 16 bits of the state are used); 0 when the state has none.
UINT StatusResourceId(std::uint32_t state) noexcept;

// The library's functions, ANSI variants, one line each: RasEnumEntriesA_t is the
// pointer type and Import_RasEnumEntriesA(library) the lookup by name (null when
// the library or the function is missing), and so on for each.
#define ZT_RASAPI32_FUNCTIONS(X)                                                            \
    X(RasEnumEntriesA, DWORD(WINAPI*)(LPCSTR reserved, LPCSTR phoneBook,                    \
                                      RASENTRYNAME* entries, DWORD* size, DWORD* count))    \
    X(RasEnumConnectionsA, DWORD(WINAPI*)(RASCONN* connections, DWORD* size, DWORD* count)) \
    X(RasGetProjectionInfoA, DWORD(WINAPI*)(HRASCONN connection, DWORD projection,          \
                                            void* info, DWORD* size))                       \
    X(RasGetEntryDialParamsA, DWORD(WINAPI*)(LPCSTR phoneBook, RASDIALPARAMS* params,       \
                                             BOOL* passwordSaved))                          \
    X(RasSetEntryDialParamsA, DWORD(WINAPI*)(LPCSTR phoneBook, RASDIALPARAMS* params,       \
                                             BOOL removePassword))                          \
    X(RasDialA, DWORD(WINAPI*)(void* extensions, LPCSTR phoneBook, RASDIALPARAMS* params,   \
                               DWORD notifierKind, void* notifier, HRASCONN* connection))   \
    X(RasHangUpA, DWORD(WINAPI*)(HRASCONN connection))                                      \
    X(RasGetErrorStringA, DWORD(WINAPI*)(UINT code, LPSTR buffer, DWORD size))

ZT_RASAPI32_FUNCTIONS(ZT_IMPORT)

// Loads "rasapi32.dll"; empty when it cannot be loaded (no system box is shown).
OwnedLibrary LoadRasLibrary() noexcept;

} // namespace zt::ras
