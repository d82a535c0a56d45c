// A scripted stand-in for the platform's rasapi32.dll: phone-book, active connections,
// saved password, a failing call and the dial events come from the test's control
// block, and every call is logged with the arguments it received.
//
// The records are the component's own declarations, whose layouts are checked
// against the platform's headers; a caller that sets a wrong size is refused.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "fakeras.h"
#include "ras/ztrasAPI.h"

namespace {

using zt::ras::RASCONN;
using zt::ras::RASDIALPARAMS;
using zt::ras::RASENTRYNAME;
using zt::ras::RASPPPIP;

const DWORD kBufferTooSmall = 603, kInvalidSize = 632;
const DWORD kInvalidHandle = 6, kInvalidParameter = 87;

FakeRasControl own;
FakeRasControl* control = &own;

std::string Hex(UINT_PTR value, const char* format = "%08lX")
{
    char text[16];
    std::snprintf(text, sizeof text, format, static_cast<unsigned long>(value));
    return text;
}

std::string Text(const char* field) { return std::string(field, strnlen(field, 257)); }

std::string NullOrSet(const void* pointer) { return pointer == nullptr ? "null" : "set"; }

std::string Size(const void* record) { return std::to_string(*static_cast<const DWORD*>(record)); }

// The fields of a RASDIALPARAMS record that the caller sets or passes on.
std::string Record(const RASDIALPARAMS* params)
{
    return "rec=" + Size(params) + " entry=" + Text(params->szEntryName) + " user="
           + Text(params->szUserName) + " password=" + Text(params->szPassword);
}

// "1" when every byte in [from, to) is zero.
std::string Zeroed(const void* record, std::size_t from, std::size_t to)
{
    const auto* bytes = static_cast<const unsigned char*>(record);
    return std::all_of(bytes + from, bytes + to, [](unsigned char b) { return b == 0; }) ? "1" : "0";
}

// Logs the call; returns the code it is to fail with, 0 for none.
DWORD Call(const char* function, const std::string& arguments)
{
    std::string line = std::string(function) + " " + arguments + "\n";
    std::strncat(control->log, line.c_str(), sizeof control->log - std::strlen(control->log) - 1);
    return control->failing.first == function ? control->failing.second : 0;
}

// Checks the record size and the room for `available` records; sets the out values.
DWORD Fits(DWORD recordSize, DWORD wanted, DWORD* size, DWORD* count, std::size_t available)
{
    if (recordSize != wanted)
        return kInvalidSize;
    DWORD needed = static_cast<DWORD>(available) * wanted;
    bool fits = *size >= needed;
    *size = needed;
    *count = fits ? static_cast<DWORD>(available) : 0;
    return fits ? 0 : kBufferTooSmall;
}

} // namespace

