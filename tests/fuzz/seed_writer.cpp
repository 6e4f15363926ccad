// Writes the fuzz targets' first inputs, made with Korvel's own operations: small pictures saved
// by the PNG encoder and the BMP writer at several depths, icons built around those encodings,
// preference files, number texts and pattern-and-name pairs. Usage: fuzz_seed_writer FOLDER; each
// target's seeds go into FOLDER/<target>.
#include "image/bmp_format.h"
#include "image/codec.h"
#include "image/image.h"
#include "image/png_codec.h"
#include "runtime/utf.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using bytes = std::vector<std::uint8_t>;

constexpr korvel::obj_number picture = 1;

void write_file(const fs::path& path, const bytes& data) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()),
               static_cast<std::streamsize>(data.size()));
}

bytes read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A small picture with colour and alpha that vary from pixel to pixel.
bool make_picture(std::int32_t width, std::int32_t height) {
    if (korvel::image_create(picture, width, height, 32) == 0) return false;
    const korvel::bitmap* pixels = korvel::bitmap_get(korvel::image_handle(picture));
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            std::uint8_t* pixel = pixels->pixels + y * pixels->stride + x * 4;
            pixel[0] = static_cast<std::uint8_t>(x * 37);
            pixel[1] = static_cast<std::uint8_t>(y * 53);
            pixel[2] = static_cast<std::uint8_t>((x + y) * 11);
            pixel[3] = static_cast<std::uint8_t>(255 - x * y);
        }
    }
    return true;
}

// The picture's encoding, or nothing when the encoder refused it.
bytes encode(std::uint32_t encoder, std::int32_t depth, const fs::path& scratch) {
    const std::u16string name = korvel::utf16_from_utf8(scratch.string());
    if (!korvel::image_save(picture, name.c_str(), encoder, korvel::SAVE_DEFAULT_FLAGS, depth))
        return {};
    bytes data = read_file(scratch);
    fs::remove(scratch);
    return data;
}

