// Writing a whole buffer to a file: the piece the class library's file code and the
// program's own files share.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "handle.h"

namespace zt {

// Writes every byte; returns 0 or the system's error code.
DWORD WriteAll(HANDLE file, const char* data, std::size_t size) noexcept;

// A file, not a folder, is at the path.
bool FileExists(const std::string& path);

// Writes the bytes to a file beside `path` that replaces it only once every byte is
// on disk, so that a failed write leaves the old file as it was. Raises
// EFCreateError(shownName) when the file cannot be made or cannot replace the old
// one, EWriteError when a write fails.
void WriteReplacing(const std::wstring& path, const std::string& bytes, const std::string& shownName);

} // namespace zt
