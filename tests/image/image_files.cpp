// PNG files and zlib streams through zlib, BMP and icon data by hand.
#include "tests/image/image_files.h"

#include "image/codec.h"
#include "image/image.h"
#include "image/png_codec.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>

namespace korvel::test {
namespace {

void put(bytes& out, std::uint32_t value, int size, bool big_endian = true) {
    for (int i = 0; i < size; ++i)
        out += char(value >> 8 * (big_endian ? size - 1 - i : i));
}

void append_rows(bytes& out, const dib_rows& rows, int bits, bool top_down) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& row = rows[top_down ? i : rows.size() - 1 - i];
        const std::size_t start = out.size();
        out.resize(start + (row.size() * bits + 31) / 32 * 4, '\0');
        for (std::size_t x = 0; x < row.size(); ++x) {
            if (bits < 8) out[start + x * bits / 8] |= char(row[x] << (8 - bits - x * bits % 8));
            for (int b = 0; b < bits / 8; ++b)
                out[start + x * bits / 8 + b] = char(row[x] >> 8 * b);
        }
    }
}

} // namespace

Bytef* z(const bytes& data) {
    return reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
}

png_picture::png_picture(int w, int h, int type, int depth, bool interlace, bool with_trns)
    : width(w), height(h), colour_type(type), bit_depth(depth), interlaced(interlace),
      trns(with_trns), samples(std::size_t(w) * h * channels()) {
    std::uint32_t state = 12345;
    for (std::uint16_t& s : samples) {
        state = state * 1103515245u + 12345u;
        const std::uint32_t v = (state >> 8) % (1u << depth);
        s = std::uint16_t(depth == 16 ? (v & 0xFF00) | (~v >> 8 & 0xFF) : v);
    }
    for (int i = 0; type == PNG_COLOR_TYPE_PALETTE && i < 1 << depth; ++i) {
        palette.insert(palette.end(), {std::uint8_t(i * 7 + 3), std::uint8_t(255 - i),
                                       std::uint8_t(i * 31 + 100)});
        if (trns && i < ((1 << depth) + 1) / 2) palette_alpha.push_back(std::uint8_t(i * 37 % 251));
    }
}

bytes png_rows(const png_picture& p) {
    const int x0[] = {0, 4, 0, 2, 0, 1, 0}, y0[] = {0, 0, 4, 0, 2, 0, 1};
    const int dx[] = {8, 8, 4, 4, 2, 2, 1}, dy[] = {8, 8, 8, 4, 4, 2, 2};
    bytes rows;
    for (int pass = p.interlaced ? 0 : 6; pass < 7; ++pass) { // the last pass alone: every pixel
        const int first = p.interlaced ? y0[pass] : 0, step = p.interlaced ? dy[pass] : 1;
        for (int y = first; x0[pass] < p.width && y < p.height; y += step) {
            const int samples = (p.width - x0[pass] + dx[pass] - 1) / dx[pass] * p.channels();
            bytes row(1 + (samples * p.bit_depth + 7) / 8, '\0');
            std::size_t bit = 8;
            for (int x = x0[pass]; x < p.width; x += dx[pass])
                for (int c = 0; c < p.channels(); ++c, bit += p.bit_depth) {
                    const unsigned v = p.sample(x, y, c);
                    if (p.bit_depth == 16) row[bit / 8] = char(v >> 8), row[bit / 8 + 1] = char(v);
                    if (p.bit_depth < 16) row[bit / 8] |= char(v << (8 - p.bit_depth - bit % 8));
                }
            rows += row;
        }
    }
    return rows;
}

bytes png_file(const png_picture& p) {
    const bytes rows = png_rows(p);
    uLongf size = compressBound(uLong(rows.size()));
    bytes idat(size, '\0'), header = png_header(p.width, p.height, p.colour_type, p.bit_depth),
                            gamma, key;
    compress(z(idat), &size, z(rows), uLong(rows.size()));
    header[12] = p.interlaced;
    put(gamma, 100000, 4);
    chunk_list chunks{{"IHDR", header}, {"gAMA", gamma}};
    if (!p.palette.empty()) chunks.emplace_back("PLTE", bytes(p.palette.begin(), p.palette.end()));
    if (!p.palette_alpha.empty())
        chunks.emplace_back("tRNS", bytes(p.palette_alpha.begin(), p.palette_alpha.end()));
    for (int c = 0; p.trns && p.palette.empty() && c < p.channels(); ++c)
        put(key, p.sample(0, 0, c), 2); // grey, or red, green and blue
    if (!key.empty()) chunks.emplace_back("tRNS", key);
    for (std::size_t at = 0; at < size; at += 8192)
        chunks.emplace_back("IDAT", idat.substr(at, std::min<std::size_t>(8192, size - at)));
    return png_of_chunks(chunks);
}

