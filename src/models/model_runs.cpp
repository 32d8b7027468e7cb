#include "models/model_runs.h"

#include "models/model_data.h"
#include "models/simplex_fit.h"

namespace ranvik {
namespace {

FitCopy CopyOf(const SimplexFit& start, std::int32_t n) {
    return {start.simplex, start.starts, std::vector<double>(static_cast<std::size_t>(n))};
}

} // namespace

StatusOr<ModelComparison> CompareSimplexModel(const Matrix& xy, std::int32_t n,
                                              const SimplexFit& start, Notifier& notifier,
                                              const RunControl& control, PerLocationValues values,
                                              const SimplexModel& model) {
    FitCopy work = CopyOf(start, n);
    FitContext ctx = work.Context(notifier);
    if (Status fitted = model.fit(ctx, xy, n); !fitted.Ok()) {
        return fitted;
    }
    const double max_log_l = work.simplex.MaxLogLikelihood;
    std::vector<double> at_estimate;
    if (values == PerLocationValues::AtEstimate) {
        EvaluateAtBest(ctx, xy, n);
        at_estimate = work.loc_lik;
    }
    const auto cvc = model.cvc(ctx, xy, n, control);
    if (!cvc.Ok()) {
        return cvc.status;
    }
    if (values == PerLocationValues::AtEstimate) {
        work.loc_lik = std::move(at_estimate);
    }
    return ModelComparison{{-2 * max_log_l, AICc(max_log_l, model.parameters, n), cvc.value},
                           std::move(work.loc_lik),
                           SimplexFit{std::move(work.simplex), std::move(work.starts)}};
}

StatusOr<ModelHomeRange> SimplexHomeRange(const Matrix& xy, std::int32_t n, const SimplexFit& start,
                                          Notifier& notifier, const std::vector<double>* weights,
                                          const RunControl& control, const SimplexModel& model) {
    FitCopy work = CopyOf(start, n);
    FitContext ctx = work.Context(notifier, weights);
    if (Status fitted = model.fit(ctx, xy, n); !fitted.Ok()) {
        return fitted;
    }
    auto computed = model.grid(work.simplex.ModelParams, xy, n, control);
    if (!computed.Ok()) {
        return computed.status;
    }
    return ModelHomeRange{std::move(computed.value), std::move(work.loc_lik),
                          SimplexFit{std::move(work.simplex), std::move(work.starts)},
                          std::nullopt};
}

} // namespace ranvik
