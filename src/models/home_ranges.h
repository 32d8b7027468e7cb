#pragma once

#include "models/bivariate_normal.h"
#include "models/circle_mixture.h"
#include "models/exp_power.h"
#include "models/model_runs.h"
#include "models/normal_mixture.h"
#include "state/matrix.h"
#include "state/notifier.h"
#include "state/run_control.h"
#include "state/session.h"
#include "state/status.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace ranvik {

// The parametric estimators of a home range run, in the order they run.
enum class HomeRangeModel { BVN, NormalMixture, CircleMixture, ExpPower };
inline constexpr int kHomeRangeModels = 4;
// Their names, in that order.
inline constexpr std::array<std::string_view, kHomeRangeModels> kHomeRangeModelNames = {
    kBVNName, kNormalMixtureName, kCircleMixtureName, kExpPowerName};

// What the home range driver needs: the locations, their weights (bias-corrected runs), which
// models were asked for, and the simplex workspace the first fit starts from.
struct HomeRangeInput {
    const Matrix& xy;
    std::int32_t n = 0;
    const std::vector<double>* weights = nullptr; // a bias-corrected run's location weights
    std::array<bool, kHomeRangeModels> requested{};
    SimplexFit start;
};

// The session's independent locations (weighted in a bias-corrected analysis) and requested
// models as a driver's input, its fits starting from `start`.
[[nodiscard]] HomeRangeInput HomeRangeInputOf(const Session& session, const SimplexFit& start);

// Each requested model's home range, or the sentence why it could not be made; models not
// requested are empty.
struct HomeRangeResults {
    std::array<std::optional<StatusOr<ModelHomeRange>>, kHomeRangeModels> models;
};

// Runs the requested parametric estimators in this order: the 1-mode bivariate normal, the
// 2-mode bivariate normal mixture (three stages), the 2-mode circle mixture (two stages) and
// the exponential power model. Each simplex fit starts from the workspace the one before left.
// A model that cannot be fitted does not stop the others. Fails only when cancelled.
[[nodiscard]] StatusOr<HomeRangeResults>
CalcHomeRanges(const HomeRangeInput& input, Notifier& notifier, const RunControl& control = {});

} // namespace ranvik
