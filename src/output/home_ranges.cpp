#include "output/home_ranges.h"

#include "models/bivariate_normal.h"
#include "models/circle_mixture.h"
#include "models/exp_power.h"
#include "models/normal_mixture.h"
#include "state/loaded_locations.h"

#include <functional>
#include <string>

namespace ranvik {

Status CalcHomeRanges(State& state, Notifier& notifier, const RunControl& control) {
    using Estimator = std::function<Status(const RunControl&)>;
    struct Step {
        IntFlag& request;
        bool& done;
        const char* name;
        Estimator run;
    };
    const Matrix& xy = state.LocXY;
    const std::int32_t n = state.NumLocs;
    Step steps[] = {
        {state.DoBVN, state.DoneBVN, "1-mode bivariate normal",
         [&](const RunControl& c) { return CalcBVNHomeRange(state, xy, n, c); }},
        {state.Do2BVN, state.Done2BVN, "2-mode bivariate normal mixture",
         [&](const RunControl& c) { return NormalMixtureHomeRange(state, xy, n, notifier, c); }},
        {state.Do2CN, state.Done2CN, "2-mode circle mixture",
         [&](const RunControl& c) { return CircleMixtureHomeRange(state, xy, n, notifier, c); }},
        {state.DoExpPower, state.DoneExpPower, "exponential power model",
         [&](const RunControl& c) { return ExpPowerHomeRange(state, xy, n, notifier, c); }},
    };
    if (Status held = CheckCount(xy, n, "locations"); !held.Ok()) {
        return held;
    }
    const int count = static_cast<int>(std::size(steps));
    std::string errors;
    for (int k = 0; k < count; ++k) {
        Step& step = steps[k];
        if (step.request != 1) {
            continue;
        }
        control.Say(std::string("Fitting the ") + step.name);
        const Status status = step.run(control.Part(k, count));
        if (status.cancelled) {
            return status;
        }
        if (status.Ok()) {
            step.done = true;
        } else {
            errors += (errors.empty() ? "" : "\n") + status.error;
        }
        step.request = 0;
    }
    return errors.empty() ? Status{} : Status::Failure(errors);
}

} // namespace ranvik