extern "C" {

DWORD WINAPI Fake_RasEnumEntriesA(LPCSTR reserved, LPCSTR phoneBook, RASENTRYNAME* entries,
                                  DWORD* size, DWORD* count)
{
    if (DWORD code = Call("RasEnumEntriesA", "reserved=" + NullOrSet(reserved)
                                                 + " book=" + NullOrSet(phoneBook)
                                                 + " size=" + std::to_string(*size) + " rec=" + Size(entries)))
        return code;
    if (DWORD code = Fits(entries->dwSize, sizeof(RASENTRYNAME), size, count, control->entries.size()))
        return code;
    for (std::size_t i = 0; i < control->entries.size(); ++i) {
        entries[i].dwSize = sizeof(RASENTRYNAME);
        lstrcpynA(entries[i].szEntryName, control->entries[i].c_str(), sizeof entries[i].szEntryName);
    }
    return 0;
}

DWORD WINAPI Fake_RasEnumConnectionsA(RASCONN* connections, DWORD* size, DWORD* count)
{
    if (DWORD code = Call("RasEnumConnectionsA", "size=" + std::to_string(*size) + " rec="
                                                     + Size(connections)
                                                     + " zeroed=" + Zeroed(connections, 4, *size)))
        return code;
    if (DWORD code = Fits(connections->dwSize, sizeof(RASCONN), size, count, control->connections.size()))
        return code;
    for (std::size_t i = 0; i < control->connections.size(); ++i) {
        connections[i].hrasconn = reinterpret_cast<HANDLE>(control->connections[i].handle);
        lstrcpynA(connections[i].szEntryName, control->connections[i].entry.c_str(),
                  sizeof connections[i].szEntryName);
    }
    return 0;
}

DWORD WINAPI Fake_RasGetProjectionInfoA(HANDLE connection, DWORD projection, void* info, DWORD* size)
{
    auto* ip = static_cast<RASPPPIP*>(info);
    if (DWORD code = Call("RasGetProjectionInfoA",
                          "conn=" + Hex(reinterpret_cast<UINT_PTR>(connection))
                              + " kind=" + Hex(projection, "%lX") + " size=" + std::to_string(*size)
                              + " rec=" + Size(info) + " zeroed=" + Zeroed(info, 4, sizeof(RASPPPIP))))
        return code;
    if (ip->dwSize != sizeof(RASPPPIP) || *size < sizeof(RASPPPIP))
        return kInvalidSize;
    for (const auto& c : control->connections)
        if (c.handle == reinterpret_cast<UINT_PTR>(connection)) {
            lstrcpynA(ip->szIpAddress, c.ip.c_str(), sizeof ip->szIpAddress);
            return 0;
        }
    return kInvalidHandle;
}

DWORD WINAPI Fake_RasGetEntryDialParamsA(LPCSTR phoneBook, RASDIALPARAMS* params, BOOL* passwordSaved)
{
    if (DWORD code = Call("RasGetEntryDialParamsA",
                          "book=" + NullOrSet(phoneBook) + " rec=" + Size(params)
                              + " entry=" + Text(params->szEntryName)
                              + " zeroed=" + Zeroed(params, offsetof(RASDIALPARAMS, szPhoneNumber),
                                                    sizeof(RASDIALPARAMS))))
        return code;
    if (params->dwSize != sizeof(RASDIALPARAMS))
        return kInvalidSize;
    std::strcpy(params->szUserName, "dialuser");
    lstrcpynA(params->szPassword, control->savedPassword.c_str(), sizeof params->szPassword);
    *passwordSaved = !control->savedPassword.empty();
    return 0;
}

DWORD WINAPI Fake_RasSetEntryDialParamsA(LPCSTR phoneBook, RASDIALPARAMS* params, BOOL removePassword)
{
    return Call("RasSetEntryDialParamsA", "book=" + NullOrSet(phoneBook) + " " + Record(params)
                                              + " remove=" + Hex(static_cast<DWORD>(removePassword), "%lX"));
}

DWORD WINAPI Fake_RasDialA(void* extensions, LPCSTR phoneBook, RASDIALPARAMS* params, DWORD notifierKind,
                           void* notifier, HANDLE* connection)
{
    auto handle = reinterpret_cast<UINT_PTR>(*connection);
    DWORD code = Call("RasDialA", "ext=" + NullOrSet(extensions)
                                      + " book=" + NullOrSet(phoneBook) + " " + Record(params)
                                      + " kind=" + Hex(notifierKind)
                                      + " notifier=" + Hex(reinterpret_cast<UINT_PTR>(notifier))
                                      + " conn=" + (handle == 0 ? "null" : Hex(handle)));
    // The platform hands out a handle also for a dial that fails at once.
    *connection = reinterpret_cast<HANDLE>(0x5678);
    if (code != 0)
        return code;
    UINT message = RegisterWindowMessageA("RASDIALEVENT");
    for (const FakeRasEvent& event : control->script)
        PostMessageA(static_cast<HWND>(notifier), message, event.state, event.error);
    return 0;
}

DWORD WINAPI Fake_RasHangUpA(HANDLE connection)
{
    return Call("RasHangUpA", "conn=" + Hex(reinterpret_cast<UINT_PTR>(connection)));
}

DWORD WINAPI Fake_RasGetErrorStringA(UINT code, LPSTR buffer, DWORD size)
{
    if (DWORD failure = Call("RasGetErrorStringA",
                             "code=" + std::to_string(code) + " size=" + std::to_string(size)))
        return failure;
    // Texts for the RAS range only.
    if (code < 600 || code > 999)
        return kInvalidParameter;
    std::snprintf(buffer, size, "Fake RAS error %u", code);
    return 0;
}

void __cdecl FakeRas_Attach(FakeRasControl* attached) { control = attached; }

} // extern "C"
