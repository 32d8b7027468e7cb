#pragma once

#include "batch/batch_run.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace ranvik {

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

// The progress of a run on the terminal: animals done, the step under way, time elapsed and an
// estimate of the time left. Thread-safe; silent when quiet.
class TerminalProgress final : public BatchProgress {
public:
    TerminalProgress(std::size_t animals, bool quiet, std::FILE* out = stderr);

    void Step(const std::string& animal, std::string_view estimator) override;
    void Done(const std::string& animal, bool failed);
    void Finish();

private:
    void Print(const std::string& line, bool final);

    std::mutex mutex_;
    std::size_t animals_;
    std::size_t done_ = 0;
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
// thread when there are several jobs). Stops handing out animals, and cancels those under way,
// once `stop` is set.
[[nodiscard]] BatchOutcome RunAnimals(const BatchInput& input,
                                      const std::vector<std::size_t>& order,
                                      const BatchOptions& options, int jobs,
                                      const std::atomic<bool>& stop, TerminalProgress& progress);

// The summary rows of animals left undone by a stop.
[[nodiscard]] std::string UndoneLines(const std::vector<std::string>& undone, bool compare);

} // namespace ranvik
