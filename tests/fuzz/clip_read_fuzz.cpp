// Fuzz target: any bytes read as a clip from memory, every frame decoded (up to a bound) and its
// pixels read, the sound kept as for a writer, the frames' times read first for half the inputs.
// Frames are bounded to 4 Mpixels here so that a claimed size costs the fuzzer seconds, not its
// memory limit; the 1 GiB limit is the same check.
#include "image/clip_reader.h"
#include "tests/fuzz/fuzz_images.h"

namespace {

constexpr int MOST_FRAMES = 64;
constexpr std::int64_t LARGEST_FRAME = std::int64_t{1} << 22;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    korvel::fuzz::ready_image_codecs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    korvel::clip_read_options options;
    options.threads = 1;
    options.keep_sound = true;
    options.keep_times = size % 2 == 0; // the counting pass with and without times
    options.largest_frame = LARGEST_FRAME;
    korvel::clip_facts facts;
    korvel::clip_reader* reader = korvel::clip_reader_open_memory(data, size, options, &facts);
    std::int64_t time = 0;
    for (int n = 0; reader && n < MOST_FRAMES; ++n) {
        const korvel::image_handle_t frame = korvel::clip_reader_next_timed(reader, &time);
        if (!frame) break;
        korvel::fuzz::read_every_pixel(frame);
        korvel::bitmap_delete(frame);
    }
    korvel::clip_reader_close(reader);
    return 0;
}
