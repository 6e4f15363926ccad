// Fuzz target: any bytes loaded as an image from memory, the way a frame file's contents are
// loaded (BMP, icon or a registered decoder, PNG here, chosen by the content alone).
#include "tests/fuzz/fuzz_images.h"

constexpr korvel::obj_number slot = 1;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    korvel::fuzz::ready_image_codecs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (korvel::image_catch(slot, data, size) == 0) return 0;
    korvel::fuzz::read_every_pixel(korvel::image_handle(slot));
    korvel::image_free(slot);
    return 0;
}
