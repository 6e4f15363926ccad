// korvel-render's INPUT opened as the engine's frame source: the one scan that both --count and a
// render read (a folder listed and its last file probed, or a clip opened and its frames counted).
#pragma once

#include "batch/batch_options.h"
#include "engine/clip_frame_source.h"
#include "engine/frame_source.h"

#include <memory>
#include <string>

namespace korvel {

struct opened_input {
    std::unique_ptr<frame_source> source; // null when it could not be opened
    clip_frame_source* clip = nullptr;    // the same source, when it is a clip
};

// Opens INPUT; keep_sound keeps a clip's sound for a writer. A null source comes with problem set
// to the line that says why ("Unable to load, notes.txt: not a video or picture korvel can
// read").
opened_input open_input(const batch_options& options, bool keep_sound, std::string* problem);

// Why path is no folder that can be used ("No such file or directory"), or "" when it is one.
std::string folder_problem(const std::string& path);

} // namespace korvel
