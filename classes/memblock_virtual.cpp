// Memory blocks of the Windows build. A block reserves address space ahead and
// commits it as the stream grows, so a growing answer is neither copied nor moved
// until the reservation is used up; then a reservation four times as large takes
// over. Moving large heap blocks instead costs more than receiving the data.
#include <windows.h>

#include <cstring>
#include <algorithm>
#include <new>

#include "streams.h"

namespace zt {

namespace {
const std::size_t kCommitStep = 1u << 20;     // commit a MiB at a time
const std::size_t kFirstReservation = 16u << 20; // address space only

std::size_t RoundUp(std::size_t value, std::size_t step)
{
    std::size_t rounded = (value + step - 1) & ~(step - 1);
    if (rounded < value)
        throw std::bad_alloc();
    return rounded;
}
} // namespace

void GrowBlock(MemoryBlock& block, std::size_t keep, std::size_t needed)
{
    if (needed > block.reserved) {
        std::size_t reserve = block.reserved == 0 ? kFirstReservation : block.reserved;
        while (reserve < needed) {
            if (reserve > (~static_cast<std::size_t>(0)) / 4)
                throw std::bad_alloc();
            reserve *= 4;
        }
        auto* moved = static_cast<char*>(VirtualAlloc(nullptr, reserve, MEM_RESERVE, PAGE_NOACCESS));
        if (moved == nullptr)
            throw std::bad_alloc();
        std::size_t commit = std::min(RoundUp(needed, kCommitStep), reserve);
        if (VirtualAlloc(moved, commit, MEM_COMMIT, PAGE_READWRITE) == nullptr) {
            VirtualFree(moved, 0, MEM_RELEASE);
            throw std::bad_alloc();
        }
        if (keep > 0)
            std::memcpy(moved, block.data, keep);
        if (block.data != nullptr)
            VirtualFree(block.data, 0, MEM_RELEASE);
        block.data = moved;
        block.reserved = reserve;
        block.capacity = commit;
        return;
    }
    std::size_t commit = std::min(RoundUp(needed, kCommitStep), block.reserved);
    if (VirtualAlloc(block.data + block.capacity, commit - block.capacity, MEM_COMMIT,
                     PAGE_READWRITE) == nullptr)
        throw std::bad_alloc();
    block.capacity = commit;
}

void FreeBlock(MemoryBlock& block) noexcept
{
    if (block.data != nullptr)
        VirtualFree(block.data, 0, MEM_RELEASE);
    block = MemoryBlock();
}

} // namespace zt
