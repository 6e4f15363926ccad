// A temporary frame file is named "<frame>.png.<host>.<pid>.part". The host keeps a render on one
// machine from judging the files that another machine writes into a shared folder by its own
// process table; a process id that has been reused only delays the clean-up until a later run.
#include "engine/stale_parts.h"

#include "runtime/native_name.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <memory>
#include <string_view>
#include <unistd.h>

namespace korvel {

namespace {

constexpr std::string_view part_ending = ".part";
constexpr std::string_view frame_ending = ".png";

std::string host_name() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return "host";
    std::string kept;
    for (const char* c = name; *c; ++c)
        if (std::isalnum(static_cast<unsigned char>(*c)) || *c == '-' || *c == '.') kept += *c;
    return kept.empty() ? "host" : kept;
}

bool ends_with(std::string_view text, std::string_view ending) {
    return text.size() >= ending.size() && text.substr(text.size() - ending.size()) == ending;
}

// The process id of a temporary file of this host for a frame, or for the file called leading
// itself (a clip); 0 for any other name.
pid_t own_host_part_pid(std::string_view name, std::string_view host_mark,
                        std::string_view leading) {
    if (!ends_with(name, part_ending)) return 0;
    name.remove_suffix(part_ending.size());
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot + 1 == name.size() || name.size() - dot > 10) return 0;
    pid_t pid = 0;
    for (char c : name.substr(dot + 1)) {
        if (c < '0' || c > '9') return 0;
        pid = pid * 10 + (c - '0');
    }
    name = name.substr(0, dot);
    if (!ends_with(name, host_mark)) return 0;
    const std::string_view owner = name.substr(0, name.size() - host_mark.size());
    const bool ours = ends_with(owner, frame_ending) || owner == leading;
    return ours ? pid : 0;
}

bool process_gone(pid_t pid) {
    return kill(pid, 0) != 0 && errno == ESRCH;
}

} // namespace

const std::string& part_owner_mark() {
    static const std::string mark = "." + host_name() + "." + std::to_string(getpid());
    return mark;
}

void stale_parts_remove(const char16_t* output_prefix) {
    std::string prefix;
    if (!native_name(output_prefix, prefix)) return;
    const std::size_t slash = prefix.rfind('/');
    const std::string folder = slash == std::string::npos ? "./" : prefix.substr(0, slash + 1);
    const std::string leading = slash == std::string::npos ? prefix : prefix.substr(slash + 1);
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir(folder.c_str()), closedir);
    if (!listing) return;
    const std::string host_mark = "." + host_name();
    while (const dirent* entry = readdir(listing.get())) {
        const std::string_view name(entry->d_name);
        if (name.substr(0, leading.size()) != leading) continue;
        const pid_t pid = own_host_part_pid(name, host_mark, leading);
        if (pid > 0 && pid != getpid() && process_gone(pid))
            unlink((folder + std::string(name)).c_str());
    }
}

} // namespace korvel
