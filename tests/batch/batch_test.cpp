#include "batch/batch_options.h"
#include "batch/batch_run.h"
#include "batch/batch_scheduler.h"

#include "output/mcp.h"
#include "state/number_text.h"
#include "support/collars.h"
#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <gdal.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace ranvik {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

CommandLine Parse(std::vector<std::string> args) {
    args.insert(args.begin(), "ranvik-batch");
    return ParseBatchCommandLine(args);
}

TEST(BatchCommandLine, DefaultsAndEveryOptionAsDocumented) {
    const CommandLine plain = Parse({"collars.csv", "--out", "results"});
    ASSERT_TRUE(plain.run) << plain.text;
    const BatchOptions& o = plain.options;
    EXPECT_EQ(o.input, "collars.csv");
    EXPECT_EQ(o.out, "results");
    EXPECT_EQ(o.estimators, (std::vector<Estimator>{Estimator::FixedKernel, Estimator::Mcp}));
    EXPECT_EQ(o.h, (SmoothingChoice{SmoothingChoice::Kind::Href, 100.0}));
    EXPECT_FALSE(o.bb_variance);
    EXPECT_FALSE(o.bb_max_time);
    EXPECT_EQ(o.bb_cell, 30.0);
    EXPECT_EQ(o.levels, (std::vector<double>{50, 95}));
    EXPECT_TRUE(o.txt && !o.tif && !o.gpkg);
    EXPECT_EQ(o.SecondsPerUnit(), 60.0);

    const CommandLine full = Parse({"t.gpkg",
                                    "--out",
                                    "r",
                                    "--id",
                                    "tag",
                                    "--x",
                                    "lon",
                                    "--y",
                                    "lat",
                                    "--time",
                                    "when",
                                    "--time-unit",
                                    "hours",
                                    "--error-m",
                                    "12.5",
                                    "--crs",
                                    "EPSG:32633",
                                    "--estimators",
                                    "bb, 2cn,bb,exp-power",
                                    "--h",
                                    "80%",
                                    "--bb-variance",
                                    "250",
                                    "--bb-max-time",
                                    "3",
                                    "--bb-cell",
                                    "10",
                                    "--levels",
                                    "95,50,75",
                                    "--formats",
                                    "tif,gpkg",
                                    "--jobs",
                                    "3",
                                    "--quiet",
                                    "--compare"});
    ASSERT_TRUE(full.run) << full.text;
    const BatchOptions& f = full.options;
    EXPECT_EQ(f.estimators,
              (std::vector<Estimator>{Estimator::BrownianBridge, Estimator::CircleMixture,
                                      Estimator::ExpPower}));
    EXPECT_EQ(f.h, (SmoothingChoice{SmoothingChoice::Kind::PercentOfHref, 80.0}));
    EXPECT_EQ(f.bb_variance, 250.0);
    EXPECT_EQ(f.bb_max_time, 3.0);
    EXPECT_EQ(f.levels, (std::vector<double>{50, 75, 95}));
    EXPECT_TRUE(!f.txt && f.tif && f.gpkg);
    EXPECT_EQ(f.SecondsPerUnit(), 3600.0);
    EXPECT_EQ(f.error_m, 12.5);
    EXPECT_TRUE(f.quiet && f.compare);
    EXPECT_EQ(f.jobs, 3);

    EXPECT_EQ(ParseSmoothingChoice("cv").value.kind, SmoothingChoice::Kind::CV);
    EXPECT_EQ(ParseSmoothingChoice("lscv").value.kind, SmoothingChoice::Kind::LSCV);
    EXPECT_EQ(ParseSmoothingChoice("125.5").value,
              (SmoothingChoice{SmoothingChoice::Kind::Number, 125.5}));

    const CommandLine help = Parse({"--help"});
    EXPECT_FALSE(help.run);
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_THAT(help.text, HasSubstr("--bb-max-time"));
}

