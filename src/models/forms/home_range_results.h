#pragma once

#include "models/home_ranges.h"
#include "state/state.h"
#include "state/status.h"

#include <optional>

namespace ranvik {

// What the forms do with a model's result once its work has returned: put it into the record,
// on the GUI thread.

// Puts a fit's simplex workspace and start vertices into the record, when there is one.
void TakeFit(State& state, std::optional<SimplexFit>& fit);

// Puts a home range run into the record, model by model in the order they ran: a model's grid
// (NumGridPts = 40000) and Done flag, its per-location values and simplex workspace (simplex
// models) or its parameters (1-mode normal). Every requested model's request flag is cleared,
// whether it could be made or not. Returns the sentences of the models that could not be
// made, one line each.
Status CommitHomeRanges(State& state, HomeRangeResults&& results);

} // namespace ranvik
