// Saving streams and lists to files, with the platform's own error codes.
#include <windows.h>

#include "streams.h"
#include "sysutils.h"
#include "winfile.h"

namespace zt {

namespace {

HANDLE CreateForWriting(const std::string& fileName)
{
    return CreateFileA(fileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

DWORD WriteAll(HANDLE file, const char* data, std::size_t size) noexcept
{
    while (size > 0) {
        DWORD chunk = size > 0x100000 ? 0x100000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr))
            return GetLastError();
        if (written == 0)
            return ERROR_WRITE_FAULT;
        data += written;
        size -= written;
    }
    return 0;
}

void MemoryStream::SaveToFile(const std::string& fileName) const
{
    OwnedFile file(CreateForWriting(fileName));
    if (!file)
        throw EFCreateError(fileName);
    if (WriteAll(file.get(), data_.data(), data_.size()) != 0)
        throw EWriteError();
    if (!file.Close())
        throw EWriteError();
}

void StringList::SaveToFile(const std::string& fileName) const
{
    OwnedFile file(CreateForWriting(fileName));
    if (!file)
        throw EInOutError(static_cast<int>(GetLastError()));
    std::string text = Text();
    if (DWORD error = WriteAll(file.get(), text.data(), text.size()))
        throw EInOutError(static_cast<int>(error));
    if (!FlushFileBuffers(file.get()) || !file.Close())
        throw EInOutError(static_cast<int>(GetLastError()));
}

} // namespace zt
