#include "common/com_mem.h"

#include <cinttypes>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "common/com_print.h"

static memblock_t memBlockDummy;
static int64_t mem_used;  // wide: many large blocks may pass 2 GB together
static int mem_blocks;
static uint32_t mem_tag;  // never reset: tags stay unique across re-initialisation
static uint32_t mem_first_tag;  // tag of the first block of the current list
static bool mem_init;

// Blocks allocated before the last Com_InitMem are no longer on the list and no
// longer counted; their tags lie outside the current list's window.
static bool OnCurrentList(const memblock_t *b) {
    return b->tag - mem_first_tag < mem_tag - mem_first_tag;
}

static int Clamp(int64_t v) { return v > INT_MAX ? INT_MAX : static_cast<int>(v); }

static uint32_t ReadFence(const memblock_t *b) {
    uint32_t fence;
    memcpy(&fence, reinterpret_cast<const byte *>(b) + b->size - sizeof(uint32_t), sizeof fence);
    return fence;
}

// Whether b's magic and fence are intact; reports the first damage found as
// "<who>: Bad magic" or "<who>: Bad fence".
static bool BlockIsSound(const memblock_t *b, const char *who) {
    if (b->magic != MEM_MAGIC) {
        Com_Error(ER_FATAL, "%s: Bad magic", who);
        return false;
    }
    if (ReadFence(b) != MEM_FENCE) {
        Com_Error(ER_FATAL, "%s: Bad fence", who);
        return false;
    }
    return true;
}

void Com_InitMem() {
    if (mem_init) {
        Com_Error(ER_FATAL, "Com_InitMem: Memory already initialized");
        return;
    }
    memBlockDummy.next = &memBlockDummy;
    memBlockDummy.prev = &memBlockDummy;
    mem_used = 0;
    mem_blocks = 0;
    mem_first_tag = mem_tag;
    mem_init = true;
}

void *Com_malloc(uint32_t n) {
    if (!mem_init) Com_InitMem();
    memblock_t *b = nullptr;
    const uint32_t whole = n <= MEM_MAX_REQUEST ? Com_MemBlockSize(n) : 0;
    if (whole) b = static_cast<memblock_t *>(malloc(whole));
    if (!b) {
        Com_MemStats();
        Com_Error(ER_FATAL, "Mem_Alloc: malloc returned NULL (used: %d KB blocks: %d)", Clamp(mem_used / 1000),
                  mem_blocks);
        return nullptr;
    }
    b->size = whole;
    b->magic = MEM_MAGIC;
    b->tag = mem_tag++;
    mem_blocks++;
    memcpy(reinterpret_cast<byte *>(b) + whole - sizeof(uint32_t), &MEM_FENCE, sizeof MEM_FENCE);
    b->next = &memBlockDummy;
    b->prev = memBlockDummy.prev;
    memBlockDummy.prev->next = b;
    memBlockDummy.prev = b;
    mem_used += whole;
    return b + 1;
}

void Com_free(void *p) {
    if (!p) return;
    memblock_t *b = static_cast<memblock_t *>(p) - 1;
    if (!BlockIsSound(b, "Mem_Free")) return;
    b->magic = MEM_FREED_MAGIC;
    if (OnCurrentList(b)) {
        mem_used -= b->size;
        mem_blocks--;
        b->prev->next = b->next;
        b->next->prev = b->prev;
    } else {
        // An earlier list's block: its old neighbours are unlinked from it, but
        // the sentinel, which now heads another list, is left alone.
        if (b->prev->next == b) b->prev->next = b->next;
        if (b->next->prev == b) b->next->prev = b->prev;
    }
    free(b);
}

void Com_FreeFile(void *p) { Com_free(p); }

void Com_FlushMem() {
    if (!mem_init) return;
    while (memBlockDummy.next != &memBlockDummy) {
        memblock_t *b = memBlockDummy.next;
        const int before = mem_blocks;
        Com_free(b + 1);
        if (mem_blocks == before) return;  // the sink returned from a damaged block
    }
}

void Com_ShutdownMem() { mem_init = false; }

void Com_CheckMem() {
    if (!mem_init) Com_InitMem();
    int count = 0;
    for (const memblock_t *b = memBlockDummy.next; b != &memBlockDummy; b = b->next) {
        if (!BlockIsSound(b, "Com_CheckMem")) return;
        if (++count > MEM_WALK_LIMIT) {
            Com_Error(ER_FATAL, "Com_CheckMem: loop > 1000000");
            return;
        }
    }
    Com_Printf("Com_CheckMem: mem ok");
}

void Com_MemList() {
    if (!mem_init) return;
    for (const memblock_t *b = memBlockDummy.next; b != &memBlockDummy; b = b->next)
        Com_Printf("    \xA4" "08%p\xA4" "00 tag: \xA4" "08%d\xA4" "00 size: \xA4" "08%d\xA4" "00 bytes",
                   static_cast<const void *>(b + 1), static_cast<int>(b->tag), static_cast<int>(b->size));
}

void Com_MemStats() {
    uintptr_t lo = ~uintptr_t(0), hi = 0;
    int64_t total = 0;
    int count = 0;
    if (mem_init) {
        for (const memblock_t *b = memBlockDummy.next; b != &memBlockDummy; b = b->next) {
            if (++count > MEM_WALK_LIMIT) {
                Com_Error(ER_FATAL, "Com_MemStats: loop > 1000000");
                return;
            }
            total += b->size;
            const uintptr_t a = reinterpret_cast<uintptr_t>(b);
            if (a < lo) lo = a;
            if (a > hi) hi = a;
        }
    }
    // The addresses follow their "0x" as bare hexadecimal digits; "%p" would add a
    // second prefix here, and print no digits at all for the empty list's 0.
    Com_Printf("Used: \xA4" "08%d\xA4" "00 KB in \xA4" "08%d\xA4" "00 blocks with Hi/Lo \xA4" "080x%" PRIxPTR
               "\xA4" "00/\xA4" "080x%" PRIxPTR,
               Clamp(total / 1000), count, hi, lo);
}

int Com_GetMemUsed() { return Clamp(mem_used); }
int Com_GetMemBlocks() { return mem_blocks; }
