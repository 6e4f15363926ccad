// Reads a folder with readdir, converts each name with the byte-escaping rule (so names that are
// not valid UTF-8 survive the trip back to the kernel), keeps the matching ones and sorts them.
// readdir's own order depends on the file system and its history, which is why the names are
// sorted here rather than delivered as they come.
#include "runtime/folder_listing.h"

#include "runtime/name_order.h"
#include "runtime/name_pattern.h"
#include "runtime/utf.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <new>

namespace korvel {
namespace {

struct folder_closer {
    void operator()(DIR* folder) const { closedir(folder); }
};

using open_folder = std::unique_ptr<DIR, folder_closer>;

// Appends the matching names; false when readdir reports an error before the end.
bool read_matching(DIR* folder, std::u16string_view pattern, folder_listing& names) {
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(folder);
        if (!entry) return errno == 0;
        std::u16string name = utf16_from_utf8(entry->d_name);
        if (name_matches(pattern, name)) names.push_back(std::move(name));
    }
}

} // namespace

std::unique_ptr<folder_listing> list_folder(const std::string& folder,
                                            std::u16string_view pattern) noexcept {
    try {
        open_folder handle(opendir(folder.empty() ? "." : folder.c_str()));
        if (!handle) return nullptr;
        auto names = std::make_unique<folder_listing>();
        if (!read_matching(handle.get(), pattern, *names)) return nullptr;
        std::sort(names->begin(), names->end(),
                  [](const std::u16string& a, const std::u16string& b) {
                      return compare_names(a, b) < 0;
                  });
        return names;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace korvel
