#include "streams.h"

#include <cstring>
#include <new>

namespace zt {

std::size_t MemoryStream::Write(const void* buffer, std::size_t count)
{
    if (count == 0)
        return 0;
    std::size_t end = position_ + count;
    if (end < position_)
        throw std::bad_alloc();
    if (end > data_.size())
        data_.resize(end); // a gap behind the old end reads as zero bytes
    std::memcpy(data_.data() + position_, buffer, count);
    position_ = end;
    return count;
}

std::size_t MemoryStream::Read(void* buffer, std::size_t count)
{
    if (position_ >= data_.size())
        return 0;
    std::size_t available = data_.size() - position_;
    if (count > available)
        count = available;
    std::memcpy(buffer, data_.data() + position_, count);
    position_ += count;
    return count;
}

void MemoryStream::SetSize(std::size_t size)
{
    data_.resize(size);
    if (position_ > size)
        position_ = size;
}

void MemoryStream::Clear() noexcept
{
    std::vector<char>().swap(data_);
    position_ = 0;
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
