// Parametric models on synthetic two-mode data: each model's full-data fit and its
// leave-one-out criterion at N = 100 and 300, and the whole six-model comparison at N = 300.

#include "models/bivariate_normal.h"
#include "models/circle_mixture.h"
#include "models/exp_power.h"
#include "models/normal_mixture.h"
#include "output/comparison.h"
#include "synthetic.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

using ranvik::Matrix;

// Counts iteration-limit messages instead of showing them.
class CountingNotifier final : public ranvik::Notifier {
public:
    void Inform(std::string_view) override { ++messages; }
    int messages = 0;
};

void Fit(benchmark::State& bench, int model) {
    const auto n = static_cast<std::int32_t>(bench.range(0));
    CountingNotifier notifier;
    double log_l = 0.0;
    const Matrix xy = ranvik::bench::TwoModeLocations(n);
    for (auto _ : bench) {
        ranvik::FitCopy fit;
        fit.loc_lik.assign(static_cast<std::size_t>(n), 0.0);
        ranvik::FitContext ctx = fit.Context(notifier);
        switch (model) {
        case 0:
            ranvik::InitExpPowerSimplex(ctx, xy, n);
            ranvik::FitExpPower(ctx, xy, n);
            break;
        case 1:
            for (int stage = 0; stage <= 1; ++stage) {
                ranvik::Init2CNSimplex(ctx, xy, stage, n);
                ranvik::Fit2CN(ctx, xy, stage, n);
            }
            break;
        default:
            for (int stage = 1; stage <= 3; ++stage) {
                ranvik::Init2BVNSimplex(ctx, xy, stage, n);
                ranvik::Fit2BVN(ctx, xy, stage, n);
            }
            break;
        }
        log_l = fit.simplex.MaxLogLikelihood;
    }
    bench.counters["lnL"] = log_l;
    bench.counters["limit_msgs"] = notifier.messages;
}

void FitExpPowerModel(benchmark::State& b) {
    Fit(b, 0);
}
void FitCircleMixture(benchmark::State& b) {
    Fit(b, 1);
}
void FitNormalMixture(benchmark::State& b) {
    Fit(b, 2);
}
BENCHMARK(FitExpPowerModel)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond);
BENCHMARK(FitCircleMixture)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond);
BENCHMARK(FitNormalMixture)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond);

void Compare(benchmark::State& bench, ranvik::ComparisonChoice choice) {
    const auto n = static_cast<std::int32_t>(bench.range(0));
    CountingNotifier notifier;
    const Matrix xy = ranvik::bench::TwoModeLocations(n);
    for (auto _ : bench) {
        const auto results = ranvik::RunComparison(xy, n, choice, {}, notifier);
        if (!results.Ok()) {
            bench.SkipWithError(results.status.error.c_str());
            break;
        }
        const char* const names[] = {"CVC_exp", "CVC_bvn", "CVC_2cn", "CVC_2bvn"};
        for (std::size_t k = 0; k < results.value.models.size(); ++k) {
            const auto& scored = results.value.models[k];
            if (scored && scored->Ok()) {
                bench.counters[names[k]] = scored->value.scores.cvc;
            } else if (scored) {
                bench.SkipWithError(scored->status.error.c_str());
            }
        }
    }
    bench.counters["limit_msgs"] = notifier.messages;
}

void CompareExpPower(benchmark::State& b) {
    Compare(b, {.exp_power = true});
}
void CompareBVN(benchmark::State& b) {
    Compare(b, {.bvn = true});
}
void CompareCircleMixture(benchmark::State& b) {
    Compare(b, {.circle_mixture = true});
}
void CompareNormalMixture(benchmark::State& b) {
    Compare(b, {.normal_mixture = true});
}
void CompareAllSix(benchmark::State& b) {
    Compare(b, {true, true, true, true, true, true});
}
BENCHMARK(CompareExpPower)
    ->Arg(100)
    ->Arg(300)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(CompareBVN)->Arg(100)->Arg(300)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(CompareCircleMixture)
    ->Arg(100)
    ->Arg(300)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(CompareNormalMixture)
    ->Arg(100)
    ->Arg(300)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(CompareAllSix)->Arg(300)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
