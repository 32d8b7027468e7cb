#include "batch/batch_overlap.h"

#include "batch/batch_folder.h"
#include "batch/batch_run.h"
#include "batch/batch_scheduler.h"
#include "batch/overlap_picture.h"
#include "state/number_text.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <unistd.h>

namespace ranvik {
namespace {

using Pair = std::pair<std::int32_t, std::int32_t>;
// The values a pair sends per level: HR and PHR both ways, VI, BA and UDOI.
constexpr std::size_t kValuesPerPair = 7;

// Says how the overlap goes on the terminal of process 0: a line rewritten in place on a
// terminal, only the closing lines elsewhere.
class OverlapProgress {
public:
    explicit OverlapProgress(bool quiet) : quiet_(quiet), terminal_(isatty(fileno(stderr)) != 0) {}

    void Say(const std::string& line, bool final) {
        if (!quiet_) {
            PrintProgressLine(stderr, terminal_, line, final);
        }
    }

    // The fraction of a level's pairs done, with the time elapsed and, from the pace so far,
    // the time left; at most five times a second.
    void Pairs(std::size_t pairs, double level, double fraction) {
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::milliseconds(200) || fraction <= 0) {
            return;
        }
        last_ = now;
        const double elapsed = std::chrono::duration<double>(now - start_).count();
        Say("overlap at " + FormatNumber(level) +
                " %: " + std::to_string(static_cast<int>(fraction * 100)) + " % of " +
                std::to_string(pairs) + " pairs, " + Clock(elapsed) + " elapsed, about " +
                Clock(elapsed / fraction * (1 - fraction)) + " left",
            false);
    }

    void Start() { start_ = std::chrono::steady_clock::now(); }
    [[nodiscard]] double Elapsed() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    bool quiet_;
    bool terminal_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last_{};
};

// The animals that could be put on the lattice, by name, with their grids at every level.
struct LatticeStudy {
    std::vector<std::string> names;
    std::vector<std::vector<OverlapGrid>> grids; // [level][animal]
};

// Each animal's distribution on the shared lattice, those that cannot be made left out.
StatusOr<LatticeStudy> MakeStudy(const BatchInput& input, const BatchOptions& options,
                                 const EstimatorRow& row, const RunControl& control,
                                 OverlapProgress& progress) {
    std::vector<std::size_t> by_name(input.animals.size());
    for (std::size_t k = 0; k < by_name.size(); ++k) {
        by_name[k] = k;
    }
    std::stable_sort(by_name.begin(), by_name.end(), [&input](std::size_t a, std::size_t b) {
        return input.animals[a].id < input.animals[b].id;
    });
    const auto left_out = [&progress](const std::string& id, const std::string& why) {
        progress.Say(id + ": left out of the overlaps: " + why, true);
    };
    std::vector<LatticeAnimal> animals;
    std::vector<std::string> ids;
    for (const std::size_t k : by_name) {
        progress.Say("overlap: " + input.animals[k].id + ": locations", false);
        TerminalNotifier quiet(input.animals[k].id, true);
        auto animal = LoadLatticeAnimal(input, k, options, row, control, quiet);
        if (animal.status.cancelled) {
            return Status::Cancelled();
        }
        if (!animal.Ok()) {
            left_out(input.animals[k].id, animal.status.error);
            continue;
        }
        animals.push_back(std::move(animal.value));
        ids.push_back(input.animals[k].id);
    }
    std::vector<LatticeExtent> extents;
    for (const LatticeAnimal& animal : animals) {
        extents.push_back(animal.extent);
    }
    const SharedLattice lattice = LatticeOver(extents, options.overlap.cell);
    StatusOr<LatticeStudy> result;
    LatticeStudy& study = result.value;
    study.grids.resize(options.overlap.levels.size());
    for (std::size_t a = 0; a < animals.size(); ++a) {
        progress.Say("overlap: " + ids[a] + ": its distribution on the shared lattice of " +
                         FormatNumber(lattice.cell) + " m cells",
                     false);
        TerminalNotifier quiet(ids[a], true);
        const auto grid = MakeOnLattice(animals[a], row, options, lattice, control, quiet);
        if (grid.status.cancelled) {
            return Status::Cancelled();
        }
        std::vector<OverlapGrid> levels;
        Status made = grid.status;
        for (std::size_t l = 0; made.Ok() && l < options.overlap.levels.size(); ++l) {
            auto level = MakeOverlapGrid(grid.value, grid.value.Rows() - 1, lattice,
                                         options.overlap.levels[l] / 100);
            made = level.status;
            levels.push_back(std::move(level.value));
        }
        if (!made.Ok()) {
            left_out(ids[a], made.error);
            continue;
        }
        study.names.push_back(ids[a]);
        for (std::size_t l = 0; l < levels.size(); ++l) {
            study.grids[l].push_back(std::move(levels[l]));
        }
    }
    if (study.names.size() < 2) {
        return Status::Failure("The overlaps need at least two animals whose distributions can "
                               "be made; " +
                               std::to_string(study.names.size()) + " could be.");
    }
    return result;
}

// The rows of both orders of every pair at every level, from the values gathered on process 0
// (each process's pairs in turn, level by level).
std::vector<OverlapRow> RowsOf(const LatticeStudy& study, const std::vector<Pair>& pairs,
                               const std::vector<double>& levels, const std::vector<double>& all,
                               int processes) {
    std::vector<OverlapRow> rows;
    std::size_t at = 0;
    for (int rank = 0; rank < processes; ++rank) {
        for (std::size_t l = 0; l < levels.size(); ++l) {
            for (std::size_t k = static_cast<std::size_t>(rank); k < pairs.size();
                 k += static_cast<std::size_t>(processes)) {
                const double* v = all.data() + at;
                at += kValuesPerPair;
                const std::string& a = study.names[static_cast<std::size_t>(pairs[k].first)];
                const std::string& b = study.names[static_cast<std::size_t>(pairs[k].second)];
                rows.push_back({a, b, levels[l], v[0], v[2], v[4], v[5], v[6]});
                rows.push_back({b, a, levels[l], v[1], v[3], v[4], v[5], v[6]});
            }
        }
    }
    std::sort(rows.begin(), rows.end(), [](const OverlapRow& x, const OverlapRow& y) {
        return std::tie(x.a, x.b, x.level_percent) < std::tie(y.a, y.b, y.level_percent);
    });
    return rows;
}

// BA between every pair of animals at `level`, row by row; 1 on the diagonal (each
// distribution with itself, conditional or whole).
std::vector<double> AffinityMatrix(const LatticeStudy& study, const std::vector<OverlapRow>& rows,
                                   double level) {
    const std::size_t n = study.names.size();
    std::vector<double> values(n * n, 0.0);
    for (std::size_t k = 0; k < n; ++k) {
        values[k * n + k] = 1.0;
    }
    const auto index = [&study](const std::string& name) {
        return static_cast<std::size_t>(
            std::lower_bound(study.names.begin(), study.names.end(), name) - study.names.begin());
    };
    for (const OverlapRow& row : rows) {
        if (row.level_percent == level) {
            values[index(row.a) * n + index(row.b)] = row.ba;
        }
    }
    return values;
}

} // namespace