void put_u16(bytes& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put_u32(bytes& out, std::uint32_t value) {
    put_u16(out, value & 0xFFFF);
    put_u16(out, value >> 16);
}

// A BMP file as an icon's bitmap image: the bitmap header and rows without the file header, the
// height doubled to count the mask rows that follow (all clear: every pixel opaque).
bytes icon_bitmap_image(const bytes& bmp_file, std::int32_t width, std::int32_t height) {
    using namespace korvel;
    bytes image(bmp_file.begin() + BMP_FILE_HEADER_SIZE, bmp_file.end());
    const std::uint32_t doubled = static_cast<std::uint32_t>(height) * 2;
    for (int i = 0; i < 4; ++i)
        image[BMP_INFO_HEIGHT + i] = static_cast<std::uint8_t>(doubled >> (8 * i));
    image.resize(image.size() + static_cast<std::size_t>(row_bytes(width, 1)) * height, 0);
    return image;
}

// An icon file whose one entry is image (PNG data or a bitmap image).
bytes icon_file(const bytes& image, std::int32_t width, std::int32_t height,
                std::uint16_t bit_count) {
    bytes icon;
    put_u16(icon, 0);
    put_u16(icon, korvel::ICON_TYPE);
    put_u16(icon, 1); // entries
    icon.push_back(static_cast<std::uint8_t>(width));
    icon.push_back(static_cast<std::uint8_t>(height));
    put_u16(icon, 0); // colour count and reserved
    put_u16(icon, 1); // planes
    put_u16(icon, bit_count);
    put_u32(icon, static_cast<std::uint32_t>(image.size()));
    put_u32(icon, korvel::ICON_DIRECTORY_SIZE + korvel::ICON_ENTRY_SIZE);
    icon.insert(icon.end(), image.begin(), image.end());
    return icon;
}

// The picture saved at depth by both encoders, into each image target's seeds: PNG and BMP files
// for loading, BMP files for the BMP reader, icons around both for the icon reader.
void write_encodings(const fs::path& folder, const std::string& name, std::int32_t width,
                     std::int32_t height, std::int32_t depth) {
    const bytes as_png = encode(korvel::ENCODER_PNG, depth, folder / "scratch");
    const bytes as_bmp = encode(korvel::ENCODER_BMP, depth, folder / "scratch");
    if (!as_png.empty()) {
        write_file(folder / "png_catch" / (name + ".png"), as_png);
        write_file(folder / "icon_read" / (name + "-png.ico"),
                   icon_file(as_png, width, height, 32));
    }
    if (as_bmp.size() > korvel::BMP_FILE_HEADER_SIZE + korvel::BMP_INFO_SIZE) {
        write_file(folder / "png_catch" / (name + ".bmp"), as_bmp);
        write_file(folder / "bmp_read" / (name + ".bmp"), as_bmp);
        write_file(folder / "icon_read" / (name + "-bmp.ico"),
                   icon_file(icon_bitmap_image(as_bmp, width, height), width, height,
                             static_cast<std::uint16_t>(depth)));
    }
}

void write_images(const fs::path& folder) {
    const std::int32_t sizes[][2] = {{1, 1}, {7, 3}, {16, 16}};
    for (const auto& size : sizes) {
        if (!make_picture(size[0], size[1])) continue;
        const std::string stem = std::to_string(size[0]) + "x" + std::to_string(size[1]);
        for (std::int32_t depth : {1, 4, 8, 24, 32})
            write_encodings(folder, stem + "-" + std::to_string(depth), size[0], size[1], depth);
        korvel::image_free(picture);
    }
}

void write_texts(const fs::path& folder, const std::vector<std::string>& texts) {
    int index = 0;
    for (const std::string& text : texts)
        write_file(folder / std::to_string(index++), bytes(text.begin(), text.end()));
}

// UTF-16 (little-endian, as the targets read their input) without a terminator.
std::string utf16_bytes(const std::u16string& text) {
    std::string out;
    for (char16_t unit : text) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    }
    return out;
}

void write_runtime_seeds(const fs::path& folder) {
    write_texts(folder / "pref_file",
                {"\xEF\xBB\xBF\r\n[Resolution]\r\nWidth = 640\r\nHeight = 480\r\n"
                 "[Image Count]\r\nTotal Images = 120\r\n",
                 "; comment\nTop=1\n[Group]\n  key  =  value with blanks  \n[group]\nkey\n",
                 "[Caf\xE9]\rNom=\xE9t\xE9\r", ""});
    write_texts(folder / "str_to_int",
                {utf16_bytes(u"  -123"), utf16_bytes(u"$FF"), utf16_bytes(u"+%1011"),
                 utf16_bytes(u"18446744073709551617"), utf16_bytes(u"\t-$8000000000000000x")});
    const std::u16string pairs[] = {u"*.png\0frame 001.PNG", u"*.*\0README", u"f??e*.png\0fume.png",
                                    u"*a*a*b\0aaaaaaaaaaaaaaaaaaaaaab",
                                    u"\xD83D\xDE00?\0\xD83D\xDE00x"};
    std::vector<std::string> texts;
    for (const std::u16string& pair : pairs)
        texts.push_back(utf16_bytes(pair));
    write_texts(folder / "name_pattern", texts);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seed_writer FOLDER\n");
        return 2;
    }
    const fs::path folder = argv[1];
    std::error_code error;
    for (const char* target :
         {"png_catch", "bmp_read", "icon_read", "pref_file", "str_to_int", "name_pattern"})
        fs::create_directories(folder / target, error);
    if (error) {
        std::fprintf(stderr, "fuzz_seed_writer: cannot create %s: %s\n", argv[1],
                     error.message().c_str());
        return 1;
    }
    korvel::images_init();
    korvel::codecs_init();
    korvel::png_decoder_register();
    korvel::png_encoder_register();
    write_images(folder);
    write_runtime_seeds(folder);
    return 0;
}
