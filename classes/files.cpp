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

bool FileExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void WriteReplacing(const std::wstring& path, const std::string& bytes, const std::string& shownName)
{
    const std::wstring temporary = path + L".tmp";
    OwnedFile file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw EFCreateError(shownName);
    bool written = WriteAll(file.get(), bytes.data(), bytes.size()) == 0 && FlushFileBuffers(file.get());
    bool closed = file.Close();
    if (!written || !closed) {
        DeleteFileW(temporary.c_str());
        throw EWriteError();
    }
    if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        throw EFCreateError(shownName);
    }
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
