// The batch input scan. It uses its own enumeration and image numbers, as the render job holds
// enumeration 0 and the layer images while the scan runs.
#include "batch/batch_scan.h"

#include "image/clip_reader.h"
#include "image/codec.h"
#include "image/image.h"
#include "image/image_release.h"
#include "runtime/directory.h"
#include "runtime/strings.h"

#include <algorithm>
#include <cstdint>

namespace korvel {

namespace {

std::u16string decimal_text(std::int64_t value) {
    const std::int32_t at = ws_position();
    std::u16string text(str_from_int(value, at));
    ws_restore(at);
    return text;
}

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
    result->width = decimal_text(image_width(probe));
    result->height = decimal_text(image_height(probe));
    image_free_completely(probe);
}

} // namespace

bool batch_scan(const char16_t* folder, batch_scan_result* result) {
    std::u16string last;
    if (!count_entries(folder, &result->count, &last)) return false;
    result->total = decimal_text(result->count);
    probe_resolution(folder + last, result);
    return true;
}

bool batch_scan_clip(const char16_t* clip, batch_scan_result* result) {
    clip_facts facts;
    clip_reader* reader = clip_reader_open(clip, 1, &facts);
    if (!reader) return false;
    clip_reader_close(reader);
    result->count = static_cast<std::int32_t>(std::min<std::int64_t>(facts.frames, INT32_MAX));
    result->total = decimal_text(result->count);
    result->width = decimal_text(facts.width);
    result->height = decimal_text(facts.height);
    result->rate_num = facts.rate_num;
    result->rate_den = facts.rate_den;
    return true;
}

} // namespace korvel
