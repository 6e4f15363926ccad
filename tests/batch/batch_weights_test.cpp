// --weights lists: whole numbers up to 1024 are the weights exactly as written, other lists are
// quantised (the largest 1024, the rest rounded, all reduced). Written weights reach the mean
// unchanged, and a mean of large written weights over many layers stays exact, giving the bytes
// of equal weights.
#include "batch/batch_render.h"
#include "batch/batch_weights.h"
#include "tests/batch/render_process.h"
#include "tests/support/test_png.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace korvel::test {
namespace {

struct list_row {
    const char* text;
    std::vector<std::uint32_t> weights;
};

const list_row lists[] = {
    {"1,2,3", {1, 2, 3}}, {"0,1024,7", {0, 1024, 7}}, {"2,4", {2, 4}},
    {"0100,5", {100, 5}}, {"1025,1", {1024, 1}},      {"1.5,3", {1, 2}},
    {"3,3.0", {1, 1}},    {"2,2,2", {2, 2, 2}},       {"equal", {1, 1}},
};

TEST(BatchWeights, WholeNumbersUpTo1024AreUsedAsWrittenAndOtherListsQuantised) {
    for (const list_row& row : lists) {
        std::vector<std::uint32_t> weights;
        std::string error;
        ASSERT_TRUE(
            read_weights(row.text, static_cast<std::int64_t>(row.weights.size()), &weights, &error))
            << row.text << ": " << error;
        EXPECT_EQ(weights, row.weights) << row.text;
    }
}

std::string frame_of(const std::string& in, const std::string& out, int layers,
                     const std::string& weights) {
    std::filesystem::remove_all(out);
    std::filesystem::create_directory(out);
    EXPECT_EQ(
        run_render({"-q", "-l", std::to_string(layers), "--weights", weights, in, out}).status,
        EXIT_RENDERED);
    const auto names = folder_names(out);
    return names.size() == 1 ? read_file(out + "/" + names.front()) : "";
}

std::string repeated(const char* weight, int count) {
    std::string list = weight;
    for (int i = 1; i < count; ++i)
        list += std::string(",") + weight;
    return list;
}

TEST(BatchWeights, WrittenWeightsReachTheMeanAndLargeOnesStayExact) {
    const scratch_folder work;
    const std::string three = work.make_folder("three"), seventy = work.make_folder("seventy"),
                      out = work.path("out");
    write_frames(three, 3, 23, 17, true);
    write_frames(seventy, 70, 9, 7, true);
    EXPECT_NE(frame_of(three, out, 3, "1,2,3"), frame_of(three, out, 3, "341,683,1024"))
        << "1,2,3 was quantised";
    EXPECT_EQ(frame_of(three, out, 3, "1024,1024,1024"), frame_of(three, out, 3, "equal"));
    EXPECT_EQ(frame_of(seventy, out, 70, repeated("1024", 70)),
              frame_of(seventy, out, 70, "equal"));
}

} // namespace
} // namespace korvel::test
