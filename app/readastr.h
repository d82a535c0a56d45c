// Reading a whole file into a string of raw bytes.
#pragma once

#include <string>

namespace rozoru {

// The whole content of the file, zero bytes and line ends included; empty when no
// file of that name exists (a directory does not count). The file is opened
// without sharing, so a file that another program holds open cannot be read:
// EFOpenError "Cannot open file %s". A read that does not yield every byte raises
// EReadError "Stream read error".
std::string ReadAsString(const std::string& fileName);

} // namespace rozoru
