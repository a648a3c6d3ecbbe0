#include "tests/support/allocation_hooks.h"

#include <cstdlib>
#include <new>

std::atomic<long> allocationCount{0};
std::atomic<long> liveBlocks{0};
void (*onAllocation)(const void* block) = nullptr;

namespace {

void* allocate(std::size_t size) noexcept
{
    void* block = std::malloc(size ? size : 1);
    if (block) {
        ++allocationCount;
        ++liveBlocks;
        if (onAllocation) onAllocation(block);
    }
    return block;
}

void* allocateOrThrow(std::size_t size)
{
    if (void* block = allocate(size)) return block;
    throw std::bad_alloc();
}

// Kept out of line, so that the compiler never pairs a free() with an operator new.
[[gnu::noinline]] void release(void* block) noexcept
{
    if (!block) return;
    --liveBlocks;
    std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return allocateOrThrow(size); }
void* operator new[](std::size_t size) { return allocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }
