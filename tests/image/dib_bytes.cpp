// Byte-by-byte construction of BMP and icon data for the reader tests.
#include "dib_bytes.h"

namespace korvel::test {
namespace {

void append_u16(bytes& data, std::uint32_t value) {
    data.push_back(static_cast<std::uint8_t>(value));
    data.push_back(static_cast<std::uint8_t>(value >> 8));
}

void append_u32(bytes& data, std::uint32_t value) {
    append_u16(data, value & 0xFFFF);
    append_u16(data, value >> 16);
}

std::uint32_t padded_row_size(std::size_t width, std::int32_t bits) {
    return static_cast<std::uint32_t>((width * bits + 31) / 32 * 4);
}

void append_row(bytes& data, const std::vector<std::uint32_t>& row, std::int32_t bits) {
    std::size_t start = data.size();
    data.resize(start + padded_row_size(row.size(), bits), 0);
    for (std::size_t x = 0; x < row.size(); ++x) {
        if (bits < 8) {
            std::size_t bit = x * bits;
            data[start + bit / 8] |= static_cast<std::uint8_t>(row[x] << (8 - bits - bit % 8));
        } else {
            for (std::int32_t b = 0; b < bits / 8; ++b) {
                data[start + x * (bits / 8) + b] = static_cast<std::uint8_t>(row[x] >> (8 * b));
            }
        }
    }
}

void append_rows(bytes& data, const picture& rows, std::int32_t bits, bool top_down) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        append_row(data, rows[top_down ? i : rows.size() - 1 - i], bits);
    }
}

} // namespace

bytes dib_image(const dib_layout& layout, const picture& rows) {
    bytes data;
    auto height = static_cast<std::int32_t>(rows.size()) * layout.height_factor;
    append_u32(data, layout.header_size);
    append_u32(data, static_cast<std::uint32_t>(rows.empty() ? 0 : rows[0].size()));
    append_u32(data, static_cast<std::uint32_t>(layout.top_down ? -height : height));
    append_u16(data, 1);
    append_u16(data, static_cast<std::uint32_t>(layout.bits));
    append_u32(data, layout.compression);
    append_u32(data, 0); // image size
    append_u32(data, 0); // resolution
    append_u32(data, 0);
    append_u32(data, layout.colours_used);
    append_u32(data, 0); // important colours
    for (std::uint32_t mask : layout.masks)
        append_u32(data, mask);
    if (data.size() < layout.header_size) data.resize(layout.header_size, 0);
    for (std::uint32_t colour : layout.palette)
        append_u32(data, colour & 0xFFFFFF);
    append_rows(data, rows, layout.bits, layout.top_down);
    return data;
}

bytes bmp_file(const dib_layout& layout, const picture& rows) {
    bytes image = dib_image(layout, rows);
    std::uint32_t pixel_offset = 14 + static_cast<std::uint32_t>(image.size());
    std::uint32_t rows_size = 0;
    for (const auto& row : rows)
        rows_size += padded_row_size(row.size(), layout.bits);
    pixel_offset -= rows_size;
    bytes data{'B', 'M'};
    append_u32(data, static_cast<std::uint32_t>(14 + image.size()));
    append_u32(data, 0);
    append_u32(data, pixel_offset);
    data.insert(data.end(), image.begin(), image.end());
    return data;
}

bytes mask_rows(const picture& transparent) {
    bytes data;
    append_rows(data, transparent, 1, false);
    return data;
}

bytes icon_file(const std::vector<icon_entry>& entries) {
    bytes data;
    append_u16(data, 0);
    append_u16(data, 1);
    append_u16(data, static_cast<std::uint32_t>(entries.size()));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(entries.size());
    for (const icon_entry& entry : entries) {
        data.push_back(entry.width);
        data.push_back(entry.height);
        data.push_back(0); // colour count
        data.push_back(0); // reserved
        append_u16(data, 1);
        append_u16(data, entry.bits);
        append_u32(data, static_cast<std::uint32_t>(entry.image.size()));
        append_u32(data, offset);
        offset += static_cast<std::uint32_t>(entry.image.size());
    }
    for (const icon_entry& entry : entries) {
        data.insert(data.end(), entry.image.begin(), entry.image.end());
    }
    return data;
}

void put_u32(bytes& data, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        data.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

const std::uint8_t* pixel_at(const bitmap* object, std::int32_t x, std::int32_t y) {
    std::size_t row = static_cast<std::size_t>(object->height - 1 - y);
    return object->pixels + row * object->stride +
           static_cast<std::size_t>(x) * (object->depth / 8);
}

} // namespace korvel::test
