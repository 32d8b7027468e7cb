#pragma once

#include "state/matrix.h"
#include "state/notifier.h"
#include "state/workspaces.h"

#include <functional>
#include <string_view>
#include <vector>

namespace ranvik {

// The message shown when a simplex fit stops at its iteration limit.
inline constexpr std::string_view kAmoebaLimitMessage = "Amoeba exceeding maximum iterations.";

// A function of a parameter vector (elements 1..NDim) that the simplex minimises; it may
// change the vector (clamp it), and the change is seen as described above.
using SimplexObjective = std::function<double(std::vector<double>& v)>;

// Downhill simplex (Nelder-Mead) minimisation of `objective` with reflection 1, contraction
// 0.5 and expansion 2, in ws.NDim (at most 20) dimensions.
//
// `p` holds the start simplex: vertex i = 1..NDim+1 in row i, parameter j = 1..NDim in column
// j (row 0 and column 0 unused); it is copied into ws.AmoebaP. On entry y[i] holds the
// objective value of vertex i, on return that of the final vertex i. Each pass orders the
// vertices (the lowest keeps the first index among equals), stops when
//   2 |y_hi - y_lo| / (|y_lo| + |y_hi|) < 1e-5
// (or both are 0), then reflects the worst vertex through the centroid of the others; a
// reflection at least as good as the best is expanded; one no better than the second worst
// is contracted, and if that fails every vertex but the best is shrunk halfway towards it.
// Trial points are stored as the objective left them (clamped), shrunk vertices before their
// evaluation. After 10000 passes `notifier` shows kAmoebaLimitMessage and the fit ends with
// the simplex at hand. On return ILo is the best vertex and MaxLogLikelihood = -y[ILo].
void AmoebaMinimise(SimplexWorkspace& ws, Notifier& notifier, const SimplexObjective& objective,
                    const Matrix& p, std::vector<double>& y);

} // namespace ranvik
