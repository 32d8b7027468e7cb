#pragma once

#include "batch/batch_input.h"
#include "batch/batch_mpi.h"
#include "batch/batch_options.h"
#include "output/overlap.h"
#include "output/pair_overlap.h"
#include "state/status.h"

#include <atomic>
#include <string>
#include <vector>

namespace ranvik {

// One row of overlap.csv: animal A, animal B and the indices in that order at one level.
struct OverlapRow {
    std::string a, b;
    double level_percent = 0.0;
    double hr = 0.0, phr = 0.0, vi = 0.0, ba = 0.0, udoi = 0.0;
};

// The header of overlap.csv and its rows (`estimator` in every row), each ended by a line feed.
[[nodiscard]] std::string OverlapText(const std::vector<OverlapRow>& rows,
                                      const std::string& estimator);

// The overlaps of every pair of animals (--overlap): each animal's distribution by the chosen
// estimator is made a second time, on one lattice that holds every animal with its tails: its
// cell is --overlap-cell or the smallest spread / kCellsPerSpread, its first node the south-west
// corner of all the locations, and each animal fills the window its distribution reaches
// (EstimatorInput::lattice); a window larger than kMaxLatticeWindowCells leaves the animal out
// with a sentence. The animals' own grids and files are not touched. The pairs (A, B),
// A before B by name, are shared among the processes of the cluster (pair k to process
// k mod size) and their indices gathered on process 0, which writes OUT/overlap.csv (both
// orders of every pair at every level, sorted by A, B, level; pairs whose grids do not meet are
// 0) and OUT/overlap.png (BA between every pair at the highest level). An animal whose
// distribution cannot be made is left out, with a sentence on the terminal. Progress, with the
// time left, goes to the terminal of process 0 unless quiet. Fails with a sentence for the user
// when fewer than two animals can be compared or a file cannot be written; Cancelled when
// `stop` is set.
[[nodiscard]] Status RunOverlap(const Cluster& cluster, const BatchInput& input,
                                const BatchOptions& options, const std::atomic<bool>& stop);

} // namespace ranvik
