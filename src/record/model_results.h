#pragma once

#include "output/comparison.h"
#include "output/home_ranges.h"
#include "state/state.h"
#include "state/status.h"

namespace ranvik {

// Puts a home range run into the record, model by model in the order they ran: a model's grid
// (NumGridPts = 40000) and Done flag, its per-location values and simplex workspace (simplex
// models) or its parameters (1-mode normal). Every requested model's request flag is cleared,
// whether it could be made or not. Returns the sentences of the models that could not be
// made, one line each.
Status CommitHomeRanges(State& state, HomeRangeResults&& results);

// Puts a comparison run into the record, entry by entry in table order: a scored model's
// criteria and per-location values (and the simplex workspace or the kernel search it left);
// ComparisonErrors gets each ticked entry's sentence, empty when it was scored. Returns the
// sentences of the failures, one line each.
Status CommitComparison(State& state, ComparisonResults&& results);

} // namespace ranvik
