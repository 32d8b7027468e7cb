#include "models/amoeba.h"

#include "models/objective.h"

namespace ranvik {

void Amoeba(FitContext& ctx, const Matrix& xy, const Matrix& p, std::vector<double>& y,
            std::int32_t n) {
    AmoebaMinimise(
        ctx.simplex, ctx.notifier,
        [&](std::vector<double>& vertex) { return AmoebaFunc(ctx, xy, vertex, n); }, p, y);
}

} // namespace ranvik
