// Writes the fuzz targets' first inputs: small pictures saved by Korvel's own PNG encoder and BMP
// writer at several depths and PNG row filters, icons around them, BMP files of run-length codes
// and with the core header, descriptions of PNG pictures, clips of every kind the clip writer
// makes, preference files, number texts and pattern-and-name pairs. Usage: fuzz_seed_writer
// FOLDER; each target's seeds go into FOLDER/<target>.
#include "image/bmp_format.h"
#include "image/clip_reader.h"
#include "image/clip_writer.h"
#include "runtime/utf.h"
#include "tests/fuzz/fuzz_images.h"
#include "tests/image/image_files.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
constexpr korvel::obj_number picture = 1;

// Creates the target's folder on first use; failing to, it throws and so ends the program.
void write_file(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// Little-endian, as the BMP and icon headers store their numbers.
std::string little_endian(std::uint32_t value, int size) {
    std::string out;
    for (int i = 0; i < size; ++i)
        out += static_cast<char>(value >> (8 * i));
    return out;
}

// The picture as the encoder writes it at depth, or nothing when the encoder refused it.
std::string encoding(std::uint32_t encoder, std::int32_t depth, const fs::path& scratch) {
    const std::u16string name = korvel::utf16_from_utf8(scratch.string());
    if (!korvel::image_save(picture, name.c_str(), encoder, korvel::SAVE_DEFAULT_FLAGS, depth))
        return {};
    std::ostringstream bytes;
    bytes << std::ifstream(scratch, std::ios::binary).rdbuf();
    fs::remove(scratch);
    return bytes.str();
}

// An icon file with one entry: PNG data, or a BMP file's header and rows without the file header,
// its height doubled to count the mask rows that follow (all clear: every pixel opaque).
std::string icon_file(std::string image, bool bmp, std::int32_t width, std::int32_t height,
                      std::int32_t depth) {
    using namespace korvel;
    if (bmp) {
        image.erase(0, BMP_FILE_HEADER_SIZE);
        image.replace(BMP_INFO_HEIGHT, 4, little_endian(2 * height, 4));
        image.append(static_cast<std::size_t>(row_bytes(width, 1)) * height, '\0');
    }
    const std::uint32_t bit_count = bmp ? depth : 32;
    return little_endian(0, 2) + little_endian(ICON_TYPE, 2) + little_endian(1, 2) +
           little_endian(width, 1) + little_endian(height, 1) + little_endian(0, 2) +
           little_endian(1, 2) + little_endian(bit_count, 2) + little_endian(image.size(), 4) +
           little_endian(ICON_DIRECTORY_SIZE + ICON_ENTRY_SIZE, 4) + image;
}

// The picture as frames are written, RGBA and RGB, behind each row filter.
void write_filtered_frames(const fs::path& folder, std::int32_t width, std::int32_t height) {
    using namespace korvel;
    const std::pair<png_row_filter, const char*> filters[] = {
        {png_row_filter::sub, "sub"},
        {png_row_filter::up, "up"},
        {png_row_filter::paeth, "paeth"},
        {png_row_filter::adaptive, "adaptive"}};
    const bitmap* source = bitmap_get(image_handle(picture));
    for (const auto& [filter, filter_name] : filters)
        for (const bool rgb : {false, true}) {
            const image_handle_t frame = bitmap_create(width, height, 32);
            std::copy_n(source->pixels, std::size_t(source->stride) * height,
                        bitmap_get(frame)->pixels);
            const fs::path scratch = folder / "a";
            const std::u16string name = utf16_from_utf8(scratch.string());
            if (png_encode_releasing(frame, name.c_str(), {6, filter, rgb, 0x336699}) == 0)
                continue;
            std::ostringstream bytes;
            bytes << std::ifstream(scratch, std::ios::binary).rdbuf();
            fs::remove(scratch);
            write_file(folder / "png_twin" /
                           (std::to_string(width) + "x" + std::to_string(height) + "-" +
                            filter_name + (rgb ? "-rgb.png" : "-rgba.png")),
                       bytes.str());
        }
}

// Pictures whose colour and alpha vary from pixel to pixel, saved at every depth by both
// encoders: PNG and BMP files to load, BMP files to read, icons around both encodings.
void write_images(const fs::path& folder) {
    using namespace korvel;
    for (const auto& [width, height] : {std::pair{1, 1}, {7, 3}, {16, 16}}) {
        if (image_create(picture, width, height, 32) == 0) continue;
        const bitmap* pixels = bitmap_get(image_handle(picture));
        for (std::int32_t y = 0; y < height; ++y)
            for (std::int32_t x = 0; x < width * 4; ++x)
                pixels->pixels[y * pixels->stride + x] = static_cast<std::uint8_t>(x * 37 + y * 53);
        for (const std::int32_t depth : {1, 4, 8, 24, 32}) {
            for (const bool bmp : {false, true}) {
                const auto bytes = encoding(bmp ? ENCODER_BMP : ENCODER_PNG, depth, folder / "a");
                const std::string name = std::to_string(width) + "x" + std::to_string(height) +
                                         "-" + std::to_string(depth) + (bmp ? ".bmp" : ".png");
                if (bytes.empty()) continue;
                write_file(folder / "png_catch" / name, bytes);
                if (!bmp) write_file(folder / "png_twin" / name, bytes);
                if (bmp) write_file(folder / "bmp_read" / name, bytes);
                write_file(folder / "icon_read" / (name + ".ico"),
                           icon_file(bytes, bmp, width, height, depth));
            }
        }
        write_filtered_frames(folder, width, height);
        image_free(picture);
    }
}

// Run-length codes of every kind (runs, absolute runs with and without padding, ends of line, a
// delta, the end of the bitmap) and rows under the core header, of 5 x 3 pictures.
void write_bmp_seeds(const fs::path& folder) {
    using namespace korvel;
    using namespace std::literals;
    const auto bmp = [](int bits, std::uint32_t header, std::uint32_t compression,
                        const std::string& codes) {
        test::dib_layout l{bits, compression, {}, {}, header, header == BMP_CORE_SIZE ? 0u : 16u};
        for (std::uint32_t i = 0; i < 16; ++i)
            l.palette.push_back(0x111111 * i);
        l.codes = codes;
        return test::bmp_file(l, test::dib_rows(3, {1, 2, 3, 4, 5}));
    };
    const std::string seeds[] = {
        bmp(8, BMP_INFO_SIZE, BI_RLE8, "\3\1\0\3\2\3\4\0\0\0\0\2\2\1\2\5\0\1"s),
        bmp(4, BMP_INFO_SIZE, BI_RLE4,
            "\5\x12\0\0\0\3\x34\x50\0\2\1\0\1\x60\0\0\0\5\x78\x9A\xB0\0\0\1"s),
        bmp(4, BMP_CORE_SIZE, BI_RGB, "")};
    for (std::size_t i = 0; i < std::size(seeds); ++i)
        write_file(folder / "bmp_read" / ("coded-" + std::to_string(i) + ".bmp"), seeds[i]);
}

// Three frames of colour that varies from pixel to pixel and frame to frame, with the sound of the
// clip at source when there is one; the smallest size of 16 and 64 pixels the codec takes.
void write_clip(const fs::path& path, const korvel::clip_format* format, const std::string& codec,
                const fs::path& source) {
    using namespace korvel;
    clip_read_options options;
    options.keep_sound = true;
    clip_facts facts;
    clip_reader* reader =
        clip_reader_open_with(utf16_from_utf8(source.string()).c_str(), options, &facts);
    clip_choices choices;
    choices.encoding.codec = codec.c_str();
    choices.sound = clip_reader_sound(reader);
    const std::u16string name = utf16_from_utf8(path.string());
    const char* problem = "";
    std::int32_t side = 16;
    const auto open = [&] {
        return clip_writer_open_with(name.c_str(), format, {side, side, 8, 1, 0, 1}, choices,
                                     &problem);
    };
    clip_writer* writer = open();
    if (!writer && (side = 64)) writer = open();
    for (int n = 0; writer && n < 3; ++n) {
        bitmap_delete(clip_reader_next(reader));
        const image_handle_t canvas = bitmap_create(side, side, 32);
        const bitmap* pixels = bitmap_get(canvas);
        for (std::int32_t i = 0; pixels && i < pixels->stride * side; ++i)
            pixels->pixels[i] = static_cast<std::uint8_t>(i * 29 + n * 71);
        clip_writer_add(writer, canvas);
    }
    if (writer) clip_writer_finish(writer);
    clip_writer_close(writer);
    clip_reader_close(reader);
}

// Every codec of every container that this system's FFmpeg has, with sound where the container
// takes it and the ffmpeg program can make a clip with sound to take it from (a seed as well).
void write_clips(const fs::path& folder) {
    using namespace korvel;
    const fs::path seeds = folder / "clip_read";
    fs::create_directories(seeds);
    const fs::path source = seeds / "source.nut";
    std::system(("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=s=16x16:r=8:d=0.5 -f lavfi -i "
                 "sine=r=8000:d=0.5 -c:v rawvideo -c:a pcm_s16le '" +
                 source.string() + "'")
                    .c_str());
    for (const char16_t* extension : {u".mp4", u".mkv", u".mov", u".webm", u".nut", u".y4m"}) {
        const clip_format* format = clip_format_for(extension);
        std::istringstream codecs(clip_format_codecs(format));
        for (std::string codec; std::getline(codecs >> std::ws, codec, ',');) {
            write_clip(seeds / (std::string(clip_format_name(format)) + "-" + codec), format, codec,
                       source);
        }
    }
}

// UTF-16, little-endian as the targets read it, without a terminator.
std::string utf16(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text)
        bytes += little_endian(unit, 2);
    return bytes;
}

