#include "record/model_results.h"

#include "numerics/output_grid.h"

#include <string>

namespace ranvik {
namespace {

void AddLine(std::string& lines, const std::string& line) {
    lines += (lines.empty() ? "" : "\n") + line;
}

void TakeFit(State& state, std::optional<SimplexFit>& fit) {
    if (fit) {
        state.Simplex = std::move(fit->simplex);
        state.Starts = std::move(fit->starts);
    }
}

} // namespace

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
            AddLine(errors, made->status.error);
            continue;
        }
        ModelHomeRange& range = made->value;
        TakeFit(state, range.fit);
        if (slot.loc_lik != nullptr) {
            *slot.loc_lik = std::move(range.loc_lik);
        }
        if (range.bvn) {
            state.BVNMeanX = range.bvn->mean_x;
            state.BVNMeanY = range.bvn->mean_y;
            state.BVNSigmaX = range.bvn->sigma_x;
            state.BVNSigmaY = range.bvn->sigma_y;
            state.BVNRho = range.bvn->rho;
        }
        slot.grid = std::move(range.grid);
        state.NumGridPts = kGridNodes;
        slot.done = true;
    }
    return errors.empty() ? Status{} : Status::Failure(errors);
}

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
            AddLine(errors, status.error);
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
