#include "models/forms/home_range_results.h"

#include "numerics/output_grid.h"

#include <string>

namespace ranvik {

void TakeFit(State& state, std::optional<SimplexFit>& fit) {
    if (fit) {
        state.Simplex = std::move(fit->simplex);
        state.Starts = std::move(fit->starts);
    }
}

Status CommitHomeRanges(State& state, HomeRangeResults&& results) {
    struct Slot {
        IntFlag& request;
        bool& done;
        Matrix& grid;
        std::vector<double>* loc_lik; // none for the 1-mode normal
    };
    const Slot slots[kHomeRangeModels] = {
        {state.DoBVN, state.DoneBVN, state.GridBVN, nullptr},
        {state.Do2BVN, state.Done2BVN, state.Grid2BVN, &state.LocLik2BVN},
        {state.Do2CN, state.Done2CN, state.Grid2CN, &state.LocLik2CN},
        {state.DoExpPower, state.DoneExpPower, state.GridExpPower, &state.LocLikExpPower},
    };
    std::string errors;
    for (int k = 0; k < kHomeRangeModels; ++k) {
        auto& made = results.models[static_cast<std::size_t>(k)];
        if (!made) {
            continue;
        }
        const Slot& slot = slots[k];
        slot.request = 0;
        if (!made->Ok()) {
            errors += (errors.empty() ? "" : "\n") + made->status.error;
            continue;
        }
        ModelHomeRange& range = made->value;
        TakeFit(state, range.fit);
        if (slot.loc_lik != nullptr) {
            *slot.loc_lik = std::move(range.loc_lik);
        }
        slot.grid = std::move(range.grid);
        state.NumGridPts = kGridNodes;
        slot.done = true;
    }
    return errors.empty() ? Status{} : Status::Failure(errors);
}

} // namespace ranvik
