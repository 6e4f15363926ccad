// Area averaging in exact integers. Along one axis, with S source and D output pixels, measure
// positions in units of 1 / (S * D) of the picture: source pixel j spans [j * D, (j + 1) * D) and
// output pixel i spans [i * S, (i + 1) * S), so the overlaps are whole numbers and sum to S for
// every output pixel. Flipping both pictures upside down maps these spans onto each other, so the
// same arithmetic serves the bottom-up memory rows directly.
#include "drawing/area_resample.h"

#include <algorithm>
#include <cstddef>

namespace korvel {
namespace {

// The source pixels under output pixel i and how much of each.
struct axis_span {
    std::int64_t start; // of output pixel i, in the common units
    std::int64_t end;
    std::int32_t first; // source pixel
    std::int32_t last;
};

axis_span span_of(std::int32_t i, std::int32_t source_size, std::int32_t out_size) {
    const std::int64_t start = static_cast<std::int64_t>(i) * source_size;
    const std::int64_t end = start + source_size;
    return {start, end, static_cast<std::int32_t>(start / out_size),
            static_cast<std::int32_t>((end - 1) / out_size)};
}

std::int64_t overlap(const axis_span& span, std::int32_t j, std::int32_t out_size) {
    const std::int64_t low = static_cast<std::int64_t>(j) * out_size;
    return std::min(span.end, low + out_size) - std::max(span.start, low);
}

void average_pixel(const pixel_view& source, const axis_span& across, const axis_span& down,
                   std::int32_t out_width, std::int32_t out_height, std::uint8_t* out) {
    const std::int32_t channels = source.bytes_per_pixel;
    std::uint64_t sums[4] = {};
    for (std::int32_t row = down.first; row <= down.last; ++row) {
        const auto weight_down = static_cast<std::uint64_t>(overlap(down, row, out_height));
        const std::uint8_t* line = source.pixels + static_cast<std::ptrdiff_t>(row) * source.pitch;
        for (std::int32_t col = across.first; col <= across.last; ++col) {
            const std::uint64_t weight =
                weight_down * static_cast<std::uint64_t>(overlap(across, col, out_width));
            for (std::int32_t c = 0; c < channels; ++c)
                sums[c] += weight * line[col * channels + c];
        }
    }
    const std::uint64_t total = static_cast<std::uint64_t>(source.width) * source.height;
    for (std::int32_t c = 0; c < channels; ++c)
        out[c] = static_cast<std::uint8_t>((sums[c] + total / 2) / total);
}

} // namespace

void resample_area(const pixel_view& source, std::int32_t out_width, std::int32_t out_height,
                   const pixel_region& part, std::uint8_t* out, std::int32_t out_pitch) {
    for (std::int32_t r = 0; r < part.rows; ++r) {
        const axis_span down = span_of(part.row + r, source.height, out_height);
        std::uint8_t* line = out + static_cast<std::ptrdiff_t>(r) * out_pitch;
        for (std::int32_t c = 0; c < part.width; ++c) {
            const axis_span across = span_of(part.x + c, source.width, out_width);
            average_pixel(source, across, down, out_width, out_height,
                          line + c * source.bytes_per_pixel);
        }
    }
}

} // namespace korvel
