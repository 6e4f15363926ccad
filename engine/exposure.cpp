// The grid's unit divides a tick by the least number that makes an output frame's interval and
// half an exposure whole, so that lengths of overlaps are differences of whole numbers and the
// box weights are rounded in integer arithmetic. Only the Gaussian is evaluated in doubles.
#include "engine/exposure.h"

#include "engine/weighted_mean.h"

#include <algorithm>
#include <cmath>

namespace korvel {

namespace {

__extension__ typedef __int128 wide;

constexpr std::int64_t largest_share = 1024;

// Value in units: its numerator times the units to a tick over its denominator.
bool in_units(const rational& value, std::int64_t scale, std::int64_t* units) {
    return !__builtin_mul_overflow(value.num, scale / value.den, units);
}

// Half away from zero for shares above 0: floor(1024 * part / whole + 1/2).
std::uint32_t rounded_share(std::int64_t part, std::int64_t whole) {
    return static_cast<std::uint32_t>((wide{2 * largest_share} * part + whole) / (wide{2} * whole));
}

std::vector<std::uint32_t> box_weights(const std::vector<exposure_piece>& pieces) {
    std::int64_t longest = 0;
    for (const exposure_piece& piece : pieces)
        longest = std::max(longest, piece.to - piece.from);
    std::vector<std::uint32_t> weights;
    weights.reserve(pieces.size());
    for (const exposure_piece& piece : pieces)
        weights.push_back(rounded_share(piece.to - piece.from, longest));
    return weights;
}

std::vector<std::uint32_t> gaussian_weights(const std::vector<exposure_piece>& pieces,
                                            std::int64_t centre, double sigma) {
    const double spread = sigma * std::sqrt(2.0);
    const auto cumulative = [&](std::int64_t at) {
        return std::erf(static_cast<double>(at - centre) / spread);
    };
    std::vector<double> integrals;
    integrals.reserve(pieces.size());
    for (const exposure_piece& piece : pieces)
        integrals.push_back(cumulative(piece.to) - cumulative(piece.from));
    return scaled_weights(integrals);
}

} // namespace

bool exposure_grid_for(const time_settings& time, const rational& time_base, exposure_grid* grid) {
    rational tick_rate, step, shutter_steps, half;
    std::int64_t scale = 0, half_units = 0;
    const bool exact = rational_times(time.out_rate, time_base, &tick_rate) &&
                       rational_over({1, 1}, tick_rate, &step) &&
                       rational_times(step, time.shutter, &shutter_steps) &&
                       rational_over(shutter_steps, {720, 1}, &half) &&
                       common_multiple(step.den, half.den, &scale) &&
                       in_units(step, scale, &grid->step) && in_units(half, scale, &half_units) &&
                       !__builtin_mul_overflow(half_units, 2, &grid->length);
    if (!exact) return false;
    grid->scale = scale;
    grid->lead = time.phase == exposure_phase::start    ? 0
                 : time.phase == exposure_phase::center ? half_units
                                                        : grid->length;
    return true;
}

std::vector<std::uint32_t> piece_weights(const std::vector<exposure_piece>& pieces,
                                         std::int64_t start, const exposure_grid& grid,
                                         const time_settings& time) {
    if (!time.gauss) return box_weights(pieces);
    return gaussian_weights(pieces, start + grid.length / 2, time.sigma * grid.length);
}

} // namespace korvel
