// Chooses the over rows for the processor once: AVX2 where it is present, the baseline otherwise.
#include "drawing/over_kernel.h"

namespace korvel {

extern const over_row_set over_rows_baseline;
extern const over_row_set over_rows_avx2;

namespace {

bool has_avx2() {
    return __builtin_cpu_supports("avx2") != 0;
}

} // namespace

const over_row_set& over_rows() {
    static const over_row_set& chosen = has_avx2() ? over_rows_avx2 : over_rows_baseline;
    return chosen;
}

std::int32_t over_row_set_count() {
    return has_avx2() ? 2 : 1;
}

const over_row_set& over_row_set_at(std::int32_t index) {
    return index == 1 && has_avx2() ? over_rows_avx2 : over_rows_baseline;
}

} // namespace korvel
