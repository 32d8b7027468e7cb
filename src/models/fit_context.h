#pragma once

#include "state/notifier.h"
#include "state/workspaces.h"

#include <vector>

namespace ranvik {

// Everything a simplex fit reads and writes besides the locations: the simplex workspace, the
// start vertices, the per-location log-likelihood array of the model being fitted, the
// location weights when the fit is weighted, and where the iteration-limit message goes.
// A fit works on a copy of its own (FitCopy); what it leaves there is its result.
struct FitContext {
    SimplexWorkspace& simplex;
    SimplexStarts& starts;
    std::vector<double>& loc_lik;
    const std::vector<double>* weights = nullptr; // weights of a bias-corrected fit, or none
    Notifier& notifier;
};

// The per-location values of a fit that runs apart from the session, with their workspace.
struct FitCopy {
    SimplexWorkspace simplex;
    SimplexStarts starts;
    std::vector<double> loc_lik;

    [[nodiscard]] FitContext Context(Notifier& notifier,
                                     const std::vector<double>* weights = nullptr) {
        return {simplex, starts, loc_lik, weights, notifier};
    }
};

// Which per-location log-likelihoods a comparison leaves for the likelihood file: those of the
// full-data estimate, or those of the objective's last evaluation (during the last
// leave-one-out fit, with the last location's value from the full-data fit).
enum class PerLocationValues { AtEstimate, LastEvaluation };

} // namespace ranvik
