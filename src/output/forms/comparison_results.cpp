#include "output/forms/comparison_results.h"

#include "kernel/kernel_grid.h"
#include "models/forms/home_range_results.h"

#include <array>
#include <string>

namespace ranvik {

Status CommitComparison(Session& session, EstimatorChain& chain, ComparisonResults&& results) {
    // The entries of a comparison, in the order RunComparison makes them.
    constexpr std::array<std::string_view, 4> models = {kExpPowerName, kBVNName, kCircleMixtureName,
                                                        kNormalMixtureName};
    constexpr std::array<std::string_view, 2> kernels = {kFixedKernelName, kAdaptiveKernelName};
    std::string errors;
    const auto failed = [&](std::string_view name, const Status& status) {
        session.PutScoreFailure(name, status.error);
        if (!errors.empty()) {
            errors += '\n';
        }
        errors += status.error;
    };
    for (std::size_t k = 0; k < results.models.size(); ++k) {
        auto& scored = results.models[k];
        if (!scored) {
            continue;
        }
        if (!scored->Ok()) {
            failed(models[k], scored->status);
            continue;
        }
        ModelComparison& entry = scored->value;
        session.PutScore(models[k], {entry.scores.neg2lnl, entry.scores.aicc, entry.scores.cvc},
                         std::move(entry.loc_lik));
        TakeFit(chain, entry.fit);
    }
    for (std::size_t k = 0; k < results.kernels.size(); ++k) {
        auto& scored = results.kernels[k];
        if (!scored) {
            continue;
        }
        if (!scored->Ok()) {
            failed(kernels[k], scored->status);
            continue;
        }
        session.PutScore(kernels[k], {0.0, 0.0, scored->value.cvc});
        chain.minimiser = scored->value.minimiser;
    }
    return errors.empty() ? Status{} : Status::Failure(errors);
}

} // namespace ranvik
