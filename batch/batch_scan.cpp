// The batch input scan. It uses its own enumeration and image numbers, as the render job holds
// enumeration 0 and the layer images while the scan runs.
#include "batch/batch_scan.h"

#include "engine/render_job.h"

#include "image/clip_reader.h"
#include "image/codec.h"
#include "image/image.h"
#include "image/image_release.h"
#include "image/load_problem.h"
#include "runtime/directory.h"
#include "runtime/error_text.h"
#include "runtime/strings.h"
#include "runtime/utf.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <sys/stat.h>

namespace korvel {

namespace {

// The name of the last entry ("" for none), or false when the folder cannot be read.
bool count_entries(const char16_t* folder, std::int32_t* count, std::u16string* last) {
    const obj_number listing = dir_examine(NUMBER_ANY, folder, u"*.png");
    if (!listing) return false;
    while (dir_next_entry(listing))
        ++*count;
    const std::int32_t at = ws_position();
    *last = dir_entry_name(listing, at);
    ws_restore(at);
    dir_finish(listing);
    return true;
}

void probe_resolution(const std::u16string& path, batch_scan_result* result) {
    const obj_number probe = image_load(NUMBER_ANY, path.c_str());
    if (!probe) return;
    result->width = str_decimal(image_width(probe));
    result->height = str_decimal(image_height(probe));
    image_free_completely(probe);
}

} // namespace

bool batch_scan(const char16_t* folder, batch_scan_result* result) {
    std::u16string last;
    if (!count_entries(folder, &result->count, &last)) return false;
    result->total = str_decimal(result->count);
    probe_resolution(folder + last, result);
    return true;
}

std::string folder_problem(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return error_text(errno);
    return S_ISDIR(status.st_mode) ? std::string() : error_text(ENOTDIR);
}

bool batch_scan_input(const batch_options& options, batch_scan_result* result,
                      std::string* problem) {
    if (!options.input_clip.empty()) {
        if (batch_scan_clip(utf16_from_utf8(options.input_clip).c_str(), result)) return true;
        *problem = "Unable to load, " + options.input_clip + ": " + load_problem();
        return false;
    }
    const std::string& folder = options.input_folder;
    if (batch_scan(utf16_from_utf8(folder).c_str(), result)) return true;
    const std::string cause = folder_problem(folder);
    *problem = "Unable to read the input folder, " + folder + (cause.empty() ? "" : ": " + cause);
    return false;
}

std::int64_t output_frames(std::int64_t inputs, const batch_options& options) {
    return window_frames(inputs, options.layers, frame_step(options));
}

bool batch_scan_clip(const char16_t* clip, batch_scan_result* result) {
    clip_facts facts;
    clip_reader* reader = clip_reader_open(clip, 1, &facts);
    if (!reader) return false;
    clip_reader_close(reader);
    result->count = static_cast<std::int32_t>(std::min<std::int64_t>(facts.frames, INT32_MAX));
    result->total = str_decimal(result->count);
    result->width = str_decimal(facts.width);
    result->height = str_decimal(facts.height);
    result->rate_num = facts.rate_num;
    result->rate_den = facts.rate_den;
    return true;
}

} // namespace korvel
