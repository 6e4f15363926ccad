// Numbered input frames for a render: made in a folder with libpng, kept in memory, and turned
// into the frames a render of them must give.
#pragma once

#include "test_png.h"

#include <cstdint>
#include <string>
#include <vector>

namespace korvel::app_test {

struct frame_set_shape {
    int count = 0;
    int width = 8;
    int height = 6;
    bool with_alpha = true;
};

struct input_frames {
    frame_set_shape shape;
    std::vector<std::string> names; // in name order, which is the order the folder lists them
    std::vector<rgba_image> images; // the same order

    // The frame (from 1) of a render with L layers per frame and alpha levels A: the composite of
    // entries (frame - 1) * L + 1 to frame * L, the group's last entry first when reversed.
    rgba_image expected_frame(int frame, std::int64_t layers, std::int64_t alpha_levels,
                              bool reverse) const;
};

// Writes the frames f0001.png, f0002.png, ... into folder (which must exist), in a shuffled order
// so that the folder's own listing order is not their name order. Every frame and pixel has its
// own colour; frames with alpha mix opaque, transparent and partly transparent pixels. An empty
// result set (count 0 with shape kept) means a file could not be written.
input_frames make_input_frames(const std::string& folder, const frame_set_shape& shape);

// Cuts a PNG file short inside its header, as an interrupted copy leaves it: no decoder can read
// it.
bool damage_png(const std::string& path);

// The name a frame gets: its number filled with zeros to the digits of the image count.
std::string frame_name(int frame, int image_count);

} // namespace korvel::app_test
