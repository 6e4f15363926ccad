// Loads that name no input are left out: there is nothing to read ahead for them.
#include "engine/coming_loads.h"

#include <algorithm>

namespace korvel {

coming_loads::coming_loads(std::u16string folder, std::shared_ptr<const name_list> names,
                           work_cursor cursor)
    : folder_(std::move(folder)), names_(std::move(names)), cursor_(std::move(cursor)) {}

bool coming_loads::path_at(std::size_t k, std::u16string* path) {
    work_step step{};
    while (paths_.size() <= k && names_ && cursor_.next(&step))
        if (is_load(step) && step.input != NO_INPUT)
            paths_.push_back(folder_ + entry_name(*names_, step.input));
    if (k >= paths_.size()) return false;
    *path = paths_[k];
    return true;
}

void coming_loads::advance(std::size_t count) {
    paths_.erase(paths_.begin(),
                 paths_.begin() + static_cast<std::ptrdiff_t>(std::min(count, paths_.size())));
}

const std::u16string& entry_name(const name_list& names, std::int64_t input) {
    static const std::u16string none;
    if (input == NO_INPUT || input < 0 || names.empty()) return none;
    return names[static_cast<std::size_t>(
        std::min<std::int64_t>(input, static_cast<std::int64_t>(names.size()) - 1))];
}

} // namespace korvel