std::string OverlapText(const std::vector<OverlapRow>& rows, const std::string& estimator) {
    std::string text = "animal_a,animal_b,estimator,level_percent,HR,PHR,VI,BA,UDOI\n";
    for (const OverlapRow& row : rows) {
        text += CsvField(row.a);
        text += ',';
        text += CsvField(row.b);
        text += ',';
        text += estimator;
        for (const double value : {row.level_percent, row.hr, row.phr, row.vi, row.ba, row.udoi}) {
            text += ',';
            AppendNumber(text, value);
        }
        text += '\n';
    }
    return text;
}

Status RunOverlap(const Cluster& cluster, const BatchInput& input, const BatchOptions& options,
                  const std::atomic<bool>& stop) {
    const EstimatorRow* row = FindEstimator(*options.table, options.overlap.estimator);
    if (row == nullptr || !row->on_lattice) {
        return Status::Failure("The " + options.overlap.estimator +
                               " estimator cannot be made on a shared lattice.");
    }
    OverlapProgress progress(options.quiet || cluster.rank != 0);
    RunControl control;
    control.parallel = !cluster.shares_node;
    control.progress = [&stop](double) { return !stop.load(); };
    const auto study = MakeStudy(input, options, *row, control, progress);
    if (!study.Ok()) {
        return study.status;
    }
    const auto count = static_cast<std::int32_t>(study.value.names.size());
    std::vector<Pair> pairs;
    std::vector<Pair> mine;
    for (std::int32_t a = 0; a < count; ++a) {
        for (std::int32_t b = a + 1; b < count; ++b) {
            if (pairs.size() % static_cast<std::size_t>(cluster.size) ==
                static_cast<std::size_t>(cluster.rank)) {
                mine.emplace_back(a, b);
            }
            pairs.emplace_back(a, b);
        }
    }
    const std::vector<double>& levels = options.overlap.levels;
    std::vector<double> values;
    progress.Start();
    for (std::size_t l = 0; l < levels.size(); ++l) {
        RunControl pair_control = control;
        pair_control.progress = [&](double fraction) {
            progress.Pairs(pairs.size(), levels[l], fraction);
            return !stop.load();
        };
        const auto indices = CalcOverlaps(study.value.grids[l], mine, pair_control);
        if (!indices.Ok()) {
            return indices.status;
        }
        for (const OverlapIndices& o : indices.value) {
            values.insert(values.end(), {o.hr_ab, o.hr_ba, o.phr_ab, o.phr_ba, o.vi, o.ba, o.udoi});
        }
    }
    const std::vector<double> all = GatherOnFirst(cluster, values);
    if (cluster.rank != 0) {
        return {};
    }
    progress.Say("overlap: " + std::to_string(pairs.size()) + " pairs of " + std::to_string(count) +
                     " animals in " + Clock(progress.Elapsed()),
                 true);
    const std::vector<OverlapRow> rows = RowsOf(study.value, pairs, levels, all, cluster.size);
    if (Status written = WriteWholeFile(options.out / "overlap.csv",
                                        OverlapText(rows, options.overlap.estimator));
        !written.Ok()) {
        return written;
    }
    const double shown = levels.back();
    return WriteMatrixPicture(options.out / "overlap.png", study.value.names,
                              AffinityMatrix(study.value, rows, shown),
                              "Bhattacharyya's affinity, " + options.overlap.estimator + ", " +
                                  FormatNumber(shown) + " % ranges");
}

} // namespace ranvik
