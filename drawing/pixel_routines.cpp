// The pixel routines of every drawing mode, and the order in which the mode bits are honoured.
// The over operator onto 32-bit destinations runs once per pixel per layer and lives in the
// vector kernel; the other modes are plain loops over the pixels.
#include "drawing/pixel_routines.h"

#include "drawing/draw.h"
#include "drawing/over_kernel.h"

namespace korvel {
namespace {

// The source alpha as drawing applies it: scaled by the opacity, or the opacity itself for a
// source without alpha.
template <int S>
std::int32_t effective_alpha(const std::uint8_t* s, std::int32_t opacity) {
    if constexpr (S == 4)
        return opacity == 255 ? s[3] : s[3] * opacity / 255;
    else
        return opacity;
}

std::uint32_t pack(std::int32_t blue, std::int32_t green, std::int32_t red, std::int32_t alpha) {
    return static_cast<std::uint32_t>(red | green << 8 | blue << 16) |
           static_cast<std::uint32_t>(alpha) << 24;
}

// Each routine is a struct with a static run so that one template can pick the variant for the
// source and destination pixel sizes.
template <int S, int D>
struct xor_colour {
    static void run(std::uint8_t* d, const std::uint8_t* s, std::int32_t count,
                    const row_context&) {
        for (std::int32_t i = 0; i < count; ++i, d += D, s += S)
            for (int c = 0; c < 3; ++c)
                d[c] ^= s[c];
    }
};

template <int S, int D>
struct copy_colour {
    static void run(std::uint8_t* d, const std::uint8_t* s, std::int32_t count,
                    const row_context&) {
        for (std::int32_t i = 0; i < count; ++i, d += D, s += S)
            for (int c = 0; c < 3; ++c)
                d[c] = s[c];
    }
};

template <int S, int D>
struct through_callback {
    static void run(std::uint8_t* d, const std::uint8_t* s, std::int32_t count,
                    const row_context& context) {
        for (std::int32_t i = 0; i < count; ++i, d += D, s += S) {
            const std::uint32_t source =
                pack(s[0], s[1], s[2], effective_alpha<S>(s, context.opacity));
            const std::uint32_t destination = pack(d[0], d[1], d[2], D == 4 ? d[3] : 255);
            const std::uint32_t result =
                context.callback(context.x + i, context.y, source, destination);
            d[0] = static_cast<std::uint8_t>(result >> 16);
            d[1] = static_cast<std::uint8_t>(result >> 8);
            d[2] = static_cast<std::uint8_t>(result);
            if constexpr (D == 4) d[3] = static_cast<std::uint8_t>(result >> 24);
        }
    }
};

template <int S>
struct copy_with_alpha {
    static void run(std::uint8_t* d, const std::uint8_t* s, std::int32_t count,
                    const row_context& context) {
        for (std::int32_t i = 0; i < count; ++i, d += 4, s += S) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            d[3] = static_cast<std::uint8_t>(effective_alpha<S>(s, context.opacity));
        }
    }
};

template <int S>
struct alpha_only {
    static void run(std::uint8_t* d, const std::uint8_t* s, std::int32_t count,
                    const row_context& context) {
        for (std::int32_t i = 0; i < count; ++i, d += 4, s += S)
            d[3] = static_cast<std::uint8_t>(effective_alpha<S>(s, context.opacity));
    }
};

// Onto a destination without alpha: the colour mixed by the effective source alpha.
template <int S>
struct blend_without_alpha {
    static void run(std::uint8_t* d, const std::uint8_t* s, std::int32_t count,
                    const row_context& context) {
        for (std::int32_t i = 0; i < count; ++i, d += 3, s += S) {
            const std::int32_t a = effective_alpha<S>(s, context.opacity);
            for (int c = 0; c < 3; ++c)
                d[c] = static_cast<std::uint8_t>((s[c] * a + d[c] * (255 - a)) / 255);
        }
    }
};

template <over_row over_row_set::*member>
void over_kernel_row(std::uint8_t* d, const std::uint8_t* s, std::int32_t count,
                     const row_context& context) {
    (over_rows().*member)(d, s, count, context.opacity);
}

void copy_bgr_kernel_row(std::uint8_t* d, const std::uint8_t* s, std::int32_t count,
                         const row_context&) {
    over_rows().bgr_copy(d, s, count);
}

template <template <int, int> class Row>
row_routine by_sizes(std::int32_t source_bytes, std::int32_t target_bytes) {
    if (source_bytes == 4) return target_bytes == 4 ? Row<4, 4>::run : Row<4, 3>::run;
    return target_bytes == 4 ? Row<3, 4>::run : Row<3, 3>::run;
}

template <template <int> class Row>
row_routine by_source(std::int32_t source_bytes) {
    return source_bytes == 4 ? Row<4>::run : Row<3>::run;
}

row_routine for_bgra_source(std::uint32_t mode, bool wide, bool with_alpha) {
    const row_routine over =
        wide ? over_kernel_row<&over_row_set::bgra> : blend_without_alpha<4>::run;
    if ((mode & MODE_OVER) != 0) return over;
    if ((mode & MODE_OVER_KEEP_ALPHA) != 0)
        return wide ? over_kernel_row<&over_row_set::bgra_keep_alpha> : blend_without_alpha<4>::run;
    if (with_alpha) return over;
    return wide ? copy_colour<4, 4>::run : copy_colour<4, 3>::run;
}

// A source without alpha: with_alpha plays no part, the opacity decides.
row_routine for_bgr_source(std::uint32_t mode, bool wide, std::int32_t opacity) {
    if (wide && (mode & MODE_OVER) != 0) return over_kernel_row<&over_row_set::bgr>;
    if (wide && (mode & MODE_OVER_KEEP_ALPHA) != 0)
        return over_kernel_row<&over_row_set::bgr_keep_alpha>;
    if (opacity == 255) return wide ? copy_bgr_kernel_row : copy_colour<3, 3>::run;
    if (opacity == 0) return nullptr;
    return wide ? over_kernel_row<&over_row_set::bgr> : blend_without_alpha<3>::run;
}

} // namespace

row_routine choose_row_routine(std::uint32_t mode, std::int32_t source_bytes,
                               std::int32_t target_bytes, bool with_alpha, std::int32_t opacity) {
    const bool wide = target_bytes == 4;
    if ((mode & MODE_PIXEL_CALLBACK) != 0)
        return by_sizes<through_callback>(source_bytes, target_bytes);
    if ((mode & MODE_XOR_COLOUR) != 0) return by_sizes<xor_colour>(source_bytes, target_bytes);
    if (wide && (mode & MODE_COPY_WITH_ALPHA) != 0) return by_source<copy_with_alpha>(source_bytes);
    if ((mode & MODE_WRITE_ALPHA_ONLY) != 0)
        return wide ? by_source<alpha_only>(source_bytes) : nullptr;
    if (source_bytes == 4) return for_bgra_source(mode, wide, with_alpha);
    return for_bgr_source(mode, wide, opacity);
}

} // namespace korvel
