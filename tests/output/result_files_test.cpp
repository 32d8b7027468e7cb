#include "output/forms/saved_results.h"
#include "output/result_files.h"

#include "bridge/bridge_probability.h"
#include "kernel/kernel_grid.h"
#include "models/home_ranges.h"

#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <sstream>
#include <streambuf>
#include <tuple>

namespace ranvik {
namespace {

using ::testing::HasSubstr;

// Three grid rows and a spare zero row; the values need rounding to 9 decimals.
Matrix SmallGrid() {
    Matrix grid(4, 4);
    const double rows[3][3] = {{-49.5, 0.5, 0.0000001234567891},
                               {-48.5, 1.5, 0.25},
                               {557000.123456789123, 5424000.5, 2.5e-9}};
    for (int k = 0; k < 3; ++k) {
        for (int c = 0; c < 3; ++c) {
            grid(k, c) = rows[k][c];
        }
    }
    return grid;
}

// Comma and tab files to the byte: no separator at the end of a line.
TEST(WriteGridText, IsExactToTheByte) {
    for (const auto& [points, separator, text] :
         {std::tuple{3, ",",
                     "X,Y,Probability\r\n-49.5,0.5,1.23E-07\r\n-48.5,1.5,0.25\r\n"
                     "557000.123456789,5424000.5,2E-09\r\n"},
          std::tuple{2, "\t",
                     "X\tY\tProbability\r\n-49.5\t0.5\t1.23E-07\r\n-48.5\t1.5\t0.25\r\n"}}) {
        std::ostringstream out;
        ASSERT_TRUE(WriteGridText(out, SmallGrid(), points, separator));
        EXPECT_EQ(out.str(), text);
    }
}

TEST(RoundGridValues, StoresTheValuesTheFileShowsAndWritingThemAgainChangesNothing) {
    Matrix grid = SmallGrid();
    std::ostringstream before;
    ASSERT_TRUE(WriteGridText(before, grid, 3, ","));
    RoundGridValues(grid, 3);
    std::ostringstream after;
    ASSERT_TRUE(WriteGridText(after, grid, 3, ","));
    EXPECT_EQ(after.str(), before.str());
    EXPECT_EQ(grid(0, 2), 1.23e-7);
    EXPECT_EQ(grid(2, 0), 557000.123456789);
    EXPECT_EQ(grid(2, 2), 2e-9) << "a half rounds to the even digit";
    EXPECT_EQ(grid(3, 2), 0.0);
}

// A stream buffer that takes `room` bytes and then fails, as a full disk does.
class FullDisk : public std::streambuf {
public:
    explicit FullDisk(std::size_t room) : room_(room) {}

protected:
    int_type overflow(int_type c) override {
        if (room_ == 0) {
            return traits_type::eof();
        }
        --room_;
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char*, std::streamsize n) override {
        const auto taken = std::min(static_cast<std::size_t>(n), room_);
        room_ -= taken;
        return static_cast<std::streamsize>(taken);
    }

private:
    std::size_t room_;
};

TEST(WriteGridText, ReportsAStreamThatRunsOutOfRoom) {
    Matrix grid(40001, 4);
    FullDisk disk(1000);
    std::ostream out(&disk);
    EXPECT_FALSE(WriteGridText(out, grid, 40000, ","));
}

Session TwoLocationsCompared() {
    IndependentLocations locations;
    locations.count = 2;
    locations.xy.Resize(3, 3);
    locations.xy(0, 0) = 557100.25;
    locations.xy(0, 1) = 5424100;
    locations.xy(1, 0) = -3;
    locations.xy(1, 1) = 1e-5;
    locations.weights.assign(3, 0.0);
    Session session;
    session.TakeLoaded(std::move(locations), {});
    session.PutLocationValues(kExpPowerName, {-12.3456789012345678, -0.5});
    session.PutLocationValues(kBVNName, {-32.23619130191664, -1.0 / 3.0});
    session.PutLocationValues(kNormalMixtureName, {-7.0, -8.000000000125});
    return session; // the circle mixture was not compared
}

// The likelihood file's columns as a save makes them.
std::vector<LikelihoodColumn> ColumnsOf(const Session& session) {
    std::vector<LikelihoodColumn> columns;
    for (const auto& [heading, name] :
         {std::pair{"ExpPower", kExpPowerName}, std::pair{"BVN", kBVNName},
          std::pair{"2-modeCN", kCircleMixtureName}, std::pair{"2-modeBVN", kNormalMixtureName}}) {
        const EstimatorResult* result = session.Result(name);
        columns.push_back({heading, result != nullptr ? &result->loc_lik : nullptr});
    }
    return columns;
}

// Every location unrounded, NA for models not fitted; comma and tab files alike.
TEST(WriteLikelihoodText, IsExactToTheByte) {
    const Session session = TwoLocationsCompared();
    const std::string comma = "X,Y,ExpPower,BVN,2-modeCN,2-modeBVN\r\n"
                              "557100.25,5424100,-12.3456789012346,-32.2361913019166,NA,-7\r\n"
                              "-3,1E-05,-0.5,-0.333333333333333,NA,-8.000000000125\r\n";
    std::string tab = comma;
    std::replace(tab.begin(), tab.end(), ',', '\t');
    for (const auto& [separator, text] : {std::pair{",", comma}, std::pair{"\t", tab}}) {
        std::ostringstream out;
        ASSERT_TRUE(
            WriteLikelihoodText(out, session.locations().xy, ColumnsOf(session), separator));
        EXPECT_EQ(out.str(), text);
    }
}

TEST(ResultFilePath, JoinsFolderRootKeyWordAndExtension) {
    EXPECT_EQ(ResultFilePath("/data/out", "R", "WeightedFixedKernel"),
              std::filesystem::path("/data/out/RWeightedFixedKernel.txt"));
    EXPECT_EQ(ResultFilePath("/data/out", "R", "ExpPower", FileType::GeoTiff),
              std::filesystem::path("/data/out/RExpPower.tif"));
    EXPECT_EQ(ResultFilePath("/data/out", "R", kLikelihoodsKeyWord, FileType::ContourShapefile),
              std::filesystem::path("/data/out/RLikelihoods.txt"));
}

class SaveResultsTest : public ::testing::Test {
protected:
    // Waiting results: a fixed kernel, a 1-mode normal and the likelihoods.
    void SetUp() override {
        session = TwoLocationsCompared();
        session.Put(kFixedKernelName, Matrix(SmallGrid()));
        session.Put(kBVNName, Matrix(SmallGrid()));
        session.MarkLikelihoodsWaiting(true);
    }

