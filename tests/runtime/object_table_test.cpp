// Numbered object tables: values that name no object find nothing and create nothing, so a stale
// or made-up identifier is never dereferenced; tables grow by whole blocks, iterate in number
// order and then by age, and free everything through the kind's free operation. Record pools free
// a chunk once all its records are back, and everything at once when released.
#include "runtime/object_table.h"
#include "runtime/record_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace korvel {

// Records of two 32-bit fields, non-zero while in use and a value; tables are kept until the
// process ends. The number made, or the identifier for NUMBER_ANY.
constexpr std::int32_t RECORD_SIZE = 2 * sizeof(std::int32_t);
obj_number create(obj_table* table, obj_number n, std::int32_t value = 0) {
    auto* record = static_cast<std::int32_t*>(obj_new(table, n));
    record[0] = 1;
    record[1] = value;
    return n == NUMBER_ANY ? reinterpret_cast<obj_number>(record) : n;
}

TEST(ObjectTable, ValuesThatNameNoObjectFindNothingAndCreateNothing) {
    constexpr std::int32_t first_block = 16; // numbers 0 to 15 exist from the start
    static obj_table* const table = table_create(RECORD_SIZE, first_block, nullptr);
    const auto value_of = [](obj_number n) {
        const auto* record = static_cast<const std::int32_t*>(obj_lookup(table, n));
        return record ? record[1] : -1;
    };
    const obj_number numbered = create(table, 0, 2), separate = create(table, NUMBER_ANY, 3);
    const obj_number gone = create(table, NUMBER_ANY, 4);
    obj_clear(table, gone);
    int on_stack = 1;
    const auto address = [](const void* p) { return reinterpret_cast<obj_number>(p); };
    for (obj_number garbage :
         {obj_number(-2), NUMBER_ANY, obj_number(first_block), obj_number(1) << 40,
          address(&on_stack), address(obj_lookup(table, numbered)), gone, separate + 8}) {
        EXPECT_EQ(value_of(garbage), -1) << garbage;
        obj_clear(table, garbage);
    }
    EXPECT_EQ(value_of(numbered), 2);
    EXPECT_EQ(value_of(separate), 3);
    for (obj_number refused : {obj_number(-2), separate, obj_number(INT32_MAX)})
        EXPECT_EQ(obj_new(table, refused), nullptr);
    EXPECT_EQ(table_capacity(table), first_block);
}

TEST(ObjectTable, GrowsByBlocksIteratesByNumberThenAgeAndFreesAll) {
    static obj_table* const table = table_create(RECORD_SIZE, 16, [](obj_number n) {
        if (obj_lookup(table, n)) obj_clear(table, n);
    });
    const std::vector<obj_number> made{create(table, NUMBER_ANY), create(table, 100),
                                       create(table, NUMBER_ANY), create(table, 3)};
    EXPECT_EQ(table_capacity(table), 112);
    for (obj_number n = 0; n < 100; ++n)
        EXPECT_EQ(obj_lookup(table, n) != nullptr, n == 3) << n;
    // The walk, again once everything is freed.
    for (const auto& want :
         {std::vector{made[3], made[1], made[0], made[2]}, std::vector<obj_number>{}}) {
        std::vector<obj_number> visited;
        obj_number n;
        for (table_iterate_begin(table); table_iterate_next(table, &n);)
            visited.push_back(n);
        EXPECT_EQ(visited, want);
        table_free_all(table);
    }
}

TEST(RecordPool, FreesAChunkWhoseRecordsAreAllBackAndEverythingWhenReleased) {
    static record_pool* const pool = pool_create(8, 16, 256);
    std::vector<void*> records(20);
    std::generate(records.begin(), records.end(), [] { return pool_alloc(pool); });
    EXPECT_EQ(pool_total(pool), 32); // two chunks of the least size
    for (int i = 0; i < 16; ++i)
        pool_free(pool, records[i]);
    EXPECT_EQ(pool_total(pool), 16);
    pool_release(pool);
    EXPECT_EQ(pool_total(pool), 0);
    EXPECT_NE(pool_alloc(pool), nullptr) << "usable again";
}

} // namespace korvel
