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
} // namespace

TztWinsock::~TztWinsock() { Unload(); }

// A module handle is a pointer: it is compared as one, never cut to 32 bits (a
// 64-bit handle above 2 GiB would read as negative). 32 and below mean failure.
bool TztWinsock::IsLoaded() const noexcept
{
    return reinterpret_cast<std::uintptr_t>(module_.get()) > 32;
}

void TztWinsock::Load()
{
    UINT previous = SetErrorMode(SEM_NOOPENFILEERRORBOX);
    module_.reset(LoadLibraryA("wsock32.dll"));
    SetErrorMode(previous);
    if (!IsLoaded()) {
        module_.release();
        throw EWinsockDLLError(msgWinsockNotFound);
    }
}

void TztWinsock::Unload() noexcept { module_.reset(); }

FARPROC TztWinsock::GetProc(const char* name)
{
    if (!IsLoaded())
        throw EWinsockDLLError(msgWinsockNotLoaded);
    FARPROC address = GetProcAddress(module_.get(), name);
    if (address == nullptr)
        throw EWinsockDLLError(msgFunctionNotFound, name);
    return address;
}

unsigned long TztWinsock::inet_addr(const char* text)
{
    auto function = wsock32::Import_inet_addr(module_.get());
    if (function == nullptr)
        throw EWinsockDLLError(msgFunctionNotFound, "inet_addr");
    return function(text);
}

} // namespace zt
