#include "streams.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace zt {

MemoryStream::~MemoryStream() { std::free(data_); }

void MemoryStream::Reserve(std::size_t needed)
{
    if (needed <= capacity_)
        return;
    // Grow by half again, in 8 KiB steps: large answers arrive 8 KiB at a time and
    // a doubling buffer would hold up to twice the answer.
    std::size_t capacity = capacity_ + capacity_ / 2;
    if (capacity < needed)
        capacity = needed;
    capacity = (capacity + 0x1FFF) & ~static_cast<std::size_t>(0x1FFF);
    void* grown = std::realloc(data_, capacity);
    if (grown == nullptr)
        throw std::bad_alloc();
    data_ = static_cast<char*>(grown);
    capacity_ = capacity;
}

std::size_t MemoryStream::Write(const void* buffer, std::size_t count)
{
    if (count == 0)
        return 0;
    std::size_t end = position_ + count;
    Reserve(end);
    if (position_ > size_)
        std::memset(data_ + size_, 0, position_ - size_);
    std::memcpy(data_ + position_, buffer, count);
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
    std::memcpy(buffer, data_ + position_, count);
    position_ += count;
    return count;
}

void MemoryStream::SetSize(std::size_t size)
{
    Reserve(size);
    if (size > size_)
        std::memset(data_ + size_, 0, size - size_);
    size_ = size;
    if (position_ > size_)
        position_ = size_;
}

void MemoryStream::Clear() noexcept
{
    std::free(data_);
    data_ = nullptr;
    size_ = capacity_ = position_ = 0;
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
