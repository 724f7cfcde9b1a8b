// Memory blocks: the one checked allocator of each deliverable.
//
// Every block is one malloc, kept on a circular doubly linked list through a
// static sentinel, stamped with a magic word in its header and a fence word in
// its last 32 bits.  Each deliverable carries its own list.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t MEM_MAGIC = 0x109A8060;       // header of a live block
constexpr uint32_t MEM_FREED_MAGIC = 0xDEADBEEF;  // written into a released header
constexpr uint32_t MEM_FENCE = 0x997701FA;        // last word of every block
constexpr uint32_t MEM_ROUND = 64;                // whole sizes are multiples of this
constexpr int MEM_WALK_LIMIT = 1000000;           // a longer list is damaged

// Header in front of every user area.  It holds two pointers, so its size is the
// host's; the user area behind it stays 16-byte aligned.
struct memblock_t {
    memblock_t *next;  // next block (the sentinel after the newest)
    memblock_t *prev;  // previous block (the sentinel before the oldest)
    uint32_t size;     // whole size: header, user bytes, fence, rounding
    uint32_t magic;    // MEM_MAGIC while live, MEM_FREED_MAGIC once released
    uint32_t tag;      // serial number of the allocation
};
static_assert(sizeof(memblock_t) % 16 == 0, "user area must stay 16-byte aligned");

// Header and fence together: what every block costs before rounding.
constexpr size_t MEM_OVERHEAD = sizeof(memblock_t) + sizeof(uint32_t);
// Largest request: its whole size must still fit the 32-bit size word.
constexpr uint32_t MEM_MAX_REQUEST = 0x7FFFFFFFu - MEM_OVERHEAD - MEM_ROUND;

// Whole size of a block for a request of n bytes.
constexpr uint32_t Com_MemBlockSize(uint32_t n) {
    return static_cast<uint32_t>((n + MEM_OVERHEAD + MEM_ROUND - 1) & ~size_t(MEM_ROUND - 1));
}

// Empties the list and the counters; an error if already initialised.
void Com_InitMem();
// n usable bytes; ER_FATAL when the runtime has none (null if the sink returns).
void *Com_malloc(uint32_t n);
// Checks magic and fence, unlinks and releases; null does nothing.  A block from
// before the last Com_InitMem is released without touching the current list.
void Com_free(void *p);
// Releases a buffer of Com_ReadFile.
void Com_FreeFile(void *p);
// Releases every live block, oldest first, each checked.
void Com_FlushMem();
// Marks the list uninitialised; blocks stay allocated.
void Com_ShutdownMem();
// Walks the list checking every magic and fence; prints "Com_CheckMem: mem ok".
void Com_CheckMem();
// Prints one line per live block, oldest first.
void Com_MemList();
// Prints the summary line: total KB, block count, highest and lowest header.
void Com_MemStats();
// Sum of the whole sizes of live blocks, in bytes (INT_MAX when larger).
int Com_GetMemUsed();
// Number of live blocks.
int Com_GetMemBlocks();
