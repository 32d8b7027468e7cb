#include "batch/batch_options.h"
#include "batch/batch_record.h"
#include "batch/batch_run.h"
#include "batch/batch_scheduler.h"

#include "models/bivariate_normal.h"
#include "output/mcp.h"
#include "output/overlap.h"
#include "state/number_text.h"
#include "support/collars.h"
#include "support/movement_track.h"
#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <gdal.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string>

namespace ranvik {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using ::testing::UnorderedElementsAre;

CommandLine Parse(std::vector<std::string> args) {
    args.insert(args.begin(), "ranvik-batch");
    return ParseBatchCommandLine(args);
}

// The words of `line`, split at spaces.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

// The files the batch runs in this file are from GDAL's drivers.
[[maybe_unused]] const bool kDriversRegistered = (GDALAllRegister(), true);

struct Quiet final : Notifier {
    void Inform(std::string_view) override {}
} quiet;

// Runs ranvik-batch with `args`, its messages into `log`; its exit code.
int RunBatch(const std::string& args, const std::filesystem::path& log) {
    const std::string command =
        std::string(RANVIK_BATCH) + " " + args + " 2> " + log.string() + " > /dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(BatchCommandLine, DefaultsAndEveryOptionAsDocumented) {
    const CommandLine plain = Parse({"collars.csv", "--out", "results"});
    ASSERT_TRUE(plain.run) << plain.text;
    const BatchOptions& o = plain.options;
    EXPECT_EQ(o.input, "collars.csv");
    EXPECT_EQ(o.out, "results");
    EXPECT_FALSE(o.resume);
    EXPECT_EQ(o.estimators, (std::vector<std::string>{"fixed-kernel", "mcp"}));
    EXPECT_EQ(o.h, (SmoothingChoice{SmoothingChoice::Kind::Href, 100.0}));
    EXPECT_FALSE(o.bb_variance);
    EXPECT_FALSE(o.bb_max_time);
    EXPECT_EQ(o.bb_cell, 30.0);
    EXPECT_EQ(o.levels, (std::vector<double>{50, 95}));
    EXPECT_FALSE(o.overlap.on);
    EXPECT_EQ(o.overlap.levels, std::vector<double>{95});
    EXPECT_EQ(o.overlap.estimator, "fixed-kernel");
    EXPECT_FALSE(o.overlap.cell);
    EXPECT_TRUE(o.txt && !o.tif && !o.gpkg);
    EXPECT_EQ(o.SecondsPerUnit(), 60.0);

    std::vector<std::string> args = Words(
        "t.gpkg --out r --id tag --x lon --y lat --time when --time-unit hours --error-m 12.5 "
        "--crs EPSG:32633 --h 80% --bb-variance 250 --bb-max-time 3 --bb-cell 10 --levels "
        "95,50,75 --formats tif,gpkg --jobs 3 --quiet --resume --compare --overlap "
        "--overlap-levels 100,50 --overlap-estimator adaptive-kernel --overlap-cell 4 "
        "--estimators");
    args.push_back("bb, 2cn,bb,exp-power");
    const CommandLine full = Parse(args);
    ASSERT_TRUE(full.run) << full.text;
    const BatchOptions& f = full.options;
    EXPECT_EQ(f.estimators, (std::vector<std::string>{"bb", "2cn", "exp-power"}));
    EXPECT_EQ(f.h, (SmoothingChoice{SmoothingChoice::Kind::PercentOfHref, 80.0}));
    EXPECT_EQ(f.bb_variance, 250.0);
    EXPECT_EQ(f.bb_max_time, 3.0);
    EXPECT_EQ(f.levels, (std::vector<double>{50, 75, 95}));
    EXPECT_TRUE(!f.txt && f.tif && f.gpkg);
    EXPECT_EQ(f.SecondsPerUnit(), 3600.0);
    EXPECT_EQ(f.error_m, 12.5);
    EXPECT_TRUE(f.quiet && f.compare && f.resume);
    EXPECT_EQ(f.jobs, 3);
    EXPECT_TRUE(f.overlap.on);
    EXPECT_EQ(f.overlap.levels, (std::vector<double>{50, 100}));
    EXPECT_EQ(f.overlap.estimator, "adaptive-kernel");
    EXPECT_EQ(f.overlap.cell, 4.0);

    EXPECT_EQ(ParseSmoothingChoice("cv").value.kind, SmoothingChoice::Kind::CV);
    EXPECT_EQ(ParseSmoothingChoice("lscv").value.kind, SmoothingChoice::Kind::LSCV);
    EXPECT_EQ(ParseSmoothingChoice("125.5").value,
              (SmoothingChoice{SmoothingChoice::Kind::Number, 125.5}));

    const CommandLine help = Parse({"--help"});
    EXPECT_FALSE(help.run);
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_THAT(help.text, HasSubstr("--bb-max-time"));
    EXPECT_THAT(help.text, HasSubstr("--resume"));
    EXPECT_THAT(help.text, HasSubstr("dbbmm"));
    EXPECT_THAT(help.text, HasSubstr("--dbbmm-window"));
    EXPECT_THAT(help.text, HasSubstr("--overlap-cell"));
}

TEST(BatchCommandLine, RefusesWhatItCannotRunWithASentence) {
    using Refused = std::pair<const char*, const char*>;
    for (const auto& [args, says] :
         {Refused{"", "--out is required"},
          Refused{"--estimators kde", "\"kde\" is not one of"},
          Refused{"--h 0", "--h: give href"},
          Refused{"--h -5%", "--h: give href"},
          Refused{"--bb-variance lots", "--bb-variance"},
          Refused{"--bb-max-time -1", "--bb-max-time"},
          Refused{"--bb-cell 0", "--bb-cell"},
          Refused{"--levels 50,101", "\"101\" is not a percentage"},
          Refused{"--formats shp", "\"shp\" is not one of txt, tif, gpkg"},
          Refused{"--crs UTM", "--crs"},
          Refused{"--time-unit days", "--time-unit"},
          Refused{"--source-crs degrees", "--source-crs: give EPSG:4326"},
          Refused{"--source-crs EPSG:", "--source-crs"},
          Refused{"--compare --weight w", "unweighted"},
          Refused{"--dbbmm-window 30", "--dbbmm-window: give an odd number"},
          Refused{"--dbbmm-window 9 --dbbmm-margin 5", "--dbbmm-margin"},
          Refused{"--dbbmm-margin 2", "--dbbmm-margin"},
          Refused{"--overlap-levels 0", "--overlap-levels: \"0\" is not a percentage"},
          Refused{"--overlap-estimator mcp", "--overlap-estimator: give one of fixed-kernel, "
                                             "adaptive-kernel, bvn, 2bvn, 2cn, exp-power, bb, "
                                             "dbbmm, akde, not \"mcp\""},
          Refused{"--overlap-cell -2", "--overlap-cell"}}) {
        const CommandLine line =
            Parse(Words(*args == 0 ? "t.csv" : std::string("t.csv --out r ") + args));
        EXPECT_FALSE(line.run) << says;
        EXPECT_EQ(line.exit_code, 2) << says;
        EXPECT_THAT(line.text, HasSubstr(says));
        EXPECT_THAT(line.text, HasSubstr("--help"));
    }
}

TEST(BatchSummary, QuotesWhatCsvMustAndSortsAnimalsByName) {
    AnimalResult result;
    result.id = "Elk \"7\", north";
    SummaryRow row;
    row.animal = result.id;
    row.estimator = "fixed-kernel";
    row.n_locations = 120;
    row.smoothing_h = 250.125;
    row.level_percent = 95;
    row.area_m2 = 1234567.89;
    row.crs = "EPSG:32611";
    row.left_out = LeftOut{3, 0, 0, 2, 0};
    result.rows.push_back(row);
    row.left_out.reset(); // not loaded
    row.estimator = "bb";
    row.smoothing_h.reset();
    row.bb_variance = 0.5;
    row.area_m2.reset();
    row.error = "No fixes,\nnone at all.";
    result.rows.push_back(row);
    EXPECT_EQ(SummaryLines(result, false),
              "\"Elk \"\"7\"\", north\",fixed-kernel,120,250.125,,95,1234567.89,EPSG:32611,"
              "3,0,0,2,0,,,,,\n"
              "\"Elk \"\"7\"\", north\",bb,120,,0.5,95,,EPSG:32611,,,,,,,,,,\"No fixes,\nnone "
              "at all.\"\n");
    EXPECT_EQ(SummaryHeader(true),
              "animal,estimator,n_locations,smoothing_h,bb_variance,level_percent,area_m2,crs,"
              "skipped_no_coordinates,skipped_no_time,skipped_no_error,skipped_outliers,"
              "skipped_duplicates,neg2lnl,aicc,cvc,area_low_m2,area_high_m2,model,effective_n,"
              "error\n");
    EXPECT_EQ(SummaryText({{"b", "b,1\n"}, {"a", "a,1\na,2\n"}, {"B", "B,1\n"}}, false),
              SummaryHeader(false) + "B,1\na,1\na,2\nb,1\n");
}

// A table of three collars: "A" and "C" sound, "B" with a timestamp no reader takes.
std::string ThreeCollars() {
    std::string table = testing::MovebankCsv(testing::TwoAnimals());
    std::string c;
    for (std::size_t at = table.find("\"A\"\r\n"); at != std::string::npos;
         at = table.find("\"A\"\r\n", at + 1)) {
        const std::size_t start = table.rfind('\n', at) + 1;
        c += table.substr(start, at - start) + "\"C\"\r\n";
    }
    const std::size_t b = table.find("\"B\"\r\n");
    const std::size_t start = table.rfind('\n', b) + 1;
    std::string broken = table.substr(start, b - start + 5);
    broken.replace(broken.find(",2021-06-") + 1, 10, "2021-13-01");
    return table + c + broken;
}

BatchOptions Options(const std::filesystem::path& input, const std::filesystem::path& out) {
    BatchOptions options;
    options.input = input;
    options.out = out;
    options.estimators = {"fixed-kernel", "mcp", "bb"};
    options.error = "gps:error-m";
    options.bb_max_time = 600;
    options.bb_cell = 40;
    options.quiet = true;
    return options;
}

TEST(BatchInput, GroupsRowsByAnimalAndExplainsMissingFields) {
    testing::TempDir dir;
    const auto table = dir.Write("three.csv", ThreeCollars());
    const auto input = OpenBatchInput(Options(table, dir.path()));
    ASSERT_TRUE(input.Ok()) << input.status.error;
    ASSERT_EQ(input.value.animals.size(), 3U);
    EXPECT_EQ(input.value.animals[0].id, "B"); // the table starts with a block of B's rows
    EXPECT_EQ(input.value.animals[0].table.rows.size(), 31U);
    EXPECT_EQ(input.value.animals[1].table.rows.size(), 40U);
    EXPECT_EQ(input.value.animals[2].id, "C");
    EXPECT_TRUE(input.value.fields.geographic);
    const std::vector<std::size_t> order = LargestFirst(input.value);
    EXPECT_EQ(order, (std::vector<std::size_t>{1, 2, 0}));

    BatchOptions missing = Options(table, dir.path());
    missing.weight = "fix-weight";
    EXPECT_EQ(OpenBatchInput(missing).status.error, "three.csv has no field named \"fix-weight\".");
    const auto bare = dir.Write("bare.csv", "e,n\n1,2\n");
    BatchOptions unnamed = Options(bare, dir.path());
    unnamed.error.clear();
    EXPECT_THAT(OpenBatchInput(unnamed).status.error, HasSubstr("name them with --x and --y"));
    BatchOptions bridge = Options(bare, dir.path());
    bridge.error.clear();
    bridge.x = "e";
    bridge.y = "n";
    EXPECT_THAT(OpenBatchInput(bridge).status.error, HasSubstr("name it with --time"));
    bridge.estimators = {"mcp"};
    const auto one = OpenBatchInput(bridge);
    ASSERT_TRUE(one.Ok()) << one.status.error;
    EXPECT_EQ(one.value.animals.at(0).id, "bare"); // no identifier: one animal named after the file
}

TEST(BatchRun, ABrokenAnimalGetsItsSentenceWhileTheOthersComplete) {
    testing::TempDir dir;
    const auto table = dir.Write("three.csv", ThreeCollars());
    const BatchOptions options = Options(table, dir.path() / "one");
    const auto input = OpenBatchInput(options);
    ASSERT_TRUE(input.Ok());
    std::atomic<bool> stop{false};
    TerminalProgress progress(3, true);
    const BatchOutcome one =
        RunAnimals(input.value, LargestFirst(input.value), options, 1, stop, progress);
    EXPECT_EQ(one.failed, 1);
    EXPECT_TRUE(one.undone.empty());
    const std::string summary = SummaryText(one.lines, false);
    EXPECT_THAT(summary, HasSubstr("B,bb,0,,,,,,,,,,,,,,,\"three.csv, line "));
    EXPECT_THAT(summary, HasSubstr("the time \"\"2021-13-01"));
    // B's independent estimators need no time; its Brownian bridge alone fails.
    EXPECT_THAT(summary, HasSubstr("B,fixed-kernel,26,"));
    for (const char* animal : {"A", "B", "C"}) {
        EXPECT_TRUE(std::filesystem::exists(dir.path() / "one" / animal / "FixedKernel.txt"));
    }
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "one" / "A" / "BrownianBridge.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "one" / "B" / "BrownianBridge.txt"));
    // A and C hold the same fixes, so the same results.
    EXPECT_EQ(dir.Read("one/A/BrownianBridge.txt"), dir.Read("one/C/BrownianBridge.txt"));
    // Each folder's record holds the run's fingerprints, the animal's lines and whether it failed.
    for (const auto& [animal, lines] : one.lines) {
        const auto record = ParseRecord(dir.Read("one/" + animal + "/" + std::string(kRecordName)));
        ASSERT_TRUE(record) << animal;
        EXPECT_EQ(record->options, OptionsFingerprint(options, input.value.fields));
        EXPECT_EQ(record->lines, lines);
        EXPECT_EQ(record->failed, animal == "B");
    }

    // Two animals at once give what one at a time gave.
    BatchOptions two = options;
    two.out = dir.path() / "two";
    const BatchOutcome both =
        RunAnimals(input.value, LargestFirst(input.value), two, 2, stop, progress);
    EXPECT_EQ(SummaryText(both.lines, false), summary);
    for (const char* file : {"A/FixedKernel.txt", "B/FixedKernel.txt", "C/BrownianBridge.txt"}) {
        EXPECT_EQ(dir.Read(std::string("two/") + file), dir.Read(std::string("one/") + file));
    }

    // The program says so in its exit code.
    EXPECT_EQ(RunBatch(table.string() + " --out " + (dir.path() / "cli").string() +
                           " --estimators fixed-kernel,bb --error gps:error-m --quiet",
                       dir.path() / "cli.log"),
              1);
    EXPECT_THAT(dir.Read("cli/summary.csv"), StartsWith(SummaryHeader(false) + "A,bb,40,"));
}

TEST(BatchRun, AStoppedAnimalLeavesNoFolderAndMcpAreasComeFromTheHull) {
    testing::TempDir dir;
    const auto table = dir.Write("two.csv", testing::MovebankCsv(testing::TwoAnimals()));
    BatchOptions options = Options(table, dir.path());
    options.estimators = {"fixed-kernel", "mcp"};
    options.levels = {100};
    const auto input = OpenBatchInput(options);
    ASSERT_TRUE(input.Ok());
    RunControl stopped;
    stopped.progress = [](double) { return false; };
    const AnimalResult cancelled = RunAnimal(input.value, 0, options, stopped, quiet);
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_TRUE(cancelled.rows.empty());
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        left.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{"two.csv"});
    // What a killed run leaves half written goes at the start of the next; finished folders stay.
    std::filesystem::create_directories(dir.path() / ".A.partial-999" / "inner");
    std::filesystem::create_directories(dir.path() / "B");
    (void)dir.Write("summary.csv.partial-12", "animal");
    RemovePartialFolders(dir.path());
    EXPECT_FALSE(std::filesystem::exists(dir.path() / ".A.partial-999"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "summary.csv.partial-12"));
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "B"));
    EXPECT_EQ(AnimalFolderName(".hidden/x y"), "_.hidden_x_y");
    EXPECT_EQ(AnimalFolderName(".."), "_..");
    EXPECT_EQ(AnimalFolderName("élan-3"), "élan-3");
    std::filesystem::remove(dir.path() / "B");

    const AnimalResult done = RunAnimal(input.value, 1, options, RunControl{}, quiet);
    ASSERT_FALSE(done.failed);
    ASSERT_EQ(done.rows.size(), 2U);
    EXPECT_EQ(done.rows[1].estimator, "mcp");
    // The hull of every fix of A, projected as the loader projects them.
    TelemetryFields fields = input.value.fields;
    fields.animal.clear();
    fields.time.clear();
    fields.error.clear();
    const auto split = SplitTelemetry(input.value.animals[1].table, fields);
    ASSERT_TRUE(split.Ok());
    const Matrix& fixes = split.value.animals[0].fixes;
    Matrix xy(fixes.Rows() + 1, 3);
    for (std::int32_t i = 0; i < fixes.Rows(); ++i) {
        xy(i, 0) = fixes(i, 0);
        xy(i, 1) = fixes(i, 1);
    }
    const auto hull = CalcMcp(xy, fixes.Rows(), 100);
    ASSERT_TRUE(hull.Ok());
    EXPECT_EQ(*done.rows[1].area_m2, RoundHalfEven(hull.value.area, 2));
    EXPECT_EQ(done.rows[1].n_locations, 40);
    EXPECT_LT(*done.rows[1].area_m2, *done.rows[0].area_m2);
}

