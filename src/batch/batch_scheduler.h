#pragma once

#include "batch/batch_run.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace ranvik {

// A duration in seconds as the progress shows it: H:MM:SS.
[[nodiscard]] std::string Clock(double seconds);

// Writes a progress line to `out`: rewritten in place on a terminal (and ended there when
// `final`), only the final lines elsewhere.
void PrintProgressLine(std::FILE* out, bool terminal, const std::string& line, bool final);

// The order animals are handed out in: most rows first (the longest work starts first, so the
// last to finish are short), ties in table order.
[[nodiscard]] std::vector<std::size_t> LargestFirst(const BatchInput& input);

// What a run of many animals gave: each finished animal's summary lines, and the animals left
// undone when it was stopped.
struct BatchOutcome {
    std::vector<std::pair<std::string, std::string>> lines; // animal, its summary lines
    int failed = 0;                                         // animals with an error row
    std::vector<std::string> undone;                        // in table order
};

// One animal as a run leaves it: whether it was done and failed, and its summary lines.
struct FinishedAnimal {
    bool done = false;
    bool failed = false;
    std::string lines;
};

// The outcome of a run from what became of each animal (one entry per animal, table order).
[[nodiscard]] BatchOutcome GatherOutcome(const BatchInput& input,
                                         std::vector<FinishedAnimal>&& animals);

// What a run has finished, kept in OUT/summary.csv as it goes. The file is written whole
// (WriteWholeFile) at the start and again whenever an animal finishes: the header, the
// finished animals' lines sorted by animal as SummaryText sorts them, then the UndoneLines of
// the others in table order. A run killed at any moment so leaves a summary of what it
// finished, and the last one written is the file an uninterrupted run ends with. Not
// thread-safe: the schedulers call it under their own lock.
class RunSummary {
public:
    // No animal done or, with options.resume, those whose folders hold a record of a run with
    // the same options and input (MatchingRecord), with the record's lines; `progress` is told
    // of each as resumed.
    RunSummary(const BatchInput& input, const BatchOptions& options, BatchProgress& progress);

    [[nodiscard]] const std::vector<FinishedAnimal>& Animals() const { return animals_; }
    // The animals of `order` not done yet, in that order.
    [[nodiscard]] std::vector<std::size_t> Undone(const std::vector<std::size_t>& order) const;
    // Takes animal `index` as done, with its SummaryLines, and rewrites the summary.
    void Finish(std::size_t index, bool failed, std::string lines);
    // The summary as it stands.
    [[nodiscard]] std::string Text() const;
    // The outcome of the run; the summary lines move into it.
    [[nodiscard]] BatchOutcome Outcome();

private:
    void Write();

    const BatchInput& input_;
    std::filesystem::path path_;
    bool compare_;
    std::vector<FinishedAnimal> animals_;
    std::vector<std::size_t> by_name_;      // animals sorted by name, ties in table order
    std::vector<std::string> undone_lines_; // each animal's row while it is not done
    bool said_unwritten_ = false;
};

// The progress of a run on the terminal: animals done, the step under way, time elapsed and an
// estimate of the time left (from the animals computed, not those resumed). Thread-safe;
// silent when quiet.
class TerminalProgress final : public BatchProgress {
public:
    TerminalProgress(std::size_t animals, bool quiet, std::FILE* out = stderr);

    void Step(const std::string& animal, std::string_view estimator) override;
    void Done(const std::string& animal, bool failed) override;
    void Resumed(const std::string& animal, bool failed) override;
    void Finish();

private:
    void Print(const std::string& line, bool final);
    // ", about H:MM:SS left" from the pace of the animals computed so far; empty before one.
    [[nodiscard]] std::string Left(double elapsed) const;

    std::mutex mutex_;
    std::size_t animals_;
    std::size_t done_ = 0;
    std::size_t resumed_ = 0; // of done_
    bool quiet_;
    bool terminal_;
    std::FILE* out_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last_{};
};

// Writes the computations' notices to the terminal, each after the animal's name.
class TerminalNotifier final : public Notifier {
public:
    TerminalNotifier(std::string animal, bool quiet) : animal_(std::move(animal)), quiet_(quiet) {}
    void Inform(std::string_view message) override;

private:
    std::string animal_;
    bool quiet_;
};

// Runs the animals `order` names on `jobs` threads at once (each animal's own loops run on one
// thread when there are several jobs), but for those a RunSummary takes from earlier runs'
// folders; whichever thread finishes an animal rewrites the summary. Stops handing out
// animals, and cancels those under way, once `stop` is set.
[[nodiscard]] BatchOutcome RunAnimals(const BatchInput& input,
                                      const std::vector<std::size_t>& order,
                                      const BatchOptions& options, int jobs,
                                      const std::atomic<bool>& stop, BatchProgress& progress);

// The summary rows of animals left undone by a stop.
[[nodiscard]] std::string UndoneLines(const std::vector<std::string>& undone, bool compare);

} // namespace ranvik
