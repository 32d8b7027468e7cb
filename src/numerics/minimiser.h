#pragma once

#include "state/run_control.h"
#include "state/status.h"
#include "state/workspaces.h"

#include <functional>
#include <string_view>

namespace ranvik {

// A criterion to minimise over one abscissa. It receives the abscissa by reference and may
// replace it (the LSCV score raises a tiny h to 1e-20); the replaced value then stands in the
// search. It reports failure by returning a non-finite value.
using Criterion = std::function<double(double& x)>;

// The points in which the searches for h_CV, h_LSCV and the Brownian bridge variance differ.
struct MinimiserInstance {
    std::string_view name;      // the quantity sought, for messages ("CV smoothing parameter")
    double glimit;              // largest parabolic step, in units of c - b
    bool guard_first_expansion; // keep the first expansion from going below 0
    double tolerance;           // relative tolerance of the golden-section search
    bool store_tolerance;       // leave the tolerance in GoldenTol
};

inline constexpr MinimiserInstance kCVSearch{"CV smoothing parameter", 500.0, true, 0.01, false};
inline constexpr MinimiserInstance kLSCVSearch{"LSCV smoothing parameter", 100.0, false, 0.001,
                                               true};
inline constexpr MinimiserInstance kBBSearch{"Brownian bridge variance", 500.0, true, 0.0001, true};

// Bracketing iterations after which a criterion is taken to have no interior minimum: each
// iteration widens the bracket at least by the golden ratio, so a minimum that exists is
// bracketed long before.
inline constexpr int kMaxBracketIterations = 500;

// Golden-section iterations after which the search gives up; each one shrinks the interval by
// the factor 0.618, so a finite bracket is resolved to double precision well within it.
inline constexpr int kMaxGoldenIterations = 5000;

// Downhill bracketing from the pair (a, b): golden-ratio expansion (GOLD = 1.618034) with
// parabolic extrapolation (TINY = 1e-20 for a vanishing denominator, steps limited to glimit
// (c - b)), until f(b) < f(c). Leaves a, b, c and f(a), f(b), f(c) in BracketA .. BracketFC.
// Fails when the criterion does not give a finite value or no minimum is bracketed within
// kMaxBracketIterations; the workspace then holds the last triple tried.
[[nodiscard]] Status BracketMinimum(MinimiserWorkspace& ws, const MinimiserInstance& instance,
                                    double a, double b, const Criterion& f,
                                    const RunControl& control);

// Golden-section search (R = 0.61803399, C = 0.38196602) inside the triple in BracketA,
// BracketB, BracketC. The interval x0..x2 is narrowed until |x2 - x0| <= tol (|x1| + |x2|);
// the lower of f(x1) and f(x2) is left in GoldenXMin and GoldenFMin, x2 on a tie.
[[nodiscard]] Status GoldenSection(MinimiserWorkspace& ws, const MinimiserInstance& instance,
                                   const Criterion& f, const RunControl& control);

} // namespace ranvik
