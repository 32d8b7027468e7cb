#pragma once

#include <cstddef>

namespace ranvik {

// exp(x[i]) into out[i] for i < count, several at a time; out must not overlap x.
//
// Kernel sums spend nearly all their time in exp, so this replaces the one-at-a-time library
// call in those loops: x = k ln2 + r with |r| <= ln2 / 2 (Cody-Waite split of ln2, so r is
// exact), exp(r) by its Taylor polynomial to degree 13 (truncation below 5e-18), then scaled
// by 2^k built in the exponent bits. The result is within 2 units in the last place of the
// correctly rounded value (checked against std::exp in the tests), exp(0) is exactly 1, and
// the same inputs give the same bits on every machine and in every thread. Arguments outside
// [-708, 709], where the result would be subnormal or infinite, and NaN go to std::exp;
// below -746, where exp is exactly 0, the result is 0 at once.
void ExpBatch(const double* x, double* out, std::size_t count);

} // namespace ranvik