// Runs every animal of `options` on one thread; the summary, or the sentence that stopped the
// whole run.
std::string RunAll(const BatchOptions& options) {
    const auto input = OpenBatchInput(options);
    if (!input.Ok()) {
        return input.status.error;
    }
    std::atomic<bool> stop{false};
    TerminalProgress progress(input.value.animals.size(), true);
    const BatchOutcome outcome =
        RunAnimals(input.value, LargestFirst(input.value), options, 1, stop, progress);
    return SummaryText(outcome.lines, false);
}

// Options for real exports: the MCP and the Brownian bridge, one error for every fix, and no
// field named.
BatchOptions ExportOptions(const std::filesystem::path& input, const std::filesystem::path& out) {
    BatchOptions options = Options(input, out);
    options.error.clear();
    options.error_m = 10.0;
    options.estimators = {"mcp", "bb"};
    return options;
}

TEST(BatchExports, OutlierRowsAreLeftOutAndCountedUnlessKept) {
    testing::TempDir dir;
    // Every fifth row of the table is hidden, every seventh marked as an outlier.
    const std::string table = testing::MovebankCsv(testing::TwoAnimals());
    std::string flagged;
    int row = -1;
    int hidden = 0;
    for (std::size_t start = 0, end; (end = table.find('\n', start)) != std::string::npos;
         start = end + 1, ++row) {
        const std::string line = table.substr(start, end - start + 1);
        if (row < 0) {
            flagged += "visible,manually-marked-outlier," + line;
            continue;
        }
        const bool out = row % 5 == 2 || row % 7 == 3;
        const bool failed = line.find(",,") != std::string::npos;
        hidden += out && !failed && line.find("\"A\"") != std::string::npos ? 1 : 0;
        flagged +=
            std::string(row % 5 == 2 ? "FALSE," : "true,") + (row % 7 == 3 ? "1," : ",") + line;
    }
    const auto path = dir.Write("flagged.csv", flagged);
    const std::string left_out = RunAll(ExportOptions(path, dir.path() / "left"));
    ASSERT_GT(hidden, 0);
    EXPECT_THAT(left_out, HasSubstr("A,mcp," + std::to_string(40 - hidden) + ",,,50,"));
    EXPECT_THAT(left_out, HasSubstr(",0,0,0," + std::to_string(hidden) + ",0,,,,,\n"));

    BatchOptions keep = ExportOptions(path, dir.path() / "kept");
    keep.keep_outliers = true;
    const std::string kept = RunAll(keep);
    EXPECT_THAT(kept, HasSubstr("A,mcp,40,,,50,"));
    EXPECT_THAT(kept, Not(HasSubstr(std::to_string(hidden) + ",0,\n")));
    EXPECT_TRUE(Parse({"t.csv", "--out", "r", "--keep-outliers"}).options.keep_outliers);

    // The end of the run says what was left out.
    EXPECT_EQ(
        RunBatch(path.string() + " --out " + (dir.path() / "cli").string() + " --estimators mcp",
                 dir.path() / "said.txt"),
        0);
    EXPECT_THAT(dir.Read("said.txt"), HasSubstr("fixes marked as outliers were left out."));
    EXPECT_THAT(dir.Read("said.txt"),
                HasSubstr("rows without coordinates (failed fixes) were left out."));
}

