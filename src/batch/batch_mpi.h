#pragma once

#include "batch/batch_scheduler.h"

#include <atomic>
#include <optional>
#include <vector>

namespace ranvik {

// The processes of a run: one, or those mpirun started.
struct Cluster {
    int rank = 0;
    int size = 1;
    bool shares_node = false; // other processes of the run work on this machine too
};

// True when the program was built with MPI.
[[nodiscard]] bool HaveMpi();

// Starts MPI when the program was started by mpirun (and built with it); otherwise a cluster
// of one process.
[[nodiscard]] Cluster StartCluster(int& argc, char**& argv);

// Ends MPI when it was started.
void EndCluster(const Cluster& cluster);

// Runs the animals over the processes of the cluster: process 0 takes those it may from earlier
// runs' folders (RunSummary), hands the others out in `order`, one at a time to whichever
// process asks (itself included), gathers their summary lines and rewrites the summary after
// each; each process writes its animals' files. Returns the outcome on process 0 and nothing on
// the others. When a process dies mpirun ends the others; process 0 then says which animals
// were left undone before it goes.
[[nodiscard]] std::optional<BatchOutcome>
RunAnimalsOnCluster(const Cluster& cluster, const BatchInput& input,
                    const std::vector<std::size_t>& order, const BatchOptions& options,
                    const std::atomic<bool>& stop, BatchProgress& progress);

// Every process's `mine` joined on process 0 in the order of the processes (process 0's first);
// the other processes get nothing. With one process, `mine` itself.
[[nodiscard]] std::vector<double> GatherOnFirst(const Cluster& cluster,
                                                const std::vector<double>& mine);

} // namespace ranvik
