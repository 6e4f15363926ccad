// The over rows built for AVX2 (32-byte registers), used where the processor has it. Standard
// headers come first so that only this file's own code takes the wider target.
#include "drawing/over_kernel.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#pragma GCC push_options
#pragma GCC target("avx2")
#define KORVEL_VECTOR_BYTES 32
#include "drawing/over_rows_simd.h"

namespace korvel {

extern const over_row_set over_rows_avx2;
const over_row_set over_rows_avx2 = make_over_row_set("avx2");

} // namespace korvel
#pragma GCC pop_options