// Two animals' fixes in longitude/latitude under names that say nothing of their system.
std::string UnnamedDegrees(const std::vector<testing::TableRow>& rows) {
    std::string text = "id,px,py,tag\n";
    int id = 1;
    for (const testing::TableRow& row : rows) {
        if (!row.lon.empty()) {
            text += std::to_string(id++) + "," + row.lon + "," + row.lat + "," + row.animal + "\n";
        }
    }
    return text;
}

TEST(BatchExports, CoordinatesThatMayBeDegreesAreRefusedUntilTheUserSaysWhich) {
    testing::TempDir dir;
    const auto rows = testing::TwoAnimals();
    const auto degrees = dir.Write("unnamed.csv", UnnamedDegrees(rows));
    BatchOptions options = ExportOptions(degrees, dir.path() / "asked");
    options.estimators = {"fixed-kernel", "mcp"};
    options.x = "px";
    options.y = "py";
    options.id = "tag";
    const std::string asked = RunAll(options);
    EXPECT_THAT(asked,
                HasSubstr("A,fixed-kernel,0,,,,,,,,,,,,,,,\"Animal \"\"A\"\": every fix lies "
                          "within -180..180 and -90..90"));
    EXPECT_THAT(asked, HasSubstr("Say which: --source-crs EPSG:4326 for longitude/latitude, "
                                 "--source-crs metres for coordinates already in metres"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "asked" / "A" / "FixedKernel.txt"));

    // Answered as longitude/latitude, they give what the Movebank names give.
    options.source_crs = "EPSG:4326";
    options.out = dir.path() / "degrees";
    const std::string projected = RunAll(options);
    BatchOptions movebank =
        ExportOptions(dir.Write("study.csv", testing::MovebankCsv(rows)), dir.path() / "named");
    movebank.estimators = options.estimators;
    const std::string named = RunAll(movebank);
    const auto without_skips = [](std::string summary) {
        // The Movebank table also holds B's failed fixes, which the other never had.
        for (std::size_t at; (at = summary.find(",5,0,0,0,0,")) != std::string::npos;) {
            summary.replace(at, 11, ",0,0,0,0,0,");
        }
        return summary;
    };
    EXPECT_EQ(projected, without_skips(named));
    EXPECT_THAT(projected, HasSubstr(",EPSG:32611,"));

    // Answered as metres, they are taken as they are: no estimate is made in degrees unless
    // the user says they are metres, and the area is never written as 0.
    options.source_crs = "metres";
    options.out = dir.path() / "metres";
    const std::string metres = RunAll(options);
    EXPECT_THAT(metres, HasSubstr("A,mcp,40,,,95,"));
    EXPECT_THAT(metres, Not(HasSubstr(",0,,0,0,0,0,0,"))); // an area of 0 with no crs

    // Degrees cannot be projected to a system in degrees.
    options.source_crs.clear();
    options.out = dir.path() / "geographic";
    BatchOptions to_degrees = movebank;
    to_degrees.crs = "EPSG:4326";
    to_degrees.out = dir.path() / "to_degrees";
    EXPECT_THAT(RunAll(to_degrees), HasSubstr("EPSG:4326 is not a projected coordinate system"));
}

