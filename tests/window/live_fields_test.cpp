// The render reads the fields while it works: "Rev." after every layer and at the start of each
// frame, "Alpha Levels" once per frame. Changes made in the middle of a frame steer the layers
// that follow.
#include "program_scenario.h"

#include "blur_reference.h"
#include "input_gate.h"

namespace korvel::app_test {
namespace {

TEST_F(program_scenario, ReverseAndAlphaLevelsChangedMidFrameSteerTheLayersThatFollow) {
    const input_frames inputs = make_inputs({9, 8, 6, true});
    // The render stops on f0005, the second layer of frame 2, until the fields are changed.
    const input_gate gate = make_input_gate(in_ + "/f0005.png", root_);
    ASSERT_FALSE(gate.entry.empty());
    const program_run run = run_program([&](program_driver& driver) {
        start_render(driver, "3");
        if (!gate_wait_for_reader(std::chrono::seconds(30)))
            driver.fail("the render never came to f0005");
        driver.click(22);
        driver.type_text(16, "100");
        if (!gate_release(gate)) driver.fail("could not let f0005 arrive");
        driver.answer_message("Korvel", reply::ok);
        driver.wait_until_idle();
    });
    expect_clean_end(run);
    EXPECT_EQ(run.messages, (std::vector<std::string>{COMPLETED}));
    ASSERT_EQ(folder_names(out_), frame_names(3, 9));

    const auto& image = inputs.images;
    // Frame 2 began forwards (f0004, f0005) and turned back after its second layer to f0004;
    // its alpha levels were read before the change.
    const rgba_image frame_2 = composite(8, 6, {&image[3], &image[4], &image[3]}, true, 255);
    // Frame 3 starts from its last entry and uses the new alpha levels.
    const rgba_image frame_3 = composite(8, 6, {&image[8], &image[7], &image[6]}, true, 100);
    EXPECT_TRUE(png_file_holds(out_ + "/1.png", inputs.expected_frame(1, 3, 255, false)));
    EXPECT_TRUE(png_file_holds(out_ + "/2.png", frame_2));
    EXPECT_TRUE(png_file_holds(out_ + "/3.png", frame_3));
}

} // namespace
} // namespace korvel::app_test
