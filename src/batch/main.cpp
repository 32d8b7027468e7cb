#include "batch/batch_mpi.h"
#include "batch/batch_options.h"
#include "batch/batch_overlap.h"
#include "batch/batch_run.h"
#include "batch/batch_scheduler.h"

#include <gdal.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <system_error>
#include <thread>

namespace {

std::atomic<bool> g_stop{false};

extern "C" void OnInterrupt(int) {
    g_stop.store(true);
}

} // namespace

int main(int argc, char** argv) {
    using namespace ranvik;
    const Cluster cluster = StartCluster(argc, argv);
    const auto end = [&cluster](int code) {
        EndCluster(cluster);
        return code;
    };
    const CommandLine line = ParseBatchCommandLine(std::vector<std::string>(argv, argv + argc));
    if (!line.run) {
        if (cluster.rank == 0) {
            std::fputs(line.text.c_str(), line.exit_code == 0 ? stdout : stderr);
        }
        return end(line.exit_code);
    }
    BatchOptions options = line.options;
    GDALAllRegister();
    auto input = OpenBatchInput(options);
    if (!input.Ok()) {
        if (cluster.rank == 0) {
            std::fprintf(stderr, "ranvik-batch: %s\n", input.status.error.c_str());
        }
        return end(2);
    }
    std::error_code made;
    std::filesystem::create_directories(options.out, made);
    if (made) {
        if (cluster.rank == 0) {
            std::fprintf(stderr, "ranvik-batch: the folder %s cannot be made: %s\n",
                         options.out.string().c_str(), made.message().c_str());
        }
        return end(2);
    }
    if (cluster.rank == 0) {
        // Folders a killed run left half written (no other process has started work yet).
        RemovePartialFolders(options.out);
    }
    std::signal(SIGINT, OnInterrupt);
    const std::vector<std::size_t> order = LargestFirst(input.value);
    TerminalProgress progress(order.size(), options.quiet || cluster.rank != 0);
    std::optional<BatchOutcome> outcome;
    if (cluster.size > 1) {
        outcome = RunAnimalsOnCluster(cluster, input.value, order, options, g_stop, progress);
    } else {
        const int jobs = options.jobs > 0
                             ? options.jobs
                             : static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
        outcome = RunAnimals(input.value, order, options, jobs, g_stop, progress);
    }
    // Every process takes its share of the overlap's pairs; process 0 writes its files.
    const auto overlap = [&] {
        return options.overlap.on ? RunOverlap(cluster, input.value, options, g_stop) : Status{};
    };
    if (!outcome) {
        (void)overlap();
        return end(0); // another process writes the summary and the overlap
    }
    progress.Finish();
    if (!options.quiet) {
        std::string left_out;
        for (const std::string& sentence : LeftOutSentences(LeftOutOfRun(input.value, options))) {
            left_out += " " + sentence;
        }
        std::fprintf(stderr, "ranvik-batch:%s\n",
                     left_out.empty() ? " no rows were left out of the fixes." : left_out.c_str());
    }
    std::string text = SummaryText(outcome->lines, options.compare);
    text += UndoneLines(outcome->undone, options.compare);
    if (const Status written = WriteWholeFile(options.out / "summary.csv", text); !written.Ok()) {
        std::fprintf(stderr, "ranvik-batch: %s\n", written.error.c_str());
        return end(1);
    }
    if (const Status overlapped = overlap(); !overlapped.Ok()) {
        std::fprintf(stderr, "ranvik-batch: %s\n",
                     overlapped.cancelled ? "the overlaps were stopped before they were done."
                                          : overlapped.error.c_str());
        return end(overlapped.cancelled ? 130 : 1);
    }
    if (!outcome->undone.empty()) {
        std::fprintf(stderr,
                     "ranvik-batch: stopped; %zu animals were not done (their rows in the "
                     "summary say so); the others are complete, and --resume computes only "
                     "the rest.\n",
                     outcome->undone.size());
        return end(130);
    }
    if (outcome->failed > 0) {
        std::fprintf(stderr,
                     "ranvik-batch: %d animals could not be analysed in full; the error column of "
                     "%s says why.\n",
                     outcome->failed, (options.out / "summary.csv").string().c_str());
        return end(1);
    }
    return end(0);
}
