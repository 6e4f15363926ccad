// Hand-made PNG chunks and zlib streams of zeros.
#include "crafted_png.h"

#include <zlib.h>

#include <algorithm>

namespace korvel::test {
namespace {

constexpr std::uint64_t BLOCK_BYTES = 1u << 20;
constexpr std::uint32_t ADLER_MODULUS = 65521;

void append_u32(std::vector<std::uint8_t>* out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out->push_back(static_cast<std::uint8_t>(value >> shift));
}

// Deflates the input into out with the flush mode given.
void deflate_into(z_stream* stream, const std::vector<std::uint8_t>& input, int flush,
                  std::vector<std::uint8_t>* out) {
    std::vector<std::uint8_t> buffer(BLOCK_BYTES);
    stream->next_in = const_cast<Bytef*>(input.data());
    stream->avail_in = static_cast<uInt>(input.size());
    do {
        stream->next_out = buffer.data();
        stream->avail_out = static_cast<uInt>(buffer.size());
        deflate(stream, flush);
        out->insert(out->end(), buffer.data(), stream->next_out);
    } while (stream->avail_out == 0);
}

} // namespace

std::vector<std::uint8_t> png_chunk_bytes(const std::string& type,
                                          const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> out;
    append_u32(&out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type.data()), 4);
    crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
    append_u32(&out, static_cast<std::uint32_t>(crc));
    return out;
}

std::vector<std::uint8_t> header_data(std::uint32_t width, std::uint32_t height, int colour_type) {
    std::vector<std::uint8_t> data;
    append_u32(&data, width);
    append_u32(&data, height);
    data.insert(data.end(), {8, static_cast<std::uint8_t>(colour_type), 0, 0, 0});
    return data;
}

// After a full flush the compressor starts afresh, so every further block of zeros deflates to
// the same bytes; the trailer is the Adler-32 of the first block combined with that of the zeros.
std::vector<std::uint8_t> zlib_stream(const std::vector<std::uint8_t>& head, std::uint64_t length) {
    std::vector<std::uint8_t> first_block(BLOCK_BYTES, 0);
    std::copy(head.begin(), head.end(), first_block.begin());
    const std::vector<std::uint8_t> zero_block(BLOCK_BYTES, 0);
    z_stream stream{};
    deflateInit(&stream, Z_BEST_COMPRESSION);
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> repeated;
    std::vector<std::uint8_t> ending;
    deflate_into(&stream, first_block, Z_FULL_FLUSH, &out);
    deflate_into(&stream, zero_block, Z_FULL_FLUSH, &repeated);
    deflate_into(&stream, {}, Z_FINISH, &ending);
    deflateEnd(&stream);
    for (std::uint64_t done = BLOCK_BYTES; done < length; done += BLOCK_BYTES)
        out.insert(out.end(), repeated.begin(), repeated.end());
    out.insert(out.end(), ending.begin(), ending.end() - 4);
    const std::uint64_t zeros = length - BLOCK_BYTES;
    // Every zero byte adds the running sum, which stays 1, to the second half.
    const uLong zeros_adler = static_cast<uLong>(zeros % ADLER_MODULUS) << 16 | 1u;
    const uLong first_adler =
        adler32(adler32(0, nullptr, 0), first_block.data(), static_cast<uInt>(first_block.size()));
    append_u32(&out, static_cast<std::uint32_t>(
                         adler32_combine(first_adler, zeros_adler, static_cast<z_off_t>(zeros))));
    return out;
}

std::vector<std::uint8_t> zlib_zeros(std::uint64_t length) {
    return zlib_stream({}, length);
}

std::vector<std::uint8_t>
png_from_chunks(const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& chunks) {
    std::vector<std::uint8_t> file{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (const auto& [type, data] : chunks) {
        const std::vector<std::uint8_t> chunk = png_chunk_bytes(type, data);
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    const std::vector<std::uint8_t> end = png_chunk_bytes("IEND", {});
    file.insert(file.end(), end.begin(), end.end());
    return file;
}

} // namespace korvel::test
