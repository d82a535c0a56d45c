// Text for a failure code, over whichever message table the build carries.
#include "ztsockerr.h"

namespace zt {

std::string TextForCode(std::uint16_t code)
{
    std::string text = LoadMessage(code);
    if (text.empty())
        text = "Error #" + std::to_string(code);
    return text;
}

} // namespace zt
