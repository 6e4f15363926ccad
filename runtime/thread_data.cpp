// Per-thread records. Each thread owns one zero-filled block holding its copy of every registered
// record; the block is made on the thread's first use and released after the thread has ended.
#include "runtime/thread_data.h"

#include "runtime/threads.h"

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

namespace korvel {
namespace {

struct Registration {
    Registration* next;
    std::int32_t offset;
    record_function set_up;
    record_function release;
};

struct ThreadBlock {
    std::uint8_t* data;
    std::int32_t size;
};

// Registrations are only ever added, never changed or removed, so threads read the list without
// the lock; the total is published after the list, so a reader never misses a record below it.
constinit std::mutex registration_lock;
std::atomic<Registration*> newest_registration{nullptr};
std::atomic<std::int32_t> total_size{0};

thread_local ThreadBlock* current_block = nullptr;

// Calls set_up for each record that starts in [from, to), newest registration first.
void set_up_records(std::uint8_t* data, std::int32_t from, std::int32_t to) {
    for (Registration* r = newest_registration.load(std::memory_order_acquire); r; r = r->next) {
        if (r->set_up && r->offset >= from && r->offset < to) r->set_up(data + r->offset);
    }
}

void release_block(void* context) {
    auto* block = static_cast<ThreadBlock*>(context);
    for (Registration* r = newest_registration.load(std::memory_order_acquire); r; r = r->next) {
        if (r->release && r->offset < block->size) r->release(block->data + r->offset);
    }
    std::free(block->data);
    delete block;
}

ThreadBlock* new_block() {
    auto* block = new (std::nothrow) ThreadBlock{nullptr, 0};
    if (block) at_thread_exit(release_block, block);
    return block;
}

// Grows the calling thread's block to total (records registered after the thread's first use
// included), zero-filling and setting up the new records. On failure the block keeps its size.
ThreadBlock* grown_block(std::int32_t total) {
    if (!current_block) current_block = new_block();
    ThreadBlock* block = current_block;
    if (!block || block->size >= total) return block;
    void* data = std::realloc(block->data, static_cast<std::size_t>(total));
    if (!data) return block;
    const std::int32_t old_size = block->size;
    block->data = static_cast<std::uint8_t*>(data);
    std::memset(block->data + old_size, 0, static_cast<std::size_t>(total - old_size));
    block->size = total;
    set_up_records(block->data, old_size, total);
    return block;
}

ThreadBlock* block_of_this_thread() {
    const std::int32_t total = total_size.load(std::memory_order_acquire);
    ThreadBlock* block = current_block;
    return block && block->size >= total ? block : grown_block(total);
}

} // namespace

std::int32_t thread_data_register(std::int32_t size, record_function set_up,
                                  record_function release) {
    if (size <= 0 || size > INT32_MAX - 3) return -1;
    const std::int32_t rounded = (size + 3) & ~3;
    std::int32_t offset;
    {
        std::lock_guard<std::mutex> guard(registration_lock);
        offset = total_size.load(std::memory_order_relaxed);
        if (rounded > INT32_MAX - offset) return -1;
        if (set_up || release) {
            auto* registration = new (std::nothrow) Registration{
                newest_registration.load(std::memory_order_relaxed), offset, set_up, release};
            if (!registration) return -1;
            newest_registration.store(registration, std::memory_order_release);
        }
        total_size.store(offset + rounded, std::memory_order_release);
    }
    // The registering thread's copy exists and is set up at once.
    block_of_this_thread();
    return offset;
}

void* thread_data(std::int32_t offset) {
    ThreadBlock* block = block_of_this_thread();
    if (!block || offset < 0 || offset >= block->size) return nullptr;
    return block->data + offset;
}

} // namespace korvel
