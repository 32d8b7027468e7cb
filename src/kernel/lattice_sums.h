#pragma once

#include "kernel/kernel_sums.h"
#include "numerics/output_grid.h"
#include "state/run_control.h"
#include "state/status.h"

#include <vector>

namespace ranvik {

// A Gaussian kernel sum at every node of the output grid at once.
//
// At node (xs[i], ys[j]) the sum is  sum_k exp(-((xs[i] - x_k)^2 + (ys[j] - y_k)^2) / s_k) f_k
// over the points in their order, with a scale s_k and a factor f_k per point (2 h^2 and
// w_k / (2 pi h^2) for the fixed kernel). The exponential of a sum is the product of the
// exponentials, so each term is formed as
//   X[i][k] * f_k * Y[j][k],  X[i][k] = exp(-(xs[i] - x_k)^2 / s_k),  Y[j][k] likewise,
// which takes 2 * 200 * n exponentials instead of 40,000 * n. Each node still adds its terms
// one after another in the order of the points, so its value does not depend on the threads.
//
// How far this is from the plain sum, term by term: each factor's exponential is within 2
// units in the last place (ulp), and the arguments (xs[i] - x_k)^2 / s_k and
// (ys[j] - y_k)^2 / s_k are each rounded once less than their sum is; the product and the
// factor add 2 roundings. A term exp(-u) f_k therefore differs from the plain one by at most
// (u + 8) ulp relative, and since every term of a kernel with positive factors is positive,
// the node's sum by at most (u_max + 8) * 2^-52 relative, where u_max is the largest argument
// of a term that is not 0, as long as the factors are normal numbers (a node value above about
// 1e-290). Terms with u > 745 are 0 both ways (the exponential underflows), so the difference
// is below 1.7e-13 relative, and for the terms that carry a grid value's
// printed digits (u < 40) below 1.1e-14: a saved grid value (9 decimals) moves by less than one
// unit of its last decimal, and only one that lies within that distance of a rounding boundary
// can print differently. A point whose X[i][k] f_k is 0 is skipped in column i: its terms
// there are below the smallest normal double (exactly 0 when the exponential underflowed).
//
// Returns one value per node, node 200 i + j, or Cancelled when `control` asks to stop
// (progress is reported as the points are taken in passes).
[[nodiscard]] StatusOr<std::vector<double>>
LatticeKernelSums(const GridLayout& layout, const Points& points, const std::vector<double>& scale,
                  const std::vector<double>& factor, const RunControl& control);

} // namespace ranvik
