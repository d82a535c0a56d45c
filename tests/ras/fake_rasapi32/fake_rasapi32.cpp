// A scripted stand-in for the platform's rasapi32.dll: phone-book, active connections,
// saved password, a failing call and the dial events come from the test's control
// block, and every call but that for an error text is logged in short with what it
// received. A call that the component should never make is refused with 87: a record
// of the wrong size or not zero-filled, a phone-book path or another wrong argument.
//
// The records are the component's own declarations, whose layouts are checked
// against the platform's headers.
#include <windows.h>

#include <algorithm>
#include <charconv>

#include "../ras_support.h"
#include "ras/ztrasAPI.h"

namespace {

using namespace zt::ras;

const DWORD kBufferTooSmall = 603, kInvalidParameter = 87;

FakeRasControl* control = nullptr;  // attached before the first call

// A handle or a flag in hexadecimal, as a 32-bit number.
template <class Value>
std::string Hex(Value v) { char t[20]; return {t, std::to_chars(t, t + 20, (unsigned long)(UINT_PTR)v, 16).ptr}; }

std::string Text(const char* field) { return std::string(field, strnlen(field, MaxEntryName + 1)); }

std::string Fields(const RASDIALPARAMS* p)
{
    return Text(p->szEntryName) + " " + Text(p->szUserName) + " " + Text(p->szPassword);
}

// Logs the call (named by the line's first word) and returns the code it fails with:
// the scripted one, else 87 for a wrong argument or for a record whose size field is
// not `size` or which is not zero from byte `zeroFrom` to `zeroTo`.
DWORD Call(const std::string& line, bool wrongArgument, const void* record = nullptr, DWORD size = 0,
           std::size_t zeroFrom = 0, std::size_t zeroTo = 0)
{
    LogLine(*control, line);
    if (control->failing.first == line.substr(0, line.find(' ')))
        return control->failing.second;
    const auto* bytes = static_cast<const unsigned char*>(record);
    const bool zeroed = std::all_of(bytes + zeroFrom, bytes + zeroTo, [](auto b) { return b == 0; });
    const bool wrongRecord = record != nullptr && (*static_cast<const DWORD*>(record) != size || !zeroed);
    return wrongArgument || wrongRecord ? kInvalidParameter : 0;
}

// An enumeration into the caller's records, logged with their room in records: all of
// the list, or 603 and none when they do not fit.
template <class Record, class Item, class Fill>
DWORD List(const char* name, bool wrongArgument, Record* records, DWORD* size, DWORD* count,
           const std::vector<Item>& items, Fill fill)
{
    const std::string line = name + (" " + std::to_string(*size / sizeof(Record)));
    if (DWORD code = Call(line, wrongArgument, records, sizeof(Record), 4, *size))
        return code;
    const bool fits = *size >= items.size() * sizeof(Record);
    *size = static_cast<DWORD>(items.size() * sizeof(Record));
    *count = fits ? static_cast<DWORD>(items.size()) : 0;
    for (std::size_t i = 0; fits && i < items.size(); ++i)
        fill(records[i], items[i]);
    return fits ? 0 : kBufferTooSmall;
}

} // namespace

extern "C" {

DWORD WINAPI Fake_RasEnumEntriesA(LPCSTR reserved, LPCSTR book, RASENTRYNAME* entries, DWORD* size, DWORD* count)
{
    return List("EnumEntries", reserved != nullptr || book != nullptr, entries, size, count, control->entries,
                [](RASENTRYNAME& e, const std::string& name) { lstrcpynA(e.szEntryName, name.c_str(), 257); });
}

DWORD WINAPI Fake_RasEnumConnectionsA(RASCONN* connections, DWORD* size, DWORD* count)
{
    return List("EnumConnections", false, connections, size, count, control->connections,
                [](RASCONN& c, const FakeRasConnection& item) {
                    c.hrasconn = reinterpret_cast<HANDLE>(item.handle);
                    lstrcpynA(c.szEntryName, item.entry.c_str(), sizeof c.szEntryName);
                });
}

DWORD WINAPI Fake_RasGetProjectionInfoA(HANDLE connection, DWORD kind, void* info, DWORD* size)
{
    auto* ip = static_cast<RASPPPIP*>(info);
    if (DWORD code = Call("Projection " + Hex(connection), kind != 0x8021 || *size != sizeof *ip, ip, sizeof *ip, 4,
                          sizeof *ip))
        return code;
    for (const auto& c : control->connections)
        if (c.handle == reinterpret_cast<UINT_PTR>(connection))
            lstrcpynA(ip->szIpAddress, c.ip.c_str(), sizeof ip->szIpAddress);
    return 0;
}

DWORD WINAPI Fake_RasGetEntryDialParamsA(LPCSTR book, RASDIALPARAMS* params, BOOL* passwordSaved)
{
    if (DWORD code = Call("GetParams " + Text(params->szEntryName), book != nullptr, params, sizeof *params,
                          offsetof(RASDIALPARAMS, szPhoneNumber), sizeof *params))
        return code;
    std::strcpy(params->szUserName, "dialuser");
    lstrcpynA(params->szPassword, control->savedPassword.c_str(), sizeof params->szPassword);
    *passwordSaved = !control->savedPassword.empty();
    return 0;
}

DWORD WINAPI Fake_RasSetEntryDialParamsA(LPCSTR book, RASDIALPARAMS* params, BOOL removePassword)
{
    return Call("SetParams " + Fields(params) + " " + Hex(removePassword), book != nullptr, params, sizeof *params);
}

// Progress goes as window messages to a window of the caller; the handle starts null.
DWORD WINAPI Fake_RasDialA(void* extensions, LPCSTR book, RASDIALPARAMS* params, DWORD notifierKind, void* notifier,
                           HANDLE* connection)
{
    const bool wrongArgument = extensions != nullptr || book != nullptr || notifierKind != 0xFFFFFFFF
                               || !IsWindow(static_cast<HWND>(notifier)) || *connection != nullptr;
    const DWORD code = Call("Dial " + Fields(params), wrongArgument, params, sizeof *params);
    control->dialled = params;
    // The platform hands out a handle also for a dial that fails at once.
    *connection = reinterpret_cast<HANDLE>(0x5678);
    for (const auto& [state, error] : control->script)
        if (code == 0)
            PostMessageA(static_cast<HWND>(notifier), RegisterWindowMessageA("RASDIALEVENT"), state, error);
    return code;
}

DWORD WINAPI Fake_RasHangUpA(HANDLE connection) { return Call("HangUp " + Hex(connection), false); }

// Texts for the RAS range only, into the component's buffer of 256 bytes.
DWORD WINAPI Fake_RasGetErrorStringA(UINT code, LPSTR buffer, DWORD size)
{
    if (code < 600 || code > 999 || size != 256)
        return kInvalidParameter;
    std::snprintf(buffer, size, "Fake RAS error %u", code);
    return 0;
}

void __cdecl FakeRas_Attach(FakeRasControl* attached) { control = attached; }

} // extern "C"
