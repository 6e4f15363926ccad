// Chooses the PNG row kernels for the processor once: AVX2 where it is present, the baseline
// otherwise.
#include "image/png_row_kernels.h"

namespace korvel {

extern const png_row_kernels png_row_kernels_baseline;
extern const png_row_kernels png_row_kernels_avx2;

namespace {

bool has_avx2() {
    return __builtin_cpu_supports("avx2") != 0;
}

} // namespace

const png_row_kernels& png_row_kernels_chosen() {
    static const png_row_kernels& chosen =
        has_avx2() ? png_row_kernels_avx2 : png_row_kernels_baseline;
    return chosen;
}

std::int32_t png_row_kernels_count() {
    return has_avx2() ? 2 : 1;
}

const png_row_kernels& png_row_kernels_at(std::int32_t index) {
    return index == 1 && has_avx2() ? png_row_kernels_avx2 : png_row_kernels_baseline;
}

} // namespace korvel
