// Fuzz target: any bytes read by the BMP reader from memory, both as memory data and with the
// pixels kept as a file's would be.
#include "image/bmp_reader.h"
#include "tests/fuzz/fuzz_images.h"

namespace {

void read_as(const korvel::byte_source& source, korvel::bmp_keep keep) {
    std::int32_t source_depth = 0;
    const korvel::image_handle_t handle = korvel::bmp_read(source, keep, &source_depth);
    if (handle == 0) return;
    korvel::fuzz::read_every_pixel(handle);
    korvel::bitmap_delete(handle);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    korvel::fuzz::ready_image_codecs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const korvel::byte_source source = korvel::memory_source(data, size);
    read_as(source, korvel::bmp_keep::as_memory);
    read_as(source, korvel::bmp_keep::as_file);
    return 0;
}
