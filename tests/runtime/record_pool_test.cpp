// The record pool: records are reused, kept apart between threads, and a chunk is freed as soon
// as all its records are back.
#include "runtime/record_pool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace korvel {
namespace {

// Pools live until the process ends, as the event queue's does.
record_pool* make_pool(std::int32_t record_size, std::int32_t min_chunk, std::int32_t max_chunk) {
    static auto* const kept = new std::vector<record_pool*>; // never destroyed, so never leaked
    kept->push_back(pool_create(record_size, min_chunk, max_chunk));
    return kept->back();
}

std::vector<void*> take(record_pool* pool, int count) {
    std::vector<void*> records;
    for (int i = 0; i < count; ++i)
        records.push_back(pool_alloc(pool));
    return records;
}

void give_back(record_pool* pool, const std::vector<void*>& records) {
    for (void* record : records)
        pool_free(pool, record);
}

TEST(RecordPool, ChunkIsFreedWhenAllItsRecordsReturn) {
    record_pool* pool = make_pool(24, 16, 256);
    const std::vector<void*> first_chunk = take(pool, 16);
    EXPECT_EQ(pool_total(pool), 16);
    const std::vector<void*> second_chunk = take(pool, 1);
    EXPECT_EQ(pool_total(pool), 32);

    give_back(pool, first_chunk);
    EXPECT_EQ(pool_total(pool), 16);
    give_back(pool, second_chunk);
    EXPECT_EQ(pool_total(pool), 0);
}

TEST(RecordPool, ReturnedRecordIsReusedBeforeTheChunkGrows) {
    record_pool* pool = make_pool(8, 16, 16);
    std::vector<void*> records = take(pool, 17); // one full chunk and one open chunk
    void* returned = records[3];
    pool_free(pool, returned);
    EXPECT_EQ(pool_alloc(pool), returned); // the full chunk reopened and comes first
    EXPECT_EQ(pool_total(pool), 32);
    give_back(pool, records);
    EXPECT_EQ(pool_total(pool), 0);
}

TEST(RecordPool, ReleaseEmptiesThePoolWhichStaysUsable) {
    record_pool* pool = make_pool(8, 16, 256);
    take(pool, 40);
    pool_release(pool);
    EXPECT_EQ(pool_total(pool), 0);
    void* record = pool_alloc(pool);
    EXPECT_TRUE(record);
    pool_free(pool, record);
    EXPECT_EQ(pool_total(pool), 0);
    EXPECT_EQ(pool_create(8, 0, 16), nullptr);
    EXPECT_EQ(pool_create(8, 32, 16), nullptr);
}

TEST(RecordPool, TwoThreadsAllocatingAndFreeingLeaveNothingBehind) {
    record_pool* pool = make_pool(16, 16, 64);
    auto churn = [pool](std::uint64_t tag) {
        std::vector<void*> held;
        for (int round = 0; round < 2000; ++round) {
            void* record = pool_alloc(pool);
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(record) % alignof(std::uint64_t), 0u);
            std::memcpy(record, &tag, sizeof tag);
            held.push_back(record);
            if (round % 3 == 2) {
                for (void* mine : held) {
                    std::uint64_t seen;
                    std::memcpy(&seen, mine, sizeof seen);
                    EXPECT_EQ(seen, tag);
                    pool_free(pool, mine);
                }
                held.clear();
            }
        }
        give_back(pool, held);
    };
    std::thread other(churn, 0xAAAAu);
    churn(0x5555u);
    other.join();
    EXPECT_EQ(pool_total(pool), 0);
}

} // namespace
} // namespace korvel
