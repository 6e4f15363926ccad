// korvel-render's INPUT opened as the engine's frame source: the one scan that both --count and a
// render read (a folder listed and its last file probed, or a clip opened and its frames counted).
#pragma once

#include "batch/batch_options.h"
#include "engine/frame_source.h"

#include <memory>
#include <string>

namespace korvel {

// Null with problem set to the line that says why ("Unable to load, notes.txt: not a video or
// picture korvel can read").
std::unique_ptr<frame_source> open_input(const batch_paths& paths, std::string* problem);

// Why path is no folder that can be used ("No such file or directory"), or "" when it is one.
std::string folder_problem(const std::string& path);

} // namespace korvel
