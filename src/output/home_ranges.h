#pragma once

#include "state/notifier.h"
#include "state/run_control.h"
#include "state/state.h"
#include "state/status.h"

namespace ranvik {

// Runs the requested parametric estimators on LocXY, in this order: the 1-mode bivariate
// normal (DoBVN), the 2-mode bivariate normal mixture (Do2BVN, three stages), the 2-mode
// circle mixture (Do2CN, two stages) and the exponential power model (DoExpPower). Each
// request flag is cleared once its model has been dealt with; a model that is gridded sets
// its Done flag. A model that cannot be fitted leaves its grid and Done flag as they were,
// and its sentence is returned (one line per model) after the others have run.
[[nodiscard]] Status CalcHomeRanges(State& state, Notifier& notifier,
                                    const RunControl& control = {});

} // namespace ranvik
