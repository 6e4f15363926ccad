// Bounded reading of encoded image bytes from memory or from an open file, so that the BMP and
// icon readers check every offset and size against the real data in one place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace korvel {

struct byte_source {
    const std::uint8_t* memory; // memory sources; null for files
    std::FILE* file;            // file sources; null for memory
    std::uint64_t length;       // bytes that exist
};

byte_source memory_source(const std::uint8_t* data, std::size_t length);

// A source over the whole of an open file (its length measured now); length 0 when unknown.
byte_source file_source(std::FILE* file);

// True when offset + count lies within the data.
bool source_holds(const byte_source& source, std::uint64_t offset, std::uint64_t count);

// Copies count bytes from offset; false, with nothing promised about dest, when they do not all
// exist or cannot be read.
bool source_read(const byte_source& source, std::uint64_t offset, void* dest, std::size_t count);

} // namespace korvel
