// Numbered input frames and the frames a render of them must give.
#include "input_frames.h"

#include "blur_reference.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <numeric>

namespace korvel::app_test {

namespace {

std::uint32_t mix(std::uint32_t value) {
    value ^= value >> 16;
    value *= 0x7FEB352Du;
    value ^= value >> 15;
    value *= 0x846CA68Bu;
    value ^= value >> 16;
    return value;
}

// Mostly opaque, with fully transparent pixels and the extremes of partial alpha among them.
constexpr std::array<std::uint8_t, 8> alpha_choices{255, 255, 0, 128, 1, 200, 64, 254};

rgba_image varied_frame(const frame_set_shape& shape, int index) {
    rgba_image image = blank_image(shape.width, shape.height);
    for (int y = 0; y < shape.height; ++y)
        for (int x = 0; x < shape.width; ++x) {
            const std::uint32_t bits = mix(static_cast<std::uint32_t>(index) * 0x10001u +
                                           static_cast<std::uint32_t>(y * shape.width + x) * 977u);
            std::uint8_t* pixel = image.at(x, y);
            pixel[0] = static_cast<std::uint8_t>(bits);
            pixel[1] = static_cast<std::uint8_t>(bits >> 8);
            pixel[2] = static_cast<std::uint8_t>(bits >> 16);
            pixel[3] = shape.with_alpha ? alpha_choices[(bits >> 24) % alpha_choices.size()] : 255;
        }
    return image;
}

// A fixed permutation of 0 .. count - 1 that is far from the identity.
std::vector<int> writing_order(int count) {
    std::vector<int> order(static_cast<std::size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [](int a, int b) {
        return mix(static_cast<std::uint32_t>(a)) < mix(static_cast<std::uint32_t>(b));
    });
    return order;
}

} // namespace

std::string frame_name(int frame, int image_count) {
    std::string number = std::to_string(frame);
    const std::size_t width = std::to_string(image_count).size();
    if (number.size() < width) number.insert(0, width - number.size(), '0');
    return number + ".png";
}

input_frames make_input_frames(const std::string& folder, const frame_set_shape& shape) {
    input_frames frames;
    frames.shape = shape;
    for (int i = 0; i < shape.count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%04d.png", i + 1);
        frames.names.emplace_back(name);
        frames.images.push_back(varied_frame(shape, i + 1));
    }
    for (int i : writing_order(shape.count)) {
        const auto index = static_cast<std::size_t>(i);
        if (!write_png(folder + "/" + frames.names[index], frames.images[index],
                       shape.with_alpha)) {
            frames.names.clear();
            frames.images.clear();
            break;
        }
    }
    return frames;
}

rgba_image input_frames::expected_frame(int frame, std::int64_t layers, std::int64_t alpha_levels,
                                        bool reverse) const {
    std::vector<const rgba_image*> group;
    const auto first = static_cast<std::size_t>((frame - 1) * layers);
    for (std::size_t i = 0; i < static_cast<std::size_t>(layers); ++i)
        group.push_back(&images.at(first + i));
    if (reverse) std::reverse(group.begin(), group.end());
    return composite(shape.width, shape.height, group, shape.with_alpha, alpha_levels);
}

bool damage_png(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The signature and the start of the header. A file cut inside its image data would still
    // load, with the missing rows blank; one cut inside its header cannot be decoded at all.
    constexpr std::size_t kept = 20;
    if (bytes.size() <= kept) return false;
    bytes.resize(kept);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace korvel::app_test
