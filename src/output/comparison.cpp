#include "output/comparison.h"

#include "kernel/kernel_cvc.h"
#include "models/bivariate_normal.h"
#include "models/circle_mixture.h"
#include "models/exp_power.h"
#include "models/normal_mixture.h"
#include "record/kernel_results.h"
#include "state/loaded_locations.h"
#include "state/number_text.h"

#include <functional>

namespace ranvik {
namespace {

std::string Rounded(double value) {
    return FormatNumber(RoundHalfEven(value, 3));
}

} // namespace

Status RunComparison(State& state, const ComparisonChoice& choice, Notifier& notifier,
                     const RunControl& control, PerLocationValues values) {
    using Entry = std::function<Status(const RunControl&)>;
    if (Status held = CheckCount(state.LocXY, state.NumLocs, "locations"); !held.Ok()) {
        return held;
    }
    const Matrix xy = state.LocXY; // the entries write the record; the locations stay put
    const std::int32_t n = state.NumLocs;
    const struct {
        bool ticked;
        const char* name;
        Entry run;
    } entries[] = {
        {choice.exp_power, "exponential power model",
         [&](const RunControl& c) { return CompareExpPower(state, xy, n, notifier, c, values); }},
        {choice.bvn, "1-mode bivariate normal",
         [&](const RunControl& c) { return CompareBVN(state, xy, n, c); }},
        {choice.circle_mixture, "2-mode circle mixture",
         [&](const RunControl& c) { return Calc2CNModel(state, xy, n, notifier, c, values); }},
        {choice.normal_mixture, "2-mode bivariate normal mixture",
         [&](const RunControl& c) { return Calc2BVNModel(state, xy, n, notifier, c, values); }},
        {choice.fixed_kernel, "fixed kernel",
         [&](const RunControl& c) {
             const auto cvc = FixedKernelCVC(xy, n, c);
             if (cvc.Ok()) {
                 CommitKernelCVC(state, KernelKind::Fixed, cvc.value);
             }
             return cvc.status;
         }},
        {choice.adaptive_kernel, "adaptive kernel",
         [&](const RunControl& c) {
             const auto cvc = AdKernelCVC(xy, n, c);
             if (cvc.Ok()) {
                 CommitKernelCVC(state, KernelKind::Adaptive, cvc.value);
             }
             return cvc.status;
         }},
    };
    const int count = static_cast<int>(std::size(entries));
    std::string errors;
    for (int k = 0; k < count; ++k) {
        if (!entries[k].ticked) {
            continue;
        }
        control.Say(std::string("Fitting and scoring the ") + entries[k].name);
        const Status status = entries[k].run(control.Part(k, count));
        if (status.cancelled) {
            return status;
        }
        state.ComparisonErrors[static_cast<std::size_t>(k)] = status.error;
        if (!status.Ok()) {
            errors += (errors.empty() ? "" : "\n") + status.error;
        }
    }
    return errors.empty() ? Status{} : Status::Failure(errors);
}

std::string ComparisonTable(const State& state) {
    struct Row {
        const char* method;
        const char* parameters;
        bool kernel;
        double neg2lnl, aicc, cvc;
    };
    const Row rows[] = {
        {"Exponential Power Model", "4                   ", false, state.Neg2LnLExpPower,
         state.AICcExpPower, state.CVCExpPower},
        {"1 Mode Bivariate Normal", "5                   ", false, state.Neg2LnLBVN, state.AICcBVN,
         state.CVCBVN},
        {"2 Mode Bivariate Circle", "7                   ", false, state.Neg2LnL2CN, state.AICc2CN,
         state.CVC2CN},
        {"2 Mode Bivariate Normal", "11                  ", false, state.Neg2LnL2BVN,
         state.AICc2BVN, state.CVC2BVN},
        {"Fixed Kernel Density   ", "NA                  ", true, 0, 0, state.CVCFixedKernel},
        {"Adaptive Kernel Density", "NA                  ", true, 0, 0, state.CVCAdKernel},
    };
    std::string text = "File Name\tHome Range Method\t# Parameters\tln(L)*-2\tAICc\tCVC";
    for (std::size_t k = 0; k < std::size(rows); ++k) {
        const Row& row = rows[k];
        const bool failed = !state.ComparisonErrors[k].empty();
        const auto value = [&](double v, bool applies) {
            if (!applies) {
                return std::string("NA");
            }
            return failed ? std::string(kNotScored) : Rounded(v);
        };
        text += "\r\n" + state.InFileRoot + '\t' + row.method + '\t' + row.parameters + '\t' +
                value(row.neg2lnl, !row.kernel) + '\t' + value(row.aicc, !row.kernel) + '\t' +
                value(row.cvc, true);
    }
    return text;
}

} // namespace ranvik
