#pragma once

#include "bridge/bridge_probability.h"
#include "bridge/bridge_variance.h"
#include "state/state.h"

namespace ranvik {

// Commits of the Brownian bridge computations into the record, made on the GUI thread once a
// computation has returned; a cancelled or failed computation commits nothing.

// BBVariance = the estimate; Minimiser = the search's workspace.
void CommitBBVariance(State& state, const BBVarianceEstimate& estimate);

// BBOutput = the computed rows (moved in, never copied: a grid may take a gigabyte),
// NumGridPts = their count, and DoneBB is set so that the save step writes them.
void CommitBridgeOutput(State& state, BridgeOutput&& result);

} // namespace ranvik
