// Numbered object tables: growth, reuse of numbers, identifiers of separate objects, iteration,
// freeing everything, rejection of values that name no object, and lock-free lookups while
// another thread grows the table.
#include "runtime/object_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace korvel {
namespace {

struct test_record {
    std::uint32_t live; // non-zero while the object exists
    std::int32_t value;
};

// The free operation has no context, so it reaches the table under test through this.
obj_table* current_table = nullptr;
std::vector<obj_number> freed;

void free_test_record(obj_number n) {
    if (!obj_lookup(current_table, n)) return;
    freed.push_back(n);
    obj_clear(current_table, n);
}

// Tables live until the process ends, as the program's own do.
obj_table* make_table(std::int32_t initial, free_operation free_op = free_test_record) {
    static auto* const kept = new std::vector<obj_table*>; // never destroyed, so never leaked
    kept->push_back(table_create(sizeof(test_record), initial, free_op));
    current_table = kept->back();
    freed.clear();
    return current_table;
}

test_record* create(obj_table* table, obj_number n, std::int32_t value) {
    auto* record = static_cast<test_record*>(obj_new(table, n));
    if (record) *record = {1, value};
    return record;
}

obj_number identifier_of(const void* record) {
    return reinterpret_cast<obj_number>(record);
}

bool all_zero(const void* record) {
    const test_record zero{};
    return std::memcmp(record, &zero, sizeof zero) == 0;
}

TEST(ObjectTable, NumberBeyondCapacityGrowsByWholeBlocksAndLeavesLowerNumbersFree) {
    obj_table* table = make_table(16);
    EXPECT_EQ(table_capacity(table), 16);
    ASSERT_TRUE(create(table, 100, 7));
    EXPECT_EQ(table_capacity(table), 112);
    for (obj_number n = 0; n < 112; ++n)
        EXPECT_EQ(obj_lookup(table, n) != nullptr, n == 100) << n;
    EXPECT_EQ(static_cast<test_record*>(obj_lookup(table, 100))->value, 7);

    EXPECT_EQ(table_capacity(make_table(50)), 64);
}

TEST(ObjectTable, CreatingUnderAUsedNumberFreesTheOldObjectFirst) {
    obj_table* table = make_table(16);
    test_record* first = create(table, 3, 1);
    ASSERT_TRUE(first);
    auto* again = static_cast<test_record*>(obj_new(table, 3));
    EXPECT_EQ(again, first);
    EXPECT_EQ(freed, std::vector<obj_number>{3});
    EXPECT_TRUE(all_zero(again));
    EXPECT_EQ(obj_lookup(table, 3), nullptr);
}

TEST(ObjectTable, SeparateObjectIsFoundByItsIdentifierUntilCleared) {
    obj_table* table = make_table(16);
    test_record* record = create(table, NUMBER_ANY, 5);
    ASSERT_TRUE(record);
    const obj_number id = identifier_of(record);
    EXPECT_EQ(obj_lookup(table, id), record);
    EXPECT_EQ(obj_lookup(table, id), record);
    EXPECT_TRUE(freed.empty());
    obj_clear(table, id);
    EXPECT_EQ(obj_lookup(table, id), nullptr);
    EXPECT_EQ(obj_lookup(table, id), nullptr);
}

TEST(ObjectTable, ValuesThatNameNoObjectFindNothingAndCreateNothing) {
    obj_table* table = make_table(16);
    test_record* numbered = create(table, 0, 1);
    test_record* separate = create(table, NUMBER_ANY, 2);
    const obj_number gone = identifier_of(create(table, NUMBER_ANY, 3));
    obj_clear(table, gone);
    int on_stack = 1;
    for (obj_number garbage :
         {obj_number(-2), NUMBER_ANY, obj_number(16), obj_number(1) << 40, identifier_of(&on_stack),
          identifier_of(numbered), gone, identifier_of(separate) + 8}) {
        EXPECT_EQ(obj_lookup(table, garbage), nullptr) << garbage;
        EXPECT_EQ(obj_lookup(table, garbage), nullptr) << garbage;
        obj_clear(table, garbage);
    }
    EXPECT_EQ(obj_lookup(table, 0), numbered);
    EXPECT_EQ(obj_lookup(table, identifier_of(separate)), separate);

    EXPECT_EQ(obj_new(table, -2), nullptr);
    EXPECT_EQ(obj_new(table, identifier_of(separate)), nullptr);
    EXPECT_EQ(obj_new(table, INT32_MAX), nullptr);
    EXPECT_EQ(table_capacity(table), 16);
    EXPECT_EQ(table_create(0, 16, nullptr), nullptr);
}

TEST(ObjectTable, IterationVisitsNumbersInOrderThenSeparateObjectsOldestFirst) {
    obj_table* table = make_table(4);
    const obj_number older = identifier_of(create(table, NUMBER_ANY, 0));
    create(table, 9, 0);
    const obj_number newer = identifier_of(create(table, NUMBER_ANY, 0));
    create(table, 2, 0);
    obj_new(table, 5); // a slot handed out but never filled is not in use

    std::vector<obj_number> visited;
    table_iterate_begin(table);
    obj_number n;
    while (void* record = table_iterate_next(table, &n)) {
        visited.push_back(n);
        obj_clear(table, n); // freeing the current object must not derail the walk
        if (n != older && n != newer) {
            EXPECT_TRUE(all_zero(record));
        }
    }
    EXPECT_EQ(visited, (std::vector<obj_number>{2, 9, older, newer}));
    // The walk released the lock: another thread can create now.
    std::thread([table] { EXPECT_TRUE(obj_new(table, 1)); }).join();
}

TEST(ObjectTable, FreeAllFreesEveryObjectAndLeavesEverySlotZero) {
    obj_table* table = make_table(16);
    std::vector<test_record*> numbered;
    for (obj_number n : {0, 15, 16, 40})
        numbered.push_back(create(table, n, std::int32_t(n) + 1));
    const obj_number a = identifier_of(create(table, NUMBER_ANY, 1));
    const obj_number b = identifier_of(create(table, NUMBER_ANY, 2));

    table_free_all(table);
    EXPECT_EQ(freed, (std::vector<obj_number>{0, 15, 16, 40, a, b}));
    for (const test_record* record : numbered)
        EXPECT_TRUE(all_zero(record));
    EXPECT_EQ(obj_lookup(table, a), nullptr);
    EXPECT_EQ(obj_lookup(table, b), nullptr);
}

// Run under ThreadSanitizer: a reader walking into blocks that another thread has just linked
// must see them fully zero-filled, without taking the lock.
TEST(ObjectTable, LockFreeLookupsRaceCleanlyWithGrowth) {
    obj_table* table = make_table(16, nullptr);
    for (obj_number n = 0; n < 8; ++n) // the rest of every block stays free
        create(table, n, std::int32_t(n) * 3);
    const obj_number separate = identifier_of(create(table, NUMBER_ANY, 99));
    constexpr obj_number last_number = 16 * 400;

    std::atomic<bool> grown{false};
    std::thread grower([&] {
        for (obj_number n = 16; n <= last_number; n += 16) {
            obj_new(table, n);
            obj_clear(table, identifier_of(obj_new(table, NUMBER_ANY)));
        }
        grown = true;
    });
    std::int32_t seen = 0;
    bool consistent = true;
    while (!grown) {
        const std::int32_t capacity = table_capacity(table);
        consistent = consistent && capacity >= seen && obj_lookup(table, capacity - 1) == nullptr &&
                     static_cast<test_record*>(obj_lookup(table, 5))->value == 15 &&
                     obj_lookup(table, separate) != nullptr;
        seen = capacity;
    }
    grower.join();
    EXPECT_TRUE(consistent);
    EXPECT_EQ(table_capacity(table), last_number + 16);
}

} // namespace
} // namespace korvel