    testing::TempDir dir;
    Session session;
};

// An earlier, longer file of the same name is overwritten.
TEST_F(SaveResultsTest, WritesEveryWaitingResultInOrderAndMarksItSaved) {
    dir.Write("RBVN.txt", "an older result that is longer than the new one will be\r\n"
                          "and has a second line\r\n");
    const SaveReport report = SaveResults(session, dir.path(), "R", FileType::CommaDelimited);

    ASSERT_TRUE(report.Ok()) << report.errors.front();
    EXPECT_EQ(report.written, (std::vector<std::filesystem::path>{dir.path() / "RLikelihoods.txt",
                                                                  dir.path() / "RFixedKernel.txt",
                                                                  dir.path() / "RBVN.txt"}));
    EXPECT_FALSE(report.brownian_bridge);
    EXPECT_FALSE(session.WaitingGrid(kFixedKernelName));
    EXPECT_FALSE(session.WaitingGrid(kBVNName));
    EXPECT_FALSE(session.LikelihoodsWaiting());
    EXPECT_THAT(dir.Read("RFixedKernel.txt"), HasSubstr("-48.5,1.5,0.25\r\n"));
    EXPECT_EQ(dir.Read("RBVN.txt"), dir.Read("RFixedKernel.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "RBVN.txt.partial"));
}

TEST_F(SaveResultsTest, BiasCorrectedRunWritesWeightedNames) {
    session.ChooseAnalysis(false, false, true);
    session.Put(kNormalMixtureName, Matrix(SmallGrid()));
    const SaveReport report = SaveResults(session, dir.path(), "R", FileType::TabDelimited);
    ASSERT_TRUE(report.Ok());
    for (const char* name :
         {"RWeightedFixedKernel.txt", "RWeighted2ModeBVNMix.txt", "RWeightedBVN.txt"}) {
        EXPECT_TRUE(std::filesystem::exists(dir.path() / name)) << name;
    }
}

TEST_F(SaveResultsTest, BrownianBridgeWritesItsPointsButNotTheSpareRow) {
    session = Session{};
    Matrix grid(3, 4);
    grid(0, 0) = 557000;
    grid(1, 0) = 557030;
    session.Put(kBridgeName, std::move(grid));
    const SaveReport report = SaveResults(session, dir.path(), "elk", FileType::CommaDelimited);
    ASSERT_TRUE(report.Ok());
    EXPECT_TRUE(report.brownian_bridge);
    EXPECT_FALSE(session.WaitingGrid(kBridgeName));
    EXPECT_EQ(dir.Read("elkBrownianBridge.txt"), "X,Y,Probability\r\n557000,0,0\r\n557030,0,0\r\n");
}

// A kernel grid left waiting (its sister kernel failed) while a smaller Brownian bridge grid is
// computed: the kernel file must still be whole.
TEST_F(SaveResultsTest, AGridWaitingFromAnEarlierRunKeepsItsOwnCount) {
    session.Put(kFixedKernelName, Matrix(40001, 4));
    session.Put(kBridgeName, Matrix(3, 4));
    ASSERT_TRUE(SaveResults(session, dir.path(), "R", FileType::CommaDelimited).Ok());
    const std::string kernel = dir.Read("RFixedKernel.txt");
    EXPECT_EQ(std::count(kernel.begin(), kernel.end(), '\n'), 40001);
    const std::string bridge = dir.Read("RBrownianBridge.txt");
    EXPECT_EQ(std::count(bridge.begin(), bridge.end(), '\n'), 3);
}

TEST_F(SaveResultsTest, AnUnwritableFolderKeepsEveryResultForAnotherTry) {
    const Session before = session;
    const auto missing = dir.path() / "no such folder";
    const SaveReport report = SaveResults(session, missing, "R", FileType::CommaDelimited);

    ASSERT_EQ(report.errors.size(), 3U);
    EXPECT_TRUE(report.written.empty());
    EXPECT_THAT(report.errors[0], HasSubstr((missing / "RLikelihoods.txt").string()));
    EXPECT_THAT(report.errors[1], HasSubstr("RFixedKernel.txt"));
    EXPECT_TRUE(session == before) << "results stay waiting and grids stay in memory";

    // A path through a plain file fails the same way.
    const auto file = dir.Write("not_a_folder", "x");
    EXPECT_FALSE(SaveResults(session, file, "R", FileType::CommaDelimited).Ok());

    // Saving again to a folder that exists then succeeds.
    EXPECT_TRUE(SaveResults(session, dir.path(), "R", FileType::CommaDelimited).Ok());
    EXPECT_FALSE(session.WaitingGrid(kFixedKernelName));
}

// Lowers the largest file this process may write to `bytes` for as long as it lives, as a full
// disk or a quota stops a write part-way. A write past the limit fails with EFBIG (the signal
// that would end the process is ignored meanwhile).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*handler_)(int) = SIG_DFL;
};

TEST_F(SaveResultsTest, ADiskFillingUpMidWriteKeepsTheEarlierFileAndTheResult) {
    // A 40,000-point grid makes a file of about 1.2 MB; the disk takes 64 KB of it.
    Matrix grid(40001, 4);
    for (std::int32_t k = 0; k < 40000; ++k) {
        grid(k, 0) = 557000 + k;
        grid(k, 1) = 5424000 - k;
        grid(k, 2) = 1.0 / (k + 3);
    }
    session.Put(kFixedKernelName, Matrix(grid));
    session.Put(kBVNName, std::move(grid));
    const std::string earlier = "X,Y,Probability\r\n1,2,0.5\r\n";
    dir.Write("RFixedKernel.txt", earlier);
    SaveReport report;
    {
        const FileSizeLimit disk(64 * 1024);
        report = SaveResults(session, dir.path(), "R", FileType::CommaDelimited);
    }

    ASSERT_EQ(report.errors.size(), 2U);
    EXPECT_THAT(report.errors[0], HasSubstr((dir.path() / "RFixedKernel.txt").string()));
    EXPECT_THAT(report.errors[0], HasSubstr("The result is kept"));
    EXPECT_THAT(report.errors[1], HasSubstr("RBVN.txt"));
    EXPECT_EQ(report.written, std::vector<std::filesystem::path>{dir.path() / "RLikelihoods.txt"})
        << "the small likelihood file fitted";
    EXPECT_EQ(dir.Read("RFixedKernel.txt"), earlier) << "the earlier file is untouched";
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "RBVN.txt")) << "no half-written file";
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().extension(), ".txt") << entry.path() << " was left behind";
    }
    EXPECT_TRUE(session.WaitingGrid(kFixedKernelName) && session.WaitingGrid(kBVNName))
        << "both results wait to be saved";
    EXPECT_FALSE(session.LikelihoodsWaiting());

    // With room on the disk the same results save in full.
    ASSERT_TRUE(SaveResults(session, dir.path(), "R", FileType::CommaDelimited).Ok());
    const std::string saved = dir.Read("RFixedKernel.txt");
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 40001);
}

TEST_F(SaveResultsTest, NothingWaitingWritesNothing) {
    session = Session{};
    const SaveReport report = SaveResults(session, dir.path(), "R", FileType::CommaDelimited);
    EXPECT_TRUE(report.Ok());
    EXPECT_TRUE(report.written.empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

} // namespace
} // namespace ranvik
