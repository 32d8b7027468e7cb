#include "models/simplex_fit.h"

#include "models/amoeba.h"
#include "models/objective.h"

#include <cmath>
#include <string>

namespace ranvik {

void RunSimplex(FitContext& ctx, const Matrix& xy, std::int32_t n, std::vector<double>* starts,
                int count, int ndim) {
    std::vector<double> y(static_cast<std::size_t>(count) + 1);
    for (int j = 1; j <= count; ++j) {
        y[static_cast<std::size_t>(j)] = AmoebaFunc(ctx, xy, starts[j], n);
    }
    Matrix p(count + 1, ndim + 1);
    for (int j = 1; j <= count; ++j) {
        for (int i = 1; i <= ndim; ++i) {
            p(j, i) = starts[j][static_cast<std::size_t>(i)];
        }
    }
    ctx.simplex.NDim = ndim;
    Amoeba(ctx, xy, p, y, n);
}

void TakeModelParams(SimplexWorkspace& ws, int ndim, std::initializer_list<int> log_scale) {
    ws.ModelParams.assign(static_cast<std::size_t>(ndim) + 1, 0.0);
    for (int i = 1; i <= ndim; ++i) {
        ws.ModelParams[static_cast<std::size_t>(i)] = ws.AmoebaP(ws.ILo, i);
    }
    for (const int i : log_scale) {
        ws.ModelParams[static_cast<std::size_t>(i)] = std::exp(ws.AmoebaP(ws.ILo, i));
    }
}

void LogElements(std::vector<double>* starts, int count, std::initializer_list<int> elements) {
    for (const int e : elements) {
        for (int j = 1; j <= count; ++j) {
            double& value = starts[j][static_cast<std::size_t>(e)];
            value = std::log(value);
        }
    }
}

Status CheckFit(const SimplexWorkspace& ws, std::string_view model) {
    bool finite = std::isfinite(ws.MaxLogLikelihood);
    for (const double v : ws.ModelParams) {
        finite = finite && std::isfinite(v);
    }
    if (finite) {
        return {};
    }
    return Status::Failure("The fit of the " + std::string(model) +
                           " did not reach a finite likelihood; the locations may be too few "
                           "or too unevenly spread for this model.");
}

void EvaluateAtBest(FitContext& ctx, const Matrix& xy, std::int32_t n) {
    const SimplexWorkspace& ws = ctx.simplex;
    const auto ndim = static_cast<int>(std::lround(ws.NDim));
    std::vector<double> best(static_cast<std::size_t>(ndim) + 1);
    for (int i = 1; i <= ndim; ++i) {
        best[static_cast<std::size_t>(i)] = ws.AmoebaP(ws.ILo, i);
    }
    (void)AmoebaFunc(ctx, xy, best, n);
}

} // namespace ranvik
