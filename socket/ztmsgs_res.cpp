// The message table of the Windows build: the program's string-table resource.
#include <windows.h>

#include "ztsockerr.h"

namespace zt {

std::string LoadMessage(std::uint16_t id)
{
    char buffer[1024];
    int length = LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

} // namespace zt
