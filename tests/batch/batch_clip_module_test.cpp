// The clip module, which korvel-render opens on its first clip operation: a copy of the program
// with the module beside it writes a clip; without it, or beside a file that is no module, a clip
// render ends in one line while PNG frames still render; and the module refuses a program of
// another version.
#include "batch/batch_render.h"
#include "image/clip_library.h"
#include "tests/batch/render_process.h"
#include "tests/support/test_png.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dlfcn.h>
#include <filesystem>

namespace korvel::test {
namespace {

struct module_beside {
    const char* name;
    const char* file; // beside the copied program: "module" (the built one), "text" or "" (none)
    bool refused;     // whether a clip render ends in the module's load problem
};

const module_beside modules_beside[] = {
    {"the built module", "module", false},
    {"no module", "", true},
    {"a text file", "text", true},
};

TEST(BatchClipModule, WithoutItsModuleAClipRenderEndsInOneLineAndPngFramesStillRender) {
    namespace fs = std::filesystem;
    for (const module_beside& row : modules_beside) {
        SCOPED_TRACE(row.name);
        const scratch_folder work;
        const std::string program = work.path("bin/korvel-render"), in = work.make_folder("in"),
                          out = work.path("out.mkv");
        work.make_folder("bin");
        fs::copy_file(KORVEL_RENDER_PATH, program);
        if (std::string(row.file) == "module")
            fs::copy_file(KORVEL_CLIP_MODULE_PATH, work.path("bin/korvel-clips.so"));
        else if (*row.file)
            work.write("bin/korvel-clips.so", "no module");
        write_frames(in, 4, 16, 8, true);
        run_options copied;
        copied.program = program.c_str();

        const render_result clip = run_render({"-q", "-l", "2", in, out}, copied);
        EXPECT_EQ(clip.status, row.refused ? EXIT_USAGE : EXIT_RENDERED);
        const std::string said =
            "korvel-render: OUTPUT '" + out + "' is no folder, and clip support is not installed: ";
        EXPECT_EQ(clip.err.rfind(said, 0) == 0, row.refused) << clip.err;
        EXPECT_EQ(std::count(clip.err.begin(), clip.err.end(), '\n'), row.refused ? 1 : 0);
        EXPECT_EQ(path_exists(out), !row.refused);

        const std::string frames = work.make_folder("frames");
        EXPECT_EQ(run_render({"-q", "-l", "2", in, frames}, copied).status, EXIT_RENDERED);
        EXPECT_EQ(folder_names(frames).size(), 2u);
    }
}

TEST(BatchClipModule, RefusesAProgramOfAnotherVersion) {
    void* module = dlopen(KORVEL_CLIP_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    const auto entry = reinterpret_cast<clip_library_entry>(dlsym(module, CLIP_LIBRARY_ENTRY));
    ASSERT_NE(entry, nullptr) << "the module does not export " << CLIP_LIBRARY_ENTRY;
    const clip_host host{};
    EXPECT_EQ(entry(CLIP_LIBRARY_VERSION - 1, &host), nullptr);
    EXPECT_EQ(entry(CLIP_LIBRARY_VERSION + 1, &host), nullptr);
    EXPECT_EQ(entry(CLIP_LIBRARY_VERSION, nullptr), nullptr);
    dlclose(module);
}

} // namespace
} // namespace korvel::test
