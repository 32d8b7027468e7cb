#include "models/home_ranges.h"

#include "models/bivariate_normal.h"
#include "models/circle_mixture.h"
#include "models/exp_power.h"
#include "models/normal_mixture.h"
#include "state/loaded_locations.h"

#include <string>

namespace ranvik {

HomeRangeInput HomeRangeInputOf(const Session& session, const SimplexFit& start) {
    static const IndependentLocations none;
    const auto& loaded = session.loaded().locations;
    const IndependentLocations& locations = loaded ? *loaded : none;
    const Choices& choices = session.choices();
    HomeRangeInput input{locations.xy,
                         locations.count,
                         choices.BiasCorrected == 1 ? &locations.weights : nullptr,
                         {},
                         start};
    for (std::size_t k = 0; k < kHomeRangeModelNames.size(); ++k) {
        input.requested[k] = choices.Requested(kHomeRangeModelNames[k]);
    }
    return input;
}

StatusOr<HomeRangeResults> CalcHomeRanges(const HomeRangeInput& input, Notifier& notifier,
                                          const RunControl& control) {
    const Matrix& xy = input.xy;
    const std::int32_t n = input.n;
    if (Status held = CheckCount(xy, n, "locations"); !held.Ok()) {
        return held;
    }
    SimplexFit fit = input.start;
    const char* const names[kHomeRangeModels] = {
        "1-mode bivariate normal", "2-mode bivariate normal mixture", "2-mode circle mixture",
        "exponential power model"};
    HomeRangeResults results;
    for (int k = 0; k < kHomeRangeModels; ++k) {
        if (!input.requested[static_cast<std::size_t>(k)]) {
            continue;
        }
        control.Say(std::string("Fitting the ") + names[k]);
        const RunControl part = control.Part(k, kHomeRangeModels);
        StatusOr<ModelHomeRange> made;
        switch (static_cast<HomeRangeModel>(k)) {
        case HomeRangeModel::BVN:
            made = CalcBVNHomeRange(xy, n, input.weights, part);
            break;
        case HomeRangeModel::NormalMixture:
            made = NormalMixtureHomeRange(xy, n, fit, notifier, input.weights, part);
            break;
        case HomeRangeModel::CircleMixture:
            made = CircleMixtureHomeRange(xy, n, fit, notifier, part);
            break;
        case HomeRangeModel::ExpPower:
            made = ExpPowerHomeRange(xy, n, fit, notifier, part);
            break;
        }
        if (made.status.cancelled) {
            return made.status;
        }
        if (made.Ok() && made.value.fit) {
            fit = *made.value.fit;
        }
        results.models[static_cast<std::size_t>(k)] = std::move(made);
    }
    return results;
}

} // namespace ranvik
