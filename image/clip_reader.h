// Video files as input frames: the first video stream of a clip, decoded in presentation order
// into bitmaps laid out as the PNG decoder lays them out, so that a frame of a clip is drawn
// exactly as the same picture saved as a PNG file of that colour type would be.
#pragma once

#include "image/bitmap.h"

#include <cstdint>

namespace korvel {

struct clip_facts {
    std::int32_t width = 0; // pixels of the stream's pictures
    std::int32_t height = 0;
    std::int64_t frames = 0;   // from the container, or counted from the stream's packets
    std::int32_t depth = 0;    // 32 when the stream has alpha (frames are BGRA), else 24 (BGR)
    std::int32_t rate_num = 0; // frames per second as a fraction; 0/1 when the clip does not say
    std::int32_t rate_den = 1;
};

struct clip_reader;

// Opens the clip at path and reads its facts. Null when it cannot, with the cause noted as a load
// problem: the system's word when the file cannot be opened, "not a video or picture korvel can
// read", "no video stream", "no decoder for its video", "damaged" when a container that does not
// say how many frames it holds proves damaged while they are counted. The decoder uses at most
// threads threads (0: as many as there are processors). Any thread may open a clip of its own.
clip_reader* clip_reader_open(const char16_t* path, std::int32_t threads, clip_facts* facts);

// The next frame in presentation order as a bottom-up bitmap of the facts' depth (straight BGRA
// for 32, BGR for 24) at the frame's own size, the caller owning it; 0 after the last frame or on
// a failure, with the cause noted as a load problem ("cut short" when the stream ends before
// the counted frames, "damaged" when it cannot be decoded, "out of memory").
image_handle_t clip_reader_next(clip_reader* reader);

// Frees the reader and everything it holds; null is ignored.
void clip_reader_close(clip_reader* reader);

} // namespace korvel
