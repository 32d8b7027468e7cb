// Resident memory of a Brownian bridge grid of 20,000,000 points computed the way the wizard
// computes it: the computation behind the progress window (RunWithProgress, called as a form's
// RunLong calls it) on a QApplication, then the commit of the result into the session on this
// thread. Two runs: into a session without a grid, then again into the session that holds the
// first run's grid (the user going back and computing another). For each run it prints the
// resident memory before, the peak during and the memory after, with the grid's own size
// (rows x columns x 8 bytes) and the ratio (peak - before) / grid size, whose target is at most
// 1.2: the grid is made once and moved, never copied, into the session.
//
// The peak is the kernel's high-water mark (VmHWM), reset before each run through
// /proc/self/clear_refs. Runs offscreen unless QT_QPA_PLATFORM says otherwise.

#include "bridge/bridge_probability.h"
#include "state/session.h"
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
using ranvik::Session;
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
Status RunGrid(QWidget& form, ranvik::Dialogs& dialogs, Session& session,
               const BridgeGridSpec& grid) {
    BridgeOutput result;
    const Status status = ranvik::RunWithProgress(
        &form, dialogs, QStringLiteral("Brownian bridge probability over the grid"),
        [&record = std::as_const(session), &result, grid](const ranvik::RunControl& control,
                                                          ranvik::Notifier&) {
            const ranvik::Track& track = record.track();
            auto computed =
                ranvik::CalcBBGrid(track.sorted, track.count, record.choices().BBVariance,
                                   record.choices().BBMaxTime, grid, control);
            if (computed.Ok()) {
                result = std::move(computed.value);
            }
            return computed.status;
        });
    if (status.Ok()) {
        session.Put(ranvik::kBridgeName, std::move(result.output));
    }
    return status;
}

// One measured run, its figures printed; false when the computation failed.
bool MeasuredRun(const char* label, QWidget& form, ranvik::Dialogs& dialogs, Session& session,
                 const BridgeGridSpec& grid) {
    const bool reset = ResetPeak();
    const double before = StatusBytes("VmRSS");
    const Status status = RunGrid(form, dialogs, session, grid);
    const double peak = StatusBytes("VmHWM");
    const double after = StatusBytes("VmRSS");
    if (!status.Ok()) {
        std::printf("%s: failed: %s\n", label, status.error.c_str());
        return false;
    }
    const ranvik::Matrix& made = *session.Result(ranvik::kBridgeName)->grid;
    const double grid_bytes =
        static_cast<double>(made.Rows()) * static_cast<double>(made.Cols()) * 8.0;
    const double ratio = (peak - before) / grid_bytes;
    std::printf("%s\n", label);
    std::printf("  grid points         %d (%d x %d)\n", made.Rows() - 1, kColumns, kRows);
    std::printf("  grid size           %.1f MiB (%d rows x %d columns x 8 bytes)\n",
                grid_bytes / kMebibyte, made.Rows(), made.Cols());
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

    Session session;
    ranvik::Track track;
    track.sorted = ranvik::bench::GpsTrack(kFixes);
    track.fixes = track.sorted;
    track.count = kFixes;
    session.TakeLoaded(std::move(track), {});
    session.ChooseBridgeVariance(kVariance);
    session.ChooseMaxTime(kMaxTime);

    // A small grid first, so that the progress window, the worker thread and the parallel
    // loop's threads have all been made once, as in a wizard that has run before.
    if (!RunGrid(form, dialogs, session, GridAround(session.track().sorted, kFixes, 20, 20)).Ok()) {
        std::printf("the warm-up grid failed\n");
        return EXIT_FAILURE;
    }
    session.Put(ranvik::kBridgeName, ranvik::Matrix{}); // the warm-up grid's memory goes back

    const BridgeGridSpec grid = GridAround(session.track().sorted, kFixes, kColumns, kRows);
    std::printf("Brownian bridge grid of %d points, %d fixes, through RunWithProgress and the "
                "commit into the record\n",
                kColumns * kRows, kFixes);
    // A missed target is reported, not fatal: the figures are what this benchmark is for.
    const bool computed =
        MeasuredRun("run 1: into a record without a grid", form, dialogs, session, grid) &&
        MeasuredRun("run 2: into the record holding run 1's grid", form, dialogs, session, grid);
    return computed && session.Result(ranvik::kBridgeName)->grid->Rows() - 1 == kColumns * kRows
               ? EXIT_SUCCESS
               : EXIT_FAILURE;
}
