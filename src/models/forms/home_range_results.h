#pragma once

#include "models/home_ranges.h"
#include "state/session.h"
#include "state/status.h"
#include "state/workspaces.h"

#include <optional>

namespace ranvik {

// What the forms do with a model's result once its work has returned: put it into the
// session, on the GUI thread.

// Makes a fit's simplex workspace and start vertices where the next fit starts, when there is
// one.
void TakeFit(EstimatorChain& chain, std::optional<SimplexFit>& fit);

// Puts a home range run into the session, model by model in the order they ran: a model's grid
// (waiting to be saved), its per-location values (simplex models) and the workspace its fit
// left. Every requested model leaves the requests, whether it could be made or not. Returns
// the sentences of the models that could not be made, one line each.
Status CommitHomeRanges(Session& session, EstimatorChain& chain, HomeRangeResults&& results);

} // namespace ranvik
