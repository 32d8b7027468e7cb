#include "kernel/forms/kernel_results.h"

#include "support/locations.h"

#include <gtest/gtest.h>

#include <vector>

namespace ranvik {
namespace {

using testing::Locations;
using testing::TwoClusters;

// A record in the middle of a run: locations loaded, both kernels requested, an earlier
// bridge grid counted in NumGridPts and a search left in the workspace.
State RecordWithEarlierResults() {
    State state;
    state.LocXY = Locations({{2, 3}, {9, 1}, {4, 8}, {6, 6}, {12, 4}});
    state.NumLocs = 5;
    state.LocWeights = {1.0, 3.0, 0.0, 2.0, 0.5, 0.0};
    state.BiasCorrected = 1;
    state.DoFixedKernel = 1;
    state.DoAdKernel = 1;
    state.NumGridPts = 61;
    state.CVCFixedKernel = 5.5;
    state.CVCAdKernel = 6.5;
    state.Minimiser.GoldenXMin = 7.0;
    state.Minimiser.GoldenTol = 0.001;
    return state;
}

TEST(KernelCommits, GridsGoIntoTheRecordWithTheirCountDivisorAndDoneFlags) {
    State state = RecordWithEarlierResults();
    auto fixed = CalcFixedKernel(state.LocXY, 5, 2.5, state.LocWeights);
    auto adaptive = CalcAdKernel(state.LocXY, 5, 2.5);
    ASSERT_TRUE(fixed.Ok() && adaptive.Ok());
    EXPECT_EQ(fixed.value.sum_weights,
              6.5); // 1 + 3 + 0 + 2 + 0.5: the spare row's weight is not counted

    State expected = RecordWithEarlierResults();
    expected.NumGridPts = 40000;
    expected.GridFixedKernel = fixed.value.grid;
    expected.DoneFixedKernel = true;
    expected.GridAdKernel = adaptive.value;
    expected.DoneAdKernel = true;

    CommitFixedKernel(state, std::move(fixed.value));
    CommitAdKernel(state, std::move(adaptive.value));
    EXPECT_TRUE(state == expected) << "the request flags are the form's to clear";
}

TEST(KernelCommits, EachCVCGoesToItsKernelAndTheLastSearchToTheWorkspace) {
    const Matrix xy = TwoClusters(12);
    const auto fixed = FixedKernelCVC(xy, 12);
    const auto adaptive = AdKernelCVC(xy, 12);
    ASSERT_TRUE(fixed.Ok() && adaptive.Ok());

    State state = RecordWithEarlierResults();
    State expected = RecordWithEarlierResults();
    CommitKernelCVC(state, KernelKind::Fixed, fixed.value);
    expected.CVCFixedKernel = fixed.value.cvc;
    expected.Minimiser = fixed.value.minimiser;
    EXPECT_TRUE(state == expected);

    CommitKernelCVC(state, KernelKind::Adaptive, adaptive.value);
    expected.CVCAdKernel = adaptive.value.cvc;
    expected.Minimiser = adaptive.value.minimiser;
    EXPECT_TRUE(state == expected);
}

TEST(KernelCommits, AfterTheCVAndLSCVSearchesTheWorkspaceIsTheLSCVSearchs) {
    const Matrix xy = TwoClusters(40);
    State state = RecordWithEarlierResults();
    const double h_ref = CalcHref(xy, 40);
    const auto cv = CalcCVh(xy, h_ref, 40, {}, state.Minimiser);
    ASSERT_TRUE(cv.Ok()) << cv.status.error;
    CommitSmoothingSearch(state, cv.value);
    EXPECT_EQ(state.Minimiser.GoldenXMin, cv.value.h);
    EXPECT_EQ(state.Minimiser.GoldenTol, 0.001)
        << "a CV search keeps the tolerance it started from";

    const auto lscv = CalcLSCVh(xy, h_ref, 40, state.Minimiser);
    ASSERT_TRUE(lscv.Ok()) << lscv.status.error;
    CommitSmoothingSearch(state, lscv.value);
    State expected = RecordWithEarlierResults();
    expected.Minimiser = lscv.value.minimiser;
    EXPECT_TRUE(state == expected);
    EXPECT_EQ(state.Minimiser.GoldenXMin, lscv.value.h);
}

} // namespace
} // namespace ranvik
