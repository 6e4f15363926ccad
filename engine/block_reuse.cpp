// Block reuse through glibc's allocator settings: a fixed mmap threshold (which also stops glibc
// from moving it with every freed block), a trim threshold above any render's working set, and one
// heap for all threads. Layers are decoded on one thread and freed on another; in a single heap
// the blocks they leave lie side by side and merge, so that an encoder's tables find room there
// instead of growing a heap of their own.
#include "engine/block_reuse.h"

#include <malloc.h>

namespace korvel {
namespace {

// glibc refuses thresholds above half its heap size, 32 MiB on 64-bit systems.
constexpr int MMAP_THRESHOLD = 32 << 20;
// Free memory kept at the top of a heap: the engine's work-ahead budget and a few frames.
constexpr int TRIM_THRESHOLD = 1 << 30;

} // namespace

void block_reuse_start() {
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_THRESHOLD, MMAP_THRESHOLD);
    mallopt(M_TRIM_THRESHOLD, TRIM_THRESHOLD);
}

void block_reuse_hand_back() {
    malloc_trim(0);
}

} // namespace korvel
