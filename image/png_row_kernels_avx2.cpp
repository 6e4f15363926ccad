// The PNG row kernels built for AVX2 (with its byte shuffles), used where the processor has it.
// Standard headers come first so that only this file's own code takes the wider target.
#include "image/png_row_kernels.h"

#include <cstring>
#include <immintrin.h>
#include <type_traits>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
#define KORVEL_PNG_AVX2 1
#include "image/png_row_kernels_simd.h"

namespace korvel {

extern const png_row_kernels png_row_kernels_avx2;
const png_row_kernels png_row_kernels_avx2 = make_png_row_kernels("avx2");

} // namespace korvel
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
