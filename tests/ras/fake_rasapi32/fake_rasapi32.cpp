// A scripted stand-in for the platform's rasapi32.dll: a phone-book, active
// connections, failing calls and a dial script set by the test through the
// FakeRas_ exports, and a log of every call with the arguments it received.
//
// The records are read at the byte offsets of the platform's 32-bit ANSI layouts,
// written out here on their own, so that a wrong declaration on the caller's side
// shows up as a wrong size or a wrong field.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "fakeras.h"

namespace {

// Record sizes and field offsets.
const DWORD kEntryNameSize = 264;    // size, name[257]
const DWORD kConnSize = 412;         // size, handle, name[257], type[17], device[129]
const DWORD kConnHandleAt = 4, kConnNameAt = 8;
const DWORD kDialParamsSize = 1052;  // size, name, phone, callback, user, password, domain
const DWORD kDpNameAt = 4, kDpPhoneAt = 261, kDpUserAt = 519, kDpPasswordAt = 776;
const DWORD kPppIpSize = 24;         // size, error, address[16]
const DWORD kPppIpAddressAt = 8;

const DWORD kBufferTooSmall = 603;
const DWORD kInvalidSize = 632;
const DWORD kCannotFindEntry = 623;
const DWORD kInvalidHandle = 6;
const DWORD kInvalidParameter = 87;

struct Connection {
    std::string entry;
    HANDLE handle;
    std::string ip;
};

struct State {
    std::vector<std::string> entries;
    std::vector<Connection> connections;
    bool passwordSaved = false;
    std::string savedPassword;
    std::map<std::string, DWORD> failing;
    HANDLE dialHandle = reinterpret_cast<HANDLE>(0x5678);
    std::vector<FakeRasStep> script;
    std::string log;
};

State state;

// The thread that plays a dial script.
HANDLE scriptThread = nullptr;
HANDLE stopEvent = nullptr;
volatile LONG postedCount = 0;

struct ScriptRun {
    HWND window;
    UINT message;
    std::vector<FakeRasStep> steps;
};

std::string Hex(const void* value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08lX",
                  static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(value)));
    return text;
}

std::string Hex(DWORD value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%lX", static_cast<unsigned long>(value));
    return text;
}

std::string Text(const char* field, std::size_t length)
{
    return std::string(field, strnlen(field, length));
}

std::string Name(const char* text)
{
    return text == nullptr ? "null" : "\"" + std::string(text) + "\"";
}

// True when every byte in [from, to) is zero.
bool Zeroed(const void* record, DWORD from, DWORD to)
{
    const auto* bytes = static_cast<const unsigned char*>(record);
    for (DWORD i = from; i < to; ++i)
        if (bytes[i] != 0)
            return false;
    return true;
}

void Log(const std::string& line)
{
    state.log += line;
    state.log += '\n';
}

DWORD Failing(const char* function)
{
    auto found = state.failing.find(function);
    return found == state.failing.end() ? 0 : found->second;
}

bool HasEntry(const std::string& name)
{
    for (const auto& entry : state.entries)
        if (lstrcmpiA(entry.c_str(), name.c_str()) == 0)
            return true;
    return false;
}

DWORD WINAPI PlayScript(void* parameter)
{
    auto* run = static_cast<ScriptRun*>(parameter);
    for (const FakeRasStep& step : run->steps) {
        if (WaitForSingleObject(stopEvent, step.delayMs) == WAIT_OBJECT_0)
            break;
        PostMessageA(run->window, run->message, step.state, step.error);
        InterlockedIncrement(&postedCount);
    }
    delete run;
    return 0;
}

void StopScript()
{
    if (scriptThread == nullptr)
        return;
    SetEvent(stopEvent);
    WaitForSingleObject(scriptThread, 10000);
    CloseHandle(scriptThread);
    scriptThread = nullptr;
    ResetEvent(stopEvent);
}

} // namespace

