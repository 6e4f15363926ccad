// The cap on the pixel memory of one image, which every decoder meets before it allocates rows.
#pragma once

#include <cstdint>

namespace korvel {

// 1 GiB: a 16384 x 16384 picture at 32 bits, four times an 8K video frame. A render holds the
// canvas and a layer at once besides its frames in flight, so two such images already ask for
// more than 2 GiB. The 4 GiB that a lying 32767 x 32767 header claims would be filled by an IDAT
// of a few megabytes and end in the kernel's out-of-memory killer instead of a message.
inline constexpr std::int64_t LARGEST_PIXEL_BYTES = std::int64_t{1} << 30;

// Whether height rows of row_size bytes stay within LARGEST_PIXEL_BYTES; false for sizes below 1.
bool pixel_memory_allowed(std::int64_t row_size, std::int64_t height);

} // namespace korvel
