// The PNG row kernels built for the x86-64 baseline (SSE2), which every processor of the target
// runs.
#define KORVEL_PNG_AVX2 0
#include "image/png_row_kernels_simd.h"

namespace korvel {

extern const png_row_kernels png_row_kernels_baseline;
const png_row_kernels png_row_kernels_baseline = make_png_row_kernels("sse2");

} // namespace korvel
