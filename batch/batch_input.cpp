// INPUT as a source. A clip's decoder gets the threads that the render may use.
#include "batch/batch_input.h"

#include "engine/clip_frame_source.h"
#include "engine/engine_limits.h"
#include "engine/folder_source.h"
#include "image/load_problem.h"
#include "runtime/error_text.h"
#include "runtime/utf.h"

#include <cerrno>
#include <sys/stat.h>

namespace korvel {

std::unique_ptr<frame_source> open_input(const batch_paths& paths, std::string* problem) {
    if (!paths.input_clip.empty()) {
        auto clip = clip_frame_source::open(utf16_from_utf8(paths.input_clip), engine_threads());
        if (!clip) *problem = "Unable to load, " + paths.input_clip + ": " + load_problem();
        return clip;
    }
    const std::u16string folder = utf16_from_utf8(paths.input_folder);
    const folder_scan scan = scan_folder(folder, true);
    if (scan.names) return std::make_unique<folder_source>(folder, scan);
    const std::string cause = folder_problem(paths.input_folder);
    *problem = "Unable to read the input folder, " + paths.input_folder +
               (cause.empty() ? "" : ": " + cause);
    return nullptr;
}

std::string folder_problem(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return error_text(errno);
    return S_ISDIR(status.st_mode) ? std::string() : error_text(ENOTDIR);
}

} // namespace korvel
