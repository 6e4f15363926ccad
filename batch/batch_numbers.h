// The numbers typed on korvel-render's command line: whole numbers read the way the window reads
// its fields, and the range of output frames to render.
#pragma once

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

} // namespace korvel
