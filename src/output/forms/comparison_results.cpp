#include "output/forms/comparison_results.h"

#include "models/forms/home_range_results.h"

#include <string>

namespace ranvik {

Status CommitComparison(State& state, ComparisonResults&& results) {
    struct ModelSlot {
        double& neg2lnl;
        double& aicc;
        double& cvc;
        std::vector<double>& loc_lik;
    };
    const ModelSlot models[] = {
        {state.Neg2LnLExpPower, state.AICcExpPower, state.CVCExpPower, state.LocLikExpPower},
        {state.Neg2LnLBVN, state.AICcBVN, state.CVCBVN, state.LocLikBVN},
        {state.Neg2LnL2CN, state.AICc2CN, state.CVC2CN, state.LocLik2CN},
        {state.Neg2LnL2BVN, state.AICc2BVN, state.CVC2BVN, state.LocLik2BVN},
    };
    double* const kernels[] = {&state.CVCFixedKernel, &state.CVCAdKernel};
    std::string errors;
    const auto note = [&](std::size_t entry, const Status& status) {
        state.ComparisonErrors[entry] = status.error;
        if (!status.Ok()) {
            errors += (errors.empty() ? "" : "\n") + status.error;
        }
    };
    for (std::size_t k = 0; k < results.models.size(); ++k) {
        auto& scored = results.models[k];
        if (!scored) {
            continue;
        }
        note(k, scored->status);
        if (scored->Ok()) {
            ModelComparison& entry = scored->value;
            models[k].neg2lnl = entry.scores.neg2lnl;
            models[k].aicc = entry.scores.aicc;
            models[k].cvc = entry.scores.cvc;
            models[k].loc_lik = std::move(entry.loc_lik);
            TakeFit(state, entry.fit);
        }
    }
    for (std::size_t k = 0; k < results.kernels.size(); ++k) {
        auto& scored = results.kernels[k];
        if (!scored) {
            continue;
        }
        note(results.models.size() + k, scored->status);
        if (scored->Ok()) {
            *kernels[k] = scored->value.cvc;
            state.Minimiser = scored->value.minimiser;
        }
    }
    return errors.empty() ? Status{} : Status::Failure(errors);
}

} // namespace ranvik
