// The message table of the native build: the same entries as the resource.
#include <utility>

#include "ztsockerr.h"

namespace zt {

namespace {
#define ZT_MSG(id, text) {id, text},
const std::pair<std::uint16_t, const char*> kMessages[] = {
#include "ztmsgs.def"
};
#undef ZT_MSG
} // namespace

std::string LoadMessage(std::uint16_t id)
{
    for (const auto& [messageId, text] : kMessages)
        if (messageId == id)
            return text;
    return std::string();
}

} // namespace zt
