// Fuzz target: PNG data decoded by the fast path and by libpng alone, which must agree on whether
// it loads, and on its size, depths and every pixel byte, or else on why it fails. Input that
// begins with PNG's signature is a file, its chunk CRCs made right unless its last byte is odd, so
// that mutations reach past the framing into the compressed rows; any other input describes a
// picture (size, colour type, palette, zlib's level and window, IDAT chunk size, filtered rows)
// made into a file here, so that every filter and layout is reached without a checksum to guess.
//
// One difference is the inflaters' and is allowed: libdeflate decodes a few malformed streams
// that zlib refuses (length codes 286 and 287, distance codes 30 and 31, surplus code lengths, an
// incomplete precode). The fast path then loads what the stream holds, checksum right, where
// libpng fails; the target lets that pass only when zlib itself refuses the file's image data,
// and says so once.
#include "image/load_problem.h"
#include "tests/fuzz/fuzz_images.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using bytes = std::string;
constexpr korvel::obj_number slot = 1;
constexpr char signature[] = "\x89PNG\r\n\x1A\n";
constexpr std::size_t signature_size = 8;

struct outcome {
    bool loaded = false;
    bytes image; // size, depths and pixel bytes
    std::string problem;
};

outcome decode(const bytes& file, bool libpng_alone) {
    korvel::png_decode_through_libpng(libpng_alone);
    korvel::load_problem_clear();
    outcome out;
    const auto* data = reinterpret_cast<const std::uint8_t*>(file.data());
    out.loaded = korvel::image_catch(slot, data, file.size()) != 0;
    out.problem = korvel::load_problem();
    if (out.loaded) {
        const korvel::image_record* r = korvel::image_lookup(slot);
        const korvel::bitmap* b = korvel::bitmap_get(r->handle);
        out.image = std::to_string(r->width) + "x" + std::to_string(r->height) + "x" +
                    std::to_string(r->depth) + "/" + std::to_string(r->source_depth) + ":" +
                    bytes(reinterpret_cast<const char*>(b->pixels),
                          static_cast<std::size_t>(b->stride) * b->height);
        korvel::image_free(slot);
    }
    korvel::png_decode_through_libpng(false);
    return out;
}

std::uint32_t be32(const bytes& b, std::size_t at) {
    return std::uint32_t(std::uint8_t(b[at])) << 24 | std::uint32_t(std::uint8_t(b[at + 1])) << 16 |
           std::uint32_t(std::uint8_t(b[at + 2])) << 8 | std::uint8_t(b[at + 3]);
}

void put32(bytes& b, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        b += char(v >> shift);
}

bytes chunk(const char* type, const bytes& data) {
    bytes out;
    put32(out, std::uint32_t(data.size()));
    const bytes body = type + data;
    out += body;
    put32(out,
          std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
    return out;
}

// Walks the whole chunks, setting each CRC to what its type and data give when asked; returns the
// data of the IDAT chunks that follow the first one.
bytes walk_chunks(bytes& file, bool make_crcs_right) {
    bytes data;
    bool seen = false, following = true;
    for (std::size_t at = signature_size; at + 12 <= file.size();) {
        const std::uint32_t length = be32(file, at);
        if (length > file.size() - at - 12) break;
        const uLong crc =
            crc32(0, reinterpret_cast<const Bytef*>(file.data() + at + 4), length + 4);
        for (int i = 0; make_crcs_right && i < 4; ++i)
            file[at + 8 + length + i] = char(crc >> (24 - 8 * i));
        const bool idat = file.compare(at + 4, 4, "IDAT") == 0;
        following = following && (idat || !seen);
        if (idat && following) data += file.substr(at + 8, length);
        seen = seen || idat;
        at += 12 + length;
    }
    return data;
}

// Whether zlib, with the window the stream declares as libpng asks it to, meets an error.
bool zlib_refuses(const bytes& stream) {
    z_stream z{};
    if (inflateInit2(&z, 0) != Z_OK) return true;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    z.avail_in = uInt(stream.size());
    Bytef sink[1 << 14];
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = sink;
        z.avail_out = sizeof sink;
        status = inflate(&z, Z_NO_FLUSH);
        if (status == Z_BUF_ERROR && z.avail_in == 0) break; // the stream is only cut short
    }
    inflateEnd(&z);
    return status != Z_STREAM_END && status != Z_BUF_ERROR;
}

