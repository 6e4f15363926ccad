// Load forecasts. Batches past the end of the listing repeat its last entry, exactly as the
// enumeration keeps reporting its last name once it has run out.
#include "engine/load_plan.h"

#include "runtime/directory.h"
#include "runtime/strings.h"

#include <algorithm>

namespace korvel {

bool load_plan::path_at(std::size_t k, std::u16string* path) const {
    if (k < current.size()) {
        *path = folder + current[k];
        return true;
    }
    if (!listing || listing->empty() || layers < 1) return false;
    const auto beyond = static_cast<std::int64_t>(k - current.size());
    const std::int64_t batch = beyond / layers;
    if (batch >= frames) return false;
    const std::int64_t within = beyond % layers;
    const std::int64_t entry = position + batch * layers + (reverse ? layers - 1 - within : within);
    const auto last = static_cast<std::int64_t>(listing->size()) - 1;
    *path = folder + (*listing)[static_cast<std::size_t>(std::clamp<std::int64_t>(entry, 0, last))];
    return true;
}

std::shared_ptr<const name_list> png_listing(const char16_t* folder) {
    const obj_number enumeration = dir_examine(NUMBER_ANY, folder, u"*.png");
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

} // namespace korvel
