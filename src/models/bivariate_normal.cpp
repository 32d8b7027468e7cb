#include "models/bivariate_normal.h"

#include "models/model_data.h"
#include "models/objective.h"
#include "numerics/output_grid.h"

#include <cmath>

namespace ranvik {
namespace {

constexpr double kParameters = 5.0;
constexpr std::string_view kModel = "1-mode bivariate normal";

BVNEstimate FromSums(double mean_x, double mean_y, double sxx, double syy, double sxy,
                     double divisor) {
    BVNEstimate e;
    e.mean_x = mean_x;
    e.mean_y = mean_y;
    e.sigma_x = std::sqrt(sxx / divisor);
    e.sigma_y = std::sqrt(syy / divisor);
    e.rho = (sxy / divisor) / (e.sigma_x * e.sigma_y);
    return e;
}

// The density is defined: positive spreads and a correlation strictly inside (-1, 1).
bool Usable(const BVNEstimate& e) {
    return e.sigma_x > 0 && e.sigma_y > 0 && std::isfinite(e.sigma_x) && std::isfinite(e.sigma_y) &&
           std::fabs(e.rho) < 1;
}

} // namespace

BVNEstimate UnweightedBVN(const Matrix& xy, std::int32_t n) {
    const Moments m = PopulationMoments(xy, n);
    return {m.mean_x, m.mean_y, m.sd_x, m.sd_y, m.rho};
}

BVNEstimate WeightedBVN(const Matrix& xy, std::int32_t n, const std::vector<double>& weights) {
    double w_sum = 0.0;
    double sum_x = 0.0;
    double sum_y = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        const double w = weights[static_cast<std::size_t>(i)];
        w_sum += w;
        sum_x += w * xy(i, 0);
        sum_y += w * xy(i, 1);
    }
    const double mx = sum_x / w_sum;
    const double my = sum_y / w_sum;
    double sxx = 0.0;
    double syy = 0.0;
    double sxy = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        const double w = weights[static_cast<std::size_t>(i)];
        sxx += w * ((xy(i, 0) - mx) * (xy(i, 0) - mx));
        syy += w * ((xy(i, 1) - my) * (xy(i, 1) - my));
        sxy += w * (xy(i, 0) - mx) * (xy(i, 1) - my);
    }
    return FromSums(mx, my, sxx, syy, sxy, w_sum * (1 - 1.0 / n));
}

double BVNDensity(const BVNEstimate& e, double x, double y) {
    return NormalMode(e.mean_x, e.mean_y, e.sigma_x, e.sigma_y, e.rho).Density(x, y);
}

StatusOr<ModelComparison> CompareBVN(const Matrix& xy, std::int32_t n, const RunControl& control) {
    if (Status ok = CheckModelData(xy, n, {kModel, 7, true, true}); !ok.Ok()) {
        return ok;
    }
    auto result = CalcBVNLikelihood(xy, n);
    if (!result.Ok()) {
        return result;
    }
    const auto cvc = CalcBVNCVC(xy, n, control);
    if (!cvc.Ok()) {
        return cvc.status;
    }
    result.value.scores.cvc = cvc.value;
    return result;
}

StatusOr<ModelComparison> CalcBVNLikelihood(const Matrix& xy, std::int32_t n) {
    const BVNEstimate e = UnweightedBVN(xy, n);
    if (!Usable(e)) {
        return Status::Failure("The " + std::string(kModel) +
                               " cannot be fitted: the locations have no spread in one "
                               "direction or lie on one line.");
    }
    const NormalMode mode(e.mean_x, e.mean_y, e.sigma_x, e.sigma_y, e.rho);
    ModelComparison result;
    result.loc_lik.assign(static_cast<std::size_t>(n), 0.0);
    double log_l = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        const double l = LogOrFloor(mode.Density(xy(i, 0), xy(i, 1)));
        result.loc_lik[static_cast<std::size_t>(i)] = l;
        log_l = log_l + l;
    }
    result.scores.neg2lnl = -2 * log_l;
    result.scores.aicc = AICc(log_l, kParameters, n);
    return result;
}

StatusOr<double> CalcBVNCVC(const Matrix& xy, std::int32_t n, const RunControl& control) {
    double sum = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        const Matrix work = WithoutLocation(xy, n, i);
        control.Say("Leave-one-out fits, " + std::string(kModel) + ": " + std::to_string(i + 1) +
                    " of " + std::to_string(n));
        const BVNEstimate e = UnweightedBVN(work, n - 1);
        const double l = LogOrFloor(BVNDensity(e, xy(i, 0), xy(i, 1)));
        if (!Usable(e) || !std::isfinite(l)) {
            return Status::Failure(LeftOutFailure(kModel, i));
        }
        sum = sum + l;
        if (!control.Report(static_cast<double>(i + 1) / n)) {
            return Status::Cancelled();
        }
    }
    return -2 * sum;
}

StatusOr<ModelHomeRange> CalcBVNHomeRange(const Matrix& xy, std::int32_t n,
                                          const std::vector<double>* weights,
                                          const RunControl& control) {
    if (Status ok = CheckModelData(xy, n, {kModel, 2, true, true}); !ok.Ok()) {
        return ok;
    }
    if (weights != nullptr && weights->size() < static_cast<std::size_t>(n)) {
        return Status::Failure("There is no weight for every location; load the locations "
                               "file with its probability column again.");
    }
    const BVNEstimate e = weights != nullptr ? WeightedBVN(xy, n, *weights) : UnweightedBVN(xy, n);
    if (!Usable(e)) {
        return Status::Failure("The weighted " + std::string(kModel) +
                               " cannot be fitted with these location weights.");
    }
    auto grid = CalcBVNGrid(xy, n, e, control);
    if (!grid.Ok()) {
        return grid.status;
    }
    ModelHomeRange result;
    result.grid = std::move(grid.value);
    result.bvn = e;
    return result;
}

StatusOr<Matrix> CalcBVNGrid(const Matrix& xy, std::int32_t n, const BVNEstimate& e,
                             const RunControl& control) {
    const NormalMode mode(e.mean_x, e.mean_y, e.sigma_x, e.sigma_y, e.rho);
    return GridOverLocations(
        xy, n, [&mode](double x, double y) { return mode.Density(x, y); }, control);
}

} // namespace ranvik
