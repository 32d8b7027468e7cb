#pragma once

#include "models/fit_context.h"
#include "numerics/simplex.h"
#include "state/matrix.h"

#include <cstdint>
#include <vector>

namespace ranvik {

// The simplex minimisation (AmoebaMinimise) of AmoebaFunc on the locations, in the fit
// context's workspace, with the iteration-limit message sent to its notifier.
void Amoeba(FitContext& ctx, const Matrix& xy, const Matrix& p, std::vector<double>& y,
            std::int32_t n);

} // namespace ranvik
