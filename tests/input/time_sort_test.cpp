#include "input/time_sort.h"

#include "support/fixes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace ranvik {
namespace {

using testing::Fix;
using testing::Fixes;

// The x column of the first n rows: the tests tag each fix by its x.
std::vector<double> Xs(const Matrix& m, std::int32_t n) {
    std::vector<double> xs;
    for (std::int32_t i = 0; i < n; ++i) {
        xs.push_back(m(i, 0));
    }
    return xs;
}

TEST(SortBBLocsByTime, ThreeFixesComeOutInTimeOrderWithTheirOtherColumns) {
    const Matrix input = Fixes({{10, 11, 5, 1.5}, {20, 21, 1, 2.5}, {30, 31, 3, 3.5}});
    const Matrix sorted = SortBBLocsByTime(input, 3);

    ASSERT_EQ(sorted.Rows(), 4);
    ASSERT_EQ(sorted.Cols(), 5);
    const double expected[3][4] = {{20, 21, 1, 2.5}, {30, 31, 3, 3.5}, {10, 11, 5, 1.5}};
    for (int i = 0; i < 3; ++i) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(sorted(i, c), expected[i][c]) << "row " << i << " column " << c;
        }
    }
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(sorted(3, c), 0.0) << "the spare row stays zero";
    }
}

TEST(SortBBLocsByTime, OrderedSingleAndEmptySetsComeOutAsTheyWent) {
    const Matrix ordered = Fixes({{1, 0, 1, 0}, {2, 0, 2, 0}, {3, 0, 3, 0}, {4, 0, 4, 0}});
    const Matrix copy = ordered;
    EXPECT_EQ(Xs(SortBBLocsByTime(ordered, 4), 4), (std::vector<double>{1, 2, 3, 4}));
    EXPECT_EQ(ordered, copy) << "the input is left unchanged";

    const Matrix single = Fixes({{557100, 5424100, 12, 30}});
    EXPECT_EQ(SortBBLocsByTime(single, 1), single);
    EXPECT_EQ(SortBBLocsByTime(Matrix(1, 5), 0), Matrix(1, 5));
}

// Equal times come out in the heapsort's own order, traced by hand: with times A 2, B 1, C 2,
// D 1 the result is B, D, C, A; with five equal times A..E it is B, C, D, E, A.
TEST(SortBBLocsByTime, EqualTimesFollowTheHeapsortOrder) {
    const Matrix pairs = Fixes({{1, 0, 2, 0}, {2, 0, 1, 0}, {3, 0, 2, 0}, {4, 0, 1, 0}});
    EXPECT_EQ(Xs(SortBBLocsByTime(pairs, 4), 4), (std::vector<double>{2, 4, 3, 1}));

    const Matrix same =
        Fixes({{1, 0, 7, 0}, {2, 0, 7, 0}, {3, 0, 7, 0}, {4, 0, 7, 0}, {5, 0, 7, 0}});
    EXPECT_EQ(Xs(SortBBLocsByTime(same, 5), 5), (std::vector<double>{2, 3, 4, 5, 1}));
}

TEST(SortBBLocsByTime, ManyFixesWithTiesComeOutSortedAndComplete) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> hour(0, 200);
    std::vector<Fix> fixes;
    for (int i = 0; i < 1001; ++i) {
        fixes.push_back({static_cast<double>(i), static_cast<double>(-i),
                         static_cast<double>(hour(random)), static_cast<double>(i % 7)});
    }
    const auto n = static_cast<std::int32_t>(fixes.size());
    const Matrix sorted = SortBBLocsByTime(Fixes(fixes), n);

    std::vector<bool> seen(fixes.size(), false);
    for (std::int32_t i = 0; i < n; ++i) {
        if (i > 0) {
            EXPECT_LE(sorted(i - 1, 2), sorted(i, 2));
        }
        const auto id = static_cast<std::size_t>(sorted(i, 0));
        ASSERT_FALSE(seen[id]);
        seen[id] = true;
        EXPECT_EQ(sorted(i, 1), -sorted(i, 0));
        EXPECT_EQ(sorted(i, 2), fixes[id].t);
        EXPECT_EQ(sorted(i, 3), fixes[id].error);
    }
}

} // namespace
} // namespace ranvik
