#pragma once

#include "output/comparison.h"
#include "state/state.h"
#include "state/status.h"

namespace ranvik {

// What the comparison form does with a comparison once its work has returned: put it into the
// record, on the GUI thread, entry by entry in table order: a scored model's criteria and
// per-location values (and the simplex workspace or the kernel search it left);
// ComparisonErrors gets each ticked entry's sentence, empty when it was scored. Returns the
// sentences of the failures, one line each.
Status CommitComparison(State& state, ComparisonResults&& results);

} // namespace ranvik
