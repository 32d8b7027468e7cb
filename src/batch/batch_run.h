#pragma once

#include "batch/batch_folder.h"
#include "batch/batch_input.h"
#include "batch/batch_options.h"
#include "batch/batch_summary.h"
#include "numerics/output_grid.h"
#include "output/pair_overlap.h"
#include "state/notifier.h"
#include "state/run_control.h"
#include "state/session.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace ranvik {

// Told which animal and which estimator is under way, and of every animal a run finishes or
// takes from an earlier run's folder.
class BatchProgress {
public:
    virtual ~BatchProgress() = default;
    virtual void Step(const std::string& animal, std::string_view estimator) = 0;
    virtual void Done(const std::string& animal, bool failed) = 0;
    virtual void Resumed(const std::string& animal, bool failed) = 0;
};

// Makes every estimator asked for from animal `index` of `input`, as the wizard makes it from
// the same fixes loaded alone (independent locations in table order, Brownian bridge fixes in
// time order), and writes its files into OUT/<animal>/ through an AnimalFolder, so the folder
// is either whole or absent. The last file written is the record of the run (batch_record.h),
// so a later run can take the animal as done. A cancel (through `control`) leaves no files of
// the animal. What its loads left out of the fixes is told to `notifier`, a sentence per reason.
// The steps, in order: the independent locations (the kernels' smoothing parameter, the
// kernels, the parametric models, the levels, the MCP, the files, the comparison), then the
// Brownian bridge's fixes (its variance, its grid, its levels, its files).
[[nodiscard]] AnimalResult RunAnimal(const BatchInput& input, std::size_t index,
                                     const BatchOptions& options, const RunControl& control,
                                     Notifier& notifier, BatchProgress* progress = nullptr);

// One animal's locations (or time-sorted fixes, for a row made from a track) as its own run
// reads them, with the smoothing parameter or movement model that run chooses and the spread of the
// row's distribution: what the overlap's shared lattice is sized from and made on.
struct LatticeAnimal {
    Session session;
    std::int32_t n = 0;
    bool weighted = false;
    bool track = false;
    double h = 0.0;                      // the smoothing parameter (rows that read it)
    std::optional<MovementFit> movement; // the selected movement model (rows that read it)
    LatticeExtent extent;                // the row's spread and the locations' south-west corner
};

// Loads animal `index` of `input` for `row` (a row that makes its distribution on a shared
// lattice), finds its smoothing parameter as RunAnimal does and the spread of its distribution.
// Fails with the sentence the animal's own run gives for the same step; cancels with `control`.
[[nodiscard]] StatusOr<LatticeAnimal>
LoadLatticeAnimal(const BatchInput& input, std::size_t index, const BatchOptions& options,
                  const EstimatorRow& row, const RunControl& control, Notifier& notifier);

// The animal's distribution by `row` made on `lattice` (EstimatorInput::lattice): the window its
// tails reach, rows of x, y and probability and a spare row.
[[nodiscard]] StatusOr<Matrix> MakeOnLattice(const LatticeAnimal& animal, const EstimatorRow& row,
                                             const BatchOptions& options,
                                             const SharedLattice& lattice,
                                             const RunControl& control, Notifier& notifier);

} // namespace ranvik
