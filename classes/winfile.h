// Writing a whole buffer to a file: the piece the class library's file code and the
// program's own files share.
#pragma once

#include <windows.h>

#include <cstddef>

#include "handle.h"

namespace zt {

// Writes every byte; returns 0 or the system's error code.
DWORD WriteAll(HANDLE file, const char* data, std::size_t size) noexcept;

} // namespace zt
