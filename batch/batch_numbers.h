// The numbers typed on korvel-render's command line: whole numbers read the way the window reads
// its fields, and the range of output frames to render.
#pragma once

#include "engine/rational.h"

#include <cstdint>
#include <optional>

namespace korvel {

// The value str_to_int gives text, but only when all of text is a number in the form str_to_int
// reads (leading blanks, one sign, "$" hex or "%" binary prefix, at least one digit) and fits in
// 64 bits: a typing error must not silently become 0 or a wrapped value.
std::optional<std::int64_t> read_whole_number(const char* text);

struct frame_range {
    std::int32_t first;
    std::int32_t last;
};

// "A-B", "A-" (from A to the end) or "A" (frame A only), with decimal frame numbers from 1 and
// B not below A. Nothing for any other text.
std::optional<frame_range> read_frame_range(const char* text);

struct frame_rate {
    std::int32_t num;
    std::int32_t den;
};

// Frames per second: "25", "29.97" (up to six decimals) or "30000/1001", above 0 and at most
// 1000. Nothing for any other text.
std::optional<frame_rate> read_frame_rate(const char* text);

// A number above 0 and at most most: "180", "172.8" (up to six decimals) or "2520/7", in lowest
// terms. Nothing for any other text.
std::optional<rational> read_ratio(const char* text, std::int32_t most);

// A colour as 0xRRGGBB: "#RRGGBB" or "RRGGBB" in hex digits, "black" or "white". Nothing for any
// other text.
std::optional<std::uint32_t> read_colour(const char* text);

} // namespace korvel
