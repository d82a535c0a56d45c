#include "readastr.h"

#include <windows.h>

#include "../classes/sysutils.h"
#include "../classes/winfile.h"

namespace rozoru {

namespace {

bool FileExists(const std::string& fileName)
{
    DWORD attributes = GetFileAttributesA(fileName.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace

std::string ReadAsString(const std::string& fileName)
{
    std::string result;
    if (!FileExists(fileName))
        return result;

    zt::OwnedFile file(CreateFileA(fileName.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw zt::EFOpenError(fileName);

    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 || size.QuadPart > 0x7FFFFFFF)
        throw zt::EReadError();
    DWORD wanted = static_cast<DWORD>(size.QuadPart);
    if (wanted == 0)
        return result;

    result.resize(wanted);
    DWORD got = 0;
    if (!ReadFile(file.get(), result.data(), wanted, &got, nullptr) || got != wanted)
        throw zt::EReadError();
    return result;
}

} // namespace rozoru
