// The directory part of a path.
#pragma once

#include <string>

namespace rozoru {

// The path up to and including its last backslash; the whole path when it holds
// no backslash.
std::string DirectoryPart(const std::string& path);

} // namespace rozoru
