#include "bridge/forms/bridge_results.h"

#include "support/fixes.h"

#include <gtest/gtest.h>

#include <vector>

namespace ranvik {
namespace {

using testing::Fix;
using testing::Fixes;

const std::vector<Fix> kTrack = {{0, 0, 0, 2}, {4, 3, 1, 3}, {9, 1, 2, 2}, {9, 8, 3, 4}};

TEST(CommitBridgeOutput, MovesTheGridIntoTheRecordInPlaceOfAnEarlierOne) {
    State state;
    state.BBOutput = Matrix(101, 4); // an earlier grid of 100 points
    state.NumGridPts = 100;
    auto grid = CalcBBGrid(Fixes(kTrack), 4, 6.0, 5.0, {0, 10, 0, 5, 5});
    ASSERT_TRUE(grid.Ok());
    const Matrix expected = grid.value.output;
    const double* cells = grid.value.output.Row(0).data();

    CommitBridgeOutput(state, std::move(grid.value));
    EXPECT_EQ(state.NumGridPts, 6);
    EXPECT_TRUE(state.DoneBB);
    EXPECT_TRUE(state.BBOutput == expected);
    // The record holds the very cells the computation filled: nothing was copied.
    EXPECT_EQ(state.BBOutput.Row(0).data(), cells);
}

TEST(CommitBBVariance, LeavesTheEstimateAndTheSearchInTheRecord) {
    State state;
    state.BBSortedLocs = Fixes(kTrack);
    state.NumLocs = 4;
    state.BBMaxTime = 5.0;
    class Silent final : public Notifier {
    public:
        void Inform(std::string_view) override {}
    } silent;
    const auto estimate = EstimateBBVariance(state.BBSortedLocs, 4, state.Minimiser, silent);
    ASSERT_TRUE(estimate.Ok()) << estimate.status.error;

    State expected = state;
    CommitBBVariance(state, estimate.value);
    EXPECT_EQ(state.BBVariance, estimate.value.minimiser.GoldenXMin);
    EXPECT_EQ(state.Minimiser.GoldenTol, 0.0001);
    expected.BBVariance = state.BBVariance;
    expected.Minimiser = estimate.value.minimiser;
    EXPECT_TRUE(state == expected); // nothing else changed
}

} // namespace
} // namespace ranvik
