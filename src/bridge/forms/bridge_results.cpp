#include "bridge/forms/bridge_results.h"

#include <utility>

namespace ranvik {

void CommitBBVariance(State& state, const BBVarianceEstimate& estimate) {
    state.Minimiser = estimate.minimiser;
    state.BBVariance = estimate.variance;
}

void CommitBridgeOutput(State& state, BridgeOutput&& result) {
    state.BBOutput = std::move(result.output);
    state.NumGridPts = result.count;
    state.DoneBB = true;
}

} // namespace ranvik
