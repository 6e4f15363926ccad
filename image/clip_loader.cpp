// Opens the clip module on the first clip operation: beside the program first (a build tree), then
// in the library folder that the program was installed with. It is never closed: its operations
// and texts stay in use until the program ends.
#include "image/clip_library.h"
#include "image/load_problem.h"
#include "runtime/utf.h"

#include <dlfcn.h>
#include <string>
#include <unistd.h>

namespace korvel {
namespace {

constexpr const char* MODULE_NAME = "korvel-clips.so";

const clip_host program_operations{bitmap_create,      bitmap_get,        bitmap_delete,
                                   load_problem_clear, load_problem_note, load_problem_note_errno,
                                   utf8_from_utf16};

struct loaded_module {
    const clip_library* operations = nullptr;
    std::string problem;
};

// The program's folder with a slash, or "" when the system does not tell it.
std::string program_folder() {
    std::string path(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return {};
    path.resize(static_cast<std::size_t>(length));
    return path.substr(0, path.rfind('/') + 1);
}

std::string module_path() {
    const std::string folder = program_folder();
    const std::string beside = folder + MODULE_NAME;
    if (access(beside.c_str(), F_OK) == 0) return beside;
    return folder + "../" KORVEL_CLIP_LIBRARY_DIR "/" + MODULE_NAME;
}

loaded_module load() {
    const std::string path = module_path();
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) return {nullptr, std::string("clip support is not installed: ") + dlerror()};
    const auto entry = reinterpret_cast<clip_library_entry>(dlsym(module, CLIP_LIBRARY_ENTRY));
    const clip_library* operations =
        entry ? entry(CLIP_LIBRARY_VERSION, &program_operations) : nullptr;
    if (operations) return {operations, {}};
    dlclose(module);
    return {nullptr, "clip support is not installed: " + path + " is of another version of Korvel"};
}

const loaded_module& module() {
    static const loaded_module loaded = load();
    return loaded;
}

} // namespace

const clip_library* clip_support() {
    return module().operations;
}

const char* clip_support_problem() {
    return module().problem.c_str();
}

} // namespace korvel