TEST(BatchExports, AMetreGridThatFitsLongitudeLatitudeRunsAsMetresOnceAnswered) {
    testing::TempDir dir;
    // A local grid of 60 by 40 metres: every value fits longitude/latitude too.
    std::string table = "x,y\n";
    for (int i = 0; i < 30; ++i) {
        table += std::to_string((i * 37) % 60) + "," + std::to_string((i * 23) % 40) + "\n";
    }
    const auto path = dir.Write("grid.csv", table);
    BatchOptions options = ExportOptions(path, dir.path() / "asked");
    options.estimators = {"mcp"};
    options.levels = {100};
    EXPECT_THAT(RunAll(options), HasSubstr("Say which: --source-crs EPSG:4326"));
    options.source_crs = "metres";
    options.out = dir.path() / "metres";
    // The hull of the grid's points, by hand: (0, 0), (57, 3), (56, 24), (43, 37), (2, 38), whose
    // shoelace sum is 3800, so 1900 square metres.
    const std::string metres = RunAll(options);
    EXPECT_THAT(metres, HasSubstr("grid,mcp,30,,,100,1900,"));
    EXPECT_THAT(metres, HasSubstr(",,0,0,0,0,0,,,,,\n")); // no crs, nothing left out
    options.source_crs = "EPSG:32611";
    options.out = dir.path() / "utm";
    EXPECT_THAT(RunAll(options), HasSubstr(",EPSG:32611,0,0,0,0,0,,,,,\n"));
    options.source_crs = "EPSG:2227";
    EXPECT_THAT(RunAll(options), HasSubstr("--source-crs: EPSG:2227 is in"));
}

TEST(BatchRecord, ReadsBackWhatItWroteAndRefusesAnythingElse) {
    const RunRecord record{"0123456789abcdef", "fedcba9876543210", true,
                           "A,bb,0,,,,,,\"No fixes,\nnone at all.\"\nA,mcp,40,,,95,12.5,,\n"};
    const std::string text = RecordText(record);
    EXPECT_EQ(text, "ranvik-run 1\noptions 0123456789abcdef\ninput fedcba9876543210\n"
                    "failed yes\nlines 58\n" +
                        record.lines);
    EXPECT_EQ(ParseRecord(text), record);
    const auto with = [&text](std::string_view from, std::string_view to) {
        std::string changed = text;
        changed.replace(changed.find(from), from.size(), to);
        return changed;
    };
    const std::string damaged[] = {
        "",
        text.substr(0, text.size() - 1),
        text + "\n",
        with("ranvik-run 1", "ranvik-run 2"),
        with("options 0123456789abcdef", "options 0123456789ABCDEF"),
        with("input fedcba9876543210", "input fedcba987654321"),
        with("failed yes", "failed maybe"),
        with("lines 58", "lines 6x"),
        with("lines 58", "lines "),
        with("\ninput", "\nlines 0\ninput"),
    };
    for (const std::string& bad : damaged) {
        EXPECT_FALSE(ParseRecord(bad)) << bad;
    }
}

TEST(BatchRecord, FingerprintsFollowWhatShapesTheResultsAndNothingElse) {
    testing::TempDir dir;
    const auto table = dir.Write("three.csv", ThreeCollars());
    const BatchOptions base = Options(table, dir.path());
    const auto input = OpenBatchInput(base);
    ASSERT_TRUE(input.Ok());
    const TelemetryFields& fields = input.value.fields;
    const std::string same = OptionsFingerprint(base, fields);
    EXPECT_EQ(same.size(), 16U);

    BatchOptions elsewhere = base;
    elsewhere.input = dir.path() / "copy" / "three.csv";
    elsewhere.out = "other";
    elsewhere.jobs = 7;
    elsewhere.quiet = !base.quiet;
    elsewhere.resume = !base.resume;
    EXPECT_EQ(OptionsFingerprint(elsewhere, fields), same);

    // Texts are assigned as whole strings: GCC 12 at -O3 warns falsely (-Wrestrict) on a literal
    // assigned inside these lambdas.
    const std::vector<void (*)(BatchOptions&)> changes = {
        [](BatchOptions& o) { o.input = "four.csv"; },
        [](BatchOptions& o) { o.id = std::string("tag"); },
        [](BatchOptions& o) { o.x = std::string("e"); },
        [](BatchOptions& o) { o.y = std::string("n"); },
        [](BatchOptions& o) { o.time = std::string("when"); },
        [](BatchOptions& o) { o.error = std::string("err"); },
        [](BatchOptions& o) { o.weight = std::string("w"); },
        [](BatchOptions& o) { o.error_m = 0.0; },
        [](BatchOptions& o) { o.crs = std::string("EPSG:32611"); },
        [](BatchOptions& o) { o.source_crs = std::string("metres"); },
        [](BatchOptions& o) { o.keep_outliers = true; },
        [](BatchOptions& o) { o.time_unit = std::string("hours"); },
        [](BatchOptions& o) {
            o.estimators = std::vector<std::string>{"mcp", "fixed-kernel"};
        },
        [](BatchOptions& o) { o.compare = true; },
        [](BatchOptions& o) {
            o.h = SmoothingChoice{SmoothingChoice::Kind::PercentOfHref, 80};
        },
        [](BatchOptions& o) { o.bb_variance = 250.0; },
        [](BatchOptions& o) { o.bb_max_time.reset(); },
        [](BatchOptions& o) { o.bb_cell = 40.5; },
        [](BatchOptions& o) { o.dbbmm.window = 21; },
        [](BatchOptions& o) { o.dbbmm.margin = 5; },
        [](BatchOptions& o) {
            o.levels = std::vector<double>{50, 95, 99};
        },
        [](BatchOptions& o) { o.tif = true; },
        [](BatchOptions& o) { o.gpkg = true; },
    };
    std::vector<std::string> seen{same};
    for (std::size_t k = 0; k < changes.size(); ++k) {
        BatchOptions changed = base;
        changes[k](changed);
        seen.push_back(OptionsFingerprint(changed, fields));
        EXPECT_NE(seen.back(), same) << "change " << k;
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end());
    TelemetryFields projected = fields;
    projected.target_epsg = 32611;
    EXPECT_NE(OptionsFingerprint(base, projected), same);

    // A row's field or line changes its animal's input fingerprint, and only its animal's.
    BatchInput edited = input.value;
    edited.animals[0].table.rows[3][2] += "1";
    EXPECT_NE(InputFingerprint(edited, 0), InputFingerprint(input.value, 0));
    EXPECT_EQ(InputFingerprint(edited, 1), InputFingerprint(input.value, 1));
    BatchInput moved = input.value;
    moved.animals[0].table.lines[3] += 1;
    EXPECT_NE(InputFingerprint(moved, 0), InputFingerprint(input.value, 0));
    // Rows of equal text but differently split between fields read differently.
    BatchInput resplit = input.value;
    auto& row = resplit.animals[0].table.rows[3];
    row[1] += row[2];
    row[2].clear();
    EXPECT_NE(InputFingerprint(resplit, 0), InputFingerprint(input.value, 0));
}

