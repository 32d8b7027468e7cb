#pragma once

#include "output/comparison.h"
#include "state/session.h"
#include "state/status.h"
#include "state/workspaces.h"

namespace ranvik {

// What the comparison form does with a comparison once its work has returned: put it into the
// session, on the GUI thread, entry by entry in table order: a scored model's criteria and
// per-location values (and the simplex workspace or the kernel search it left into `chain`),
// or each ticked entry's sentence why it could not be scored. Returns the sentences of the
// failures, one line each.
Status CommitComparison(Session& session, EstimatorChain& chain, ComparisonResults&& results);

} // namespace ranvik
