// Loading PNG files: every colour type, bit depth, interlace and tRNS case gives the pixels worked
// out from the stored samples; the public collections load alike from file and memory, and through
// libpng alone as through the fast reader; damaged files, and any that claim far more than they
// hold, are refused or read within the pixel cap, quickly and without the peak memory growing by
// much.
#include "tests/image/image_files.h"
#include "tests/support/process_watch.h"
#include "tests/support/scratch_folder.h"

#include "image/bmp_format.h"
#include "image/codec.h"
#include "image/image.h"
#include "image/png_codec.h"
#include "runtime/utf.h"

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <filesystem>

namespace korvel::test {
namespace {

namespace fs = std::filesystem;
constexpr std::uint64_t MIB = std::uint64_t{1} << 20, GIB = MIB << 10;

bytes deflate_part(z_stream& stream, const bytes& input, int flush) {
    bytes out, buffer(1 << 16, '\0');
    stream.next_in = z(input);
    stream.avail_in = uInt(input.size());
    do {
        stream.next_out = z(buffer);
        stream.avail_out = uInt(buffer.size());
        deflate(&stream, flush);
        out += buffer.substr(0, buffer.size() - stream.avail_out);
    } while (stream.avail_out == 0);
    return out;
}

// A zlib stream of length bytes (a multiple of 1 MiB), head and then zeros, a thousandth as long.
// After a full flush the compressor starts afresh, so every further block of zeros deflates to
// the same bytes; the Adler-32 of the whole is combined from those of its blocks.
bytes zlib_stream(const bytes& head, std::uint64_t length) {
    const bytes first = head + bytes(MIB - head.size(), '\0'), zeros(MIB, '\0');
    z_stream stream{};
    deflateInit(&stream, Z_BEST_COMPRESSION);
    bytes out = deflate_part(stream, first, Z_FULL_FLUSH);
    const bytes repeated = deflate_part(stream, zeros, Z_FULL_FLUSH);
    const bytes ending = deflate_part(stream, {}, Z_FINISH);
    deflateEnd(&stream);
    uLong adler = adler32(1, z(first), MIB), zeros_adler = adler32(1, z(zeros), MIB);
    for (std::uint64_t done = MIB; done < length; done += MIB) {
        out += repeated;
        adler = adler32_combine(adler, zeros_adler, MIB);
    }
    out += ending.substr(0, ending.size() - 4);
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char(adler >> shift);
    return out;
}

// What a load of the picture must give (as take_image tells it): its size and depths, then
// bottom-up rows of blue, green, red(, alpha) padded to four bytes. 16-bit samples keep their high
// byte, lower depths stretch to 0..255; tRNS counts for palettes and grey below 8 bits only.
bytes expected_image(const png_picture& p, int depth, int source_depth) {
    const int size = depth / 8, stride = (p.width * size + 3) / 4 * 4;
    bytes rows(std::size_t(stride) * p.height, '\0');
    for (int i = 0, x = 0, y = 0; i < p.width * p.height; x = ++i % p.width, y = i / p.width) {
        const auto s = [&](int c) {
            const int v = p.sample(x, y, c);
            return char(p.bit_depth == 16 ? v >> 8 : v * 255 / ((1 << p.bit_depth) - 1));
        };
        const int k = p.sample(x, y, 0), alpha = p.colour_type & PNG_COLOR_MASK_ALPHA;
        const bool keyed = p.trns && p.bit_depth < 8 && k == p.sample(0, 0, 0);
        bytes pixel = {s(0), s(0), s(0), alpha ? s(1) : char(keyed ? 0 : 255)};
        if (p.channels() >= 3) pixel = {s(2), s(1), s(0), alpha ? s(3) : '\xFF'};
        if (p.colour_type == PNG_COLOR_TYPE_PALETTE)
            pixel = {char(p.palette[3 * k + 2]), char(p.palette[3 * k + 1]), char(p.palette[3 * k]),
                     char(k < int(p.palette_alpha.size()) ? p.palette_alpha[k] : 255)};
        rows.replace(std::size_t(p.height - 1 - y) * stride + x * size, size, pixel, 0, size);
    }
    return std::to_string(p.width) + "x" + std::to_string(p.height) + "x" + std::to_string(depth) +
           "/" + std::to_string(source_depth) + ":" + rows;
}

TEST(PngDecoder, EveryLayoutLoadsAsItsSamplesFromFileAndFromMemory) {
    image_codecs_ready();
    scratch_folder folder;
    for (const int type : {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_PALETTE,
                           PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGBA})
        for (const int bits : {1, 2, 4, 8, 16})
            for (const int variant : {0, 1, 2, 3}) { // with tRNS and with interlace
                const bool trns = variant & 1, interlaced = variant & 2;
                const bool palette = type == PNG_COLOR_TYPE_PALETTE;
                const bool allowed =
                    type == PNG_COLOR_TYPE_GRAY || (palette ? bits <= 8 : bits >= 8);
                if (!allowed || (trns && (type & PNG_COLOR_MASK_ALPHA))) continue; // as PNG allows
                SCOPED_TRACE(testing::Message() << type << ", " << bits << " bits, " << variant);
                // 11 wide: 24-bit rows need padding; every interlace pass is partly filled.
                const png_picture p(11, 7, type, bits, interlaced, trns);
                const bool alpha = (type & PNG_COLOR_MASK_ALPHA) || (trns && (palette || bits < 8));
                const int source_depth =
                    (type & PNG_COLOR_MASK_COLOR) && !palette ? 24 + 8 * alpha : bits;
                const bytes want = expected_image(p, alpha ? 32 : 24, source_depth);
                folder.write("p.bmp", png_file(p)); // the content decides, not the name
                EXPECT_TRUE(take_image(0, catch_bytes(0, png_file(p))) == want);
                EXPECT_TRUE(take_image(0, image_load(0, folder.name("p.bmp").c_str())) == want);
            }
}

TEST(PngCollections, FilesLoadAlikeFromFileAndMemoryAndInterlacedOnesAsTheirPlainTwins) {
    const fs::path shared{KORVEL_SHARED_DIR};
    if (!fs::is_directory(shared / "pngsuite") || !fs::is_directory(shared / "testpngs"))
        GTEST_SKIP() << "the PNG collections pngsuite and testpngs are not in " << shared;
    image_codecs_ready();
    const auto load = [](const fs::path& path, bool from_memory) {
        return take_image(0, from_memory ? catch_bytes(0, read_file(path))
                                         : image_load(0, utf16_from_utf8(path.string()).c_str()));
    };
    int twins = 0;
    testing::internal::CaptureStderr();
    for (const std::string folder : {"pngsuite", "pngsuite/interlaced", "testpngs",
                                     "testpngs/png-3", "testpngs/crashers", "testpngs/badpal"}) {
        const bool damaged = folder == "testpngs/crashers" || folder == "testpngs/badpal";
        for (const auto& entry : fs::directory_iterator(shared / folder)) {
            const fs::path& path = entry.path();
            if (path.extension() != ".png") continue;
            const std::string from_file = load(path, false), name = path.filename().string();
            EXPECT_TRUE(from_file == load(path, true)) << path; // damaged ones fail or load whole
            png_decode_through_libpng(true);
            EXPECT_TRUE(from_file == load(path, false)) << path << " read by libpng alone";
            png_decode_through_libpng(false);
            EXPECT_TRUE(damaged || !from_file.empty()) << path;
            // "ibasn0g01.png" is "basn0g01.png" interlaced, beside it or in the folder above.
            fs::path twin = path.parent_path() / name.substr(1);
            if (!fs::exists(twin)) twin = shared / "pngsuite" / name.substr(1);
            if (damaged || name[0] != 'i' || !fs::exists(twin)) continue;
            EXPECT_TRUE(from_file == load(twin, false)) << path << " and " << twin;
            ++twins;
        }
    }
    testing::internal::GetCapturedStderr();
    EXPECT_GE(twins, 30);
}

constexpr std::int64_t GROWTH_LIMIT_KIB = 96 * 1024;
constexpr double TIME_LIMIT_SECONDS = 5; // sanitizer builds are slow, filling gigabytes far slower

struct limit_case {
    std::string name;
    bytes file;
    bytes twin = {}; // the file whose pixels the load must give; none: the load must fail
    double seconds = TIME_LIMIT_SECONDS;
    std::uint64_t hole_to = 0; // padded with a hole to that size and loaded from disk only
};

bytes claiming(std::uint32_t width, std::uint32_t height, int colour_type, std::uint64_t zeros) {
    return png_of_chunks(
        {{"IHDR", png_header(width, height, colour_type)}, {"IDAT", zlib_stream({}, zeros)}});
}
bytes with_chunk(const bytes& file, const bytes& chunk) { // right after IHDR
    return file.substr(0, 8 + 25) + chunk + file.substr(8 + 25);
}
bytes with_trailing_gigabyte(const png_picture& p) { // in the stream after the last row
    return png_of_chunks(
        {png_chunks(png_file(p)).front(), {"IDAT", zlib_stream(png_rows(p), GIB)}});
}

TEST(ImageLimits, DamagedFilesAndHugeClaimsAreRefusedOrReadWithinTimeAndMemory) {
    image_codecs_ready();
    const png_picture plain(13, 7, PNG_COLOR_TYPE_RGBA, 8),
        interlaced(16, 16, PNG_COLOR_TYPE_RGBA, 8, true);
    const bytes rgba = png_file(plain),
                widest = png_file(png_picture(32767, 1, PNG_COLOR_TYPE_GRAY, 1));
    const bytes big = png_file(png_picture(100, 100, PNG_COLOR_TYPE_RGB, 8));
    const bytes bomb = zlib_stream({}, GIB), icc_claim = zlib_stream({0x40, 0, 0, 0}, GIB);
    bytes bad_header = rgba, bmp = bmp_file({32}, {{0xFF102030}});
    bad_header[8 + 8 + 9] = 5; // a colour type that does not exist
    put_le32(bmp, BMP_FILE_HEADER_SIZE + BMP_INFO_WIDTH, 32767);
    put_le32(bmp, BMP_FILE_HEADER_SIZE + BMP_INFO_HEIGHT, 32767);
    bytes icon = icon_file({{32, dib_image({32}, {{0xFF102030}}, {{0}})}});
    constexpr std::size_t image = ICON_DIRECTORY_SIZE + ICON_ENTRY_SIZE;
    put_le32(icon, ICON_DIRECTORY_SIZE + ICON_ENTRY_LENGTH, std::uint32_t(3 * GIB));
    put_le32(icon, image + BMP_INFO_WIDTH, 32767);
    put_le32(icon, image + BMP_INFO_HEIGHT, 2 * 32767);
    // clang-format off
    std::vector<limit_case> cases{
        {"not an image", "hello"},
        {"shorter than the signature", rgba.substr(0, 7)},
        {"wrong signature", rgba.substr(0, 1) + "Q" + rgba.substr(2)},
        {"damaged header", bad_header},
        {"cut inside its image data", big.substr(0, big.size() / 2)},
        {"32768 wide", png_file(png_picture(32768, 1, PNG_COLOR_TYPE_GRAY, 1))},
        {"32767 wide", widest, widest},
        {"4 GiB of RGBA rows", claiming(32767, 32767, PNG_COLOR_TYPE_RGBA, 4096 * MIB)},
        {"3 GiB of grey claimed", claiming(32767, 32767, PNG_COLOR_TYPE_GRAY, 16 * MIB)},
        {"one row past 1 GiB", claiming(16384, 16385, PNG_COLOR_TYPE_RGBA, 1025 * MIB)},
        {"zTXt of 1 GiB", with_chunk(rgba, png_chunk("zTXt", bytes("Note\0\0", 6) + bomb)), rgba},
        {"iTXt of 1 GiB", with_chunk(rgba, png_chunk("iTXt", bytes("Note\0\1\0\0\0", 9) + bomb)), rgba},
        {"iCCP of 1 GiB", with_chunk(rgba, png_chunk("iCCP", bytes("icc\0\0", 5) + bomb)), rgba},
        {"iCCP claiming 1 GiB", with_chunk(rgba, png_chunk("iCCP", bytes("icc\0\0", 5) + icc_claim)), rgba},
        {"1 GiB after the last row", with_trailing_gigabyte(plain), rgba, 1.0},
        {"1 GiB after the last pass", with_trailing_gigabyte(interlaced), png_file(interlaced), 1.0},
        {"BMP over the cap", bmp, {}, TIME_LIMIT_SECONDS, bmp.size() + 4 * 32767ull * 32767},
        {"icon entry over the cap", icon, {}, TIME_LIMIT_SECONDS, image + 3 * GIB}};
    // clang-format on
    for (const std::string type : {"tEXt", "zTXt", "iTXt", "sPLT", "pCAL", "sCAL", "iCCP", "juNK"})
        cases.push_back(
            {type + " claiming 1 GiB", with_chunk(rgba, "\x3F\xFF\xFF\xFF" + type + "data")});
    scratch_folder folder;
    testing::internal::CaptureStderr();
    for (const limit_case& c : cases) {
        SCOPED_TRACE(c.name);
        folder.write("c", c.file);
        ASSERT_TRUE(c.hole_to == 0 || truncate(folder.path("c").c_str(), off_t(c.hole_to)) == 0);
        const std::int64_t peak = peak_resident_kib();
        const auto start = std::chrono::steady_clock::now();
        const bytes from_file = take_image(1, image_load(1, folder.name("c").c_str()));
        const bytes from_memory =
            c.hole_to != 0 ? from_file : take_image(1, catch_bytes(1, c.file));
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                  c.seconds);
        EXPECT_LT(peak_resident_kib() - peak, GROWTH_LIMIT_KIB);
        EXPECT_TRUE(from_file == (c.twin.empty() ? "" : take_image(0, catch_bytes(0, c.twin))));
        EXPECT_TRUE(from_memory == from_file);
    }
    testing::internal::GetCapturedStderr();
    ASSERT_NE(image_create(0, 16384, 16384, IMAGE_TRANSPARENT | 32), 0) << "exactly the pixel cap";
    EXPECT_EQ(image_create(0, 16385, 16384, 32), 0);
    EXPECT_EQ(image_is_valid(0), 0) << "a refused image leaves the number empty";
}

} // namespace
} // namespace korvel::test
