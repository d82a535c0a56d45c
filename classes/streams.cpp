#include "streams.h"

#include <cstring>
#include <new>

namespace zt {

MemoryStream::~MemoryStream() { FreeBlock(block_); }

void MemoryStream::Reserve(std::size_t needed)
{
    if (needed > block_.capacity)
        GrowBlock(block_, size_, needed);
}

std::size_t MemoryStream::Write(const void* buffer, std::size_t count)
{
    if (count == 0)
        return 0;
    std::size_t end = position_ + count;
    if (end < position_)
        throw std::bad_alloc();
    Reserve(end);
    if (position_ > size_)
        std::memset(block_.data + size_, 0, position_ - size_);
    std::memcpy(block_.data + position_, buffer, count);
    position_ = end;
    if (end > size_)
        size_ = end;
    return count;
}

std::size_t MemoryStream::Read(void* buffer, std::size_t count)
{
    if (position_ >= size_)
        return 0;
    std::size_t available = size_ - position_;
    if (count > available)
        count = available;
    std::memcpy(buffer, block_.data + position_, count);
    position_ += count;
    return count;
}

void MemoryStream::SetSize(std::size_t size)
{
    Reserve(size);
    if (size > size_)
        std::memset(block_.data + size_, 0, size - size_);
    size_ = size;
    if (position_ > size_)
        position_ = size_;
}

void MemoryStream::Clear() noexcept
{
    FreeBlock(block_);
    size_ = position_ = 0;
}

int StringList::IndexOf(const std::string& line) const
{
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i] == line)
            return static_cast<int>(i);
    return -1;
}

std::string StringList::Text() const
{
    std::string text;
    for (const std::string& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

} // namespace zt
