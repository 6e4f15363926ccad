// Frames and bitmaps for the clip reader and writer. 8-bit RGB pictures are moved channel by
// channel, never through libswscale, so that a lossless clip gives back exactly the bytes its
// frames were made of.
#include "image/clip_frames.h"

#include "runtime/error_text.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace korvel {
namespace {

// Channels in the bitmap's order: blue, green, red, then alpha.
constexpr int ALPHA = 3, CHANNELS = 4;

// Where blue, green, red and alpha of a picture's top-left pixel lie (null for a channel the
// picture lacks), and how far on the same channel of the next pixel and of the next row are.
struct channel_layout {
    std::uint8_t* first[CHANNELS] = {};
    std::ptrdiff_t pixel_step[CHANNELS] = {};
    std::ptrdiff_t row_step[CHANNELS] = {};
};

// A picture as libswscale takes it: planes with their rows from the top.
struct sws_picture {
    std::uint8_t* planes[4] = {};
    int strides[4] = {};
    AVPixelFormat format = AV_PIX_FMT_NONE;
};

// Bitmaps are stored bottom-up, so their top row is the last in memory and rows step back.
std::uint8_t* top_row(const bitmap& b) {
    return b.pixels + std::ptrdiff_t{b.height - 1} * b.stride;
}

channel_layout bitmap_layout(const bitmap& b) {
    channel_layout layout;
    const int bytes = b.depth / 8;
    for (int c = 0; c < bytes; ++c) {
        layout.first[c] = top_row(b) + c;
        layout.pixel_step[c] = bytes;
        layout.row_step[c] = -b.stride;
    }
    return layout;
}

// 8-bit RGB pictures, packed or planar. Palettes, bit fields, grey and YUV need converting.
bool copyable(const AVPixFmtDescriptor& d) {
    constexpr std::uint64_t converted = AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM |
                                        AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BAYER |
                                        AV_PIX_FMT_FLAG_FLOAT;
    if ((d.flags & converted) || !(d.flags & AV_PIX_FMT_FLAG_RGB)) return false;
    for (int i = 0; i < d.nb_components; ++i)
        if (d.comp[i].depth != 8 || d.comp[i].shift != 0) return false;
    return true;
}

channel_layout frame_layout(const AVFrame& frame, const AVPixFmtDescriptor& d) {
    // FFmpeg lists the components of RGB formats as red, green, blue, then alpha.
    constexpr int component[CHANNELS] = {2, 1, 0, 3};
    const int channels = d.flags & AV_PIX_FMT_FLAG_ALPHA ? CHANNELS : ALPHA;
    channel_layout layout;
    for (int c = 0; c < channels; ++c) {
        const AVComponentDescriptor& from = d.comp[component[c]];
        layout.first[c] = frame.data[from.plane] + from.offset;
        layout.pixel_step[c] = from.step;
        layout.row_step[c] = frame.linesize[from.plane];
    }
    return layout;
}

// Each channel that to has is taken from the same channel of from, or opaque for a missing alpha.
void copy_channels(const channel_layout& from, const channel_layout& to, int width, int height) {
    for (int c = 0; c < CHANNELS; ++c) {
        if (!to.first[c]) continue;
        for (std::ptrdiff_t y = 0; y < height; ++y) {
            std::uint8_t* out = to.first[c] + y * to.row_step[c];
            const std::uint8_t* in = from.first[c] ? from.first[c] + y * from.row_step[c] : nullptr;
            for (std::ptrdiff_t x = 0; x < width; ++x)
                out[x * to.pixel_step[c]] = in ? in[x * from.pixel_step[c]] : 255;
        }
    }
}

sws_picture bitmap_picture(const bitmap& b) {
    return {{top_row(b)}, {-b.stride}, b.depth == 32 ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR24};
}

sws_picture frame_picture(const AVFrame& frame) {
    sws_picture picture;
    for (int i = 0; i < 4; ++i) {
        picture.planes[i] = frame.data[i];
        picture.strides[i] = frame.linesize[i];
    }
    picture.format = static_cast<AVPixelFormat>(frame.format);
    return picture;
}

constexpr int HD_ROWS = 720;

AVColorSpace matrix_for_rows(int rows) {
    return rows >= HD_ROWS ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
}

// A tag as the file holds it: a damaged file can put any number into a field of enum type, which
// only its bytes may then be read as.
template <typename Tag>
int tag_value(const Tag& field) {
    int value = 0;
    static_assert(sizeof field == sizeof value);
    std::memcpy(&value, &field, sizeof value);
    return value;
}

// The frame's matrix tag, or for an untagged frame the one players assume.
int colour_matrix(const AVFrame& frame) {
    const int tag = tag_value(frame.colorspace);
    return tag == AVCOL_SPC_UNSPECIFIED ? matrix_for_rows(frame.height) : tag;
}

// Same size both sides: the filter only matters for chroma, interpolated to full resolution and
// rounded the same on every machine.
bool scale(const sws_picture& from, const sws_picture& to, const AVFrame& frame,
           ffmpeg_ptr<SwsContext>& scaler) {
    constexpr int flags =
        SWS_BILINEAR | SWS_BITEXACT | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP;
    scaler.reset(sws_getCachedContext(scaler.release(), frame.width, frame.height, from.format,
                                      frame.width, frame.height, to.format, flags, nullptr, nullptr,
                                      nullptr));
    if (!scaler) return false;
    // libswscale applies these to whichever side is YUV; it takes unknown tags as BT.601.
    const int* coefficients = sws_getCoefficients(colour_matrix(frame));
    const int full_range = tag_value(frame.color_range) == AVCOL_RANGE_JPEG;
    sws_setColorspaceDetails(scaler.get(), coefficients, full_range, coefficients, full_range, 0,
                             1 << 16, 1 << 16);
    return sws_scale(scaler.get(), from.planes, from.strides, 0, frame.height, to.planes,
                     to.strides) > 0;
}

thread_local std::uint64_t errors_logged = 0;
thread_local bool noting_errors = false;
thread_local char noted_error[256] = {};

void count_error(void*, int level, const char* format, std::va_list arguments) {
    if (level > AV_LOG_ERROR) return;
    ++errors_logged;
    if (!noting_errors) return;
    noting_errors = false;
    std::vsnprintf(noted_error, sizeof noted_error, format, arguments);
}

} // namespace

