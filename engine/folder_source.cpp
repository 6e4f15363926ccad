// A folder of frames. The listing is the one the render follows from its start to its end, so
// what is added to the folder meanwhile is not read, and an input past the listing's end reads
// its last entry, as the window's enumeration does.
#include "engine/folder_source.h"

#include "engine/render_stats.h"
#include "image/codec.h"
#include "runtime/directory.h"
#include "runtime/strings.h"

namespace korvel {

namespace {

std::shared_ptr<const name_list> list_png_files(const std::u16string& folder) {
    const obj_number enumeration = dir_examine(NUMBER_ANY, folder.c_str(), u"*.png");
    if (!enumeration) return nullptr;
    auto names = std::make_shared<name_list>();
    while (dir_next_entry(enumeration)) {
        const std::int32_t at = ws_position();
        names->emplace_back(dir_entry_name(enumeration, at));
        ws_restore(at);
    }
    dir_finish(enumeration);
    return names;
}

} // namespace

folder_scan scan_folder(const std::u16string& folder, bool probe) {
    folder_scan scan;
    scan.names = list_png_files(folder);
    if (!probe || !scan.names || scan.names->empty()) return scan;
    std::int32_t depth = 0;
    const image_handle_t last = bitmap_load((folder + scan.names->back()).c_str(), &depth);
    if (const bitmap* pixels = bitmap_get(last)) {
        scan.width = pixels->width;
        scan.height = pixels->height;
    }
    bitmap_delete(last);
    return scan;
}

folder_source::folder_source(std::u16string folder, const folder_scan& scan)
    : folder_(std::move(folder)),
      names_(scan.names ? scan.names : std::make_shared<const name_list>()) {
    facts_.inputs = static_cast<std::int64_t>(names_->size());
    facts_.width = scan.width;
    facts_.height = scan.height;
}

void folder_source::expect(const work_cursor& coming, const read_ahead_budget& budget) {
    if (!cache_)
        cache_ = std::make_unique<decode_cache>(budget.slots, budget.allowance, budget.layer_bytes);
    cache_->plan(coming_loads(folder_, names_, coming));
}

image_handle_t folder_source::take(std::int64_t input) {
    const std::u16string path = folder_ + name_of(input);
    std::int32_t depth = 0;
    if (cache_)
        if (const image_handle_t ahead = cache_->take(path, &depth)) return ahead;
    stage_timer timer(render_stage::decode);
    return bitmap_load(path.c_str(), &depth);
}

std::u16string folder_source::describe(std::int64_t input) const {
    return folder_ + name_of(input);
}

void folder_source::stop_reading_ahead() {
    if (cache_) cache_->release_all();
}

const std::u16string& folder_source::name_of(std::int64_t input) const {
    return entry_name(*names_, input);
}

void folder_source::relocate(std::u16string folder) {
    folder_ = std::move(folder);
}

} // namespace korvel
