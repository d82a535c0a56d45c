// A growable in-memory byte stream and a list of strings. Saving to a file is the
// Windows build's part (files.cpp); everything else here is plain C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zt {

// The memory behind a MemoryStream. How it grows is the platform's part
// (memblock_*.cpp): plain realloc in the native build, reserved address space that is
// committed as the stream grows on Windows, where moving large heap blocks is slow.
struct MemoryBlock {
    char* data = nullptr;
    std::size_t capacity = 0; // usable bytes
    std::size_t reserved = 0; // address space held, where the platform reserves
};

// Makes at least `needed` bytes usable, keeping the first `keep` bytes; the block may
// move. Raises std::bad_alloc.
void GrowBlock(MemoryBlock& block, std::size_t keep, std::size_t needed);
void FreeBlock(MemoryBlock& block) noexcept;

class MemoryStream {
public:
    MemoryStream() = default;
    ~MemoryStream();
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    std::size_t Size() const noexcept { return size_; }
    std::size_t Position() const noexcept { return position_; }
    void SetPosition(std::size_t position) noexcept { position_ = position; }
    const char* Memory() const noexcept { return block_.data; }

    // Writes at the current position, growing the stream as needed; returns count.
    std::size_t Write(const void* buffer, std::size_t count);
    // Reads from the current position; returns the number of bytes read.
    std::size_t Read(void* buffer, std::size_t count);
    // Sets the size; the position is kept within it.
    void SetSize(std::size_t size);
    // Releases the memory: size 0, position 0.
    void Clear() noexcept;

    std::string ToString() const { return std::string(block_.data ? block_.data : "", size_); }

    // Creates or truncates the file and writes the whole content. Raises
    // EFCreateError when the file cannot be created, EWriteError when not every
    // byte is written.
    void SaveToFile(const std::string& fileName) const;

private:
    void Reserve(std::size_t needed);

    MemoryBlock block_;
    std::size_t size_ = 0;
    std::size_t position_ = 0;
};

class StringList {
public:
    void Add(std::string line) { lines_.push_back(std::move(line)); }
    void Clear() noexcept { lines_.clear(); }
    int Count() const noexcept { return static_cast<int>(lines_.size()); }
    const std::string& operator[](int index) const { return lines_.at(index); }
    int IndexOf(const std::string& line) const;

    // Every line followed by CR LF.
    std::string Text() const;

    // Creates or truncates the file and writes Text; a failure raises EInOutError
    // with the operating system's code.
    void SaveToFile(const std::string& fileName) const;

private:
    std::vector<std::string> lines_;
};

} // namespace zt
