// Counts every operator new and delete, all their forms, of a test program that compiles
// allocation_hooks.cpp into itself: a test can tell whether a step allocates, whether a
// cycle leaves a block behind, or which allocation made an object.
#pragma once

#include <atomic>

extern std::atomic<long> allocationCount;  // blocks handed out so far
extern std::atomic<long> liveBlocks;       // blocks handed out and not deleted yet
// When set, sees each block as it is handed out.
extern void (*onAllocation)(const void* block);
