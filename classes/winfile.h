// A file handle that closes itself, and writing a whole buffer: the pieces the
// class library's file code and the program's own files share.
#pragma once

#include <windows.h>

#include <cstddef>

namespace zt {

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    HANDLE Get() const noexcept { return handle_; }
    bool Valid() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }
    // Closes now; false when the close failed.
    bool Close() noexcept
    {
        HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != FALSE;
    }

private:
    HANDLE handle_;
};

// Writes every byte; returns 0 or the system's error code.
DWORD WriteAll(HANDLE file, const char* data, std::size_t size) noexcept;

} // namespace zt
