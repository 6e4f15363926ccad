// What the clip reader and writer share: owners of FFmpeg's objects, FFmpeg's errors in the
// system's words, and pictures moved between FFmpeg's frames and bottom-up bitmaps. FFmpeg's
// types are only named here, so that the files including this one need none of its headers.
#pragma once

#include "image/bitmap.h"

#include <cstdint>
#include <memory>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace korvel {

struct ffmpeg_free {
    void operator()(AVCodecContext* context) const;
    void operator()(AVFrame* frame) const;
    void operator()(AVPacket* packet) const;
    void operator()(SwsContext* scaler) const;
};

template <typename T>
using ffmpeg_ptr = std::unique_ptr<T, ffmpeg_free>;

// Takes over FFmpeg's log for good: nothing is printed, as Korvel reports the causes of failures
// in its own words, but the errors logged on each thread are counted. SVT-AV1, which logs on its
// own, is told to print errors only (SVT_LOG=1) unless the environment says otherwise.
void ffmpeg_quiet();

// How many errors FFmpeg has logged on the calling thread. Some damage is only told this way: a
// demuxer meeting the end of a cut file in the middle of a packet drops the packet and reports
// no more than the end of the file.
std::uint64_t ffmpeg_errors_logged();

// FFmpeg's words for a failure: the first error it logged on the calling thread since
// ffmpeg_note_errors was called there, else the text of averror. The text is the thread's, kept
// until ffmpeg_note_errors is called there again, so that it can be noted as a load problem.
void ffmpeg_note_errors();
const char* ffmpeg_noted_error(int averror);

// The errno value an FFmpeg error stands for (ENOENT for AVERROR(ENOENT)), or 0 for FFmpeg's own
// errors, which the system has no words for.
int errno_of(int averror);

enum class picture_way { into_bitmap, into_frame };

// Tags the encoder's YUV pictures with the colour libswscale converts them in, as players assume
// it of untagged pictures: BT.709 for frames of 720 rows or more, else BT.601 (as SMPTE 170M),
// in limited range.
void tag_yuv_colour(AVCodecContext& encoder);

// Copies the picture between the frame and b, a bitmap of the frame's size: a 24- or 32-bit one
// into_bitmap (alpha 255 when the frame has none), a 32-bit one into_frame (which must be
// writable). 8-bit RGB pictures are copied byte for byte, as the PNG decoder gives them; others
// are converted with libswscale in the frame's colour matrix and range (an untagged matrix taken
// as tag_yuv_colour would tag it), its context kept in scaler for the next frame. False when
// libswscale cannot convert them.
bool picture_copy(AVFrame& frame, const bitmap& b, picture_way way, ffmpeg_ptr<SwsContext>& scaler);

} // namespace korvel
