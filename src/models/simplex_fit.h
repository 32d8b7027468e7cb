#pragma once

#include "models/fit_context.h"
#include "state/matrix.h"
#include "state/status.h"

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace ranvik {

// One simplex run from start vertices 1..count of `starts` (each a parameter vector with
// elements 1..ndim): y_j = AmoebaFunc of vertex j in order (which may clamp the vertex in
// place), the start simplex built from the vertices as they then stand, NDim = ndim, and
// Amoeba. The model name must already be set in ctx.simplex.
void RunSimplex(FitContext& ctx, const Matrix& xy, std::int32_t n, std::vector<double>* starts,
                int count, int ndim);

// ModelParams (elements 0..ndim) from the best vertex of the last run, with the elements
// listed in `log_scale` exponentiated back to their natural scale.
void TakeModelParams(SimplexWorkspace& ws, int ndim, std::initializer_list<int> log_scale);

// Replaces the listed elements of vertices 1..count by their natural logarithms, element by
// element (all vertices' first listed element, then the next).
void LogElements(std::vector<double>* starts, int count, std::initializer_list<int> elements);

// Fails with a sentence when the last fit gave no finite likelihood.
[[nodiscard]] Status CheckFit(const SimplexWorkspace& ws, std::string_view model);

// The objective at the best vertex of the last run, so that ctx.loc_lik holds the
// per-location values of the estimate itself.
void EvaluateAtBest(FitContext& ctx, const Matrix& xy, std::int32_t n);

} // namespace ranvik
