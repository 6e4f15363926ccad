// Numbered object tables: blocks of fixed-size slots reached by number without a lock, and
// separately allocated objects reached by identifier under the table's lock.
#include "runtime/object_table.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>

namespace korvel {
namespace {

// Slot data starts at this alignment, and slots are spaced by a multiple of it, so every kind may
// keep pointers and 64-bit fields in its record.
constexpr std::size_t slot_alignment = alignof(std::max_align_t);

constexpr std::size_t round_up(std::size_t value, std::size_t unit) {
    return (value + unit - 1) / unit * unit;
}

// Blocks are appended and never freed; lookups walk the newer links from the first block, so the
// link is atomic and is stored before capacity announces the block.
struct table_block {
    std::atomic<table_block*> newer{nullptr};
};

// A separate object: its identifier is the address of its data, just after this header.
struct any_node {
    any_node* newer;
    any_node* older;
};

constexpr std::size_t block_header = round_up(sizeof(table_block), slot_alignment);
constexpr std::size_t node_header = round_up(sizeof(any_node), slot_alignment);

unsigned char* block_data(table_block* block) {
    return reinterpret_cast<unsigned char*>(block) + block_header;
}

unsigned char* node_data(any_node* node) {
    return reinterpret_cast<unsigned char*>(node) + node_header;
}

bool in_use(const void* object) {
    std::uint32_t first;
    std::memcpy(&first, object, sizeof first);
    return first != 0;
}

} // namespace

struct obj_table {
    std::int32_t object_size;
    std::size_t stride;
    std::int32_t block_slots;
    std::int32_t block_shift;
    // Stored with release once the new block is linked; lookups load it with acquire.
    std::atomic<std::int32_t> capacity;
    free_operation free_op;
    table_block* first_block;
    table_block* last_block;
    any_node* newest_any;
    any_node* oldest_any;
    // Iteration state; valid only while the iterating thread holds the lock.
    std::int32_t iter_index;
    table_block* iter_block;
    any_node* iter_cursor;
    std::recursive_mutex lock;
};

namespace {

table_block* allocate_block(const obj_table* table) {
    const std::size_t bytes = block_header + table->stride * std::size_t(table->block_slots);
    void* memory = std::calloc(1, bytes);
    return memory ? new (memory) table_block : nullptr;
}

// Only numbers below the published capacity reach here, so every link walked is already set.
unsigned char* slot_address(obj_table* table, obj_number n) {
    table_block* block = table->first_block;
    for (obj_number k = n >> table->block_shift; k > 0; --k)
        block = block->newer.load(std::memory_order_acquire);
    return block_data(block) + std::size_t(n & (table->block_slots - 1)) * table->stride;
}

bool is_numbered(obj_table* table, obj_number n) {
    return n >= 0 && n < table->capacity.load(std::memory_order_acquire);
}

// The separate object whose identifier is n, searched under the lock so that a value which is not
// a live identifier is never dereferenced.
any_node* find_any(obj_table* table, obj_number n) {
    for (any_node* node = table->newest_any; node; node = node->older)
        if (reinterpret_cast<obj_number>(node_data(node)) == n) return node;
    return nullptr;
}

void* new_any(obj_table* table) {
    const std::size_t bytes = node_header + std::size_t(table->object_size);
    void* memory = std::calloc(1, bytes);
    if (!memory) return nullptr;
    auto* node = new (memory) any_node{nullptr, table->newest_any};
    if (table->newest_any)
        table->newest_any->newer = node;
    else
        table->oldest_any = node;
    table->newest_any = node;
    return node_data(node);
}

void unlink_any(obj_table* table, any_node* node) {
    if (table->iter_cursor == node) table->iter_cursor = node->newer;
    (node->newer ? node->newer->older : table->newest_any) = node->older;
    (node->older ? node->older->newer : table->oldest_any) = node->newer;
    std::free(node);
}

// Grows the table until number n exists. False when memory runs out; the blocks added so far stay.
bool grow_to(obj_table* table, obj_number n) {
    while (n >= table->capacity.load(std::memory_order_relaxed)) {
        table_block* block = allocate_block(table);
        if (!block) return false;
        table->last_block->newer.store(block, std::memory_order_release);
        table->last_block = block;
        table->capacity.fetch_add(table->block_slots, std::memory_order_release);
    }
    return true;
}

void* next_numbered(obj_table* table, obj_number* number) {
    while (table->iter_index < table->capacity.load(std::memory_order_acquire)) {
        const std::int32_t index = table->iter_index++;
        const std::int32_t within = index & (table->block_slots - 1);
        if (index > 0 && within == 0)
            table->iter_block = table->iter_block->newer.load(std::memory_order_acquire);
        unsigned char* slot = block_data(table->iter_block) + std::size_t(within) * table->stride;
        if (!in_use(slot)) continue;
        if (number) *number = index;
        return slot;
    }
    return nullptr;
}

void* next_any(obj_table* table, obj_number* number) {
    while (any_node* node = table->iter_cursor) {
        table->iter_cursor = node->newer;
        unsigned char* data = node_data(node);
        if (!in_use(data)) continue;
        if (number) *number = reinterpret_cast<obj_number>(data);
        return data;
    }
    return nullptr;
}

} // namespace

obj_table* table_create(std::int32_t object_size, std::int32_t initial, free_operation free_op) {
    if (object_size < std::int32_t(sizeof(std::uint32_t))) return nullptr;
    std::int32_t shift = 0;
    while (shift < 30 && (std::int32_t(1) << shift) < initial)
        ++shift;
    auto* table = new (std::nothrow) obj_table{};
    if (!table) return nullptr;
    table->object_size = object_size;
    table->stride = round_up(std::size_t(object_size), slot_alignment);
    table->block_slots = std::int32_t(1) << shift;
    table->block_shift = shift;
    table->free_op = free_op;
    table->first_block = table->last_block = allocate_block(table);
    if (!table->first_block) {
        delete table;
        return nullptr;
    }
    table->capacity.store(table->block_slots, std::memory_order_release);
    return table;
}

void* obj_new(obj_table* table, obj_number n) {
    if (!table) return nullptr;
    // Capacity is a 32-bit count, so a number must leave room for the block that holds it.
    if (n < NUMBER_ANY || n > std::numeric_limits<std::int32_t>::max() - table->block_slots)
        return nullptr;
    std::lock_guard guard(table->lock);
    if (n == NUMBER_ANY) return new_any(table);
    if (!grow_to(table, n)) return nullptr;
    if (table->free_op) table->free_op(n);
    return slot_address(table, n);
}

void* obj_lookup(obj_table* table, obj_number n) {
    if (!table || n < 0) return nullptr;
    if (is_numbered(table, n)) {
        unsigned char* slot = slot_address(table, n);
        return in_use(slot) ? slot : nullptr;
    }
    std::lock_guard guard(table->lock);
    any_node* node = find_any(table, n);
    return node && in_use(node_data(node)) ? node_data(node) : nullptr;
}

void obj_clear(obj_table* table, obj_number n) {
    if (!table || n < 0) return;
    if (is_numbered(table, n)) {
        std::memset(slot_address(table, n), 0, std::size_t(table->object_size));
        return;
    }
    std::lock_guard guard(table->lock);
    if (any_node* node = find_any(table, n)) unlink_any(table, node);
}

void table_iterate_begin(obj_table* table) {
    if (!table) return;
    table->lock.lock();
    table->iter_index = 0;
    table->iter_block = table->first_block;
    table->iter_cursor = table->oldest_any;
}

void* table_iterate_next(obj_table* table, obj_number* number) {
    if (!table) return nullptr;
    if (void* slot = next_numbered(table, number)) return slot;
    if (void* data = next_any(table, number)) return data;
    table->lock.unlock();
    return nullptr;
}

void table_free_all(obj_table* table) {
    if (!table || !table->free_op) return;
    table_iterate_begin(table);
    obj_number number;
    while (table_iterate_next(table, &number))
        table->free_op(number);
}

std::int32_t table_capacity(const obj_table* table) {
    return table ? table->capacity.load(std::memory_order_acquire) : 0;
}

} // namespace korvel
