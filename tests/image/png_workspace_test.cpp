// The encoder's stated workspace must cover what it really allocates, or render jobs that budget
// encodes side by side by it would pass their memory bound (a newer compressor with larger tables
// shows up here first).
#include "image/png_idat_stream.h"

#include <gtest/gtest.h>
#include <libdeflate.h>
#include <malloc.h>

namespace korvel {
namespace {

std::int64_t allocated_now() {
    const struct mallinfo2 now = mallinfo2();
    return static_cast<std::int64_t>(now.uordblks + now.hblkhd);
}

TEST(PngWorkspace, CoversTheStrongestCompressorAndTheFilteredRows) {
    const std::int64_t before = allocated_now();
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(12);
    ASSERT_NE(compressor, nullptr);
    const std::int64_t tables = allocated_now() - before;
    libdeflate_free_compressor(compressor);
    // The sanitizers' allocators keep their own books, which mallinfo2 does not see.
    if (tables <= 0) GTEST_SKIP() << "the allocator in use does not report its blocks";

    const std::int64_t rows = 1080 * (1 + 1920 * 4);
    EXPECT_GE(png_idat_workspace_bytes(1920, 1080, 4), tables + rows);
    // Not wildly more, or the budget would starve the read-ahead for nothing.
    EXPECT_LE(png_idat_workspace_bytes(1920, 1080, 4), 2 * (tables + rows));
    EXPECT_LT(png_idat_workspace_bytes(1920, 1080, 3), png_idat_workspace_bytes(1920, 1080, 4));
}

} // namespace
} // namespace korvel