// Progress that keeps which animals were computed and which resumed, and sets `stop` once
// `stop_after` animals have been computed.
class KeptProgress final : public BatchProgress {
public:
    explicit KeptProgress(std::atomic<bool>& stop, std::size_t stop_after = 0)
        : stop_(stop), stop_after_(stop_after) {}

    void Step(const std::string&, std::string_view) override {}
    void Done(const std::string& animal, bool) override {
        const std::lock_guard lock(mutex_);
        computed.push_back(animal);
        if (computed.size() == stop_after_) {
            stop_.store(true);
        }
    }
    void Resumed(const std::string& animal, bool) override {
        const std::lock_guard lock(mutex_);
        resumed.push_back(animal);
    }

    std::vector<std::string> computed, resumed;

private:
    std::mutex mutex_;
    std::atomic<bool>& stop_;
    std::size_t stop_after_;
};

// What a run of every animal did with them.
struct Ran {
    std::vector<std::string> computed, resumed;
    int failed = 0;
};

Ran RunEveryAnimal(const BatchOptions& options, int jobs) {
    const auto input = OpenBatchInput(options);
    EXPECT_TRUE(input.Ok()) << input.status.error;
    std::atomic<bool> stop{false};
    KeptProgress progress(stop);
    const BatchOutcome outcome =
        RunAnimals(input.value, LargestFirst(input.value), options, jobs, stop, progress);
    EXPECT_TRUE(outcome.undone.empty());
    return {progress.computed, progress.resumed, outcome.failed};
}

// Every file under `folder` (hidden ones too), by its path there, with its content.
std::map<std::string, std::string> FilesUnder(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            std::ifstream in(entry.path(), std::ios::binary);
            files[std::filesystem::relative(entry.path(), folder).string()] = {
                std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        }
    }
    return files;
}

void ExpectSameFiles(const std::filesystem::path& one, const std::filesystem::path& other) {
    const auto a = FilesUnder(one);
    const auto b = FilesUnder(other);
    ASSERT_EQ(a.size(), b.size());
    for (const auto& [name, content] : a) {
        ASSERT_TRUE(b.contains(name)) << name;
        EXPECT_TRUE(content == b.at(name)) << name << " differs";
    }
}

// The inode of a file: a folder put in place afresh holds new ones.
ino_t Inode(const std::filesystem::path& file) {
    struct stat info {};
    return stat(file.c_str(), &info) == 0 ? info.st_ino : 0;
}

// Options() as the command line gives them.
constexpr const char* kOptionsArgs =
    " --estimators fixed-kernel,mcp,bb --error gps:error-m --bb-max-time 600 --bb-cell 40";

TEST(BatchResume, AStoppedRunResumedGivesTheFilesAndSummaryOfOneUninterruptedRun) {
    testing::TempDir dir;
    const auto table = dir.Write("three.csv", ThreeCollars());
    const auto whole = dir.path() / "whole";
    const auto resumed = dir.path() / "resumed";
    ASSERT_EQ(RunBatch(table.string() + " --out " + whole.string() + kOptionsArgs + " --quiet",
                       dir.path() / "whole.log"),
              1) // B's Brownian bridge fails
        << dir.Read("whole.log");

    // Stopped once two animals are done (one at a time: A and C, then B), as a job killed then
    // leaves it: their folders whole, and a summary that lists them and marks B not done.
    const BatchOptions options = Options(table, resumed);
    const auto input = OpenBatchInput(options);
    ASSERT_TRUE(input.Ok());
    std::atomic<bool> stop{false};
    KeptProgress stopping(stop, 2);
    const BatchOutcome stopped =
        RunAnimals(input.value, LargestFirst(input.value), options, 1, stop, stopping);
    EXPECT_EQ(stopping.computed, (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(stopped.undone, std::vector<std::string>{"B"});
    EXPECT_FALSE(std::filesystem::exists(resumed / "B"));
    std::string listed = SummaryHeader(false);
    std::istringstream lines(dir.Read("whole/summary.csv"));
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("A,") || line.starts_with("C,")) {
            listed += line + "\n";
        }
    }
    listed += UndoneLines({"B"}, false);
    EXPECT_THAT(listed, HasSubstr("B,,0,,,,,,,,,,,,,,,Not done: the run was stopped"));
    EXPECT_EQ(dir.Read("resumed/summary.csv"), listed);

    // Resumed on the command line, only B is computed; A and C keep their files.
    const ino_t a_kernel = Inode(resumed / "A" / "FixedKernel.txt");
    const ino_t c_bridge = Inode(resumed / "C" / "BrownianBridge.txt");
    ASSERT_NE(a_kernel, 0U);
    EXPECT_EQ(RunBatch(table.string() + " --out " + resumed.string() + kOptionsArgs + " --resume",
                       dir.path() / "resumed.log"),
              1);
    const std::string said = dir.Read("resumed.log");
    EXPECT_THAT(said, HasSubstr("A resumed from its folder"));
    EXPECT_THAT(said, HasSubstr("C resumed from its folder"));
    EXPECT_THAT(said, HasSubstr("B done, with errors"));
    EXPECT_EQ(Inode(resumed / "A" / "FixedKernel.txt"), a_kernel);
    EXPECT_EQ(Inode(resumed / "C" / "BrownianBridge.txt"), c_bridge);
    EXPECT_TRUE(std::filesystem::exists(resumed / "B" / kRecordName));
    ExpectSameFiles(whole, resumed);
}

TEST(BatchResume, ChangedOptionsComputeEveryAnimalAgainAndAnEditedRowOnlyItsAnimal) {
    testing::TempDir dir;
    const auto table = dir.Write("three.csv", ThreeCollars());
    BatchOptions options = Options(table, dir.path() / "out");
    const Ran first = RunEveryAnimal(options, 2);
    EXPECT_THAT(first.computed, UnorderedElementsAre("A", "B", "C"));
    const std::string summary = dir.Read("out/summary.csv");

    // Without --resume every animal is computed, finished folders or not.
    EXPECT_THAT(RunEveryAnimal(options, 2).computed, UnorderedElementsAre("A", "B", "C"));
    options.resume = true;
    const Ran again = RunEveryAnimal(options, 2);
    EXPECT_TRUE(again.computed.empty());
    EXPECT_THAT(again.resumed, UnorderedElementsAre("A", "B", "C"));
    EXPECT_EQ(again.failed, 1); // B's record says it failed
    EXPECT_EQ(dir.Read("out/summary.csv"), summary);

    options.levels = {50, 75, 95};
    const Ran levels = RunEveryAnimal(options, 2);
    EXPECT_THAT(levels.computed, UnorderedElementsAre("A", "B", "C"));
    EXPECT_TRUE(levels.resumed.empty());
    EXPECT_THAT(dir.Read("out/summary.csv"), HasSubstr("\nA,mcp,40,,,75,"));

    // A and C held the same fixes; one of A's latitudes moves.
    EXPECT_EQ(dir.Read("out/A/FixedKernel.txt"), dir.Read("out/C/FixedKernel.txt"));
    std::string text = ThreeCollars();
    const std::size_t row = text.find("\"A\"\r\n");
    const std::size_t latitude = text.rfind(",49.", row) + 4;
    text[latitude] = text[latitude] == '0' ? '1' : '0';
    (void)dir.Write("three.csv", text);
    const Ran edited = RunEveryAnimal(options, 1);
    EXPECT_EQ(edited.computed, std::vector<std::string>{"A"});
    EXPECT_THAT(edited.resumed, UnorderedElementsAre("B", "C"));
    EXPECT_EQ(edited.failed, 1);
    EXPECT_NE(dir.Read("out/A/FixedKernel.txt"), dir.Read("out/C/FixedKernel.txt"));
}