extern "C" {

DWORD WINAPI Fake_RasEnumEntriesA(LPCSTR reserved, LPCSTR phoneBook, void* entries, DWORD* size,
                                  DWORD* count)
{
    DWORD recordSize = entries != nullptr ? *static_cast<DWORD*>(entries) : 0;
    Log("RasEnumEntriesA reserved=" + Name(reserved) + " book=" + Name(phoneBook)
        + " size=" + std::to_string(*size) + " rec=" + std::to_string(recordSize));
    if (DWORD code = Failing("RasEnumEntriesA"))
        return code;
    if (recordSize != kEntryNameSize)
        return kInvalidSize;
    DWORD needed = static_cast<DWORD>(state.entries.size()) * kEntryNameSize;
    if (*size < needed) {
        *size = needed;
        *count = 0;
        return kBufferTooSmall;
    }
    auto* bytes = static_cast<char*>(entries);
    for (std::size_t i = 0; i < state.entries.size(); ++i) {
        char* record = bytes + i * kEntryNameSize;
        *reinterpret_cast<DWORD*>(record) = kEntryNameSize;
        std::memset(record + 4, 0, 257);
        std::memcpy(record + 4, state.entries[i].data(), state.entries[i].size());
    }
    *size = needed;
    *count = static_cast<DWORD>(state.entries.size());
    return 0;
}

DWORD WINAPI Fake_RasEnumConnectionsA(void* connections, DWORD* size, DWORD* count)
{
    DWORD recordSize = *static_cast<DWORD*>(connections);
    bool zeroed = Zeroed(connections, 4, *size);
    Log("RasEnumConnectionsA size=" + std::to_string(*size) + " rec=" + std::to_string(recordSize)
        + " zeroed=" + std::to_string(zeroed));
    if (DWORD code = Failing("RasEnumConnectionsA"))
        return code;
    if (recordSize != kConnSize)
        return kInvalidSize;
    DWORD needed = static_cast<DWORD>(state.connections.size()) * kConnSize;
    if (*size < needed) {
        *size = needed;
        *count = 0;
        return kBufferTooSmall;
    }
    auto* bytes = static_cast<char*>(connections);
    for (std::size_t i = 0; i < state.connections.size(); ++i) {
        char* record = bytes + i * kConnSize;
        std::memset(record, 0, kConnSize);
        *reinterpret_cast<DWORD*>(record) = kConnSize;
        *reinterpret_cast<HANDLE*>(record + kConnHandleAt) = state.connections[i].handle;
        std::memcpy(record + kConnNameAt, state.connections[i].entry.data(),
                    state.connections[i].entry.size());
        std::strcpy(record + 265, "modem");
        std::strcpy(record + 282, "Fake Modem");
    }
    *size = needed;
    *count = static_cast<DWORD>(state.connections.size());
    return 0;
}

DWORD WINAPI Fake_RasGetProjectionInfoA(HANDLE connection, DWORD projection, void* info,
                                        DWORD* size)
{
    DWORD recordSize = *static_cast<DWORD*>(info);
    Log("RasGetProjectionInfoA conn=" + Hex(connection) + " kind=" + Hex(projection)
        + " size=" + std::to_string(*size) + " rec=" + std::to_string(recordSize)
        + " zeroed=" + std::to_string(Zeroed(info, 4, kPppIpSize)));
    if (DWORD code = Failing("RasGetProjectionInfoA"))
        return code;
    if (recordSize != kPppIpSize || *size < kPppIpSize)
        return kInvalidSize;
    for (const auto& c : state.connections) {
        if (c.handle == connection) {
            auto* bytes = static_cast<char*>(info);
            std::memset(bytes + kPppIpAddressAt, 0, 16);
            std::memcpy(bytes + kPppIpAddressAt, c.ip.data(), std::min<std::size_t>(c.ip.size(), 15));
            return 0;
        }
    }
    return kInvalidHandle;
}

DWORD WINAPI Fake_RasGetEntryDialParamsA(LPCSTR phoneBook, void* params, BOOL* passwordSaved)
{
    auto* bytes = static_cast<char*>(params);
    DWORD recordSize = *static_cast<DWORD*>(params);
    std::string entry = Text(bytes + kDpNameAt, 257);
    Log("RasGetEntryDialParamsA book=" + Name(phoneBook) + " rec=" + std::to_string(recordSize)
        + " entry=" + entry + " zeroed=" + std::to_string(Zeroed(params, kDpPhoneAt, kDialParamsSize)));
    if (DWORD code = Failing("RasGetEntryDialParamsA"))
        return code;
    if (recordSize != kDialParamsSize)
        return kInvalidSize;
    if (!HasEntry(entry))
        return kCannotFindEntry;
    std::strcpy(bytes + kDpPhoneAt, "5550100");
    std::strcpy(bytes + kDpUserAt, "dialuser");
    std::memset(bytes + kDpPasswordAt, 0, 257);
    if (state.passwordSaved)
        std::memcpy(bytes + kDpPasswordAt, state.savedPassword.data(),
                    std::min<std::size_t>(state.savedPassword.size(), 256));
    *passwordSaved = state.passwordSaved ? TRUE : FALSE;
    return 0;
}

DWORD WINAPI Fake_RasSetEntryDialParamsA(LPCSTR phoneBook, void* params, BOOL removePassword)
{
    auto* bytes = static_cast<char*>(params);
    Log("RasSetEntryDialParamsA book=" + Name(phoneBook)
        + " rec=" + std::to_string(*static_cast<DWORD*>(params))
        + " entry=" + Text(bytes + kDpNameAt, 257) + " user=" + Text(bytes + kDpUserAt, 257)
        + " password=" + Text(bytes + kDpPasswordAt, 257)
        + " remove=" + Hex(static_cast<DWORD>(removePassword)));
    if (DWORD code = Failing("RasSetEntryDialParamsA"))
        return code;
    return 0;
}

DWORD WINAPI Fake_RasDialA(void* extensions, LPCSTR phoneBook, void* params, DWORD notifierKind,
                           void* notifier, HANDLE* connection)
{
    auto* bytes = static_cast<char*>(params);
    Log("RasDialA ext=" + std::string(extensions == nullptr ? "null" : "set")
        + " book=" + Name(phoneBook) + " rec=" + std::to_string(*static_cast<DWORD*>(params))
        + " entry=" + Text(bytes + kDpNameAt, 257) + " user=" + Text(bytes + kDpUserAt, 257)
        + " password=" + Text(bytes + kDpPasswordAt, 257) + " kind=" + Hex(notifierKind)
        + " notifier=" + Hex(notifier) + " conn=" + (*connection == nullptr ? "null" : Hex(*connection)));
    // The platform hands out a handle also for a dial that fails at once.
    *connection = state.dialHandle;
    if (DWORD code = Failing("RasDialA"))
        return code;

    StopScript();
    postedCount = 0;
    auto* run = new ScriptRun{static_cast<HWND>(notifier), RegisterWindowMessageA("RASDIALEVENT"),
                              {}};
    std::size_t i = 0;
    for (; i < state.script.size() && state.script[i].delayMs == 0; ++i) {
        PostMessageA(run->window, run->message, state.script[i].state, state.script[i].error);
        InterlockedIncrement(&postedCount);
    }
    run->steps.assign(state.script.begin() + static_cast<std::ptrdiff_t>(i), state.script.end());
    if (run->steps.empty()) {
        delete run;
        return 0;
    }
    scriptThread = CreateThread(nullptr, 0, PlayScript, run, 0, nullptr);
    if (scriptThread == nullptr)
        delete run;
    return 0;
}

DWORD WINAPI Fake_RasHangUpA(HANDLE connection)
{
    Log("RasHangUpA conn=" + Hex(connection));
    if (DWORD code = Failing("RasHangUpA"))
        return code;
    return connection == INVALID_HANDLE_VALUE ? kInvalidHandle : 0;
}

DWORD WINAPI Fake_RasGetErrorStringA(UINT code, LPSTR buffer, DWORD size)
{
    Log("RasGetErrorStringA code=" + std::to_string(code) + " size=" + std::to_string(size));
    if (DWORD failure = Failing("RasGetErrorStringA"))
        return failure;
    // The fake knows texts for the RAS range only.
    if (code < 600 || code > 999)
        return kInvalidParameter;
    std::snprintf(buffer, size, "Fake RAS error %u", code);
    return 0;
}

void __cdecl FakeRas_Reset(void)
{
    StopScript();
    postedCount = 0;
    state = State();
}

void __cdecl FakeRas_SetEntries(const char* const* names, int count)
{
    state.entries.assign(names, names + count);
}

void __cdecl FakeRas_AddConnection(const char* entry, HANDLE handle, const char* ip)
{
    state.connections.push_back({entry, handle, ip});
}

void __cdecl FakeRas_SetPasswordSaved(int saved, const char* password)
{
    state.passwordSaved = saved != 0;
    state.savedPassword = password != nullptr ? password : "";
}

void __cdecl FakeRas_FailCall(const char* function, DWORD code)
{
    if (code == 0)
        state.failing.erase(function);
    else
        state.failing[function] = code;
}

void __cdecl FakeRas_SetDialHandle(HANDLE handle)
{
    state.dialHandle = handle;
}

void __cdecl FakeRas_SetDialScript(const FakeRasStep* steps, int count)
{
    state.script.assign(steps, steps + count);
}

int __cdecl FakeRas_GetLog(char* buffer, int size)
{
    if (buffer != nullptr && size > 0) {
        std::size_t n = std::min<std::size_t>(state.log.size(), static_cast<std::size_t>(size - 1));
        std::memcpy(buffer, state.log.data(), n);
        buffer[n] = '\0';
    }
    return static_cast<int>(state.log.size());
}

int __cdecl FakeRas_PostedCount(void)
{
    return static_cast<int>(postedCount);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH)
        stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return TRUE;
}

} // extern "C"
