// --weights lists: whole numbers up to 1024 are the weights exactly as written, other lists are
// quantised (the largest 1024, the rest rounded, all reduced). (The windows' tests check that
// written weights as large as 1024 give the exact means of equal ones.)
#include "batch/batch_weights.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace korvel::test
