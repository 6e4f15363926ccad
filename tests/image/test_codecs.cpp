// The made-up test format's decoder, which keeps its read position in the decode context's own
// fields so that each thread's loads stay apart, and the recording encoders.
#include "test_codecs.h"

#include "image/codec.h"

#include <cstring>
#include <mutex>

namespace korvel::test {
namespace {

constexpr std::size_t header_size = 12;

struct kvt_state {
    std::uint64_t next;          // offset of the next row
    std::int32_t rows_delivered; // rows decoded before failing
    std::int32_t bytes_per_pixel;
};

kvt_state* state_of(decode_context* context) {
    return reinterpret_cast<kvt_state*>(context->decoder_fields);
}

bool read_at(decode_context* context, std::uint64_t offset, void* dest, std::size_t count) {
    if (context->from_memory) {
        if (offset + count > context->memory_length) return false;
        std::memcpy(dest, context->memory + offset, count);
        return true;
    }
    return std::fseek(context->file, static_cast<long>(offset), SEEK_SET) == 0 &&
           std::fread(dest, 1, count, context->file) == count;
}

std::int32_t kvt_probe(decode_context* context) {
    std::uint8_t h[header_size];
    if (!read_at(context, 0, h, sizeof h) || std::memcmp(h, "KVTI", 4) != 0) return 0;
    context->width = h[4] | (h[5] << 8);
    context->height = h[6] | (h[7] << 8);
    context->bitmap_depth = h[8];
    context->source_depth = h[9];
    *state_of(context) = {header_size, h[10] | (h[11] << 8), h[8] / 8};
    return 1;
}

std::int32_t kvt_decode(decode_context* context, std::uint8_t* pixels, std::int32_t stride,
                        std::uint32_t row_flags) {
    kvt_state* state = state_of(context);
    std::size_t row_size = static_cast<std::size_t>(context->width) * state->bytes_per_pixel;
    for (std::int32_t y = 0; y < context->height; ++y) {
        if (y >= state->rows_delivered) return 0;
        std::int32_t row = (row_flags & ROWS_BOTTOM_UP) ? context->height - 1 - y : y;
        if (!read_at(context, state->next, pixels + row * stride, row_size)) return 0;
        state->next += row_size;
    }
    return 1;
}

void kvt_close(decode_context*) {
    ++test_decoder_closes();
}

std::int32_t record(bool rgba, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                    std::int32_t stride, std::uint32_t row_flags, std::uint32_t flags,
                    std::int32_t depth) {
    encoder_call& call = last_encoder_call();
    call.calls += 1;
    call.rgba = rgba;
    call.width = width, call.height = height, call.stride = stride, call.depth = depth;
    call.row_flags = row_flags, call.flags = flags;
    call.pixels.assign(pixels, pixels + static_cast<std::size_t>(stride) * height);
    return 1;
}

std::int32_t record_rgb(const char16_t*, const std::uint8_t* pixels, std::int32_t width,
                        std::int32_t height, std::int32_t stride, std::uint32_t row_flags,
                        std::uint32_t flags, std::int32_t depth) {
    return record(false, pixels, width, height, stride, row_flags, flags, depth);
}

std::int32_t record_rgba(const char16_t*, const std::uint8_t* pixels, std::int32_t width,
                         std::int32_t height, std::int32_t stride, std::uint32_t row_flags,
                         std::uint32_t flags, std::int32_t depth) {
    return record(true, pixels, width, height, stride, row_flags, flags, depth);
}

const decoder_entry kvt_decoder{kvt_probe, kvt_decode, kvt_close};
const encoder_entry rgb_only_encoder{ENCODER_RGB_ONLY, record_rgb, nullptr};
const encoder_entry both_encoder{ENCODER_BOTH, record_rgb, record_rgba};

} // namespace

bytes kvt_image(std::int32_t width, std::int32_t height, std::int32_t depth,
                std::int32_t source_depth, std::int32_t rows_delivered,
                const std::function<std::uint8_t(std::int32_t, std::int32_t, std::int32_t)>& byte) {
    bytes data = {'K', 'V', 'T', 'I'};
    for (std::int32_t v : {width, height}) {
        data.push_back(static_cast<std::uint8_t>(v));
        data.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    data.push_back(static_cast<std::uint8_t>(depth));
    data.push_back(static_cast<std::uint8_t>(source_depth));
    data.push_back(static_cast<std::uint8_t>(rows_delivered));
    data.push_back(static_cast<std::uint8_t>(rows_delivered >> 8));
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            for (std::int32_t c = 0; c < depth / 8; ++c)
                data.push_back(byte(x, y, c));
        }
    }
    return data;
}

void register_test_codecs() {
    static std::once_flag once;
    std::call_once(once, [] {
        codecs_init();
        decoder_register(&kvt_decoder);
        encoder_register(&rgb_only_encoder);
        encoder_register(&both_encoder);
    });
}

int& test_decoder_closes() {
    thread_local int closes = 0;
    return closes;
}

encoder_call& last_encoder_call() {
    thread_local encoder_call call;
    return call;
}

} // namespace korvel::test