TEST(BatchResume, AFolderWithoutARecordOrWithAnUnreadableOneIsComputedAgain) {
    testing::TempDir dir;
    const auto table = dir.Write("three.csv", ThreeCollars());
    BatchOptions options = Options(table, dir.path() / "out");
    options.resume = true;
    (void)RunEveryAnimal(options, 1);
    const auto before = FilesUnder(options.out);

    std::filesystem::remove(options.out / "A" / kRecordName);
    const std::string record = dir.Read("out/C/.ranvik-run");
    (void)dir.Write("out/C/.ranvik-run", record.substr(0, record.size() / 2));
    (void)dir.Write("out/C/stray.txt", "left by hand");
    const Ran after = RunEveryAnimal(options, 1);
    EXPECT_EQ(after.computed, (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(after.resumed, std::vector<std::string>{"B"});
    EXPECT_TRUE(FilesUnder(options.out) == before); // the records written afresh, the stray gone
}

TEST(BatchRun, TheDynamicBridgeWritesItsGridItsMotionVarianceAndItsAreas) {
    testing::TempDir dir;
    const auto table = dir.Write("three.csv", ThreeCollars());
    BatchOptions options = Options(table, dir.path() / "out");
    options.estimators = {"dbbmm"};
    options.dbbmm = {7, 3}; // each window gives its segments 3 and 4 a variance
    std::filesystem::create_directories(options.out);
    const auto input = OpenBatchInput(options);
    ASSERT_TRUE(input.Ok()) << input.status.error;
    std::atomic<bool> stop{false};
    TerminalProgress progress(3, true);
    (void)RunAnimals(input.value, LargestFirst(input.value), options, 1, stop, progress);
    const std::string summary = dir.Read("out/summary.csv");
    EXPECT_THAT(summary, HasSubstr("A,dbbmm,"));
    const std::string motion = dir.Read("out/A/MotionVariance.csv");
    EXPECT_TRUE(motion.starts_with("time,x,y,motion_variance,windows,break\n"));
    // One line per fix; no window reaches the first two segments, the last fix starts none.
    std::istringstream lines(motion);
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);) {
        rows.push_back(line);
    }
    ASSERT_GT(rows.size(), 8U);
    EXPECT_THAT(rows[1], ::testing::EndsWith(",,0,0"));
    EXPECT_THAT(rows.back(), ::testing::EndsWith(",,0,0"));
    EXPECT_THAT(rows[2], ::testing::EndsWith(",,0,0"));
    EXPECT_THAT(rows[3], ::testing::Not(::testing::EndsWith(",,0,0")));
    std::istringstream grid(dir.Read("out/A/DynamicBrownianBridge.txt"));
    double mass = 0.0;
    std::string line;
    std::getline(grid, line); // X,Y,Probability
    while (std::getline(grid, line)) {
        mass += std::stod(line.substr(line.rfind(',') + 1));
    }
    EXPECT_NEAR(mass, 1.0, 1e-6); // the automatic extent holds it; the file rounds to 9 decimals
}

// "R" stays in its range (positions forget themselves over 12 hours, 600 hourly fixes over 25
// days); "W" walks away by Brownian steps for 60 hours and has not yet crossed a range.
std::vector<testing::TableRow> ResidentAndWanderer() {
    std::vector<testing::TableRow> rows;
    std::mt19937_64 random(9);
    std::normal_distribution<double> unit(0.0, 1.0);
    // Metres to degrees near 49 N: 111,320 m per degree of latitude, 73,000 of longitude.
    const auto put = [&rows](const char* animal, long seconds, double east, double north) {
        rows.push_back({animal, seconds, testing::Degrees(-115.5 + east / 73000.0),
                        testing::Degrees(49.0 + north / 111320.0), 10.0});
    };
    double x = 0.0;
    double y = 0.0;
    const double phi = std::exp(-60.0 / 720.0);
    for (long k = 0; k < 600; ++k) {
        x = phi * x + 500.0 * std::sqrt(1 - phi * phi) * unit(random);
        y = phi * y + 500.0 * std::sqrt(1 - phi * phi) * unit(random);
        put("R", k * 3600, x, y);
    }
    x = y = 0.0;
    for (long k = 0; k < 60; ++k) {
        x += 300.0 * unit(random) + 200.0;
        y += 300.0 * unit(random);
        put("W", k * 3600, x, y);
    }
    return rows;
}