// Preference files as bytes; numbers, and patterns with a name after their first zero unit, as
// UTF-16.
void write_runtime_seeds(const fs::path& folder) {
    using namespace std::literals;
    const std::pair<const char*, std::string> seeds[] = {
        {"pref_file",
         "\xEF\xBB\xBF\r\n[Resolution]\r\nWidth = 640\r\n[Image Count]\r\nTotal Images = 120\r\n"},
        {"pref_file", "; comment\nTop=1\n[Group]\n  key  =  value with blanks  \n[group]\nkey\n"},
        {"pref_file", "[Caf\xE9]\rNom=\xE9t\xE9\r"},
        {"str_to_int", utf16(u"  -123")},
        {"str_to_int", utf16(u"\t-$8000000000000000x")},
        {"name_pattern", utf16(u"*.png\0frame 001.PNG"s)},
        {"name_pattern", utf16(u"*a*a*b\0aaaaaaaaaaaaab"s)},
        {"name_pattern", utf16(u"\xD83D\xDE00?\0\xD83D\xDE00x"s)},
        // Width, height, colour type and window, level and IDAT size, palette, filtered rows.
        {"png_twin", "\x20\x04\x01\x59\x01\x02\x10\x20\x30\x40\x50\x60\x70"s},
        {"png_twin", "\x30\x05\x02\x13\x03\x0f\x99\x33\x04\x00\x01\x02\x03\x04\x05"s},
        {"png_twin", "\x11\x03\x04\x2d\x04\xaa\x55\x01\x02\x03"s},
    };
    for (std::size_t i = 0; i < std::size(seeds); ++i)
        write_file(folder / seeds[i].first / std::to_string(i), seeds[i].second);
}

} // namespace

// libx265 3.5 keeps a block from each encoder it opens past the encoder's close, which no caller
// can free; the leak checker is not to count it against the seeds.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libx265.so\n";
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seed_writer FOLDER\n");
        return 2;
    }
    korvel::fuzz::ready_image_codecs();
    korvel::png_encoder_register();
    write_runtime_seeds(argv[1]); // first: it makes the folder that the pictures pass through
    write_images(argv[1]);
    write_bmp_seeds(argv[1]);
    write_clips(argv[1]);
    return 0;
}