TEST(BatchCommandLine, RefusesWhatItCannotRunWithASentence) {
    const struct {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{"t.csv"}, "--out is required"},
        {{"t.csv", "--out", "r", "--estimators", "kde"}, "\"kde\" is not one of"},
        {{"t.csv", "--out", "r", "--h", "0"}, "--h: give href"},
        {{"t.csv", "--out", "r", "--h", "-5%"}, "--h: give href"},
        {{"t.csv", "--out", "r", "--bb-variance", "lots"}, "--bb-variance"},
        {{"t.csv", "--out", "r", "--bb-max-time", "-1"}, "--bb-max-time"},
        {{"t.csv", "--out", "r", "--bb-cell", "0"}, "--bb-cell"},
        {{"t.csv", "--out", "r", "--levels", "50,101"}, "\"101\" is not a percentage"},
        {{"t.csv", "--out", "r", "--formats", "shp"}, "\"shp\" is not one of txt, tif, gpkg"},
        {{"t.csv", "--out", "r", "--crs", "UTM"}, "--crs"},
        {{"t.csv", "--out", "r", "--time-unit", "days"}, "--time-unit"},
        {{"t.csv", "--out", "r", "--error", "e", "--error-m", "3"}, "excludes"},
        {{"t.csv", "--out", "r", "--compare", "--weight", "w"}, "unweighted"},
    };
    for (const auto& c : cases) {
        const CommandLine line = Parse(c.args);
        EXPECT_FALSE(line.run) << c.says;
        EXPECT_EQ(line.exit_code, 2) << c.says;
        EXPECT_THAT(line.text, HasSubstr(c.says));
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
    result.rows.push_back(row);
    row.estimator = "bb";
    row.smoothing_h.reset();
    row.bb_variance = 0.5;
    row.area_m2.reset();
    row.error = "No fixes,\nnone at all.";
    result.rows.push_back(row);
    EXPECT_EQ(SummaryLines(result, false),
              "\"Elk \"\"7\"\", north\",fixed-kernel,120,250.125,,95,1234567.89,EPSG:32611,\n"
              "\"Elk \"\"7\"\", north\",bb,120,,0.5,95,,EPSG:32611,\"No fixes,\nnone at all.\"\n");
    EXPECT_EQ(SummaryHeader(true), "animal,estimator,n_locations,smoothing_h,bb_variance,"
                                   "level_percent,area_m2,crs,neg2lnl,aicc,cvc,error\n");
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
    options.estimators = {Estimator::FixedKernel, Estimator::Mcp, Estimator::BrownianBridge};
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
    bridge.estimators = {Estimator::Mcp};
    const auto one = OpenBatchInput(bridge);
    ASSERT_TRUE(one.Ok()) << one.status.error;
    EXPECT_EQ(one.value.animals.at(0).id, "bare"); // no identifier: one animal named after the file
}

TEST(BatchRun, ABrokenAnimalGetsItsSentenceWhileTheOthersComplete) {
    GDALAllRegister();
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
    EXPECT_THAT(summary, HasSubstr("B,bb,0,,,,,,\"three.csv, line "));
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
    const std::string command = std::string(RANVIK_BATCH) + " " + table.string() + " --out " +
                                (dir.path() / "cli").string() +
                                " --estimators fixed-kernel,bb --error gps:error-m --quiet";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_THAT(dir.Read("cli/summary.csv"), StartsWith(SummaryHeader(false) + "A,bb,40,"));
}

TEST(BatchRun, AStoppedAnimalLeavesNoFolderAndMcpAreasComeFromTheHull) {
    GDALAllRegister();
    testing::TempDir dir;
    const auto table = dir.Write("two.csv", testing::MovebankCsv(testing::TwoAnimals()));
    BatchOptions options = Options(table, dir.path());
    options.estimators = {Estimator::FixedKernel, Estimator::Mcp};
    options.levels = {100};
    const auto input = OpenBatchInput(options);
    ASSERT_TRUE(input.Ok());
    RunControl stopped;
    stopped.progress = [](double) { return false; };
    struct Quiet final : Notifier {
        void Inform(std::string_view) override {}
    } quiet;
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

TEST(BatchRun, TheGeoPackageOfMcpsHoldsAPolygonForEveryLevelTheSummaryGivesAnAreaFor) {
    GDALAllRegister();
    testing::TempDir dir;
    const auto table = dir.Write("two.csv", testing::MovebankCsv(testing::TwoAnimals()));
    BatchOptions options = Options(table, dir.path());
    options.estimators = {Estimator::FixedKernel, Estimator::Mcp};
    // At 1 % of A's 40 locations, h = 39 * 0.01 = 0.39 keeps the nearest alone: that level's row
    // carries the sentence and the file leaves it out.
    options.levels = {50, 95, 1};
    options.txt = false;
    options.gpkg = true;
    const auto input = OpenBatchInput(options);
    ASSERT_TRUE(input.Ok()) << input.status.error;
    struct Quiet final : Notifier {
        void Inform(std::string_view) override {}
    } quiet;
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

} // namespace
} // namespace ranvik
