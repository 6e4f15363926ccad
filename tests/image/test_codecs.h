// A decoder of a made-up format and recording encoders, registered once, for the registry tests.
//
// The format: "KVTI", width and height (16-bit), bitmap depth and source depth (8-bit), the number
// of rows the decoder delivers before it reports failure (16-bit), then the rows from the top of
// the picture, width * depth / 8 bytes each, unpadded.
#pragma once

#include "dib_bytes.h"

#include <cstdint>
#include <functional>

namespace korvel::test {

// Pixel bytes of the made-up format; byte(x, y, channel) gives each byte, y from the top.
bytes kvt_image(std::int32_t width, std::int32_t height, std::int32_t depth,
                std::int32_t source_depth, std::int32_t rows_delivered,
                const std::function<std::uint8_t(std::int32_t, std::int32_t, std::int32_t)>& byte);

// Identifiers of the recording encoders: one with 24-bit input only, one with both.
inline constexpr std::uint32_t ENCODER_RGB_ONLY = 0x42475254;
inline constexpr std::uint32_t ENCODER_BOTH = 0x48544F42;

struct encoder_call {
    int calls = 0;
    bool rgba = false;
    std::int32_t width = 0, height = 0, stride = 0, depth = 0;
    std::uint32_t row_flags = 0, flags = 0;
    bytes pixels; // height * stride bytes as handed over
};

// Registers the decoder and both encoders with the registry (once per process).
void register_test_codecs();

// The calling thread's count of decoder closes, and its record of the last encoder call.
int& test_decoder_closes();
encoder_call& last_encoder_call();

} // namespace korvel::test
