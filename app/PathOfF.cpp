#include "PathOfF.h"

namespace rozoru {

std::string DirectoryPart(const std::string& path)
{
    std::string::size_type at = path.rfind('\\');
    if (at == std::string::npos)
        return path;
    return path.substr(0, at + 1);
}

} // namespace rozoru
