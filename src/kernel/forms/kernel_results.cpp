#include "kernel/forms/kernel_results.h"

#include "numerics/output_grid.h"

#include <utility>

namespace ranvik {

void CommitSmoothingSearch(State& state, const SmoothingSearch& search) {
    state.Minimiser = search.minimiser;
}

void CommitFixedKernel(State& state, KernelGrid&& kernel) {
    state.NumGridPts = kGridNodes;
    state.GridFixedKernel = std::move(kernel.grid);
    state.DoneFixedKernel = true;
}

void CommitAdKernel(State& state, Matrix&& grid) {
    state.NumGridPts = kGridNodes;
    state.GridAdKernel = std::move(grid);
    state.DoneAdKernel = true;
}

void CommitKernelCVC(State& state, KernelKind kernel, const KernelCVC& cvc) {
    switch (kernel) {
    case KernelKind::Fixed:
        state.CVCFixedKernel = cvc.cvc;
        break;
    case KernelKind::Adaptive:
        state.CVCAdKernel = cvc.cvc;
        break;
    }
    state.Minimiser = cvc.minimiser;
}

} // namespace ranvik
