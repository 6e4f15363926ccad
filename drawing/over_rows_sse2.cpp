// The over rows built for the x86-64 baseline (SSE2, 16-byte registers), which every processor
// of the target runs.
#define KORVEL_VECTOR_BYTES 16
#include "drawing/over_rows_simd.h"

namespace korvel {

extern const over_row_set over_rows_baseline;
const over_row_set over_rows_baseline = make_over_row_set("sse2");

} // namespace korvel