void ffmpeg_free::operator()(AVCodecContext* context) const {
    avcodec_free_context(&context);
}

void ffmpeg_free::operator()(AVFrame* frame) const {
    av_frame_free(&frame);
}

void ffmpeg_free::operator()(AVPacket* packet) const {
    av_packet_free(&packet);
}

void ffmpeg_free::operator()(SwsContext* scaler) const {
    sws_freeContext(scaler);
}

// SVT-AV1 prints its banner on standard error unless its own variable says otherwise; a value
// the user set stays.
void ffmpeg_quiet() {
    static const bool quiet = (av_log_set_callback(count_error), setenv("SVT_LOG", "1", 0), true);
    (void)quiet;
}

std::uint64_t ffmpeg_errors_logged() {
    return errors_logged;
}

void ffmpeg_note_errors() {
    noting_errors = true;
    noted_error[0] = 0;
}

const char* ffmpeg_noted_error(int averror) {
    noting_errors = false;
    if (!noted_error[0]) av_strerror(averror, noted_error, sizeof noted_error);
    std::size_t length = std::strlen(noted_error);
    while (length > 0 && (noted_error[length - 1] == '\n' || noted_error[length - 1] == ' '))
        noted_error[--length] = 0;
    return noted_error;
}

int errno_of(int averror) {
    const int error = -averror;
    return averror < 0 && *error_text(error) ? error : 0;
}

void tag_yuv_colour(AVCodecContext& encoder) {
    const bool hd = encoder.height >= HD_ROWS;
    encoder.colorspace = matrix_for_rows(encoder.height);
    encoder.color_primaries = hd ? AVCOL_PRI_BT709 : AVCOL_PRI_SMPTE170M;
    encoder.color_trc = hd ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M;
    encoder.color_range = AVCOL_RANGE_MPEG;
}

bool picture_copy(AVFrame& frame, const bitmap& b, picture_way way,
                  ffmpeg_ptr<SwsContext>& scaler) {
    const auto* d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame.format));
    if (!d) return false;
    const bool into_bitmap = way == picture_way::into_bitmap;
    if (copyable(*d)) {
        const channel_layout in_frame = frame_layout(frame, *d), in_bitmap = bitmap_layout(b);
        copy_channels(into_bitmap ? in_frame : in_bitmap, into_bitmap ? in_bitmap : in_frame,
                      frame.width, frame.height);
        return true;
    }
    const sws_picture in_frame = frame_picture(frame), in_bitmap = bitmap_picture(b);
    return scale(into_bitmap ? in_frame : in_bitmap, into_bitmap ? in_bitmap : in_frame, frame,
                 scaler);
}

} // namespace korvel
