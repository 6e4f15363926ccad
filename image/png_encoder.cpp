// The PNG encoder: writes 24- or 32-bit pixel memory as an 8-bit RGB or RGBA file whose image
// data is compressed beforehand by libdeflate and framed by libpng, or, for output depths 1 to 8,
// as a palette file that libpng writes whole from the palette quantizer's rows.
//
// libpng reports errors with longjmp: the functions that call it hold no object with a
// destructor, and the file name, the compressed image data and the quantizer are made and
// released outside them.
#include "image/codec.h"
#include "image/palette_quantizer.h"
#include "image/png_codec.h"
#include "image/png_idat_stream.h"
#include "image/png_rows.h"
#include "runtime/utf.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <string>

namespace korvel {
namespace {

// zlib's level for palette files, whose rows libpng compresses itself.
constexpr int PALETTE_COMPRESSION_LEVEL = 9;
// libpng's own IDAT size, so that the file is framed as readers are used to.
constexpr std::size_t IDAT_CHUNK_BYTES = 8192;

struct png_write_job {
    std::int32_t width;
    std::int32_t height;
    std::uint32_t row_flags;
    std::int32_t depth;
    std::int32_t colour_type;
    palette_quantizer* quantizer; // the palette path's, else null
    png_idat_stream idat;         // the true-colour path's, else empty
};

struct png_write_handles {
    png_structp png;
    png_infop info;
};

bool takes_palette_path(std::int32_t depth) {
    return depth >= 1 && depth <= 8;
}

// libpng writes the signature and the header; the image data is already compressed and only
// needs framing into chunks. png_write_end would refuse to close a file whose rows libpng did not
// write itself, so IEND is written as a plain chunk too.
void write_true_colour(png_structp png, png_infop info, const png_write_job& job) {
    png_set_IHDR(png, info, job.width, job.height, 8, job.colour_type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const png_idat_stream& idat = job.idat;
    for (std::size_t at = 0; at < idat.size; at += IDAT_CHUNK_BYTES) {
        png_write_chunk(png, reinterpret_cast<png_const_bytep>("IDAT"), idat.bytes + at,
                        std::min(IDAT_CHUNK_BYTES, idat.size - at));
    }
    png_write_chunk(png, reinterpret_cast<png_const_bytep>("IEND"), nullptr, 0);
}

void write_palette(png_structp png, png_infop info, const png_write_job& job) {
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, PALETTE_COMPRESSION_LEVEL);
    png_set_IHDR(png, info, job.width, job.height, job.depth, PNG_COLOR_TYPE_PALETTE,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color entries[256];
    const std::uint8_t* bgra = quantizer_palette(job.quantizer);
    const int count = 1 << job.depth;
    for (int i = 0; i < count; ++i, bgra += 4)
        entries[i] = {bgra[2], bgra[1], bgra[0]};
    png_set_PLTE(png, info, entries, count);
    png_set_gAMA_fixed(png, info, quantizer_gamma_times_100000(job.quantizer));
    png_write_info(png, info);
    for (std::int32_t y = 0; y < job.height; ++y) {
        png_write_row(png,
                      quantizer_row(job.quantizer, memory_row_of(y, job.height, job.row_flags)));
    }
}

// Writes the whole file; 0 when libpng raised an error. The handles are the caller's to destroy.
std::int32_t write_png(std::FILE* file, const png_write_job* job, png_write_handles* handles) {
    if (setjmp(png_jmpbuf(handles->png))) return 0;
    png_init_io(handles->png, file);
    handles->info = png_create_info_struct(handles->png);
    if (handles->info == nullptr) return 0;
    if (job->quantizer != nullptr) {
        write_palette(handles->png, handles->info, *job);
        png_write_end(handles->png, handles->info);
    } else {
        write_true_colour(handles->png, handles->info, *job);
    }
    return 1;
}

std::int32_t encode_to_file(std::FILE* file, const png_write_job& job) {
    png_write_handles handles{nullptr, nullptr};
    handles.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (handles.png == nullptr) return 0;
    const std::int32_t written = write_png(file, &job, &handles);
    png_destroy_write_struct(&handles.png, &handles.info);
    return written;
}

std::int32_t png_encode_rgb(const char16_t* file_name, const std::uint8_t* pixels,
                            std::int32_t width, std::int32_t height, std::int32_t stride,
                            std::uint32_t row_flags, std::uint32_t flags, std::int32_t depth) {
    return png_encode(file_name, pixels, width, height, stride, row_flags, flags, depth,
                      PNG_COLOR_TYPE_RGB);
}

std::int32_t png_encode_rgba(const char16_t* file_name, const std::uint8_t* pixels,
                             std::int32_t width, std::int32_t height, std::int32_t stride,
                             std::uint32_t row_flags, std::uint32_t flags, std::int32_t depth) {
    return png_encode(file_name, pixels, width, height, stride, row_flags, flags, depth,
                      PNG_COLOR_TYPE_RGB_ALPHA);
}

std::FILE* open_for_writing(const char16_t* file_name) {
    try {
        return std::fopen(utf8_from_utf16(file_name).c_str(), "wb");
    } catch (...) {
        return nullptr;
    }
}

// Writes the job's file when its image data was made, frees that data and closes the file.
std::int32_t finish_file(std::FILE* file, png_write_job* job) {
    std::int32_t written = 0;
    if (job->quantizer != nullptr || job->idat.bytes != nullptr)
        written = encode_to_file(file, *job);
    quantizer_free(job->quantizer);
    png_idat_free(&job->idat);
    // A full disk may only show when the last buffered bytes go out.
    const bool closed = std::fclose(file) == 0;
    return written != 0 && closed ? 1 : 0;
}

} // namespace

std::int32_t png_encode(const char16_t* file_name, const std::uint8_t* pixels, std::int32_t width,
                        std::int32_t height, std::int32_t stride, std::uint32_t row_flags,
                        std::uint32_t flags, std::int32_t depth, std::int32_t colour_type) {
    if (pixels == nullptr) return 0;
    std::FILE* file = open_for_writing(file_name);
    if (file == nullptr) return 0;
    png_write_job job{width, height, row_flags, depth, colour_type, nullptr, {nullptr, 0}};
    const std::int32_t bytes_per_pixel = colour_type == PNG_COLOR_TYPE_RGB ? 3 : 4;
    if (takes_palette_path(depth)) {
        job.quantizer =
            quantizer_create(pixels, width, height, bytes_per_pixel * 8, stride, depth, flags);
    } else {
        job.idat = png_idat_compress({pixels, width, height, stride, row_flags, bytes_per_pixel},
                                     png_frame_settings{});
    }
    return finish_file(file, &job);
}

std::int32_t png_encode_releasing(image_handle_t canvas, const char16_t* file_name,
                                  const png_frame_settings& settings) {
    const bitmap* object = bitmap_get(canvas);
    const bool frame = object != nullptr && object->type == OBJ_BITMAP && object->depth == 32;
    std::FILE* file = frame ? open_for_writing(file_name) : nullptr;
    const std::int32_t colour_type = settings.rgb ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA;
    png_write_job job{0, 0, ROWS_BOTTOM_UP, 32, colour_type, nullptr, {nullptr, 0}};
    png_idat_stream rows{nullptr, 0};
    if (file != nullptr) {
        job.width = object->width;
        job.height = object->height;
        rows = png_idat_filter(
            {object->pixels, object->width, object->height, object->stride, ROWS_BOTTOM_UP, 4},
            settings);
    }
    bitmap_delete(canvas);
    if (file == nullptr) return 0;
    job.idat = png_idat_deflate(&rows, settings.level);
    return finish_file(file, &job);
}

void png_encoder_register() {
    static const encoder_entry entry{ENCODER_PNG, png_encode_rgb, png_encode_rgba};
    static const bool registered = (encoder_register(&entry), true);
    (void)registered;
}

} // namespace korvel