bytes png_chunk(const std::string& type, const bytes& data) {
    bytes out;
    put(out, std::uint32_t(data.size()), 4);
    out += type + data;
    put(out, std::uint32_t(crc32(0, z(out) + 4, uInt(4 + data.size()))), 4);
    return out;
}

bytes png_of_chunks(const chunk_list& chunks) {
    bytes file("\x89PNG\r\n\x1a\n", 8);
    for (const auto& [type, data] : chunks)
        file += png_chunk(type, data);
    return file + png_chunk("IEND", {});
}

bytes png_header(std::uint32_t width, std::uint32_t height, int colour_type, int bit_depth) {
    bytes data;
    put(data, width, 4);
    put(data, height, 4);
    return data + bytes{char(bit_depth), char(colour_type), 0, 0, 0};
}

chunk_list png_chunks(const bytes& file) {
    chunk_list chunks;
    for (std::size_t at = 8, size = 0; at < file.size(); at += 12 + size) {
        if (file.size() - at < 12) return {};
        for (int i = 0; i < 4; ++i)
            size = (i == 0 ? 0 : size << 8) | std::uint8_t(file[at + i]);
        if (file.size() - at - 12 < size) return {};
        chunks.emplace_back(file.substr(at + 4, 4), file.substr(at + 8, size));
    }
    return file.starts_with(png_of_chunks({}).substr(0, 8)) ? chunks : chunk_list{};
}

bytes dib_image(const dib_layout& l, const dib_rows& rows, const dib_rows& mask) {
    const auto height = std::int32_t(rows.size() * (mask.empty() ? 1 : 2));
    const bool core = l.header_size == 12; // its fields in 16 bits, none after the bit count
    bytes d;
    for (const std::uint32_t v :
         {l.header_size, std::uint32_t(rows.at(0).size()),
          std::uint32_t(l.top_down ? -height : height), std::uint32_t(l.bits) << 16 | 1,
          l.compression, 0u, 0u, 0u, l.colours_used, 0u})
        put(d, v, 4, false);
    if (core) d = d.substr(0, 6) + d.substr(8, 2) + d.substr(12, 4);
    for (const std::uint32_t v : l.masks)
        put(d, v, 4, false);
    d.resize(std::max<std::size_t>(d.size(), l.header_size), '\0');
    for (const std::uint32_t colour : l.palette)
        put(d, colour & 0xFFFFFF, core ? 3 : 4, false);
    if (!l.codes.empty()) return d + l.codes;
    append_rows(d, rows, l.bits, l.top_down);
    append_rows(d, mask, 1, false);
    return d;
}

bytes bmp_file(const dib_layout& l, const dib_rows& rows) {
    const bytes image = dib_image(l, rows);
    const std::size_t tables =
        l.header_size == 12
            ? 12 + 3 * l.palette.size()
            : std::max<std::size_t>(l.header_size, 40 + 4 * l.masks.size()) + 4 * l.palette.size();
    bytes d = "BM";
    for (const std::size_t v : {14 + image.size(), std::size_t{0}, 14 + tables})
        put(d, std::uint32_t(v), 4, false);
    return d + image;
}

bytes icon_file(const std::vector<std::pair<int, bytes>>& entries) {
    bytes d("\0\0\1\0", 4), images;
    put(d, std::uint32_t(entries.size()), 2, false);
    for (const auto& [bits, image] : entries) {
        d += bytes{3, 2, 0, 0, 1, 0};
        put(d, std::uint32_t(bits), 2, false);
        put(d, std::uint32_t(image.size()), 4, false);
        put(d, std::uint32_t(6 + 16 * entries.size() + images.size()), 4, false);
        images += image;
    }
    return d + images;
}

void put_le32(bytes& data, std::size_t at, std::uint32_t value) {
    bytes le;
    put(le, value, 4, false);
    data.replace(at, 4, le);
}

bytes take_image(obj_number n, obj_number result) {
    const image_record* r = image_lookup(n);
    const bitmap* b = bitmap_get(image_handle(n));
    bytes taken;
    if (result != 0 && r != nullptr && b != nullptr) {
        // A record no load may give reads as such, so that no wanted result can match it.
        const bool sane = r->width > 0 && r->height > 0 && (r->depth == 24 || r->depth == 32);
        taken = (sane ? "" : "impossible record ") + std::to_string(r->width) + "x" +
                std::to_string(r->height) + "x" + std::to_string(r->depth) + "/" +
                std::to_string(r->source_depth) + ":" +
                bytes(reinterpret_cast<const char*>(b->pixels), std::size_t(b->stride) * b->height);
    }
    image_free(n);
    return taken;
}

obj_number catch_bytes(obj_number n, const bytes& data) {
    return image_catch(n, reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
}

void image_codecs_ready() {
    images_init();
    codecs_init();
    png_decoder_register();
    png_encoder_register();
}

} // namespace korvel::test
