#include "kernel/akde.h"

#include "numerics/exp_batch.h"
#include "numerics/output_grid.h"
#include "numerics/parallel_for.h"
#include "state/constants.h"
#include "state/number_text.h"

#include <boost/math/distributions/chi_squared.hpp>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <numeric>
#include <optional>
#include <span>
#include <string>
#include <utility>

namespace ranvik {
namespace {

// Fix times within this share of a slot of a whole number of slots are taken as on schedule.
constexpr double kOnSchedule = 1e-6;

// More slots than this (a track with a few long gaps between many close fixes) are merged two
// by two for the variogram: 2^24 slots take 1 GB of transforms.
constexpr std::int64_t kMaxSlots = std::int64_t{1} << 24;

// Kernels are counted out to this Mahalanobis distance: beyond it a kernel is below
// exp(-8.5^2 / 2) = 2.3e-16 of its peak.
constexpr double kKernelReach = 8.5;

// The bandwidth search: points per pass, passes, and the range of ln h of the first pass.
constexpr int kSearchPoints = 64;
constexpr int kSearchPasses = 3;
constexpr double kLowestH = 1e-4;
constexpr double kHighestH = 10.0;

// Rows of fixes per tile of the pair sums, and the most chunks of tiles whose pair profiles
// are kept apart for the threads (each takes 200 kB).
constexpr std::int64_t kTileRows = 64;
constexpr std::int64_t kPairChunks = 32;

using Complex = std::complex<double>;

// In-place radix-2 transform of a power-of-two length; inverse without the 1/L.
void Fft(std::vector<Complex>& a, bool inverse) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; (j & bit) != 0; bit >>= 1) {
            j ^= bit;
        }
        j ^= bit;
        if (i < j) {
            std::swap(a[i], a[j]);
        }
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const double angle = 2 * kPi / static_cast<double>(len) * (inverse ? 1 : -1);
        for (std::size_t i = 0; i < n; i += len) {
            for (std::size_t k = 0; k < len / 2; ++k) {
                // Twiddles from the angle directly, not by repeated multiplication, so their
                // error does not grow along the transform.
                const Complex w = std::polar(1.0, angle * static_cast<double>(k));
                const Complex u = a[i + k];
                const Complex v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
}

// The fixes' slots of width `step` from the first fix's time, and whether every fix lies on
// its slot (a regular schedule, gaps allowed) in a slot of its own.
struct Slots {
    double step = 0.0;
    std::vector<std::int64_t> slot;
    std::int64_t count = 0;
    bool regular = true;
};

Slots SlotsOf(const MovementData& data, double step) {
    Slots s;
    s.step = step;
    s.slot.resize(data.t.size());
    for (std::size_t i = 0; i < data.t.size(); ++i) {
        const double at = (data.t[i] - data.t.front()) / step;
        s.slot[i] = std::llround(at);
        if (std::abs(at - static_cast<double>(s.slot[i])) > kOnSchedule ||
            (i > 0 && s.slot[i] == s.slot[i - 1])) {
            s.regular = false;
        }
    }
    s.count = s.slot.back() + 1;
    return s;
}

// Cross-correlations c_k = sum_s a_s b_{s+k}, k = 0..length-1, of series of `length` slots,
// through transforms of twice that length (so no lag wraps around).
class Correlator {
public:
    explicit Correlator(std::int64_t length) : length_(length) {
        while (static_cast<std::int64_t>(size_) < 2 * length) {
            size_ <<= 1;
        }
    }

    [[nodiscard]] std::vector<Complex> Transform(const std::vector<double>& series) const {
        std::vector<Complex> a(size_);
        std::copy(series.begin(), series.end(), a.begin());
        Fft(a, false);
        return a;
    }

    [[nodiscard]] std::vector<double> Correlate(const std::vector<Complex>& fa,
                                                const std::vector<Complex>& fb) const {
        std::vector<Complex> c(size_);
        for (std::size_t i = 0; i < size_; ++i) {
            c[i] = std::conj(fa[i]) * fb[i];
        }
        Fft(c, true);
        std::vector<double> out(static_cast<std::size_t>(length_));
        for (std::size_t k = 0; k < out.size(); ++k) {
            out[k] = c[k].real() / static_cast<double>(size_);
        }
        return out;
    }

private:
    std::int64_t length_;
    std::size_t size_ = 1;
};

// Sum over the pairs i < j of a regular schedule of `add(rho, count)`, one call per lag with
// the count of pairs at that lag.
template <class Acc, class Add>
Acc SumOverLags(const MovementParams& params, const Slots& slots,
                const std::vector<double>& lag_pairs, Add add) {
    Acc total{};
    for (std::size_t k = 1; k < lag_pairs.size(); ++k) {
        if (lag_pairs[k] > 0) {
            add(total, Autocorrelation(params, static_cast<double>(k) * slots.step), lag_pairs[k]);
        }
    }
    return total;
}

// The pairs of an irregular schedule, gathered once for the whole bandwidth search. A pair
// enters the MISE sums only through u = 2 (1 - rho), as 1 / (A + u) with A = 2 h^2, so pairs
// are binned by u: a bin is u's exponent and the top 6 bits of its significand, under 2^-6 of
// its lower edge wide, and keeps the sums M_k of count * d^k, k = 0..5, over the offsets d of
// its pairs from its centre c. Then 1 / (A + c + d) = sum_k (-d)^k / (A + c)^(k+1) plus
// x^6 / (A + c + d) with x = d / (A + c), |x| < 2^-7: every pair's term is kept within 2^-42
// (2.3e-13) of itself, and the sums of these positive terms within that relative. Pairs with
// u below 2^-66 share a bin centred on 0, where |x| < 2^-66 / (2 h^2) < 1e-12 for every h the
// search tries.
class PairProfile {
public:
    PairProfile() : moments_(kBins * kMoments, 0.0) {}

    void Add(double rho, double count) {
        const double u = 2 * (1 - rho);
        const std::size_t bin = BinOf(u);
        const double d = u - Centre(bin);
        double* m = &moments_[bin * kMoments];
        double power = count;
        for (std::size_t k = 0; k < kMoments; ++k) {
            m[k] += power;
            power *= d;
        }
    }

    PairProfile& operator+=(const PairProfile& o) {
        for (std::size_t i = 0; i < moments_.size(); ++i) {
            moments_[i] += o.moments_[i];
        }
        return *this;
    }

    // Sum over the pairs of 1 / (2 h^2 + u).
    [[nodiscard]] double Sum(double h2) const {
        double total = 0.0;
        for (std::size_t bin = 0; bin < kBins; ++bin) {
            const double* m = &moments_[bin * kMoments];
            if (m[0] == 0) {
                continue;
            }
            const double a = 1 / (2 * h2 + Centre(bin));
            double s = m[kMoments - 1];
            for (std::size_t k = kMoments - 1; k-- > 0;) {
                s = m[k] - a * s;
            }
            total += a * s;
        }
        return total;
    }

private:
    static constexpr std::size_t kMoments = 6;
    static constexpr int kShift = 46; // leaves the sign, the exponent and 6 significand bits
    static constexpr std::uint64_t kFirstKey = std::bit_cast<std::uint64_t>(0x1p-66) >> kShift;
    static constexpr std::uint64_t kLastKey = std::bit_cast<std::uint64_t>(2.0) >> kShift;
    static constexpr std::size_t kBins = kLastKey - kFirstKey + 2;

    static std::size_t BinOf(double u) {
        if (!(u >= 0x1p-66)) {
            return 0;
        }
        const std::uint64_t key = std::min(std::bit_cast<std::uint64_t>(u) >> kShift, kLastKey);
        return static_cast<std::size_t>(key - kFirstKey + 1);
    }

    // The bin's middle: its lower edge with the next significand bit set.
    static double Centre(std::size_t bin) {
        if (bin == 0) {
            return 0.0;
        }
        const std::uint64_t key = bin - 1 + kFirstKey;
        return std::bit_cast<double>((key << kShift) | (std::uint64_t{1} << (kShift - 1)));
    }

    std::vector<double> moments_;
};

// Every pair i < j of an irregular schedule in one sweep: the sum of their rho, added per tile
// of rows and the tiles in order (so it does not depend on the threads), and their profile,
// gathered per chunk of tiles (tiles c, c + chunks, ... so the chunks' work is even) and the
// chunks added in order. Pairs so far apart that rho is 0 in double precision are counted
// together as pairs of rho = 0.
struct IrregularPairs {
    double rho_sum = 0.0;
    PairProfile profile;
};

IrregularPairs SweepPairs(const MovementData& data, const MovementParams& params,
                          const RunControl& control, bool& stopped) {
    const auto n = static_cast<std::int64_t>(data.t.size());
    const std::int64_t tiles = (n + kTileRows - 1) / kTileRows;
    const std::int64_t chunks = std::min(tiles, kPairChunks);
    std::vector<double> tile_rho(static_cast<std::size_t>(tiles), 0.0);
    std::vector<PairProfile> profiles(static_cast<std::size_t>(chunks));
    // rho below 2^-60 rounds 1 - rho to 1: past the longest such lag every pair counts as 0.
    const double longest_tau = std::max(params.tau_p, params.tau_v);
    const double reach = params.kind == MovementKind::Iid ? 0.0 : 60 * std::log(2.0) * longest_tau;
    stopped = !ParallelFor(chunks, control, {}, [&](std::int64_t chunk) {
        PairProfile& profile = profiles[static_cast<std::size_t>(chunk)];
        for (std::int64_t tile = chunk; tile < tiles; tile += chunks) {
            double& rho_sum = tile_rho[static_cast<std::size_t>(tile)];
            const std::int64_t end = std::min(n, (tile + 1) * kTileRows);
            for (std::int64_t i = tile * kTileRows; i < end; ++i) {
                std::int64_t j = i + 1;
                for (; j < n; ++j) {
                    const double lag =
                        data.t[static_cast<std::size_t>(j)] - data.t[static_cast<std::size_t>(i)];
                    if (lag > reach) {
                        break;
                    }
                    const double rho = Autocorrelation(params, lag);
                    rho_sum += rho;
                    profile.Add(rho, 1.0);
                }
                if (j < n) {
                    profile.Add(0.0, static_cast<double>(n - j));
                }
            }
        }
    });
    IrregularPairs pairs;
    for (const double rho : tile_rho) {
        pairs.rho_sum += rho;
    }
    for (const PairProfile& profile : profiles) {
        pairs.profile += profile;
    }
    return pairs;
}

// Counts of pairs i < j at each lag k of a regular schedule.
std::vector<double> LagPairs(const Slots& slots) {
    if (!slots.regular) {
        return {};
    }
    std::vector<double> occupied(static_cast<std::size_t>(slots.count), 0.0);
    for (const std::int64_t s : slots.slot) {
        occupied[static_cast<std::size_t>(s)] = 1.0;
    }
    const Correlator correlator(slots.count);
    const auto f = correlator.Transform(occupied);
    std::vector<double> pairs = correlator.Correlate(f, f);
    for (double& p : pairs) {
        p = std::round(p);
    }
    return pairs;
}

// Accumulators of the 64 MISE pair sums at once.
struct MiseSums {
    std::array<double, kSearchPoints> s{};
    MiseSums& operator+=(const MiseSums& o) {
        for (std::size_t k = 0; k < s.size(); ++k) {
            s[k] += o.s[k];
        }
        return *this;
    }
};

} // namespace

Variogram EmpiricalVariogram(const MovementData& data) {
    double step = MedianInterval(data);
    Slots slots = SlotsOf(data, step);
    while (slots.count > kMaxSlots) {
        step *= 2;
        slots = SlotsOf(data, step);
    }
    const auto length = static_cast<std::size_t>(slots.count);
    std::vector<double> o(length, 0.0), x(length, 0.0), y(length, 0.0), q(length, 0.0);
    for (std::size_t i = 0; i < data.t.size(); ++i) {
        const auto s = static_cast<std::size_t>(slots.slot[i]);
        if (o[s] != 0.0) {
            continue;
        }
        o[s] = 1.0;
        x[s] = data.x[i];
        y[s] = data.y[i];
        q[s] = data.x[i] * data.x[i] + data.y[i] * data.y[i];
    }
    // sum over pairs at lag k of |r_j - r_i|^2 = corr(q, o) + corr(o, q) - 2 corr(x, x) - 2 corr(y,
    // y).
    const Correlator correlator(slots.count);
    const auto fo = correlator.Transform(o);
    const auto fq = correlator.Transform(q);
    const auto fx = correlator.Transform(x);
    const auto fy = correlator.Transform(y);
    const auto count = correlator.Correlate(fo, fo);
    const auto qo = correlator.Correlate(fq, fo);
    const auto oq = correlator.Correlate(fo, fq);
    const auto xx = correlator.Correlate(fx, fx);
    const auto yy = correlator.Correlate(fy, fy);
    Variogram v;
    for (std::size_t k = 1; k <= length / 2; ++k) {
        const double pairs = std::round(count[k]);
        if (pairs < 1) {
            continue;
        }
        v.lag.push_back(static_cast<double>(k) * step);
        v.semivariance.push_back((qo[k] + oq[k] - 2 * xx[k] - 2 * yy[k]) / (4 * pairs));
        v.pairs.push_back(pairs);
    }
    return v;
}

std::vector<double> ModelVariogram(const Variogram& variogram, const MovementData& data,
                                   const MovementParams& params) {
    const double mean_error2 = std::accumulate(data.error2.begin(), data.error2.end(), 0.0) /
                               static_cast<double>(data.error2.size());
    std::vector<double> curve;
    for (const double lag : variogram.lag) {
        curve.push_back(0.5 * (params.major + params.minor) * (1 - Autocorrelation(params, lag)) +
                        mean_error2);
    }
    return curve;
}

StatusOr<AkdeBandwidth> ChooseAkdeBandwidth(const MovementData& data, const MovementParams& params,
                                            const RunControl& control) {
    const auto n = static_cast<double>(data.t.size());
    const Slots slots = SlotsOf(data, MedianInterval(data));
    const std::vector<double> lag_pairs = LagPairs(slots);
    // A regular schedule's pairs are counted per lag; an irregular one's are swept once.
    std::optional<IrregularPairs> irregular;
    double rho_sum = 0.0;
    if (slots.regular) {
        rho_sum =
            SumOverLags<double>(params, slots, lag_pairs,
                                [](double& acc, double rho, double count) { acc += count * rho; });
    } else {
        bool stopped = false;
        irregular = SweepPairs(data, params, control, stopped);
        if (stopped) {
            return Status::Cancelled();
        }
        rho_sum = irregular->rho_sum;
    }
    // m = (n + 2 sum_{i<j} rho_ij) / n^2.
    AkdeBandwidth bw;
    bw.m = (n + 2 * rho_sum) / (n * n);
    double lo = std::log(kLowestH);
    double hi = std::log(kHighestH);
    double best_h = 0.0;
    double best_mise = 0.0;
    for (int pass = 0; pass < kSearchPasses; ++pass) {
        std::array<double, kSearchPoints> h2{};
        for (int k = 0; k < kSearchPoints; ++k) {
            const double h = std::exp(lo + (hi - lo) * k / (kSearchPoints - 1));
            h2[static_cast<std::size_t>(k)] = h * h;
        }
        MiseSums pairs;
        if (slots.regular) {
            pairs = SumOverLags<MiseSums>(params, slots, lag_pairs,
                                          [&h2](MiseSums& acc, double rho, double count) {
                                              const double u2 = 2 * (1 - rho);
                                              for (std::size_t k = 0; k < h2.size(); ++k) {
                                                  acc.s[k] += count / (2 * h2[k] + u2);
                                              }
                                          });
        } else {
            for (std::size_t k = 0; k < h2.size(); ++k) {
                pairs.s[k] = irregular->profile.Sum(h2[k]);
            }
        }
        int best = 0;
        best_mise = std::numeric_limits<double>::infinity();
        for (int k = 0; k < kSearchPoints; ++k) {
            const double hh = h2[static_cast<std::size_t>(k)];
            const double mise =
                (n / (2 * hh) + 2 * pairs.s[static_cast<std::size_t>(k)]) / (n * n) - 2 / (2 + hh) +
                0.5;
            if (mise < best_mise) {
                best_mise = mise;
                best = k;
            }
        }
        const double width = (hi - lo) / (kSearchPoints - 1);
        best_h = std::sqrt(h2[static_cast<std::size_t>(best)]);
        const double centre = std::log(best_h);
        lo = centre - width;
        hi = centre + width;
    }
    bw.h = best_h;
    bw.mise = best_mise;
    bw.inflation = 1 - bw.m + bw.h * bw.h;
    return bw;
}

AreaInterval AreaWithInterval(double area, double effective_n) {
    if (!(effective_n > 0) || !std::isfinite(effective_n)) {
        return {area, std::isinf(effective_n) ? area : 0.0,
                std::isinf(effective_n) ? area : std::numeric_limits<double>::infinity()};
    }
    const boost::math::chi_squared chi2(effective_n);
    return {area, area * effective_n / boost::math::quantile(chi2, 0.975),
            area * effective_n / boost::math::quantile(chi2, 0.025)};
}

std::string MovementModelsText(const std::vector<MovementFit>& fits) {
    std::string text = "model,aicc,delta_aicc,log_likelihood,parameters,sigma_m,sigma_low_m,"
                       "sigma_high_m,tau_p,tau_p_low,tau_p_high,tau_v,tau_v_low,tau_v_high,"
                       "major_m2,minor_m2,angle_degrees,effective_n\n";
    const auto field = [&text](double value, bool present = true) {
        text += ',';
        if (present) {
            text += FormatNumber(value);
        }
    };
    for (const MovementFit& fit : fits) {
        text += fit.Name();
        field(fit.aicc);
        field(fit.aicc - fits.front().aicc);
        field(fit.log_lik);
        field(fit.parameters);
        for (const auto& [interval, present] :
             {std::pair{fit.sigma, true},
              std::pair{fit.tau_p, fit.params.kind != MovementKind::Iid},
              std::pair{fit.tau_v, fit.params.kind == MovementKind::Ouf}}) {
            field(interval.estimate, present);
            field(interval.low, present);
            field(interval.high, present);
        }
        field(fit.params.major);
        field(fit.params.minor);
        field(fit.params.angle * 180 / kPi);
        field(fit.effective_n);
        text += '\n';
    }
    return text;
}

std::string VariogramText(const Variogram& variogram, const MovementData& data,
                          const MovementParams& model) {
    const std::vector<double> curve = ModelVariogram(variogram, data, model);
    std::string text = "lag,semivariance_m2,pairs,model_m2\n";
    for (std::size_t k = 0; k < variogram.lag.size(); ++k) {
        text += FormatNumber(variogram.lag[k]) + ',' + FormatNumber(variogram.semivariance[k]) +
                ',' + FormatNumber(variogram.pairs[k]) + ',' + FormatNumber(curve[k]) + '\n';
    }
    return text;
}

Status CheckRangeResident(const MovementData& data, const MovementFit& model) {
    const double duration = data.t.back() - data.t.front();
    if (model.params.kind == MovementKind::Iid || model.params.tau_p <= duration) {
        return {};
    }
    return Status::Failure("The track is not range-resident: the " + model.Name() +
                           " model's position autocorrelation time, " +
                           FormatNumber(model.params.tau_p) + ", is longer than the track, " +
                           FormatNumber(duration) +
                           " (in the track's time unit), so the animal has not yet crossed its "
                           "range and no area of it is a home range. The models' fits and the "
                           "variogram are still written.");
}

namespace {

// The kernels of a debiased autocorrelated kernel estimate: the fixes drawn towards their mean,
// in order of x (ties in fix order), and the inverse of their shared covariance.
struct AkdeKernels {
    AkdeBandwidth bandwidth;
    std::vector<std::array<double, 2>> points;
    double bxx = 0.0, byy = 0.0, bxy = 0.0; // the covariance's inverse
    double norm = 0.0;                      // each kernel's peak, over n
    double rx = 0.0, ry = 0.0;              // the kernel's reach on each axis
    double spread = 0.0;                    // its standard deviation along its minor axis
};

// The kernels under `model`, with the bandwidth ChooseAkdeBandwidth gives, or `known` when the
// caller has found that already.
StatusOr<AkdeKernels> KernelsOf(const MovementData& data, const MovementFit& model,
                                const RunControl& control, const AkdeBandwidth* known = nullptr) {
    if (Status ok = CheckMovementData(data); !ok.Ok()) {
        return ok;
    }
    if (Status resident = CheckRangeResident(data, model); !resident.Ok()) {
        return resident;
    }
    const MovementParams& p = model.params;
    const auto bandwidth =
        known != nullptr ? StatusOr<AkdeBandwidth>(*known) : ChooseAkdeBandwidth(data, p, control);
    if (!bandwidth.Ok()) {
        return bandwidth.status;
    }
    StatusOr<AkdeKernels> result;
    AkdeKernels& k = result.value;
    k.bandwidth = bandwidth.value;
    const double c2 = 1 / bandwidth.value.inflation;
    const double c = std::sqrt(c2);
    // The kernel's covariance c^2 h^2 Sigma and its inverse.
    const double cs = std::cos(p.angle);
    const double sn = std::sin(p.angle);
    const double scale = c2 * bandwidth.value.h * bandwidth.value.h;
    const double kxx = scale * (p.major * cs * cs + p.minor * sn * sn);
    const double kyy = scale * (p.major * sn * sn + p.minor * cs * cs);
    const double kxy = scale * (p.major - p.minor) * cs * sn;
    const double det = kxx * kyy - kxy * kxy;
    k.bxx = kyy / det;
    k.byy = kxx / det;
    k.bxy = -kxy / det;
    k.norm = 1 / (2 * kPi * std::sqrt(det) * static_cast<double>(data.t.size()));
    k.rx = kKernelReach * std::sqrt(kxx);
    k.ry = kKernelReach * std::sqrt(kyy);
    k.spread = std::sqrt(scale * std::min(p.major, p.minor));
    k.points.resize(data.t.size());
    for (std::size_t i = 0; i < k.points.size(); ++i) {
        k.points[i] = {data.origin_x + c * data.x[i], data.origin_y + c * data.y[i]};
    }
    std::stable_sort(k.points.begin(), k.points.end(),
                     [](const auto& a, const auto& b) { return a[0] < b[0]; });
    return result;
}

// The density of `kernels` at every node (xs[i], ys[j]) of a grid whose rows are `spacing` apart,
// column by column (node i * ys.size() + j), each node adding its kernels in their order.
// False when `control` asked to stop.
bool SumKernels(const AkdeKernels& kernels, std::span<const double> xs, std::span<const double> ys,
                double spacing, std::vector<double>& density, const RunControl& control) {
    const auto rows = static_cast<int>(ys.size());
    const double reach2 = kKernelReach * kKernelReach;
    density.assign(xs.size() * ys.size(), 0.0);
    return ParallelFor(static_cast<std::int64_t>(xs.size()), control, {}, [&](std::int64_t column) {
        const double gx = xs[static_cast<std::size_t>(column)];
        std::vector<double> arg(ys.size());
        std::vector<double> value(ys.size());
        std::vector<int> row(ys.size());
        auto first = std::lower_bound(kernels.points.begin(), kernels.points.end(), gx - kernels.rx,
                                      [](const auto& pt, double v) { return pt[0] < v; });
        for (auto it = first; it != kernels.points.end() && (*it)[0] <= gx + kernels.rx; ++it) {
            const double dx = gx - (*it)[0];
            // The rows the kernel reaches, clamped before the cast: a grid the user sets may lie
            // far from a kernel.
            const auto row_of = [&](double at) {
                return static_cast<int>(std::clamp(at, -1.0, static_cast<double>(rows)));
            };
            const int j0 =
                std::max(0, row_of(std::floor(((*it)[1] - kernels.ry - ys[0]) / spacing)));
            const int j1 =
                std::min(rows - 1, row_of(std::ceil(((*it)[1] + kernels.ry - ys[0]) / spacing)));
            std::size_t count = 0;
            for (int j = j0; j <= j1; ++j) {
                const double dy = ys[static_cast<std::size_t>(j)] - (*it)[1];
                const double q =
                    kernels.bxx * dx * dx + 2 * kernels.bxy * dx * dy + kernels.byy * dy * dy;
                if (q <= reach2) {
                    arg[count] = -0.5 * q;
                    row[count] = j;
                    ++count;
                }
            }
            ExpBatch(arg.data(), value.data(), count);
            double* col = density.data() + column * rows;
            for (std::size_t k = 0; k < count; ++k) {
                col[row[k]] += value[k];
            }
        }
        double* col = density.data() + column * rows;
        for (int j = 0; j < rows; ++j) {
            col[j] *= kernels.norm;
        }
    });
}

} // namespace

namespace {

// The box of the drawn fixes widened by the kernels' reach on each axis.
AkdeBox ReachOf(const AkdeKernels& kernels) {
    AkdeBox box;
    box.min_x = kernels.points.front()[0];
    box.max_x = kernels.points.back()[0];
    box.min_y = kernels.points.front()[1];
    box.max_y = box.min_y;
    for (const auto& point : kernels.points) {
        box.min_y = std::min(box.min_y, point[1]);
        box.max_y = std::max(box.max_y, point[1]);
    }
    box.min_x -= kernels.rx;
    box.max_x += kernels.rx;
    box.min_y -= kernels.ry;
    box.max_y += kernels.ry;
    box.spread = kernels.spread;
    box.bandwidth = kernels.bandwidth;
    return box;
}

// The grid of `kernels` at the nodes (xs[i], ys[j]), rows i * ys.size() + j holding x, y, the
// density times spacing^2 and an unused column, then a spare row; cancelled with `control`.
StatusOr<Matrix> GridAt(const AkdeKernels& kernels, std::span<const double> xs,
                        std::span<const double> ys, double spacing, const RunControl& control) {
    std::vector<double> density;
    if (!SumKernels(kernels, xs, ys, spacing, density, control)) {
        return Status::Cancelled();
    }
    const double area = spacing * spacing;
    const std::size_t rows = ys.size();
    StatusOr<Matrix> result;
    Matrix& grid = result.value;
    grid.Resize(static_cast<std::int32_t>(xs.size() * rows) + 1, 4);
    for (std::size_t k = 0; k < xs.size() * rows; ++k) {
        const auto row = static_cast<std::int32_t>(k);
        grid(row, 0) = xs[k / rows];
        grid(row, 1) = ys[k % rows];
        grid(row, 2) = density[k] * area;
    }
    return result;
}

// The share of a normal of mean `mean` and standard deviation `sd` between `low` and `high`.
double NormalShare(double mean, double sd, double low, double high) {
    const double scale = 1 / (sd * std::numbers::sqrt2);
    return 0.5 * (std::erfc((low - mean) * scale) - std::erfc((high - mean) * scale));
}

} // namespace

double AkdeSpacing(double spread, double wanted) {
    if (!(spread > 0) || wanted <= spread) {
        return wanted;
    }
    const double decade = std::pow(10.0, std::floor(std::log10(spread)));
    for (const double step : {5.0, 2.0, 1.0}) {
        if (step * decade <= spread) {
            return step * decade;
        }
    }
    return decade;
}

StatusOr<AkdeBox> AkdeReach(const Matrix& fixes, std::int32_t n, const MovementFit& model,
                            const RunControl& control) {
    const auto kernels = KernelsOf(MovementDataOf(fixes, n), model, control);
    if (!kernels.Ok()) {
        return kernels.status;
    }
    return ReachOf(kernels.value);
}

namespace {

// The estimate of `kernels` at the nodes (xs[i], ys[j]), with what the grid leaves out.
StatusOr<AkdeOnGrid> OnGrid(const AkdeKernels& kernels, std::span<const double> xs,
                            std::span<const double> ys, double spacing, const RunControl& control) {
    auto grid = GridAt(kernels, xs, ys, spacing, control);
    if (!grid.Ok()) {
        return grid.status;
    }
    StatusOr<AkdeOnGrid> result;
    AkdeOnGrid& out = result.value;
    out.grid = std::move(grid.value);
    out.bandwidth = kernels.bandwidth;
    out.spread = kernels.spread;
    // Each kernel's marginals: its variances are (reach / kKernelReach)^2 on each axis.
    const double sx = kernels.rx / kKernelReach;
    const double sy = kernels.ry / kKernelReach;
    const double half = spacing / 2;
    double outside = 0.0;
    for (const auto& point : kernels.points) {
        outside += 1 - NormalShare(point[0], sx, xs.front() - half, xs.back() + half) *
                           NormalShare(point[1], sy, ys.front() - half, ys.back() + half);
    }
    out.mass_outside = std::max(0.0, outside / static_cast<double>(kernels.points.size()));
    return result;
}

} // namespace

StatusOr<AkdeOnGrid> CalcAkdeOnGrid(const Matrix& fixes, std::int32_t n, const MovementFit& model,
                                    std::span<const double> xs, std::span<const double> ys,
                                    double spacing, const RunControl& control,
                                    const AkdeBandwidth* bandwidth) {
    if (xs.empty() || ys.empty() || !(spacing > 0)) {
        return Status::Failure("The grid has no points.");
    }
    const auto kernels =
        KernelsOf(MovementDataOf(fixes, n), model, control.Share(0.0, 0.3), bandwidth);
    if (!kernels.Ok()) {
        return kernels.status;
    }
    return OnGrid(kernels.value, xs, ys, spacing, control.Share(0.3, 1.0));
}

StatusOr<AkdeOnGrid> CalcAkde(const Matrix& fixes, std::int32_t n, const MovementFit& model,
                              double spacing, const RunControl& control) {
    if (!(spacing > 0) || !std::isfinite(spacing)) {
        return Status::Failure("The distance between grid points must be greater than 0.");
    }
    const auto kernels = KernelsOf(MovementDataOf(fixes, n), model, control.Share(0.0, 0.3));
    if (!kernels.Ok()) {
        return kernels.status;
    }
    const AkdeBox box = ReachOf(kernels.value);
    const double step = AkdeSpacing(box.spread, spacing);
    if (CountGridSteps(box.min_x, box.max_x, step, kMaxAkdeGridPoints) *
            CountGridSteps(box.min_y, box.max_y, step, kMaxAkdeGridPoints) >
        kMaxAkdeGridPoints) {
        return Status::Failure("The grid over the autocorrelated kernel would have more than " +
                               std::to_string(kMaxAkdeGridPoints) +
                               " points, more than fit in memory. Choose a larger distance "
                               "between grid points.");
    }
    return OnGrid(kernels.value, GridSteps(box.min_x, box.max_x, step),
                  GridSteps(box.min_y, box.max_y, step), step, control.Share(0.3, 1.0));
}

StatusOr<Matrix> CalcAkdeOnLattice(const Matrix& fixes, std::int32_t n, const MovementFit& model,
                                   const SharedLattice& lattice, const RunControl& control) {
    const auto made = KernelsOf(MovementDataOf(fixes, n), model, control.Share(0.0, 0.3));
    if (!made.Ok()) {
        return made.status;
    }
    const AkdeKernels& kernels = made.value;
    const AkdeBox box = ReachOf(kernels);
    const auto window = WindowOver(lattice, box.min_x, box.max_x, box.min_y, box.max_y);
    if (!window.Ok()) {
        return window.status;
    }
    const LatticeWindow& w = window.value;
    std::vector<double> xs(static_cast<std::size_t>(w.columns));
    std::vector<double> ys(static_cast<std::size_t>(w.rows));
    for (std::int32_t i = 0; i < w.columns; ++i) {
        xs[static_cast<std::size_t>(i)] = w.X(lattice, i);
    }
    for (std::int32_t j = 0; j < w.rows; ++j) {
        ys[static_cast<std::size_t>(j)] = w.Y(lattice, j);
    }
    return GridAt(kernels, xs, ys, lattice.cell, control.Share(0.3, 1.0));
}

} // namespace ranvik
