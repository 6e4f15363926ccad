// INPUT as a source. A clip's decoder gets the threads that the render may use, and a blur by time
// that does not replace a clip's times reads them as the clip opens.
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

opened_input open_input(const batch_options& options, bool keep_sound, std::string* problem) {
    const batch_paths& paths = options.paths;
    if (!paths.input_clip.empty()) {
        clip_read_options read;
        read.threads = engine_threads();
        read.keep_orientation = !options.clip.autorotate;
        read.keep_sound = keep_sound;
        read.keep_times = by_time(options.time) && options.time.in_rate.num == 0;
        read.filter = options.clip.filter;
        auto clip = clip_frame_source::open(utf16_from_utf8(paths.input_clip), read);
        const std::string shown = is_stream(paths.input_clip) ? "standard input" : paths.input_clip;
        if (!clip) *problem = "Unable to load, " + shown + ": " + load_problem();
        clip_frame_source* opened = clip.get();
        return {std::move(clip), opened};
    }
    const std::u16string folder = utf16_from_utf8(paths.input_folder);
    const folder_scan scan = scan_folder(folder, true);
    if (scan.names) return {std::make_unique<folder_source>(folder, scan)};
    const std::string cause = folder_problem(paths.input_folder);
    *problem = "Unable to read the input folder, " + paths.input_folder +
               (cause.empty() ? "" : ": " + cause);
    return {};
}

std::string folder_problem(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return error_text(errno);
    return S_ISDIR(status.st_mode) ? std::string() : error_text(ENOTDIR);
}

} // namespace korvel
