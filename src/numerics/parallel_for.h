#pragma once

#include "state/run_control.h"

#include <omp.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace ranvik {

// How a ParallelFor hands out its items and reports on them.
struct LoopReport {
    std::int64_t chunk = 1;        // items handed to a thread at a time
    std::int64_t report_every = 1; // progress is reported after every this many items
    // The step under way after `finished` items (empty: no step text).
    std::function<std::string(std::int64_t finished)> step = {};
};

// Runs body(i) for i = 0..count-1, spread over the cores when control.parallel (items in any
// order on any thread, so body must write only its own item's results). The thread that
// started the loop reports the fraction finished; when a report asks to stop, the items not
// yet started are skipped. Returns false when the loop was stopped that way.
template <class Body>
[[nodiscard]] bool ParallelFor(std::int64_t count, const RunControl& control,
                               const LoopReport& report, Body&& body) {
    std::atomic<bool> stop{false};
    std::atomic<std::int64_t> done{0};
    const std::int64_t chunk = report.chunk;
#pragma omp parallel for schedule(dynamic, chunk) if (control.parallel)
    for (std::int64_t i = 0; i < count; ++i) {
        if (stop.load()) {
            continue;
        }
        body(i);
        const std::int64_t finished = ++done;
        if (omp_get_thread_num() == 0 && finished % report.report_every == 0) {
            if (report.step) {
                control.Say(report.step(finished));
            }
            if (!control.Report(static_cast<double>(finished) / static_cast<double>(count))) {
                stop = true;
            }
        }
    }
    return !stop.load();
}

} // namespace ranvik