TEST(BatchRun, TheAutocorrelatedKernelGivesAreasWithIntervalsAndRefusesAWandererButKeepsItsFit) {
    testing::TempDir dir;
    const auto table = dir.Write("rw.csv", testing::MovebankCsv(ResidentAndWanderer()));
    BatchOptions options = Options(table, dir.path() / "out");
    options.estimators = {"akde"};
    options.levels = {95};
    std::filesystem::create_directories(options.out);
    const auto input = OpenBatchInput(options);
    ASSERT_TRUE(input.Ok()) << input.status.error;
    std::atomic<bool> stop{false};
    TerminalProgress progress(2, true);
    const auto outcome =
        RunAnimals(input.value, LargestFirst(input.value), options, 1, stop, progress);
    const std::string summary = SummaryText(outcome.lines, false);
    std::istringstream lines(summary);
    std::string line;
    std::getline(lines, line);
    EXPECT_THAT(line, ::testing::EndsWith(",area_low_m2,area_high_m2,model,effective_n,error"));
    std::getline(lines, line); // R,akde,600,,,95,area,crs,0,0,0,0,0,low,high,model,nu,
    const auto cells = testing::CommaFields(line, 18);
    EXPECT_EQ(cells[0] + cells[1], "Rakde");
    const double area = std::stod(cells[6]);
    // sigma = 500 m: the 95 % range of the Gaussian is -2 ln 0.05 pi 500^2 = 4.7 km^2.
    EXPECT_NEAR(area, 4.7e6, 1.5e6);
    EXPECT_LT(std::stod(cells[13]), area);
    EXPECT_GT(std::stod(cells[14]), area);
    EXPECT_THAT(cells[15], HasSubstr("OU"));
    EXPECT_GT(std::stod(cells[16]), 10.0);
    EXPECT_TRUE(cells[17].empty());
    std::getline(lines, line);
    EXPECT_THAT(line, ::testing::StartsWith("W,akde,60,"));
    EXPECT_THAT(line, HasSubstr("not range-resident"));
    for (const char* file :
         {"R/AKDE.txt", "R/Models.csv", "R/Variogram.csv", "W/Models.csv", "W/Variogram.csv"}) {
        EXPECT_TRUE(std::filesystem::exists(dir.path() / "out" / file)) << file;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out/W/AKDE.txt"));
    const std::string models = dir.Read("out/R/Models.csv");
    EXPECT_EQ(std::count(models.begin(), models.end(), '\n'), 7); // the header and six models
}

TEST(BatchRun, TheGeoPackageOfMcpsHoldsAPolygonForEveryLevelTheSummaryGivesAnAreaFor) {
    testing::TempDir dir;
    const auto table = dir.Write("two.csv", testing::MovebankCsv(testing::TwoAnimals()));
    BatchOptions options = Options(table, dir.path());
    options.estimators = {"fixed-kernel", "mcp"};
    // At 1 % of A's 40 locations, h = 39 * 0.01 = 0.39 keeps the nearest alone: that level's row
    // carries the sentence and the file leaves it out.
    options.levels = {50, 95, 1};
    options.txt = false;
    options.gpkg = true;
    const auto input = OpenBatchInput(options);
    ASSERT_TRUE(input.Ok()) << input.status.error;
    const AnimalResult done = RunAnimal(input.value, 1, options, RunControl{}, quiet);
    ASSERT_EQ(done.id, "A");
    std::map<double, double> summary; // level -> area of the MCP rows
    std::vector<std::string> refused;
    for (const SummaryRow& row : done.rows) {
        if (row.estimator == "mcp" && row.error.empty()) {
            summary[*row.level_percent] = *row.area_m2;
        } else if (row.estimator == "mcp") {
            refused.push_back(row.error);
        }
    }
    EXPECT_EQ(summary.size(), 2U);
    EXPECT_EQ(refused, std::vector<std::string>{"The 1 % minimum convex polygon needs at least "
                                                "three locations that are not on one line."});
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "A" / "FixedKernel.gpkg"));

    const auto path = dir.path() / "A" / "Mcp.gpkg";
    const std::unique_ptr<GDALDataset> file(
        GDALDataset::Open(path.string().c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    ASSERT_TRUE(file) << path;
    ASSERT_EQ(file->GetLayerCount(), 1);
    OGRLayer* layer = file->GetLayer(0);
    EXPECT_STREQ(layer->GetName(), "Mcp");
    const OGRSpatialReference* srs = layer->GetSpatialRef();
    ASSERT_NE(srs, nullptr);
    EXPECT_TRUE(srs->IsProjected()) << "the UTM zone the fixes were projected to";
    // OGR's shoelace runs over UTM coordinates of millions of metres, where the products of
    // coordinates carry absolute errors near 1e-3 m^2: about 1e-9 of these areas.
    constexpr double kShoelaceFarOut = 1e-8;
    std::map<double, double> written;
    for (const auto& feature : *layer) {
        const OGRGeometry* geometry = feature->GetGeometryRef();
        ASSERT_NE(geometry, nullptr);
        ASSERT_EQ(wkbFlatten(geometry->getGeometryType()), wkbPolygon);
        const double area = feature->GetFieldAsDouble("Area");
        EXPECT_NEAR(geometry->toPolygon()->get_Area(), area, kShoelaceFarOut * area);
        written[feature->GetFieldAsDouble("Level")] = RoundHalfEven(area, 2);
    }
    EXPECT_EQ(written, summary);
}

// A made-up estimator: ten by ten cells of 100 m from the first location, the first column of
// ten cells holding 40 % of the probability and the other ninety cells the rest evenly.
EstimatorRow FlatEstimator() {
    EstimatorRow flat;
    flat.name = "flat";
    flat.display_name = "Flat";
    flat.key = "Flat";
    flat.weighted_key = "WeightedFlat";
    flat.weighted = true;
    flat.compute = [](const EstimatorInput& in, EstimatorChain&, Notifier&,
                      const RunControl&) -> StatusOr<EstimatorOutput> {
        Matrix grid(101, 4);
        for (std::int32_t i = 0; i < 10; ++i) {
            for (std::int32_t j = 0; j < 10; ++j) {
                grid(10 * i + j, 0) = std::round(in.xy(0, 0)) + 100.0 * i;
                grid(10 * i + j, 1) = std::round(in.xy(0, 1)) + 100.0 * j;
                grid(10 * i + j, 2) = i == 0 ? 0.04 : 0.6 / 90;
            }
        }
        return EstimatorOutput{std::move(grid), std::nullopt, {}};
    };
    return flat;
}

// Locations wandering around (cx, cy).
std::vector<std::pair<double, double>> Wandering(double cx, double cy, int n) {
    std::vector<std::pair<double, double>> points;
    for (int k = 0; k < n; ++k) {
        points.emplace_back(cx + 400 * std::sin(k * 2.3), cy + 300 * std::cos(k * 1.7));
    }
    return points;
}

// Three animals in metres: A and B wander around centres 300 m apart, C 50 km away.
std::string ThreeNeighbours() {
    std::string table = "animal,x,y\n";
    for (const auto& [animal, points] : {std::pair{"A", Wandering(500000, 5400000, 40)},
                                         std::pair{"B", Wandering(500300, 5400100, 35)},
                                         std::pair{"C", Wandering(550000, 5400000, 30)}}) {
        for (const auto& [x, y] : points) {
            table += std::string(animal) + "," + FormatNumber(x) + "," + FormatNumber(y) + "\n";
        }
    }
    return table;
}

// The rows of an overlap.csv by "A,B,level": HR, PHR, VI, BA and UDOI; every row names
// `estimator`.
std::map<std::string, std::vector<double>> OverlapRows(const std::string& text,
                                                       const std::string& estimator) {
    std::map<std::string, std::vector<double>> rows;
    std::istringstream csv(text);
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "animal_a,animal_b,estimator,level_percent,HR,PHR,VI,BA,UDOI");
    while (std::getline(csv, line)) {
        const auto cells = testing::CommaFields(line, 9);
        EXPECT_EQ(cells[2], estimator);
        auto& values = rows[cells[0] + "," + cells[1] + "," + cells[3]];
        for (std::size_t k = 4; k < 9; ++k) {
            values.push_back(ParseNumber(cells[k]).value_or(-1));
        }
    }
    return rows;
}

// Both orders of a pair: HR and PHR in (0, 1), VI, BA and UDOI the same both ways.
void ExpectBothOrders(const std::vector<double>& ab, const std::vector<double>& ba,
                      const std::string& what) {
    ASSERT_EQ(ab.size(), 5U) << what;
    ASSERT_EQ(ba.size(), 5U) << what;
    for (std::size_t k = 0; k < 5; ++k) {
        EXPECT_GT(ab[k], 0) << what << " index " << k;
        EXPECT_LT(k < 4 ? ab[k] : 0, 1) << what << " index " << k;
    }
    EXPECT_EQ(std::vector<double>(ab.begin() + 2, ab.end()),
              std::vector<double>(ba.begin() + 2, ba.end()))
        << what << ": VI, BA and UDOI are symmetric";
}

TEST(BatchOverlap, WritesBothOrdersAndAPictureAndLeavesEveryAnimalsFilesAsTheyWere) {
    testing::TempDir dir;
    const auto table = dir.Write("three.csv", ThreeNeighbours());
    const std::string args = table.string() + " --id animal --source-crs metres --quiet --out ";
    const auto plain = dir.path() / "plain";
    const auto overlap = dir.path() / "overlap";
    ASSERT_EQ(RunBatch(args + plain.string(), dir.path() / "plain.log"), 0);
    ASSERT_EQ(RunBatch(args + overlap.string() + " --overlap --overlap-levels 50,95",
                       dir.path() / "overlap.log"),
              0)
        << dir.Read("overlap.log");

    auto rows = OverlapRows(dir.Read("overlap/overlap.csv"), "fixed-kernel");
    EXPECT_EQ(rows.size(), 12U) << "3 pairs, both orders, 2 levels";
    for (const char* level : {"50", "95"}) {
        const auto& ab = rows[std::string("A,B,") + level];
        const auto& ba = rows[std::string("B,A,") + level];
        ExpectBothOrders(ab, ba, level);
        EXPECT_NE(ab[0], ba[0]) << "HR is not symmetric";
        EXPECT_EQ(rows[std::string("A,C,") + level], std::vector<double>(5, 0.0));
    }

    std::unique_ptr<GDALDataset> png(
        GDALDataset::Open((overlap / "overlap.png").c_str(), GDAL_OF_RASTER));
    ASSERT_TRUE(png);
    EXPECT_STREQ(png->GetDriver()->GetDescription(), "PNG");
    EXPECT_EQ(png->GetRasterCount(), 3);
    EXPECT_GT(png->GetRasterXSize(), 3 * 54) << "three printed cells";
    EXPECT_GT(png->GetRasterYSize(), 3 * 54);
    png.reset();

    std::filesystem::remove(overlap / "overlap.csv");
    std::filesystem::remove(overlap / "overlap.png");
    ExpectSameFiles(plain, overlap);
}

