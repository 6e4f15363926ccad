// Frame-sized blocks freed during a render stay with the process for the next layer, and go back
// to the system when the render ends. Under the sanitizers, whose allocators ignore these settings
// and keep their own books, there is nothing to check.
#include "engine/block_reuse.h"

#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace korvel {
namespace {

constexpr std::size_t FRAME = std::size_t{24} << 20;

std::int64_t resident_bytes() {
    long pages = 0;
    long resident = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr) return -1;
    const bool read = std::fscanf(statm, "%ld %ld", &pages, &resident) == 2;
    std::fclose(statm);
    return read ? std::int64_t{resident} * sysconf(_SC_PAGESIZE) : -1;
}

bool allocator_reports_blocks() {
    const std::size_t before = mallinfo2().uordblks;
    // Volatile, or the compiler may drop the block it sees unused.
    void* volatile probe = std::malloc(4096);
    const bool seen = mallinfo2().uordblks > before;
    std::free(probe);
    return seen;
}

TEST(block_reuse, a_freed_frame_stays_for_the_next_layer_until_the_render_hands_it_back) {
    if (!allocator_reports_blocks()) GTEST_SKIP() << "the allocator in use is not glibc's";
    if (resident_bytes() < 0) GTEST_SKIP() << "no /proc/self/statm";
    block_reuse_start();

    const std::size_t mapped_before = mallinfo2().hblkhd;
    auto* layer = static_cast<char*>(std::malloc(FRAME));
    ASSERT_NE(layer, nullptr);
    std::memset(layer, 1, FRAME);
    EXPECT_LT(mallinfo2().hblkhd - mapped_before, FRAME) << "the frame was mapped on its own";
    const std::int64_t with_layer = resident_bytes();
    std::free(layer);
    EXPECT_GT(resident_bytes(), with_layer - std::int64_t{FRAME / 4}) << "freed at once";

    // The next layer takes the same memory: the process does not grow.
    auto* next = static_cast<char*>(std::malloc(FRAME));
    ASSERT_NE(next, nullptr);
    std::memset(next, 2, FRAME);
    EXPECT_LT(resident_bytes(), with_layer + std::int64_t{FRAME / 4});
    std::free(next);

    block_reuse_hand_back();
    EXPECT_LT(resident_bytes(), with_layer - std::int64_t{FRAME / 2});
}

} // namespace
} // namespace korvel
