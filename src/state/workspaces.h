#pragma once

#include "state/matrix.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ranvik {

// Bracketing triple and golden-section result of the one-dimensional minimiser. The smoothing
// parameter searches and the Brownian bridge variance search share it; each search
// re-initialises it, and the last triple and minimum stay readable afterwards.
struct MinimiserWorkspace {
    double BracketA = 0.0;
    double BracketB = 0.0;
    double BracketC = 0.0;
    double BracketFA = 0.0;
    double BracketFB = 0.0;
    double BracketFC = 0.0;
    double GoldenXMin = 0.0; // abscissa of the last minimum found
    double GoldenFMin = 0.0; // criterion value there
    double GoldenTol = 0.0;  // tolerance of the last search that was handed one

    friend bool operator==(const MinimiserWorkspace&, const MinimiserWorkspace&) = default;
};

// Working simplex of the Nelder-Mead minimiser and the parameters of the last simplex fit.
struct SimplexWorkspace {
    double NDim = 0.0;             // number of free parameters, integral value
    Matrix AmoebaP;                // vertices (1..NDim+1) x parameters (1..NDim); row/col 0 unused
    std::int16_t ILo = 0;          // row of the best vertex
    double MaxLogLikelihood = 0.0; // maximised log-likelihood of the last fit
    std::string ModelName;         // selects the objective: "ExpPower", "2ModeBiVarCircle", ...
    std::vector<double> ModelParams; // elements 1..NDim: fitted parameters; element 0 unused

    friend bool operator==(const SimplexWorkspace&, const SimplexWorkspace&) = default;
};

// Start vertices of the simplex fits. Vertex k of a model's start simplex is element k of its
// array (element 0 unused); each vertex is a parameter vector whose element 0 is unused.
struct SimplexStarts {
    std::array<std::vector<double>, 6> ExpPowerStart; // vertices 1..5, parameters 1..4
    std::array<std::vector<double>, 9> CNStart;       // vertices 1..8, parameters 1..7
    std::array<std::vector<double>, 13> BVNStart;     // vertices 1..12, parameters 1..11

    friend bool operator==(const SimplexStarts&, const SimplexStarts&) = default;
};

// The simplex workspace and start vertices as one fit leaves them for the next: fits run one
// after another, each starting from what the one before left.
struct SimplexFit {
    SimplexWorkspace simplex;
    SimplexStarts starts;

    friend bool operator==(const SimplexFit&, const SimplexFit&) = default;
};

// What the computations on one set of locations hand on to each other: each simplex fit
// starts from the workspace the fit before left, and each one-dimensional search (smoothing
// parameter, Brownian bridge variance) from the minimiser's workspace.
struct EstimatorChain {
    SimplexFit fit;
    MinimiserWorkspace minimiser;

    friend bool operator==(const EstimatorChain&, const EstimatorChain&) = default;
};

} // namespace ranvik