TEST(BatchOverlap, BrownianBridgesGoOnTheLatticeAndKeepTheirOwnFiles) {
    testing::TempDir dir;
    std::string tracks = "animal,x,y,t\n";
    for (const auto& [animal, points] : {std::pair{"A", Wandering(500000, 5400000, 30)},
                                         std::pair{"B", Wandering(500200, 5400100, 30)}}) {
        for (std::size_t k = 0; k < points.size(); ++k) {
            tracks += std::string(animal) + "," + FormatNumber(points[k].first) + "," +
                      FormatNumber(points[k].second) + "," + std::to_string(600 * k) + "\n";
        }
    }
    const auto table = dir.Write("two.csv", tracks);
    const std::string args = table.string() + " --id animal --time t --source-crs metres "
                                              "--estimators bb --error-m 20 --quiet --out ";
    const auto plain = dir.path() / "plain";
    const auto overlap = dir.path() / "overlap";
    ASSERT_EQ(RunBatch(args + plain.string(), dir.path() / "plain.log"), 0);
    ASSERT_EQ(RunBatch(args + overlap.string() +
                           " --overlap --overlap-estimator bb --overlap-levels 50,100",
                       dir.path() / "overlap.log"),
              0)
        << dir.Read("overlap.log");
    auto rows = OverlapRows(dir.Read("overlap/overlap.csv"), "bb");
    EXPECT_EQ(rows.size(), 4U);
    ExpectBothOrders(rows["A,B,50"], rows["B,A,50"], "bb 50 %");
    ExpectBothOrders(rows["A,B,100"], rows["B,A,100"], "bb 100 %");

    std::filesystem::remove(overlap / "overlap.csv");
    std::filesystem::remove(overlap / "overlap.png");
    ExpectSameFiles(plain, overlap);
}

TEST(BatchOverlap, AutocorrelatedKernelsOfOneTrackCoincideAndFarApartOnesDoNotMeet) {
    testing::TempDir dir;
    const auto t = testing::FixTimes(150, 30.0, false, 5);
    const Matrix track = testing::OuTrack(t, 1e4, 300.0, 2.0, 5);
    std::string tracks = "animal,x,y,t\n";
    for (const auto& [animal, east] :
         {std::pair{"A", 0.0}, std::pair{"B", 0.0}, std::pair{"C", 1e5}}) {
        for (std::int32_t k = 0; k < 150; ++k) {
            tracks += std::string(animal) + "," + FormatNumber(track(k, 0) + east) + "," +
                      FormatNumber(track(k, 1)) + "," + FormatNumber(track(k, 2)) + "\n";
        }
    }
    const auto table = dir.Write("three.csv", tracks);
    ASSERT_EQ(RunBatch(table.string() +
                           " --id animal --time t --source-crs metres --estimators akde "
                           "--quiet --overlap --overlap-estimator akde --overlap-levels 95,100 "
                           "--out " +
                           (dir.path() / "out").string(),
                       dir.path() / "out.log"),
              0)
        << dir.Read("out.log");
    auto rows = OverlapRows(dir.Read("out/overlap.csv"), "akde");
    EXPECT_EQ(rows.size(), 12U);
    for (const char* level : {"95", "100"}) {
        // A and B are one track under two names: one fit, one grid, cell for cell.
        const auto& ab = rows[std::string("A,B,") + level];
        ASSERT_EQ(ab.size(), 5U) << level;
        for (const std::size_t index : {0U, 2U, 3U}) {
            EXPECT_NEAR(ab[index], 1.0, 1e-12) << level << " index " << index;
        }
        EXPECT_EQ(rows[std::string("A,C,") + level], std::vector<double>(5, 0.0)) << level;
    }
}

TEST(BatchOverlap, TwoBivariateNormalsAffinityIsTheClosedForm) {
    testing::TempDir dir;
    const auto table = dir.Write("three.csv", ThreeNeighbours());
    ASSERT_EQ(RunBatch(table.string() +
                           " --id animal --source-crs metres --quiet --estimators "
                           "bvn --overlap --overlap-estimator bvn "
                           "--overlap-levels 100 --out " +
                           (dir.path() / "out").string(),
                       dir.path() / "out.log"),
              0)
        << dir.Read("out.log");
    auto rows = OverlapRows(dir.Read("out/overlap.csv"), "bvn");
    ExpectBothOrders(rows["A,B,100"], rows["B,A,100"], "bvn");
    const auto normal = [](const std::vector<std::pair<double, double>>& points) {
        Matrix xy(static_cast<std::int32_t>(points.size()) + 1, 2);
        for (std::size_t k = 0; k < points.size(); ++k) {
            xy(static_cast<std::int32_t>(k), 0) = points[k].first;
            xy(static_cast<std::int32_t>(k), 1) = points[k].second;
        }
        const BVNEstimate e = UnweightedBVN(xy, static_cast<std::int32_t>(points.size()));
        return PlaneNormal{e.mean_x, e.mean_y, e.sigma_x * e.sigma_x, e.rho * e.sigma_x * e.sigma_y,
                           e.sigma_y * e.sigma_y};
    };
    // Cells of a fifth of the smaller standard deviation and tails cut at 6.5 of them leave
    // the lattice's sum within about 1e-9 of the integral; the file keeps 9 decimals or more.
    constexpr double kLatticeAffinity = 1e-7;
    EXPECT_NEAR(rows["A,B,100"][3],
                NormalAffinity(normal(Wandering(500000, 5400000, 40)),
                               normal(Wandering(500300, 5400100, 35))),
                kLatticeAffinity);
}

TEST(EstimatorTable, AMadeUpRowIsOfferedRunSummarisedAndSavedByTheBatch) {
    testing::TempDir dir;
    std::vector<EstimatorRow> table = Estimators();
    table.push_back(FlatEstimator());
    const auto path = dir.Write("two.csv", testing::MovebankCsv(testing::TwoAnimals()));

    // The command line offers it and lists it in its help.
    EXPECT_THAT(ParseBatchCommandLine({"ranvik-batch", "--help"}, table).text, HasSubstr("flat"));
    EXPECT_THAT(Parse({"t.csv", "--out", "r", "--estimators", "flat"}).text,
                HasSubstr("\"flat\" is not one of"));
    const CommandLine line = ParseBatchCommandLine({"ranvik-batch", path.string(), "--out",
                                                    (dir.path() / "out").string(), "--estimators",
                                                    "flat,mcp", "--formats", "txt,tif", "--quiet"},
                                                   table);
    ASSERT_TRUE(line.run) << line.text;
    EXPECT_EQ(line.options.estimators, (std::vector<std::string>{"flat", "mcp"}));

    // The run makes it, summarises it at every level and saves it under its key word.
    const std::string summary = RunAll(line.options);
    // The first column's cells are at the 40 % level and all others at 100 %, so both the 50 %
    // and the 95 % home range are those ten cells of 1 ha.
    EXPECT_THAT(summary, HasSubstr("A,flat,40,,,50,100000,EPSG:32611,0,0,0,0,0,,,,,\n"));
    EXPECT_THAT(summary, HasSubstr("B,flat,25,,,95,100000,EPSG:32611,5,0,0,0,0,,,,,\n"));
    EXPECT_THAT(summary, HasSubstr("A,mcp,40,"));
    const std::string saved = dir.Read("out/A/Flat.txt");
    EXPECT_THAT(saved, StartsWith("X,Y,Probability\r\n"));
    EXPECT_THAT(saved, HasSubstr(",0.04\r\n"));
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 101);
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "out" / "B" / "Flat.tif"));
}

} // namespace
} // namespace ranvik
