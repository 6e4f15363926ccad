// PNG files written and read with libpng directly: its full interface where the tests need the file
// as stored, its simplified one where they need the pixels.
#include "tests/support/test_png.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>

namespace korvel::test {

namespace {

// What the libpng routines below work on. They hold nothing with a destructor, because libpng
// leaves them by longjmp when a file is damaged.
struct png_io {
    std::FILE* file = nullptr;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bit_depth = 0;
    int colour_type = -1;
    int interlace = -1;
    std::uint8_t* pixels = nullptr; // malloc'd
    png_bytep* rows = nullptr;      // malloc'd
    const char* error = nullptr;
};

bool point_rows(png_io* io, std::size_t row_bytes) {
    io->rows = static_cast<png_bytep*>(std::malloc(io->height * sizeof(png_bytep)));
    if (!io->rows) return false;
    for (png_uint_32 y = 0; y < io->height; ++y)
        io->rows[y] = io->pixels + y * row_bytes;
    return true;
}

bool write_rows(png_io* io) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, io->file);
    // Inputs are many and small; a fast level keeps making them cheap.
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, io->width, io->height, 8, io->colour_type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, io->rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool read_rows(png_io* io) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        io->error = "libpng could not read the file";
        return false;
    }
    png_init_io(png, io->file);
    png_read_info(png, info);
    png_get_IHDR(png, info, &io->width, &io->height, &io->bit_depth, &io->colour_type,
                 &io->interlace, nullptr, nullptr);
    const bool rgba8 = io->bit_depth == 8 && io->colour_type == PNG_COLOR_TYPE_RGB_ALPHA &&
                       io->interlace == PNG_INTERLACE_NONE;
    const bool small = io->width <= 4096 && io->height <= 4096;
    if (rgba8 && small) {
        io->pixels = static_cast<std::uint8_t*>(std::malloc(io->width * io->height * 4u + 1u));
        if (!io->pixels || !point_rows(io, io->width * 4u)) png_error(png, "out of memory");
        png_read_image(png, io->rows);
        png_read_end(png, nullptr);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

void release(png_io& io) {
    if (io.file) std::fclose(io.file);
    std::free(io.rows);
    std::free(io.pixels);
}

} // namespace

rgba_image blank_image(int width, int height) {
    rgba_image image;
    image.width = width;
    image.height = height;
    image.rgba.assign(static_cast<std::size_t>(width) * height * 4, 0);
    return image;
}

bool write_png(const std::string& path, const rgba_image& image, bool with_alpha) {
    png_io io;
    io.width = static_cast<png_uint_32>(image.width);
    io.height = static_cast<png_uint_32>(image.height);
    io.colour_type = with_alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
    const std::size_t channels = with_alpha ? 4 : 3;
    io.pixels = static_cast<std::uint8_t*>(std::malloc(image.rgba.size() + 1));
    if (!io.pixels || !point_rows(&io, io.width * channels)) {
        release(io);
        return false;
    }
    std::uint8_t* out = io.pixels;
    for (std::size_t i = 0; i < image.rgba.size(); i += 4)
        for (std::size_t c = 0; c < channels; ++c)
            *out++ = image.rgba[i + c];
    io.file = std::fopen(path.c_str(), "wb");
    bool written = io.file && write_rows(&io);
    if (io.file) written = std::fclose(io.file) == 0 && written;
    io.file = nullptr;
    release(io);
    return written;
}

png_read read_png(const std::string& path) {
    png_read result;
    png_io io;
    io.file = std::fopen(path.c_str(), "rb");
    if (!io.file) {
        result.error = "cannot open " + path;
        return result;
    }
    result.ok = read_rows(&io);
    if (io.error) result.error = io.error;
    result.colour_type = io.colour_type;
    result.bit_depth = io.bit_depth;
    result.interlace = io.interlace;
    if (result.ok && io.pixels) {
        result.image.width = static_cast<int>(io.width);
        result.image.height = static_cast<int>(io.height);
        result.image.rgba.assign(io.pixels, io.pixels + io.width * io.height * 4u);
    }
    release(io);
    return result;
}

namespace {

std::uint32_t next_random(std::uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

} // namespace

rgba_image pattern_image(int width, int height, std::uint32_t seed, bool with_alpha) {
    rgba_image image = blank_image(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* pixel = image.at(x, y);
            pixel[0] = static_cast<std::uint8_t>(x * 3 + seed * 37);
            pixel[1] = static_cast<std::uint8_t>(y * 5 + seed * 11);
            pixel[2] = static_cast<std::uint8_t>((x + y) * 7 + seed * 53);
            pixel[3] = with_alpha ? static_cast<std::uint8_t>(x * y + seed * 29 + 90) : 255;
        }
    }
    return image;
}

rgba_image noise_image(int width, int height, std::uint32_t seed) {
    rgba_image image = blank_image(width, height);
    std::uint32_t state = seed * 2654435761u + 1;
    for (std::uint8_t& byte : image.rgba)
        byte = static_cast<std::uint8_t>(next_random(state) >> 24);
    return image;
}

void write_frames(const std::string& folder, int count, int width, int height, bool with_alpha,
                  const std::string& prefix) {
    for (int i = 1; i <= count; ++i) {
        char number[16];
        std::snprintf(number, sizeof number, "%03d", i);
        write_png(folder + "/" + prefix + number + ".png",
                  pattern_image(width, height, static_cast<std::uint32_t>(i), with_alpha),
                  with_alpha);
    }
}

rgba_image read_png_rgba(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGBA;
    rgba_image result = blank_image(static_cast<int>(image.width), static_cast<int>(image.height));
    if (!png_image_finish_read(&image, nullptr, result.rgba.data(), 0, nullptr)) return {};
    return result;
}

} // namespace korvel::test
