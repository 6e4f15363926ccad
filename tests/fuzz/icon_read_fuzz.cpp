// Fuzz target: any bytes read by the icon reader from memory, bitmap and PNG images inside.
#include "image/icon_reader.h"
#include "tests/fuzz/fuzz_images.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    korvel::fuzz::ready_image_codecs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::int32_t source_depth = 0;
    const korvel::image_handle_t icon =
        korvel::icon_read(korvel::memory_source(data, size), &source_depth);
    if (icon == 0) return 0;
    korvel::fuzz::read_every_pixel(icon);
    korvel::bitmap_delete(icon);
    return 0;
}
