#include "batch/batch_scheduler.h"

#include "batch/batch_record.h"

#include <algorithm>
#include <cmath>
#include <thread>
#include <unistd.h>

namespace ranvik {

std::string Clock(double seconds) {
    const auto s = static_cast<long>(std::llround(std::max(seconds, 0.0)));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    return text;
}

std::vector<std::size_t> LargestFirst(const BatchInput& input) {
    std::vector<std::size_t> order(input.animals.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        order[k] = k;
    }
    std::stable_sort(order.begin(), order.end(), [&input](std::size_t a, std::size_t b) {
        return input.animals[a].table.rows.size() > input.animals[b].table.rows.size();
    });
    return order;
}

TerminalProgress::TerminalProgress(std::size_t animals, bool quiet, std::FILE* out)
    : animals_(animals), quiet_(quiet), terminal_(isatty(fileno(out)) != 0), out_(out) {}

void PrintProgressLine(std::FILE* out, bool terminal, const std::string& line, bool final) {
    if (terminal) {
        std::fprintf(out, "\r\033[K%s%s", line.c_str(), final ? "\n" : "");
    } else if (final) {
        std::fprintf(out, "%s\n", line.c_str());
    }
    std::fflush(out);
}

void TerminalProgress::Print(const std::string& line, bool final) {
    if (!quiet_) {
        PrintProgressLine(out_, terminal_, line, final);
    }
}

void TerminalProgress::Step(const std::string& animal, std::string_view estimator) {
    const std::lock_guard lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(200)) {
        return;
    }
    last_ = now;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    Print(std::to_string(done_) + "/" + std::to_string(animals_) + " animals, " + animal + ": " +
              std::string(estimator) + ", " + Clock(elapsed) + " elapsed" + Left(elapsed),
          false);
}

void TerminalProgress::Done(const std::string& animal, bool failed) {
    const std::lock_guard lock(mutex_);
    ++done_;
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    Print(std::to_string(done_) + "/" + std::to_string(animals_) + " animals: " + animal +
              (failed ? " done, with errors (see the summary)" : " done") + ", " + Clock(elapsed) +
              " elapsed" + Left(elapsed),
          true);
}

void TerminalProgress::Resumed(const std::string& animal, bool failed) {
    const std::lock_guard lock(mutex_);
    ++done_;
    ++resumed_;
    Print(std::to_string(done_) + "/" + std::to_string(animals_) + " animals: " + animal +
              (failed ? " resumed, with errors (see the summary)" : " resumed") +
              " from its folder",
          true);
}

std::string TerminalProgress::Left(double elapsed) const {
    const std::size_t computed = done_ - resumed_;
    if (computed == 0) {
        return {};
    }
    return ", about " +
           Clock(elapsed / static_cast<double>(computed) * static_cast<double>(animals_ - done_)) +
           " left";
}

void TerminalProgress::Finish() {
    const std::lock_guard lock(mutex_);
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    Print(std::to_string(done_) + " of " + std::to_string(animals_) + " animals in " +
              Clock(elapsed),
          true);
}

void TerminalNotifier::Inform(std::string_view message) {
    if (!quiet_) {
        std::fprintf(stderr, "%s: %.*s\n", animal_.c_str(), static_cast<int>(message.size()),
                     message.data());
    }
}

RunSummary::RunSummary(const BatchInput& input, const BatchOptions& options,
                       BatchProgress& progress)
    : input_(input), path_(options.out / "summary.csv"), compare_(options.compare),
      animals_(input.animals.size()), by_name_(input.animals.size()) {
    for (std::size_t k = 0; k < by_name_.size(); ++k) {
        by_name_[k] = k;
        undone_lines_.push_back(UndoneLines({input.animals[k].id}, compare_));
    }
    std::stable_sort(by_name_.begin(), by_name_.end(), [&input](std::size_t a, std::size_t b) {
        return input.animals[a].id < input.animals[b].id;
    });
    if (options.resume) {
        const std::string fingerprint = OptionsFingerprint(options, input.fields);
        for (std::size_t k = 0; k < animals_.size(); ++k) {
            if (auto record = MatchingRecord(input, k, options, fingerprint)) {
                animals_[k] = {true, record->failed, std::move(record->lines)};
                progress.Resumed(input.animals[k].id, record->failed);
            }
        }
    }
    Write();
}

