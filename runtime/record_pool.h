// The record pool: hands out small records of one size in chunks, so that frequent short-lived
// records (queued events) stay off the general heap and whole chunks are recycled.
#pragma once

#include <cstdint>

namespace korvel {

struct record_pool;

// A pool of records of record_size bytes, aligned for pointers and 64-bit fields. New chunks hold
// a sixteenth of the pool's total (in steps of 16), kept between min_chunk and max_chunk records.
// Null when min_chunk is below 1 or above max_chunk, or when memory runs out.
record_pool* pool_create(std::int32_t record_size, std::int32_t min_chunk, std::int32_t max_chunk);

// A record (not zero-filled), or null when not even a one-record chunk can be had.
void* pool_alloc(record_pool* pool);

// Gives a record back; a chunk whose records have all come back is freed.
void pool_free(record_pool* pool, void* record);

// Frees every chunk and resets the pool (records still out become invalid).
void pool_release(record_pool* pool);

// Records held in all chunks together (handed out or not).
std::int32_t pool_total(const record_pool* pool);

} // namespace korvel
