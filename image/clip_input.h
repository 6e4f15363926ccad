// Where a clip is read from: a file by name, standard input, or bytes in memory; opened so that
// a hostile clip reaches nothing beyond itself (no other file, no network).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct AVFormatContext;

namespace korvel {

struct clip_origin {
    std::string name;                    // UTF-8 file name; empty for the other two
    bool standard_input = false;         // read once, as it comes
    const std::uint8_t* bytes = nullptr; // memory, the caller's
    std::size_t size = 0;
};

struct input_close {
    void operator()(AVFormatContext* container) const;
};

using input_ptr = std::unique_ptr<AVFormatContext, input_close>;

// Opens the container and reads its streams' facts into input. FFmpeg's error, else 0.
int open_input(const clip_origin& origin, input_ptr& input);

} // namespace korvel