std::vector<std::size_t> RunSummary::Undone(const std::vector<std::size_t>& order) const {
    std::vector<std::size_t> undone;
    for (const std::size_t index : order) {
        if (!animals_[index].done) {
            undone.push_back(index);
        }
    }
    return undone;
}

void RunSummary::Finish(std::size_t index, bool failed, std::string lines) {
    animals_[index] = {true, failed, std::move(lines)};
    Write();
}

std::string RunSummary::Text() const {
    std::string text = SummaryHeader(compare_);
    for (const std::size_t k : by_name_) {
        if (animals_[k].done) {
            text += animals_[k].lines;
        }
    }
    for (std::size_t k = 0; k < animals_.size(); ++k) {
        if (!animals_[k].done) {
            text += undone_lines_[k];
        }
    }
    return text;
}

void RunSummary::Write() {
    const Status written = WriteWholeFile(path_, Text());
    if (!written.Ok() && !said_unwritten_) {
        // Said once: the next animal tries again, and the end of the run says it for good.
        std::fprintf(stderr, "ranvik-batch: %s\n", written.error.c_str());
        said_unwritten_ = true;
    }
}

BatchOutcome RunSummary::Outcome() {
    return GatherOutcome(input_, std::move(animals_));
}

BatchOutcome RunAnimals(const BatchInput& input, const std::vector<std::size_t>& order,
                        const BatchOptions& options, int jobs, const std::atomic<bool>& stop,
                        BatchProgress& progress) {
    RunSummary summary(input, options, progress);
    const std::vector<std::size_t> undone = summary.Undone(order);
    std::mutex mutex; // guards summary
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        RunControl control;
        control.parallel = jobs == 1;
        control.progress = [&stop](double) { return !stop.load(); };
        while (!stop.load()) {
            const std::size_t k = next.fetch_add(1);
            if (k >= undone.size()) {
                return;
            }
            const std::size_t index = undone[k];
            TerminalNotifier notifier(input.animals[index].id, options.quiet);
            AnimalResult result = RunAnimal(input, index, options, control, notifier, &progress);
            if (result.cancelled) {
                return;
            }
            {
                const std::lock_guard lock(mutex);
                summary.Finish(index, result.failed, SummaryLines(result, options.compare));
            }
            progress.Done(result.id, result.failed);
        }
    };
    const int threads = std::max(1, std::min<int>(jobs, static_cast<int>(undone.size())));
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) {
        pool.emplace_back(work);
    }
    work();
    for (std::thread& thread : pool) {
        thread.join();
    }
    return summary.Outcome();
}

BatchOutcome GatherOutcome(const BatchInput& input, std::vector<FinishedAnimal>&& animals) {
    BatchOutcome outcome;
    for (std::size_t index = 0; index < animals.size(); ++index) {
        if (!animals[index].done) {
            outcome.undone.push_back(input.animals[index].id);
            continue;
        }
        outcome.failed += animals[index].failed ? 1 : 0;
        outcome.lines.emplace_back(input.animals[index].id, std::move(animals[index].lines));
    }
    return outcome;
}

std::string UndoneLines(const std::vector<std::string>& undone, bool compare) {
    std::string lines;
    for (const std::string& id : undone) {
        AnimalResult result;
        result.id = id;
        SummaryRow row;
        row.animal = id;
        row.error = "Not done: the run was stopped before this animal.";
        result.rows.push_back(row);
        lines += SummaryLines(result, compare);
    }
    return lines;
}

} // namespace ranvik
