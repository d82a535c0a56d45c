#include "readastr.h"

#include <windows.h>

#include "../classes/sysutils.h"

namespace rozoru {

namespace {

class ReadHandle {
public:
    explicit ReadHandle(HANDLE handle) : handle_(handle) {}
    ~ReadHandle()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    ReadHandle(const ReadHandle&) = delete;
    ReadHandle& operator=(const ReadHandle&) = delete;
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

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

    ReadHandle file(CreateFileA(fileName.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE)
        throw zt::EFOpenError(fileName);

    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 || size.QuadPart > 0x7FFFFFFF)
        throw zt::EReadError();
    DWORD wanted = static_cast<DWORD>(size.QuadPart);
    if (wanted == 0)
        return result;

    result.resize(wanted);
    DWORD got = 0;
    if (!ReadFile(file.Get(), result.data(), wanted, &got, nullptr) || got != wanted)
        throw zt::EReadError();
    return result;
}

} // namespace rozoru
