#include "ztrasAPI.h"

namespace zt::ras {

UINT StatusResourceId(std::uint32_t state) noexcept
{
    switch (state & 0xFFFFu) {
    case RASCS_OpenPort:
        return 120;
    case RASCS_ConnectDevice:
    case RASCS_DeviceConnected:
    case RASCS_AllDevicesConnected:
        return 122;
    case RASCS_Authenticate:
    case RASCS_StartAuthentication:
        return 124;
    case RASCS_Authenticated:
        return 131;
    case RASCS_LogonNetwork:
        return 128;
    case RASCS_Connected:
        return 129;
    default:
        return 0;
    }
}

OwnedLibrary LoadRasLibrary() noexcept
{
    // A missing library is a normal condition: no "cannot find" box.
    UINT previous = SetErrorMode(0);
    SetErrorMode(previous | SEM_NOOPENFILEERRORBOX | SEM_FAILCRITICALERRORS);
    OwnedLibrary library(LoadLibraryA("rasapi32.dll"));
    SetErrorMode(previous);
    return library;
}

} // namespace zt::ras
