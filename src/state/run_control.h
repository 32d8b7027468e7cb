#pragma once

#include <functional>
#include <string>

namespace ranvik {

// Progress value for work whose length is not known in advance (a search).
inline constexpr double kUnknownProgress = -1.0;

// What a long computation is given besides its data: where to report progress, and whether it
// may spread its loops over the processor's cores.
//
// `progress` receives the fraction done (0..1, or kUnknownProgress) from the thread that
// started the computation, between pieces of work; it returns false to ask the computation to
// stop, which it then does without changing the session. Parallel and sequential runs give
// bit-identical results: every sum keeps its order whichever thread forms it.
struct RunControl {
    std::function<bool(double fraction)> progress;
    bool parallel = true;
    // Receives a short description of the step under way, for the user.
    std::function<void(const std::string& step)> describe = {};

    // Reports progress; true to go on.
    [[nodiscard]] bool Report(double fraction) const { return !progress || progress(fraction); }

    // Tells the user which step is under way.
    void Say(const std::string& step) const {
        if (describe) {
            describe(step);
        }
    }

    // The control for part `index` of `count` equal parts of this computation: its fractions
    // are mapped into that part's share of the whole.
    [[nodiscard]] RunControl Part(int index, int count) const {
        return Share(static_cast<double>(index) / count, static_cast<double>(index + 1) / count);
    }

    // The control for the share from..to (fractions of this computation) of its work.
    [[nodiscard]] RunControl Share(double from, double to) const {
        RunControl part{{}, parallel, describe};
        if (progress) {
            part.progress = [outer = progress, from, to](double fraction) {
                return outer(fraction < 0 ? kUnknownProgress : from + fraction * (to - from));
            };
        }
        return part;
    }
};

} // namespace ranvik
