#pragma once

#include "kernel/kernel_cvc.h"
#include "kernel/kernel_grid.h"
#include "kernel/smoothing.h"
#include "state/matrix.h"
#include "state/state.h"

namespace ranvik {

// Puts a finished h_CV or h_LSCV search into the record: Minimiser becomes the workspace the
// search left, so after both searches it holds the last one's.
void CommitSmoothingSearch(State& state, const SmoothingSearch& search);

// Puts a fixed kernel grid into the record: GridFixedKernel, NumGridPts = 40000 and
// DoneFixedKernel. The request flag is the caller's.
void CommitFixedKernel(State& state, KernelGrid&& kernel);

// Puts an adaptive kernel grid into the record: GridAdKernel, NumGridPts = 40000 and
// DoneAdKernel.
void CommitAdKernel(State& state, Matrix&& grid);

// Puts a kernel's leave-one-out criterion into the record: CVCFixedKernel or CVCAdKernel, and
// Minimiser becomes the search of its last pass.
void CommitKernelCVC(State& state, KernelKind kernel, const KernelCVC& cvc);

} // namespace ranvik
