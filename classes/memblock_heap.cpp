// Memory blocks of the native build: the C heap, growing by half again.
#include <cstdlib>
#include <new>

#include "streams.h"

namespace zt {

void GrowBlock(MemoryBlock& block, std::size_t, std::size_t needed)
{
    std::size_t capacity = block.capacity + block.capacity / 2;
    if (capacity < needed)
        capacity = needed;
    capacity = (capacity + 0x1FFF) & ~static_cast<std::size_t>(0x1FFF);
    void* grown = std::realloc(block.data, capacity);
    if (grown == nullptr)
        throw std::bad_alloc();
    block.data = static_cast<char*>(grown);
    block.capacity = capacity;
}

void FreeBlock(MemoryBlock& block) noexcept
{
    std::free(block.data);
    block = MemoryBlock();
}

} // namespace zt
