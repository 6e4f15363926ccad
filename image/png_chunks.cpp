// The chunk CRC check, with libdeflate's CRC-32, which is PNG's.
#include "image/png_chunks.h"

#include <libdeflate.h>

namespace korvel {

bool png_chunk_crc_matches(const std::uint8_t* chunk, std::uint32_t length) {
    const std::uint8_t* type = chunk + 4;
    return libdeflate_crc32(0, type, 4 + std::size_t{length}) == png_be32(type + 4 + length);
}

} // namespace korvel
