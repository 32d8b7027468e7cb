#include "numerics/minimiser.h"

#include "state/number_text.h"

#include <cmath>
#include <string>
#include <utility>

namespace ranvik {
namespace {

constexpr double kGold = 1.618034;
constexpr double kTiny = 1e-20;
constexpr double kR = 0.61803399;
constexpr double kC = 0.38196602;

// Evaluates the criterion and checks that it gave a number.
class Evaluator {
public:
    Evaluator(const MinimiserInstance& instance, const Criterion& f, const RunControl& control)
        : instance_(instance), f_(f), control_(control) {}

    // f(x); false when the value is not finite or the user asked to stop (status() says).
    bool operator()(double& x, double& fx) {
        const double at = x;
        fx = f_(x);
        if (!std::isfinite(fx)) {
            status_ = Status::Failure("The search for the " + std::string(instance_.name) +
                                      " failed: its criterion could not be computed at " +
                                      FormatNumber(at) + ".");
            return false;
        }
        if (!control_.Report(kUnknownProgress)) {
            status_ = Status::Cancelled();
            return false;
        }
        return true;
    }

    [[nodiscard]] Status status() const { return status_; }

private:
    const MinimiserInstance& instance_;
    const Criterion& f_;
    const RunControl& control_;
    Status status_;
};

} // namespace

Status BracketMinimum(MinimiserWorkspace& ws, const MinimiserInstance& instance, double a, double b,
                      const Criterion& f, const RunControl& control) {
    Evaluator eval(instance, f, control);
    double fa = 0.0;
    double fb = 0.0;
    double fc = 0.0;
    double fu = 0.0;
    double c = 0.0;
    double u = 0.0;
    const auto keep = [&] {
        ws.BracketA = a;
        ws.BracketB = b;
        ws.BracketC = c;
        ws.BracketFA = fa;
        ws.BracketFB = fb;
        ws.BracketFC = fc;
    };
    const auto failed = [&] {
        keep();
        return eval.status();
    };

    if (!eval(a, fa) || !eval(b, fb)) {
        return failed();
    }
    if (fb > fa) {
        std::swap(a, b);
        std::swap(fa, fb);
    }
    c = b + kGold * (b - a);
    if (instance.guard_first_expansion && c < 0) {
        c = b - 0.99 * b;
    }
    if (!eval(c, fc)) {
        return failed();
    }

    int iterations = 0;
    while (fb >= fc) {
        if (++iterations > kMaxBracketIterations || !std::isfinite(c)) {
            keep();
            return Status::Failure(
                "The search for the " + std::string(instance.name) +
                " found no minimum: the criterion keeps falling as the value moves towards " +
                FormatNumber(c) +
                ". The locations may be too few or too tightly clustered; "
                "enter a value instead.");
        }
        const double r = (b - a) * (fb - fc);
        const double q = (b - c) * (fb - fa);
        double den = q - r;
        if (std::fabs(den) < kTiny) {
            den = kTiny;
        }
        u = b - ((b - c) * q - (b - a) * r) / (2 * den);
        const double ulim = b + instance.glimit * (c - b);

        if ((b - u) * (u - c) > 0) {
            if (!eval(u, fu)) {
                return failed();
            }
            if (fu < fc) {
                a = b;
                b = u;
                fa = fb;
                fb = fu;
                break;
            }
            if (fu > fb) {
                c = u;
                fc = fu;
                break;
            }
            u = c + kGold * (c - b);
            if (!eval(u, fu)) {
                return failed();
            }
        } else if ((c - u) * (u - ulim) > 0) {
            if (!eval(u, fu)) {
                return failed();
            }
            if (fu < fc) {
                b = c;
                c = u;
                u = c + kGold * (c - b);
                fb = fc;
                fc = fu;
                if (!eval(u, fu)) {
                    return failed();
                }
            }
        } else if ((u - ulim) * (ulim - c) >= 0) {
            u = ulim;
            if (!eval(u, fu)) {
                return failed();
            }
        } else {
            u = c + kGold * (c - b);
            if (!eval(u, fu)) {
                return failed();
            }
        }
        a = b;
        b = c;
        c = u;
        fa = fb;
        fb = fc;
        fc = fu;
    }
    keep();
    return {};
}

Status GoldenSection(MinimiserWorkspace& ws, const MinimiserInstance& instance, const Criterion& f,
                     const RunControl& control) {
    Evaluator eval(instance, f, control);
    const double a = ws.BracketA;
    const double b = ws.BracketB;
    const double c = ws.BracketC;
    const double tol = instance.tolerance;
    if (instance.store_tolerance) {
        ws.GoldenTol = tol;
    }

    double x0 = a;
    double x1 = 0.0;
    double x2 = 0.0;
    double x3 = c;
    if (std::fabs(c - b) > std::fabs(b - a)) {
        x1 = b;
        x2 = b + kC * (c - b);
    } else {
        x2 = b;
        x1 = b - kC * (b - a);
    }
    double f1 = 0.0;
    double f2 = 0.0;
    if (!eval(x1, f1) || !eval(x2, f2)) {
        return eval.status();
    }
    int iterations = 0;
    while (tol * (std::fabs(x1) + std::fabs(x2)) < std::fabs(x2 - x0)) {
        if (++iterations > kMaxGoldenIterations) {
            return Status::Failure("The search for the " + std::string(instance.name) +
                                   " did not settle on a minimum.");
        }
        if (f2 < f1) {
            x0 = x1;
            x1 = x2;
            x2 = kR * x2 + kC * x3;
            f1 = f2;
            if (!eval(x2, f2)) {
                return eval.status();
            }
        } else {
            x3 = x2;
            x2 = x1;
            x1 = kR * x1 + kC * x0;
            f2 = f1;
            if (!eval(x1, f1)) {
                return eval.status();
            }
        }
    }
    if (f1 < f2) {
        ws.GoldenXMin = x1;
        ws.GoldenFMin = f1;
    } else {
        ws.GoldenXMin = x2;
        ws.GoldenFMin = f2;
    }
    return {};
}

} // namespace ranvik
