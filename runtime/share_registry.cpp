// The in-process registry of open handles. A handful of files are open at a time, so a plain list
// searched from end to end is the simplest structure that is fast enough.
#include "runtime/share_registry.h"

#include <algorithm>
#include <new>
#include <vector>

namespace korvel {
namespace {

struct open_handle {
    int fd;
    file_node file;
    std::uint32_t access;
    std::uint32_t share;
};

// Never destroyed: a thread still running while the process exits may close a file.
std::vector<open_handle>& handles() {
    static auto* const list = new std::vector<open_handle>;
    return *list;
}

} // namespace

bool registry_allows(file_node file, std::uint32_t access, std::uint32_t share) {
    return std::none_of(handles().begin(), handles().end(), [&](const open_handle& held) {
        return held.file == file && share_conflict(held.access, held.share, access, share);
    });
}

bool registry_add(int fd, file_node file, std::uint32_t access, std::uint32_t share) {
    try {
        handles().push_back({fd, file, access, share});
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool registry_remove(int fd) {
    auto& list = handles();
    const auto found = std::find_if(list.begin(), list.end(),
                                    [fd](const open_handle& held) { return held.fd == fd; });
    if (found == list.end()) return false;
    list.erase(found);
    return true;
}

} // namespace korvel
