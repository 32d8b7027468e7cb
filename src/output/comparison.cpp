#include "output/comparison.h"

#include "kernel/kernel_cvc.h"
#include "models/bivariate_normal.h"
#include "models/circle_mixture.h"
#include "models/exp_power.h"
#include "models/normal_mixture.h"
#include "output/estimator_table.h"
#include "state/loaded_locations.h"
#include "state/number_text.h"

#include <functional>
#include <optional>
#include <utility>

namespace ranvik {
namespace {

std::string Rounded(double value) {
    return FormatNumber(RoundHalfEven(value, 3));
}

} // namespace

StatusOr<ComparisonResults> RunComparison(const Matrix& xy, std::int32_t n,
                                          const ComparisonChoice& choice, const SimplexFit& start,
                                          Notifier& notifier, const RunControl& control,
                                          PerLocationValues values) {
    if (Status held = CheckCount(xy, n, "locations"); !held.Ok()) {
        return held;
    }
    using ModelEntry =
        std::function<StatusOr<ModelComparison>(const SimplexFit&, const RunControl&)>;
    using KernelEntry = std::function<StatusOr<KernelCVC>(const RunControl&)>;
    // Both kernels' criteria rest on the same leave-one-out searches: with both ticked, the
    // fixed kernel's makes them and the adaptive kernel's takes them over.
    std::optional<LeaveOneOutSearches> searches;
    const KernelEntry fixed_cvc = [&](const RunControl& c) -> StatusOr<KernelCVC> {
        if (!choice.adaptive_kernel) {
            return FixedKernelCVC(xy, n, c);
        }
        auto searched = SearchWithoutEach(xy, n, KernelKind::Fixed, c.Share(0.0, 0.9));
        if (!searched.Ok()) {
            return searched.status;
        }
        searches = std::move(searched.value);
        return FixedKernelCVC(xy, n, c.Share(0.9, 1.0), &*searches);
    };
    const struct {
        bool ticked;
        const char* name;
        ModelEntry model;
        KernelEntry kernel;
    } entries[] = {
        {choice.exp_power,
         "exponential power model",
         [&](const SimplexFit& fit, const RunControl& c) {
             return CompareExpPower(xy, n, fit, notifier, c, values);
         },
         {}},
        {choice.bvn,
         "1-mode bivariate normal",
         [&](const SimplexFit&, const RunControl& c) { return CompareBVN(xy, n, c); },
         {}},
        {choice.circle_mixture,
         "2-mode circle mixture",
         [&](const SimplexFit& fit, const RunControl& c) {
             return Calc2CNModel(xy, n, fit, notifier, c, values);
         },
         {}},
        {choice.normal_mixture,
         "2-mode bivariate normal mixture",
         [&](const SimplexFit& fit, const RunControl& c) {
             return Calc2BVNModel(xy, n, fit, notifier, c, values);
         },
         {}},
        {choice.fixed_kernel, "fixed kernel", {}, fixed_cvc},
        {choice.adaptive_kernel,
         "adaptive kernel",
         {},
         [&](const RunControl& c) {
             return AdKernelCVC(xy, n, c, searches ? &*searches : nullptr);
         }},
    };
    const int count = static_cast<int>(std::size(entries));
    SimplexFit fit = start;
    ComparisonResults results;
    for (int k = 0; k < count; ++k) {
        const auto& entry = entries[k];
        if (!entry.ticked) {
            continue;
        }
        control.Say(std::string("Fitting and scoring the ") + entry.name);
        const RunControl part = control.Part(k, count);
        if (entry.model) {
            auto scored = entry.model(fit, part);
            if (scored.status.cancelled) {
                return scored.status;
            }
            if (scored.Ok() && scored.value.fit) {
                fit = *scored.value.fit;
            }
            results.models[static_cast<std::size_t>(k)] = std::move(scored);
        } else {
            auto scored = entry.kernel(part);
            if (scored.status.cancelled) {
                return scored.status;
            }
            results.kernels[static_cast<std::size_t>(k - 4)] = std::move(scored);
        }
    }
    return results;
}

std::string ComparisonTable(const Session& session, const std::vector<EstimatorRow>& table) {
    std::string text = "File Name\tHome Range Method\t# Parameters\tln(L)*-2\tAICc\tCVC";
    const ModelScore unscored;
    for (const EstimatorRow* row : ComparedRows(table)) {
        const EstimatorResult* result = session.Result(row->name);
        const ModelScore& score = result != nullptr ? result->score : unscored;
        const bool failed = result != nullptr && !result->score_error.empty();
        const auto value = [&](double v, bool applies) {
            if (!applies) {
                return std::string("NA");
            }
            return failed ? std::string(kNotScored) : Rounded(v);
        };
        text += "\r\n";
        text += session.loaded().file.root;
        text += '\t';
        text += row->method;
        text += '\t';
        text += row->parameters;
        text += '\t' + value(score.neg2lnl, !row->smoothed) + '\t' +
                value(score.aicc, !row->smoothed) + '\t' + value(score.cvc, true);
    }
    return text;
}

} // namespace ranvik
