// The load forecast against the folder enumeration the job really walks: batch after batch in
// sorted order, forward or reversed, and the last entry repeated once the folder runs out.
#include "engine/load_plan.h"
#include "runtime/directory.h"
#include "runtime/strings.h"
#include "tests/engine/engine_fixture.h"

#include <gtest/gtest.h>

#include <fstream>

namespace korvel::test {
namespace {

// The paths a job loads for frames batches of L entries after skipping skipped entries,
// enumerating the folder the way the job does.
std::vector<std::u16string> loads_of_a_job(const std::u16string& folder, int skipped, int layers,
                                           int frames, bool reverse) {
    constexpr obj_number enumeration = 7;
    dir_examine(enumeration, folder.c_str(), u"*.png");
    for (int i = 0; i < skipped; ++i)
        dir_next_entry(enumeration);
    std::vector<std::u16string> loads;
    for (int frame = 0; frame < frames; ++frame) {
        std::vector<std::u16string> batch;
        for (int i = 0; i < layers; ++i) {
            dir_next_entry(enumeration);
            const std::int32_t at = ws_position();
            batch.push_back(folder + dir_entry_name(enumeration, at));
            ws_restore(at);
        }
        if (reverse) std::reverse(batch.begin(), batch.end());
        loads.insert(loads.end(), batch.begin(), batch.end());
    }
    dir_finish(enumeration);
    return loads;
}

class load_plan_test : public ::testing::Test {
protected:
    void SetUp() override {
        engine_runtime_start();
        for (const char* name : {"c.png", "A.png", "b.png", "notes.txt", "E.png", "d.png", "f.png"})
            std::ofstream(folder.path() + name) << name;
    }
    scratch_dir folder;
};

TEST_F(load_plan_test, forecast_follows_the_enumeration_and_repeats_its_last_entry) {
    const auto listing = png_listing(folder.text().c_str());
    ASSERT_TRUE(listing);
    for (bool reverse : {false, true}) {
        const load_plan plan{folder.text(), {}, listing, 1, 3, reverse, 3};
        const auto expected = loads_of_a_job(folder.text(), 1, 3, 3, reverse);
        std::u16string path;
        for (std::size_t k = 0; k < expected.size(); ++k) {
            ASSERT_TRUE(plan.path_at(k, &path)) << k;
            EXPECT_EQ(path, expected[k]) << k << (reverse ? " reversed" : "");
        }
        EXPECT_FALSE(plan.path_at(expected.size(), &path));
    }
}

} // namespace
} // namespace korvel::test
