#include "engine/row_parts.h"

#include "engine/pool_task.h"

#include <oneapi/tbb/task_arena.h>

#include <algorithm>
#include <new>

namespace korvel {
namespace {

// Below a quarter of a million pixels handing rows out costs more than it saves.
constexpr std::int64_t smallest_split_layer = 1 << 18;
constexpr std::int32_t parts_per_thread = 4;

} // namespace

row_parts::row_parts(std::int32_t threads)
    : parts_(threads > 1 ? threads * parts_per_thread : 1),
      done_(parts_ > 1 ? new (std::nothrow) std::atomic<bool>[parts_] : nullptr) {
    if (!done_) parts_ = 1;
}

void row_parts::run(std::int32_t rows, std::int32_t columns, row_range run_rows) {
    const bool large = static_cast<std::int64_t>(columns) * rows >= smallest_split_layer;
    if (parts_ > 1 && large && rows >= parts_)
        run_in_parts(rows, run_rows);
    else
        run_rows(0, rows);
}

void row_parts::run_in_parts(std::int32_t rows, row_range run_rows) {
    const std::int32_t rows_per_part = (rows + parts_ - 1) / parts_;
    const auto run_part = [this, run_rows, rows, rows_per_part](std::int32_t part) {
        const std::int32_t first = std::min(rows, part * rows_per_part);
        run_rows(first, std::min(rows, first + rows_per_part));
        done_[part].store(true, std::memory_order_release);
    };
    for (std::int32_t part = 0; part < parts_; ++part)
        done_[part].store(false, std::memory_order_relaxed);
    tbb::this_task_arena::isolate([&] {
        try {
            for (std::int32_t part = 1; part < parts_; ++part)
                pool_run(pool_, [&run_part, part] { run_part(part); });
        } catch (...) {
            // The parts not handed over are run below.
        }
        run_part(0);
        pool_.wait();
    });
    for (std::int32_t part = 0; part < parts_; ++part)
        if (!done_[part].load(std::memory_order_acquire)) run_part(part);
}

} // namespace korvel
