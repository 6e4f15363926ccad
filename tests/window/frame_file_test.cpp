// Saving a frame under a temporary name: a saved frame replaces an older file, and a save that
// fails leaves whatever had the name before and no temporary file. Run in a child process of its
// own, as the image table and the codecs are process-wide.
#include "program_scenario.h"

#include "engine/frame_file.h"
#include "image/codec.h"
#include "image/image.h"
#include "image/png_codec.h"
#include "runtime/files.h"
#include "runtime/strings.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>

namespace korvel::app_test {
namespace {

std::u16string utf16(const std::string& ascii) {
    return {ascii.begin(), ascii.end()};
}

std::string file_text(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void write_text(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class frame_file_test : public program_scenario {
protected:
    // Runs the saves of root_/source.png in a child process and gives each one's result by
    // name. With a size limit, no file of the child can grow past it, as on a full disk.
    std::map<std::string, std::string>
    save_in_child(const std::vector<std::pair<std::string, std::string>>& saves,
                  rlim_t size_limit = RLIM_INFINITY) {
        const child_outcome child = run_child(
            [&] {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{size_limit, size_limit};
                setrlimit(RLIMIT_FSIZE, &limit);
                strings_init();
                codecs_init();
                images_init();
                files_init();
                png_decoder_register();
                png_encoder_register();
                image_load(1, utf16(root_ + "/source.png").c_str());
                for (const auto& [name, path] : saves) {
                    const obj_number image = name == "no.image" ? 7 : 1;
                    child_report(
                        {name, std::to_string(frame_file_save(image, utf16(path).c_str()))});
                }
            },
            root_ + "/errors.txt", std::chrono::seconds(60));
        EXPECT_TRUE(child.exited && child.exit_code == 0) << child.error_output;
        std::map<std::string, std::string> results;
        for (const auto& fields : child.lines)
            if (fields.size() == 2) results[fields[0]] = fields[1];
        return results;
    }
};

TEST_F(frame_file_test, SavedFramesReplaceOldFilesAndFailedSavesLeaveNoTrace) {
    rgba_image picture = blank_image(7, 5);
    for (std::size_t i = 0; i < picture.rgba.size(); ++i)
        picture.rgba[i] = static_cast<std::uint8_t>(i * 37 + 11);
    for (int x = 0; x < 7; ++x)
        picture.at(x, 2)[3] = 255;
    ASSERT_TRUE(write_png(root_ + "/source.png", picture, true));
    write_text(root_ + "/old.png", "an older frame");
    write_text(root_ + "/kept.png", "a frame that stays");
    std::filesystem::create_directory(root_ + "/folder.png");

    const std::map<std::string, std::string> results = save_in_child({
        {"fresh", root_ + "/fresh.png"},
        {"over.old", root_ + "/old.png"},
        {"no.folder", root_ + "/missing/frame.png"},
        {"no.image", root_ + "/kept.png"},
        {"onto.folder", root_ + "/folder.png"},
    });

    EXPECT_EQ(results.at("fresh"), "1");
    EXPECT_TRUE(png_file_holds(root_ + "/fresh.png", picture));
    EXPECT_EQ(results.at("over.old"), "1");
    EXPECT_TRUE(png_file_holds(root_ + "/old.png", picture));

    EXPECT_EQ(results.at("no.folder"), "0");
    EXPECT_FALSE(std::filesystem::exists(root_ + "/missing"));
    EXPECT_EQ(results.at("no.image"), "0");
    EXPECT_EQ(file_text(root_ + "/kept.png"), "a frame that stays");
    // The picture was written beside the folder, but could not take its name.
    EXPECT_EQ(results.at("onto.folder"), "0");
    EXPECT_TRUE(std::filesystem::is_directory(root_ + "/folder.png"));
    EXPECT_TRUE(folder_names(root_ + "/folder.png").empty());

    EXPECT_EQ(folder_names(root_),
              (std::vector<std::string>{"errors.txt", "folder.png", "fresh.png", "in", "kept.png",
                                        "old.png", "out", "source.png"}))
        << "no temporary file may stay behind";
}

TEST_F(frame_file_test, ASaveCutShortByAFullDiskLeavesTheOldFileAndNoTemporaryFile) {
    rgba_image noise = blank_image(64, 64);
    std::uint32_t bits = 12345;
    for (std::uint8_t& byte : noise.rgba) {
        bits = bits * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(bits >> 16);
    }
    ASSERT_TRUE(write_png(root_ + "/source.png", noise, true));
    write_text(root_ + "/kept.png", "a frame that stays");

    const std::map<std::string, std::string> results =
        save_in_child({{"cut.short", root_ + "/kept.png"}, {"fresh", root_ + "/fresh.png"}}, 4096);

    EXPECT_EQ(results.at("cut.short"), "0");
    EXPECT_EQ(file_text(root_ + "/kept.png"), "a frame that stays");
    EXPECT_EQ(results.at("fresh"), "0");
    EXPECT_EQ(folder_names(root_),
              (std::vector<std::string>{"errors.txt", "in", "kept.png", "out", "source.png"}))
        << "no partly written file may stay behind";
}

} // namespace
} // namespace korvel::app_test
