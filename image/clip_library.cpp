// The module's entry point: the clip operations as the program's table, with the program's own
// bitmaps and load problems taken in for the module's code to use.
#include "image/clip_library.h"
#include "image/clip_filter.h"
#include "image/clip_host.h"

namespace korvel {
namespace {

constexpr clip_library operations{
    clip_format_for,        clip_pipe_format,      clip_pipe_format_names, clip_encoding_problem,
    clip_filter_problem,    clip_reader_open_with, clip_reader_next,       clip_reader_sound,
    clip_reader_take_times, clip_reader_close,     clip_sound_format_for,  clip_sound_format_names,
    clip_sound_file_open,   clip_sound_file_reach, clip_sound_file_finish, clip_sound_file_problem,
    clip_sound_file_close,  clip_writer_open_with, clip_writer_add,        clip_writer_finish,
    clip_writer_problem,    clip_writer_close,
};

} // namespace
} // namespace korvel

extern "C" __attribute__((visibility("default"))) const korvel::clip_library*
korvel_clip_library(int version, const korvel::clip_host* host) {
    if (version != korvel::CLIP_LIBRARY_VERSION || !host) return nullptr;
    korvel::clip_host_use(*host);
    return &korvel::operations;
}
