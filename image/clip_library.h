// The clip code as one table of operations. It lives in a module of its own (korvel-clips.so),
// the only part of Korvel linked against FFmpeg's libraries, so that a render of PNG frames never
// loads or relocates them. The module reaches the program's bitmaps and load problems through the
// host table, so that there is one allocator and one record of what went wrong, not two.
#pragma once

#include "image/bitmap.h"
#include "image/clip_reader.h"
#include "image/clip_sound.h"
#include "image/clip_writer.h"

#include <string>
#include <vector>

namespace korvel {

// Raised with every change to either table; the module refuses a program of another version.
inline constexpr int CLIP_LIBRARY_VERSION = 3;

// What the module uses of the program's own state.
struct clip_host {
    image_handle_t (*bitmap_create)(std::int32_t width, std::int32_t height, std::int32_t depth);
    bitmap* (*bitmap_get)(image_handle_t handle);
    void (*bitmap_delete)(image_handle_t handle);
    void (*load_problem_clear)();
    void (*load_problem_note)(const char* text);
    void (*load_problem_note_errno)(int error);
    // Stateless, but in the same file as conversions that use the program's workspace.
    std::string (*utf8_from_utf16)(const char16_t* text, std::int32_t length);
};

// The operations of clip_formats.h, clip_filter.h, clip_reader.h, clip_sound.h and clip_writer.h,
// each as described there.
struct clip_library {
    const clip_format* (*format_for)(const char16_t* path);
    const clip_format* (*pipe_format)(const char* name);
    const char* (*pipe_format_names)();
    const char* (*encoding_problem)(const clip_format* format, const clip_encoding& encoding);
    std::string (*filter_problem)(const std::string& text);

    clip_reader* (*reader_open)(const char16_t* path, const clip_read_options& options,
                                clip_facts* facts);
    image_handle_t (*reader_next)(clip_reader* reader);
    clip_sound* (*reader_sound)(clip_reader* reader);
    std::vector<std::int64_t> (*reader_take_times)(clip_reader* reader, std::int64_t* end);
    void (*reader_close)(clip_reader* reader);

    const clip_format* (*sound_format_for)(const char16_t* path);
    const char* (*sound_format_names)();
    clip_sound_file* (*sound_file_open)(const char16_t* path, const clip_format* format,
                                        clip_sound* sound, clip_time from, std::int32_t rate_num,
                                        std::int32_t rate_den, const char** problem);
    std::int32_t (*sound_file_reach)(clip_sound_file* file, std::int64_t frames);
    std::int32_t (*sound_file_finish)(clip_sound_file* file, std::int64_t frames);
    const char* (*sound_file_problem)(const clip_sound_file* file);
    void (*sound_file_close)(clip_sound_file* file);

    clip_writer* (*writer_open)(const char16_t* path, const clip_format* format,
                                const clip_settings& settings, const clip_choices& choices,
                                const char** problem);
    std::int32_t (*writer_add)(clip_writer* writer, image_handle_t canvas);
    std::int32_t (*writer_finish)(clip_writer* writer);
    const char* (*writer_problem)(const clip_writer* writer);
    void (*writer_close)(clip_writer* writer);
};

// The module's one entry point: its table, or null when version is not the module's own.
using clip_library_entry = const clip_library* (*)(int version, const clip_host* host);
inline constexpr const char* CLIP_LIBRARY_ENTRY = "korvel_clip_library";

// The module's table, loaded on the first call (once, whichever thread calls first); null when
// the module is missing or of another version, and clip_support_problem says why.
const clip_library* clip_support();
const char* clip_support_problem();

} // namespace korvel
