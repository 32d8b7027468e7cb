// Resident memory of a Brownian bridge grid of 20,000,000 points computed the way the wizard
// computes it: the computation behind the progress window (RunWithProgress, called as a form's
// RunLong calls it) on a QApplication, then the commit of the result into the record on this
// thread. Two runs: into a record without a grid, then again into the record that holds the
// first run's grid (the user going back and computing another). For each run it prints the
// resident memory before, the peak during and the memory after, with the grid's own size
// (rows x columns x 8 bytes) and the ratio (peak - before) / grid size, whose target is at most
// 1.2: the grid is made once and moved, never copied, into the record.
//
// The peak is the kernel's high-water mark (VmHWM), reset before each run through
// /proc/self/clear_refs. Runs offscreen unless QT_QPA_PLATFORM says otherwise.

#include "bridge/bridge_probability.h"
#include "bridge/forms/bridge_results.h"
#include "synthetic.h"
#include "ui/dialogs.h"
#include "ui/progress_runner.h"

#include <QApplication>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>

namespace {

using ranvik::BridgeGridSpec;
using ranvik::BridgeOutput;
using ranvik::State;
using ranvik::Status;

constexpr std::int32_t kFixes = 300;    // hourly fixes: a few hundred keep the run short
constexpr std::int32_t kColumns = 5000; // grid points along x
constexpr std::int32_t kRows = 4000;    // grid points along y: 20,000,000 in all
constexpr double kSpacing = 10.0;       // metres between grid points
constexpr double kVariance = 2500.0;    // m^2 per hour, as a user would enter it
constexpr double kMaxTime = 3.0;        // hours: every hourly bridge
constexpr double kTarget = 1.2;         // most (peak - before) / grid size allowed
constexpr double kMebibyte = 1024.0 * 1024.0;

// A line "Name:   1234 kB" of /proc/self/status, in bytes (0 when it is missing).
double StatusBytes(const char* name) {
    std::ifstream status("/proc/self/status");
    const std::string prefix = std::string(name) + ":";
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) {
            return std::stod(line.substr(prefix.size())) * 1024.0;
        }
    }
    return 0.0;
}

// Sets the high-water mark back to the present resident size; false when the kernel refuses.
bool ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return clear.good();
}

// A grid of kColumns x kRows points kSpacing apart, centred on the track.
BridgeGridSpec GridAround(const ranvik::Matrix& track, std::int32_t n, std::int32_t columns,
                          std::int32_t rows) {
    const BridgeGridSpec box = ranvik::AutoBridgeGridExtent(track, n);
    const double cx = (box.min_x + box.max_x) / 2;
    const double cy = (box.min_y + box.max_y) / 2;
    // Half a spacing short of the last point, so that rounding in the repeated addition
    // neither drops nor adds a point.
    const double half_x = (columns - 1) * kSpacing / 2;
    const double half_y = (rows - 1) * kSpacing / 2;
    return {cx - half_x, cx + half_x + kSpacing / 2, cy - half_y, cy + half_y + kSpacing / 2,
            kSpacing};
}

// The grid computed behind the progress window and committed, as FrmBBGridExtent does it.
Status RunGrid(QWidget& form, ranvik::Dialogs& dialogs, State& state, const BridgeGridSpec& grid) {
    BridgeOutput result;
    const Status status = ranvik::RunWithProgress(
        &form, dialogs, QStringLiteral("Brownian bridge probability over the grid"),
        [&record = std::as_const(state), &result, grid](const ranvik::RunControl& control,
                                                        ranvik::Notifier&) {
            auto computed = ranvik::CalcBBGrid(record.BBSortedLocs, record.NumLocs,
                                               record.BBVariance, record.BBMaxTime, grid, control);
            if (computed.Ok()) {
                result = std::move(computed.value);
            }
            return computed.status;
        });
    if (status.Ok()) {
        ranvik::CommitBridgeOutput(state, std::move(result));
    }
    return status;
}

// One measured run, its figures printed; false when the computation failed.
bool MeasuredRun(const char* label, QWidget& form, ranvik::Dialogs& dialogs, State& state,
                 const BridgeGridSpec& grid) {
    const bool reset = ResetPeak();
    const double before = StatusBytes("VmRSS");
    const Status status = RunGrid(form, dialogs, state, grid);
    const double peak = StatusBytes("VmHWM");
    const double after = StatusBytes("VmRSS");
    if (!status.Ok()) {
        std::printf("%s: failed: %s\n", label, status.error.c_str());
        return false;
    }
    const double grid_bytes = static_cast<double>(state.BBOutput.Rows()) *
                              static_cast<double>(state.BBOutput.Cols()) * 8.0;
    const double ratio = (peak - before) / grid_bytes;
    std::printf("%s\n", label);
    std::printf("  grid points         %d (%d x %d)\n", state.NumGridPts, kColumns, kRows);
    std::printf("  grid size           %.1f MiB (%d rows x %d columns x 8 bytes)\n",
                grid_bytes / kMebibyte, state.BBOutput.Rows(), state.BBOutput.Cols());
    std::printf("  memory before       %.1f MiB\n", before / kMebibyte);
    std::printf("  peak during         %.1f MiB%s\n", peak / kMebibyte,
                reset ? "" : " (peak not reset: the whole program's peak)");
    std::printf("  memory after        %.1f MiB\n", after / kMebibyte);
    std::printf("  (peak - before) / grid size = %.3f (target at most %.1f): %s\n", ratio, kTarget,
                ratio <= kTarget ? "met" : "NOT met");
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QWidget form;
    ranvik::QtDialogs dialogs;

    State state;
    state.BBSortedLocs = ranvik::bench::GpsTrack(kFixes);
    state.NumLocs = kFixes;
    state.LoadedLocations = ranvik::LocationSet::Bridge;
    state.BBVariance = kVariance;
    state.BBMaxTime = kMaxTime;

    // A small grid first, so that the progress window, the worker thread and the parallel
    // loop's threads have all been made once, as in a wizard that has run before.
    if (!RunGrid(form, dialogs, state, GridAround(state.BBSortedLocs, kFixes, 20, 20)).Ok()) {
        std::printf("the warm-up grid failed\n");
        return EXIT_FAILURE;
    }
    state.BBOutput.Clear();
    state.NumGridPts = 0;
    state.DoneBB = false;

    const BridgeGridSpec grid = GridAround(state.BBSortedLocs, kFixes, kColumns, kRows);
    std::printf("Brownian bridge grid of %d points, %d fixes, through RunWithProgress and the "
                "commit into the record\n",
                kColumns * kRows, kFixes);
    // A missed target is reported, not fatal: the figures are what this benchmark is for.
    const bool computed =
        MeasuredRun("run 1: into a record without a grid", form, dialogs, state, grid) &&
        MeasuredRun("run 2: into the record holding run 1's grid", form, dialogs, state, grid);
    return computed && state.NumGridPts == kColumns * kRows ? EXIT_SUCCESS : EXIT_FAILURE;
}
