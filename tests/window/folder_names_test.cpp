// Folders and frames whose names are not plain ASCII: spaces, accents and characters outside the
// basic plane travel through the chooser, the fields, the job file and the file system intact.
#include "program_scenario.h"

#include <filesystem>

namespace korvel::app_test {
namespace {

TEST_F(program_scenario, NamesWithSpacesAccentsAndAstralCharactersRenderAsOthers) {
    const std::string in = root_ + "/entrée des images \xF0\x9F\x8E\x9E";
    const std::string out = root_ + "/sortie \xC3\xA0 voir";
    std::filesystem::create_directory(in);
    std::filesystem::create_directory(out);
    const input_frames inputs = make_input_frames(in, {4, 8, 6, true});
    ASSERT_EQ(inputs.names.size(), 4u);
    // Every input renamed to a name of its own kind, keeping their order.
    std::vector<std::string> names;
    for (std::size_t i = 0; i < inputs.names.size(); ++i) {
        names.push_back("cl\xC3\xA9 " + inputs.names[i]);
        std::filesystem::rename(in + "/" + inputs.names[i], in + "/" + names.back());
    }
    const program_run run = run_program([&](program_driver& driver) {
        driver.choose_folder(3, in);
        driver.note_status("status");
        driver.choose_folder(6, out);
        driver.note_gadget_text("input.field", 2);
        driver.type_text(8, "2");
        driver.click(9);
        driver.answer_message("Korvel", reply::ok);
        driver.wait_until_idle();
        driver.note_file("job", job_file());
    });
    expect_clean_end(run);
    EXPECT_EQ(run.messages, (std::vector<std::string>{COMPLETED}));
    EXPECT_EQ(run.note("status"), "Total Images: 4");
    EXPECT_EQ(run.note("input.field"), in + "/");
    EXPECT_EQ(folder_names(out), frame_names(2, 4));
    expect_frames(out, frame_names(2, 4), inputs, 2, 255, false);
    EXPECT_EQ(run.note("job"), job_file_bytes(8, 6, 4, {names[2], names[3]}));
}

} // namespace
} // namespace korvel::app_test
