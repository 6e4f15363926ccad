// PNG files assembled chunk by chunk, for files that no encoder would write: headers that lie
// about their size, and compressed chunks that inflate to far more than they hold.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel::test {

// A chunk with its length and CRC.
std::vector<std::uint8_t> png_chunk_bytes(const std::string& type,
                                          const std::vector<std::uint8_t>& data);

// IHDR data: 8-bit samples of the colour type, no interlace.
std::vector<std::uint8_t> header_data(std::uint32_t width, std::uint32_t height, int colour_type);

// A zlib stream of `length` bytes: head, then zeros. Built from one repeated block so that
// gigabytes cost milliseconds to make; about a thousandth of length long. length: a multiple of
// 1 MiB; head: shorter than 1 MiB.
std::vector<std::uint8_t> zlib_stream(const std::vector<std::uint8_t>& head, std::uint64_t length);
// zlib_stream of zeros only.
std::vector<std::uint8_t> zlib_zeros(std::uint64_t length);

// The signature followed by the chunks, given as type and data, then IEND.
std::vector<std::uint8_t>
png_from_chunks(const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& chunks);

} // namespace korvel::test
