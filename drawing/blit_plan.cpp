// Running a plan's rows.
#include "drawing/blit_plan.h"

#include <algorithm>
#include <cstddef>

namespace korvel {

void blit_rows(const blit_plan& plan, std::int32_t first, std::int32_t count) {
    const std::int32_t begin = std::max(first, 0);
    const std::int32_t end = static_cast<std::int32_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(first) + count, plan.rows));
    row_context context = plan.context;
    for (std::int32_t row = begin; row < end; ++row) {
        context.y = plan.context.y - row;
        plan.routine(plan.dst + static_cast<std::ptrdiff_t>(row) * plan.dst_pitch,
                     plan.src + static_cast<std::ptrdiff_t>(row) * plan.src_pitch, plan.width,
                     context);
    }
}

} // namespace korvel
