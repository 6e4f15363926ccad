// What the PNG benchmarks share: the codecs made ready and a temporary folder for their files,
// made once per run and removed at its end by the caller.
#pragma once

#include "image/codec.h"
#include "image/image.h"
#include "image/png_codec.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace korvel {

// A folder of its own under the system's temporary folder, the same on every call; "" when none
// can be made.
inline const std::string& png_bench_folder() {
    static const std::string made = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "korvel-png-bench-XXXXXX").string();
        return mkdtemp(pattern.data()) == nullptr ? std::string() : pattern;
    }();
    return made;
}

// Makes the codecs and the folder ready; false, having said so as program, when there is no folder.
inline bool png_bench_ready(const char* program) {
    images_init();
    codecs_init();
    png_decoder_register();
    png_encoder_register();
    if (!png_bench_folder().empty()) return true;
    std::fprintf(stderr, "%s: cannot make a temporary folder\n", program);
    return false;
}

} // namespace korvel
