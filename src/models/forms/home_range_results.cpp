#include "models/forms/home_range_results.h"

#include <string>

namespace ranvik {

void TakeFit(EstimatorChain& chain, std::optional<SimplexFit>& fit) {
    if (fit) {
        chain.fit = std::move(*fit);
    }
}

Status CommitHomeRanges(Session& session, EstimatorChain& chain, HomeRangeResults&& results) {
    std::string errors;
    for (std::size_t k = 0; k < kHomeRangeModelNames.size(); ++k) {
        auto& made = results.models[k];
        if (!made) {
            continue;
        }
        const std::string_view name = kHomeRangeModelNames[k];
        session.Request(name, false);
        if (!made->Ok()) {
            if (!errors.empty()) {
                errors += '\n';
            }
            errors += made->status.error;
            continue;
        }
        ModelHomeRange& range = made->value;
        TakeFit(chain, range.fit);
        // The 1-mode normal is not fitted by the simplex and leaves no per-location values.
        if (name != kBVNName) {
            session.PutLocationValues(name, std::move(range.loc_lik));
        }
        session.Put(name, std::move(range.grid));
    }
    return errors.empty() ? Status{} : Status::Failure(errors);
}

} // namespace ranvik
