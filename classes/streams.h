// A growable in-memory byte stream and a list of strings. Saving to a file is the
// Windows build's part (files.cpp); everything else here is plain C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zt {

class MemoryStream {
public:
    MemoryStream() = default;
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    std::size_t Size() const noexcept { return data_.size(); }
    std::size_t Position() const noexcept { return position_; }
    void SetPosition(std::size_t position) noexcept { position_ = position; }
    const char* Memory() const noexcept { return data_.data(); }

    // Writes at the current position, growing the stream as needed; returns count.
    std::size_t Write(const void* buffer, std::size_t count);
    // Reads from the current position; returns the number of bytes read.
    std::size_t Read(void* buffer, std::size_t count);
    // Sets the size; the position is kept within it.
    void SetSize(std::size_t size);
    // Releases the memory: size 0, position 0.
    void Clear() noexcept;

    std::string ToString() const { return std::string(data_.begin(), data_.end()); }

    // Creates or truncates the file and writes the whole content. Raises
    // EFCreateError when the file cannot be created, EWriteError when not every
    // byte is written.
    void SaveToFile(const std::string& fileName) const;

private:
    // The heap, doubling as it grows.
    std::vector<char> data_;
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
