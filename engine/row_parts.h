// Rows of one large layer split into parts that the pool's threads run side by side, for the
// compositor and the weighted means. Each row belongs to exactly one part, so the bytes are those
// of one pass whatever the split. The caller runs the first part and waits for the others in an
// isolated region: meanwhile it takes no other pool work (a frame to encode, say) that would hold
// up the layers still to come. Each part sets a flag when done, so that a part the pool could not
// take is run by the caller afterwards and none twice; reading the flags also orders the pool's
// rows before whatever the caller does next.
#pragma once

#include <oneapi/tbb/task_group.h>

#include <atomic>
#include <concepts>
#include <cstdint>
#include <memory>
#include <type_traits>

namespace korvel {

class row_parts {
public:
    // A reference to a callable run_rows(first, end): called once per part, never per row, so
    // the rows' loop stays inside the caller's code where the compiler can see it whole. It
    // refers to the callable, which must outlive it.
    class row_range {
    public:
        template <typename RowRange>
        requires(!std::same_as<std::remove_cvref_t<RowRange>, row_range> &&
                 std::invocable<const RowRange&, std::int32_t, std::int32_t>)
            row_range(const RowRange& run_rows)
            : callable_(&run_rows),
              call_([](const void* callable, std::int32_t first, std::int32_t end) {
                  (*static_cast<const RowRange*>(callable))(first, end);
              }) {}

        void operator()(std::int32_t first, std::int32_t end) const {
            call_(callable_, first, end);
        }

    private:
        const void* callable_;
        void (*call_)(const void*, std::int32_t, std::int32_t);
    };

    // At most 4 parts per thread; with one thread the caller runs every layer itself.
    explicit row_parts(std::int32_t threads);

    // run_rows(first, end) over rows 0 to rows - 1 of a layer columns pixels wide, each row once.
    void run(std::int32_t rows, std::int32_t columns, row_range run_rows);

private:
    void run_in_parts(std::int32_t rows, row_range run_rows);

    std::int32_t parts_;
    std::unique_ptr<std::atomic<bool>[]> done_;
    tbb::task_group pool_;
};

} // namespace korvel
