// Opening a document or web address with its default application.
#pragma once

#include <windows.h>

#include <string>

namespace rozoru {

// Each text of ShellOpenFile is copied into a buffer of this size, its zero
// included: at most 79 characters.
inline constexpr std::size_t kShellTextBuffer = 80;

// Asks the shell to open the file with its default action, with `owner` as the
// owner of any window the shell shows, and returns the shell's result: a value of
// 32 or below means failure. A text too long for its buffer is refused, not cut:
// the result is then 0 (last error ERROR_FILENAME_EXCED_RANGE) and the shell is
// not called.
HINSTANCE ShellOpenFile(HWND owner, const std::string& fileName, const std::string& params,
                        const std::string& defaultDir, int showCommand);

} // namespace rozoru
