#pragma once

#include "batch/batch_folder.h"
#include "batch/batch_input.h"
#include "batch/batch_options.h"
#include "batch/batch_summary.h"
#include "state/notifier.h"
#include "state/run_control.h"

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

} // namespace ranvik
