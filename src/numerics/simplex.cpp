#include "numerics/simplex.h"

#include <cmath>

namespace ranvik {
namespace {

constexpr double kAlpha = 1.0;
constexpr double kBeta = 0.5;
constexpr double kGamma = 2.0;
constexpr double kTolerance = 1e-5;
constexpr int kMaxIterations = 10000;
constexpr int kMaxDimensions = 20;

} // namespace

void AmoebaMinimise(SimplexWorkspace& ws, Notifier& notifier, const SimplexObjective& objective,
                    const Matrix& p, std::vector<double>& y) {
    const auto ndim = static_cast<int>(std::lround(ws.NDim));
    const int m = ndim + 1;
    Matrix& ap = ws.AmoebaP;
    ap.Resize(m + 1, ndim + 1);
    for (int i = 1; i <= m; ++i) {
        for (int j = 1; j <= ndim; ++j) {
            ap(i, j) = p(i, j);
        }
    }
    std::vector<double> c(kMaxDimensions + 1);
    std::vector<double> r(kMaxDimensions + 1);
    std::vector<double> e(kMaxDimensions + 1);
    const auto evaluate = [&](std::vector<double>& vertex) { return objective(vertex); };
    const auto store = [&](int row, const std::vector<double>& vertex) {
        for (int j = 1; j <= ndim; ++j) {
            ap(row, j) = vertex[static_cast<std::size_t>(j)];
        }
    };
    const auto at = [&y](int i) -> double& { return y[static_cast<std::size_t>(i)]; };

    int iter = 0;
    for (;;) {
        int lo = 1;
        int hi = 0;
        int nhi = 0;
        if (at(1) > at(2)) {
            hi = 1;
            nhi = 2;
        } else {
            hi = 2;
            nhi = 1;
        }
        for (int i = 1; i <= m; ++i) {
            if (at(i) < at(lo)) {
                lo = i;
            }
            if (at(i) > at(hi)) {
                nhi = hi;
                hi = i;
            } else if (at(i) > at(nhi) && i != hi) {
                nhi = i;
            }
        }
        ws.ILo = static_cast<std::int16_t>(lo);

        const double spread = std::fabs(at(lo)) + std::fabs(at(hi));
        // Both values 0 (only an unknown model gives that) counts as converged.
        const double rtol = spread == 0.0 ? 0.0 : 2 * std::fabs(at(hi) - at(lo)) / spread;
        if (rtol < kTolerance) {
            ws.MaxLogLikelihood = -at(lo);
            return;
        }
        if (iter == kMaxIterations) {
            notifier.Inform(kAmoebaLimitMessage);
            ws.MaxLogLikelihood = -at(lo);
            return;
        }
        ++iter;

        for (int j = 1; j <= ndim; ++j) {
            c[static_cast<std::size_t>(j)] = 0.0;
        }
        for (int i = 1; i <= m; ++i) {
            if (i == hi) {
                continue;
            }
            for (int j = 1; j <= ndim; ++j) {
                c[static_cast<std::size_t>(j)] += ap(i, j);
            }
        }
        for (int j = 1; j <= ndim; ++j) {
            c[static_cast<std::size_t>(j)] = c[static_cast<std::size_t>(j)] / ndim;
        }

        for (int j = 1; j <= ndim; ++j) {
            const auto k = static_cast<std::size_t>(j);
            r[k] = (1 + kAlpha) * c[k] - kAlpha * ap(hi, j);
        }
        const double yr = evaluate(r);

        if (yr <= at(lo)) {
            for (int j = 1; j <= ndim; ++j) {
                const auto k = static_cast<std::size_t>(j);
                e[k] = kGamma * r[k] + (1 - kGamma) * c[k];
            }
            const double ye = evaluate(e);
            if (ye < at(lo)) {
                store(hi, e);
                at(hi) = ye;
            } else {
                store(hi, r);
                at(hi) = yr;
            }
        } else if (yr >= at(nhi)) {
            if (yr < at(hi)) {
                store(hi, r);
                at(hi) = yr;
            }
            for (int j = 1; j <= ndim; ++j) {
                const auto k = static_cast<std::size_t>(j);
                e[k] = kBeta * ap(hi, j) + (1 - kBeta) * c[k];
            }
            const double ye = evaluate(e);
            if (ye < at(hi)) {
                store(hi, e);
                at(hi) = ye;
            } else {
                for (int i = 1; i <= m; ++i) {
                    if (i == lo) {
                        continue;
                    }
                    for (int j = 1; j <= ndim; ++j) {
                        r[static_cast<std::size_t>(j)] = 0.5 * (ap(i, j) + ap(lo, j));
                        ap(i, j) = r[static_cast<std::size_t>(j)];
                    }
                    at(i) = evaluate(r);
                }
            }
        } else {
            store(hi, r);
            at(hi) = yr;
        }
    }
}

} // namespace ranvik
