// The fast PNG reader held to libpng alone (the public collections are in png_decode_test):
// generated layouts of every colour type, width, filter and IDAT framing, and files damaged in
// every way the fast reader must hand to libpng, each loaded both ways from memory and from a
// file, must give the same size, depths and pixels, or fail alike for the same cause.
#include "tests/image/image_files.h"
#include "tests/support/scratch_folder.h"

#include "image/codec.h"
#include "image/image.h"
#include "image/load_problem.h"
#include "image/png_codec.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <random>

namespace korvel::test {
namespace {

// Both loads (memory, then file) and their causes of failure.
bytes outcome(const bytes& file, bool libpng_alone, const scratch_folder& folder) {
    png_decode_through_libpng(libpng_alone);
    load_problem_clear();
    const bytes from_memory = take_image(0, catch_bytes(0, file)) + "|" + load_problem();
    folder.write("f.png", file);
    const bytes from_file = take_image(0, image_load(0, folder.name("f.png").c_str()));
    png_decode_through_libpng(false);
    return from_memory + "|" + from_file + "|" + load_problem();
}

// Whether the file loads at all, and the two ways agree.
bool loads_alike(const bytes& file, const scratch_folder& folder) {
    const bytes fast = outcome(file, false, folder);
    EXPECT_TRUE(fast == outcome(file, true, folder));
    return fast[0] != '|';
}

bytes zlib_of(const bytes& rows, int window_bits = 15, int level = 6) {
    z_stream s{};
    deflateInit2(&s, level, Z_DEFLATED, window_bits, 8, Z_DEFAULT_STRATEGY);
    bytes out(deflateBound(&s, uLong(rows.size())), '\0');
    s.next_in = z(rows);
    s.avail_in = uInt(rows.size());
    s.next_out = z(out);
    s.avail_out = uInt(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

// Random samples of eight values, so that the rows compress to less than the pixels they make
// (the fast path stages them there), behind the filter type given, or a random one per row for -1.
bytes filtered_rows(int channels, int width, int height, int filter, std::mt19937& rng) {
    bytes rows;
    for (int y = 0; y < height; ++y) {
        rows += char(filter >= 0 ? filter : int(rng() % 5));
        for (int i = 0; i < width * channels; ++i)
            rows += char(rng() % 8 * 36);
    }
    return rows;
}

// A file of the rows: header, a palette of entries where the type has one, the stream in pieces.
bytes file_of(int type, int width, int height, const bytes& stream, std::size_t piece = 1 << 20,
              int entries = 256) {
    chunk_list chunks{{"IHDR", png_header(width, height, type)}};
    if (type == PNG_COLOR_TYPE_PALETTE) {
        bytes palette;
        for (int i = 0; i < 3 * entries; ++i)
            palette += char(i * 29 + 7);
        chunks.emplace_back("PLTE", palette);
    }
    for (std::size_t at = 0; at < stream.size(); at += piece)
        chunks.emplace_back("IDAT", stream.substr(at, piece));
    return png_of_chunks(chunks);
}

TEST(PngFastPath, GeneratedLayoutsLoadAsThroughLibpngAlone) {
    image_codecs_ready();
    scratch_folder folder;
    std::mt19937 rng(7);
    int loaded = 0;
    for (const int type : {0, 2, 3, 4, 6})
        for (const int width : {1, 2, 5, 6, 15, 16, 17, 33, 70}) // below, at and past each block
            for (const int filter : {0, 1, 2, 3, 4, -1}) {
                SCOPED_TRACE(testing::Message() << type << ", " << width << ", " << filter);
                const bytes rows = filtered_rows("\1\0\3\1\2\0\4"[type], width, 5, filter, rng);
                const bytes stream = zlib_of(rows, 8 + width % 8); // some windows below 2^15
                loaded += loads_alike(file_of(type, width, 5, stream), folder);
                loaded += loads_alike(file_of(type, width, 5, stream, 7, 1 + width), folder);
            }
    EXPECT_EQ(loaded, 5 * 9 * 6 * 2);
}

bytes replaced(bytes file, std::size_t at, const bytes& with) {
    return file.replace(at, with.size(), with);
}

// The file with one chunk's data changed and its CRC made right again.
bytes with_data(const bytes& file, const std::string& type, const bytes& data) {
    chunk_list chunks = png_chunks(file);
    for (auto& [name, old] : chunks)
        if (name == type) old = data;
    chunks.pop_back(); // IEND, which png_of_chunks adds
    return png_of_chunks(chunks);
}

bytes with_chunk_after_header(const bytes& file, const bytes& chunk) {
    return file.substr(0, 33) + chunk + file.substr(33);
}

TEST(PngFastPath, DamagedAndUnusualFilesLoadOrFailAsThroughLibpngAlone) {
    image_codecs_ready();
    scratch_folder folder;
    std::mt19937 rng(11);
    const bytes rows = filtered_rows(3, 40, 6, -1, rng);
    const bytes stream = zlib_of(rows), plain = file_of(2, 40, 6, stream);
    const std::size_t idat = 33, data = idat + 8, crc = data + stream.size();
    bytes far_window = zlib_of(rows + rows + rows);               // matches 726 bytes back
    far_window[0] = 0x08, far_window[1] = char(31 - 0x0800 % 31); // declares a 256-byte window
    bytes interlaced = png_header(40, 6, 2), deep = png_header(20, 6, 2, 16);
    interlaced[12] = 1;
    bytes empty_idats;
    for (int i = 0; i < 3000; ++i)
        empty_idats += png_chunk("IDAT", {});
    const bytes bad_filter = replaced(rows, 2 * 121, "\5");
    const std::pair<const char*, bytes> cases[] = {
        {"as written", plain},
        {"IDAT CRC wrong", replaced(plain, crc, "\xAA")},
        {"IHDR CRC wrong", replaced(plain, 29, "\xAA")},
        {"Adler-32 wrong", with_data(plain, "IDAT", stream.substr(0, stream.size() - 1) + "\x55")},
        {"stream cut short", with_data(plain, "IDAT", stream.substr(0, stream.size() - 9))},
        {"a row short", file_of(2, 40, 6, zlib_of(rows.substr(0, rows.size() - 121)))},
        {"a row too long", file_of(2, 40, 6, zlib_of(rows + rows.substr(0, 121)))},
        {"bytes after the stream", with_data(plain, "IDAT", stream + "xyz")},
        {"an IDAT after the stream", file_of(2, 40, 6, stream + "xyz", stream.size())},
        {"empty IDATs in the stream",
         plain.substr(0, crc + 4) + empty_idats + plain.substr(crc + 4)},
        {"no IEND", plain.substr(0, plain.size() - 12)},
        {"file ends in the IDAT", plain.substr(0, data + stream.size() / 2)},
        {"over the pixel cap, an IDAT of 2^31 bytes claimed",
         replaced(with_data(plain, "IHDR", png_header(16385, 16384, 6)), idat, "\x80\0\0\0")},
        {"file ends in the next chunk's header", plain.substr(0, plain.size() - 9)},
        {"filter type 5", file_of(2, 40, 6, zlib_of(bad_filter))},
        {"matches beyond the declared window", file_of(2, 40, 18, far_window)},
        {"tRNS", with_chunk_after_header(plain, png_chunk("tRNS", bytes(6, '\1')))},
        {"gAMA", with_chunk_after_header(plain, png_chunk("gAMA", bytes("\0\1\x86\xA0", 4)))},
        {"tEXt", with_chunk_after_header(plain, png_chunk("tEXt", bytes("Title\0x", 7)))},
        {"tEXt CRC wrong",
         with_chunk_after_header(plain, replaced(png_chunk("tEXt", "ab"), 10, "!"))},
        {"PLTE in an RGB file", with_chunk_after_header(plain, png_chunk("PLTE", bytes(6, '\1')))},
        {"palette of 3 for indices to 255",
         file_of(3, 40, 6, zlib_of(filtered_rows(1, 40, 6, -1, rng)), 99, 3)},
        {"palette of 257", file_of(3, 40, 6, zlib_of(filtered_rows(1, 40, 6, 0, rng)), 99, 257)},
        {"palette of none", with_data(file_of(3, 4, 1, zlib_of(bytes(5, '\0'))), "PLTE", "")},
        {"16-bit", with_data(plain, "IHDR", deep)}, // the same bytes, twice the sample size
        {"interlaced", with_data(plain, "IHDR", interlaced)},
    };
    int loaded = 0;
    for (const auto& [name, file] : cases) {
        SCOPED_TRACE(name);
        loaded += loads_alike(file, folder);
    }
    EXPECT_GE(loaded, 8);
}

// zlib refuses the distance codes 30 and 31, which libdeflate reads as 29's: a stream that uses
// one loads through the fast path and fails through libpng. The one difference the two readers
// may show; that it shows at all proves that the fast path read the file.
TEST(PngFastPath, OnlyTheFastPathReadsAStreamThatZlibRefuses) {
    image_codecs_ready();
    constexpr int width = 30002, stored = 30000; // a grey row of 30003 filtered bytes
    bytes rows(1, '\0');
    for (int i = 1; i < stored; ++i)
        rows += char(i * 7);
    // The stored block, then the last one with fixed codes, least significant bit first: its
    // header 1 and 01, length 3 (code 0000001), distance code 30 (11110) with 13 extra bits of
    // 0 (24577), and the end of the block (0000000).
    bytes stream = "\x78\x01" + bytes{0, char(stored & 0xFF), char(stored >> 8),
                                      char(~stored & 0xFF), char(~stored >> 8 & 0xFF)};
    stream += rows + bytes("\x03\x3E\0\0\0", 5);
    rows += rows.substr(stored - 24577, 3);
    const uLong adler = adler32(1, z(rows), uInt(rows.size()));
    for (int shift = 24; shift >= 0; shift -= 8)
        stream += char(adler >> shift);
    bytes want = "30002x1x24/8:";
    for (int i = 1; i < width + 1; ++i)
        want += bytes(3, rows[i]);
    const bytes file = file_of(0, width, 1, stream);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(take_image(0, catch_bytes(0, file)) == want + bytes(2, '\0'));
    png_decode_through_libpng(true);
    EXPECT_EQ(catch_bytes(0, file), 0);
    png_decode_through_libpng(false);
    testing::internal::GetCapturedStderr();
}

} // namespace
} // namespace korvel::test
