// Fuzz target: any bytes read by the BMP reader from memory, both as memory data and with the
// pixels kept as a file's would be.
#include "image/bmp_reader.h"
#include "tests/fuzz/fuzz_images.h"

#include <initializer_list>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    korvel::fuzz::ready_image_codecs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const korvel::bmp_keep keep : {korvel::bmp_keep::as_memory, korvel::bmp_keep::as_file}) {
        std::int32_t source_depth = 0;
        const korvel::image_handle_t handle =
            korvel::bmp_read(korvel::memory_source(data, size), keep, &source_depth);
        if (handle == 0) continue;
        korvel::fuzz::read_every_pixel(handle);
        korvel::bitmap_delete(handle);
    }
    return 0;
}