struct reader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
    std::uint8_t next() { return at < size ? data[at++] : 0; }
};

bytes zlib_stream(const bytes& rows, int level, int window_bits) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, window_bits, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    bytes out(deflateBound(&z, uLong(rows.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(rows.data()));
    z.avail_in = uInt(rows.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// A file made from a description: width, height, colour type with the window, level with the
// IDAT chunk size, a palette where the type has one, then the filtered rows' bytes, repeated as
// needed; a filter type byte from 250 on stays as it is, a type that does not exist.
bytes described_file(const std::uint8_t* data, std::size_t size) {
    static const int colour_types[] = {0, 2, 3, 4, 6};
    static const int channels[] = {1, 3, 1, 2, 4};
    reader in{data, size};
    const int width = 1 + in.next() % 97, height = 1 + in.next() % 13;
    const std::uint8_t type_and_window = in.next(), level_and_chunk = in.next();
    const int type = type_and_window % 5, window_bits = 8 + type_and_window / 5 % 8;
    bytes header;
    put32(header, std::uint32_t(width));
    put32(header, std::uint32_t(height));
    header += {char(8), char(colour_types[type]), 0, 0, 0};
    bytes file = bytes(signature, signature_size) + chunk("IHDR", header);
    if (colour_types[type] == 3) {
        bytes palette(3 * (1 + in.next()), '\0');
        for (char& c : palette)
            c = char(in.next());
        file += chunk("PLTE", palette);
    }
    const std::size_t row_size = 1 + std::size_t(width) * channels[type];
    bytes rows(row_size * height, '\0');
    const std::size_t first = in.at;
    for (std::size_t i = 0; i < rows.size() && size > first; ++i) {
        const std::uint8_t b = data[first + i % (size - first)];
        rows[i] = char(i % row_size == 0 && b < 250 ? b % 5 : b);
    }
    const bytes stream = zlib_stream(rows, level_and_chunk % 10, window_bits);
    const std::size_t piece = std::size_t{1} << (level_and_chunk / 10 % 16);
    for (std::size_t at = 0; at < stream.size(); at += piece)
        file += chunk("IDAT", stream.substr(at, piece));
    return file + chunk("IEND", {});
}

bool leniency_of_the_inflater(const outcome& fast, const outcome& libpng, bytes& file) {
    if (!fast.loaded || libpng.loaded || !zlib_refuses(walk_chunks(file, false))) return false;
    static bool told = false;
    if (!told) std::fprintf(stderr, "png_twin: an image stream that only zlib refuses\n");
    told = true;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    korvel::fuzz::ready_image_codecs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    bytes file;
    if (size >= signature_size && std::memcmp(data, signature, signature_size) == 0) {
        file.assign(reinterpret_cast<const char*>(data), size);
        walk_chunks(file, data[size - 1] % 2 == 0);
    } else {
        file = described_file(data, size);
    }
    const outcome fast = decode(file, false);
    const outcome libpng = decode(file, true);
    if (fast.loaded == libpng.loaded && fast.image == libpng.image &&
        fast.problem == libpng.problem)
        return 0;
    if (leniency_of_the_inflater(fast, libpng, file)) return 0;
    std::fprintf(stderr, "png_twin: fast path %s (%s), libpng %s (%s), images %s\n",
                 fast.loaded ? "loads" : "fails", fast.problem.c_str(),
                 libpng.loaded ? "loads" : "fails", libpng.problem.c_str(),
                 fast.image == libpng.image ? "equal" : "differ");
    std::abort();
}
