// The record pool: chunks of equal records, each record preceded by the address of its chunk so
// that a record given back finds its chunk at once. Chunks whose records have all come back are
// freed, so a burst of records does not keep its memory.
#include "runtime/record_pool.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <mutex>
#include <new>

namespace korvel {
namespace {

// Records start at this alignment, so they may hold pointers and 64-bit fields.
constexpr std::size_t record_alignment = alignof(void*);

struct pool_chunk;

// A record given back holds the next free record where the caller's data was.
struct free_record {
    free_record* next;
};

// Leads every record; the caller receives the address just after it.
struct record_owner {
    pool_chunk* chunk;
};

struct pool_chunk {
    pool_chunk* next;
    pool_chunk* previous;
    free_record* free_list;
    std::int32_t count;
    std::int32_t next_unused;
    std::int32_t free_count;
};

struct chunk_list {
    pool_chunk* head = nullptr;

    void push_front(pool_chunk* chunk) {
        chunk->previous = nullptr;
        chunk->next = head;
        if (head) head->previous = chunk;
        head = chunk;
    }

    void remove(pool_chunk* chunk) {
        (chunk->previous ? chunk->previous->next : head) = chunk->next;
        if (chunk->next) chunk->next->previous = chunk->previous;
    }

    void free_all() {
        while (pool_chunk* chunk = head) {
            head = chunk->next;
            std::free(chunk);
        }
    }
};

constexpr std::size_t round_up(std::size_t value, std::size_t unit) {
    return (value + unit - 1) / unit * unit;
}

constexpr std::size_t chunk_header = round_up(sizeof(pool_chunk), record_alignment);

} // namespace

struct record_pool {
    chunk_list full_chunks;
    chunk_list open_chunks;
    std::int32_t total;
    std::size_t stride;
    std::int32_t min_chunk;
    std::int32_t max_chunk;
    mutable std::mutex lock;
};

namespace {

unsigned char* record_at(const record_pool* pool, pool_chunk* chunk, std::int32_t index) {
    return reinterpret_cast<unsigned char*>(chunk) + chunk_header +
           std::size_t(index) * pool->stride;
}

void* hand_out(unsigned char* record) {
    return record + sizeof(record_owner);
}

// Chunks grow with the pool: a sixteenth of what it holds, in steps of 16, within the bounds.
std::int32_t next_chunk_count(const record_pool* pool) {
    std::int32_t count = (pool->total >> 4) & ~15;
    count = std::max(count, pool->min_chunk);
    count = std::min(count, pool->max_chunk);
    return std::max(count, 1);
}

pool_chunk* allocate_chunk(const record_pool* pool, std::int32_t count) {
    void* memory = std::malloc(chunk_header + std::size_t(count) * pool->stride);
    if (!memory) return nullptr;
    return new (memory) pool_chunk{nullptr, nullptr, nullptr, count, 0, 0};
}

bool is_exhausted(const pool_chunk* chunk) {
    return chunk->free_count == 0 && chunk->next_unused == chunk->count;
}

void* take_from(record_pool* pool, pool_chunk* chunk) {
    unsigned char* record;
    if (chunk->free_count > 0) {
        free_record* taken = chunk->free_list;
        chunk->free_list = taken->next;
        --chunk->free_count;
        record = reinterpret_cast<unsigned char*>(taken) - sizeof(record_owner);
    } else {
        record = record_at(pool, chunk, chunk->next_unused++);
        new (record) record_owner{chunk};
    }
    return hand_out(record);
}

void* take_from_new_chunk(record_pool* pool) {
    pool_chunk* chunk = allocate_chunk(pool, next_chunk_count(pool));
    if (!chunk) chunk = allocate_chunk(pool, 1);
    if (!chunk) return nullptr;
    pool->total += chunk->count;
    void* record = take_from(pool, chunk);
    (is_exhausted(chunk) ? pool->full_chunks : pool->open_chunks).push_front(chunk);
    return record;
}

} // namespace

record_pool* pool_create(std::int32_t record_size, std::int32_t min_chunk, std::int32_t max_chunk) {
    if (record_size < 0 || min_chunk < 1 || max_chunk < min_chunk) return nullptr;
    auto* pool = new (std::nothrow) record_pool{};
    if (!pool) return nullptr;
    const std::size_t payload = std::max(std::size_t(record_size), sizeof(free_record));
    pool->stride = round_up(sizeof(record_owner) + payload, record_alignment);
    pool->min_chunk = min_chunk;
    pool->max_chunk = max_chunk;
    return pool;
}

void* pool_alloc(record_pool* pool) {
    if (!pool) return nullptr;
    std::lock_guard guard(pool->lock);
    pool_chunk* chunk = pool->open_chunks.head;
    if (!chunk) return take_from_new_chunk(pool);
    void* record = take_from(pool, chunk);
    if (is_exhausted(chunk)) {
        pool->open_chunks.remove(chunk);
        pool->full_chunks.push_front(chunk);
    }
    return record;
}

void pool_free(record_pool* pool, void* record) {
    if (!pool || !record) return;
    auto* owner =
        reinterpret_cast<record_owner*>(static_cast<unsigned char*>(record) - sizeof(record_owner));
    std::lock_guard guard(pool->lock);
    pool_chunk* chunk = owner->chunk;
    const bool was_full = is_exhausted(chunk);
    chunk->free_list = new (record) free_record{chunk->free_list};
    ++chunk->free_count;
    if (chunk->free_count == chunk->next_unused) {
        (was_full ? pool->full_chunks : pool->open_chunks).remove(chunk);
        pool->total -= chunk->count;
        std::free(chunk);
    } else if (was_full) {
        pool->full_chunks.remove(chunk);
        pool->open_chunks.push_front(chunk);
    }
}

void pool_release(record_pool* pool) {
    if (!pool) return;
    std::lock_guard guard(pool->lock);
    pool->full_chunks.free_all();
    pool->open_chunks.free_all();
    pool->total = 0;
}

std::int32_t pool_total(const record_pool* pool) {
    if (!pool) return 0;
    std::lock_guard guard(pool->lock);
    return pool->total;
}

} // namespace korvel
