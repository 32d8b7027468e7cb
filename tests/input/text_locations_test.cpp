#include "input/text_locations.h"

#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ranvik {
namespace {

using ::testing::HasSubstr;

constexpr std::int32_t kRoomy = 1000;

LocationText Parse(std::string_view text, int columns, std::int32_t capacity = kRoomy) {
    return ParseLocationText(text, "fixes.txt", columns, capacity);
}

std::vector<std::vector<double>> Rows(const LocationText& text) {
    std::vector<std::vector<double>> rows;
    for (std::int32_t i = 0; i < text.Count(); ++i) {
        const auto row = text.values.Row(i);
        rows.emplace_back(row.begin(), row.end());
    }
    return rows;
}

using Table = std::vector<std::vector<double>>;

TEST(ParseLocationText, ReadsTabDelimitedPairsAfterTheHeader) {
    const auto text = Parse("x\ty\n557100.5\t5424100\n-3\t4.25e2\n", 2);
    ASSERT_TRUE(text.Ok()) << text.error;
    EXPECT_EQ(Rows(text), (Table{{557100.5, 5424100}, {-3, 425}}));
}

TEST(ParseLocationText, HeaderOnlyGivesNoLocations) {
    for (const char* content : {"x\ty\n", "x\ty", "x\ty\r\n\r\n\n"}) {
        const auto text = Parse(content, 2);
        ASSERT_TRUE(text.Ok()) << text.error;
        EXPECT_EQ(text.Count(), 0);
    }
}

TEST(ParseLocationText, FieldsAreAStreamWhateverTheLineBreaks) {
    // A three-column file read as pairs: the third column of a line becomes the next x.
    const auto text = Parse("x\ty\tp\n1\t2\t0.5\n3\t4\t0.25\n", 2);
    ASSERT_TRUE(text.Ok()) << text.error;
    EXPECT_EQ(Rows(text), (Table{{1, 2}, {0.5, 3}, {4, 0.25}}));

    const auto split = Parse("h\n1\n2\n3\t4\n", 2);
    ASSERT_TRUE(split.Ok()) << split.error;
    EXPECT_EQ(Rows(split), (Table{{1, 2}, {3, 4}}));
}

TEST(ParseLocationText, TabsSpacesCommasAndAnyLineEndSeparateFields) {
    const auto text = Parse("h\r\n1,2\r\n3 4\r5\t\t6\n7 , 8\n+9\t-1E+01\n", 2);
    ASSERT_TRUE(text.Ok()) << text.error;
    EXPECT_EQ(Rows(text), (Table{{1, 2}, {3, 4}, {5, 6}, {7, 8}, {9, -10}}));
}

TEST(ParseLocationText, BlankLinesAndTrailingCommasAreAccepted) {
    const auto text = Parse("h\n1\t2\n\n   \n3\t4\t\n5,6,\n\n\n", 2);
    ASSERT_TRUE(text.Ok()) << text.error;
    EXPECT_EQ(Rows(text), (Table{{1, 2}, {3, 4}, {5, 6}}));
}

TEST(ParseLocationText, HeaderEndsAtACommaUnlessQuoted) {
    const auto quoted = Parse("\"x, y\"\n1\t2\n", 2);
    ASSERT_TRUE(quoted.Ok()) << quoted.error;
    EXPECT_EQ(Rows(quoted), (Table{{1, 2}}));

    const auto comma = Parse("x,y\n1\t2\n", 2);
    ASSERT_FALSE(comma.Ok());
    EXPECT_THAT(comma.error, HasSubstr("fixes.txt, line 1"));
    EXPECT_THAT(comma.error, HasSubstr("\"y\" is not a number"));
    EXPECT_THAT(comma.error, HasSubstr("header"));
}

TEST(ParseLocationText, ReadsWeightedAndBridgeFormats) {
    const auto weighted = Parse("x\ty\tp\n1\t2\t0.5\n3\t4\t0\n", 3);
    ASSERT_TRUE(weighted.Ok()) << weighted.error;
    EXPECT_EQ(Rows(weighted), (Table{{1, 2, 0.5}, {3, 4, 0}}));

    const auto bridge = Parse("x\ty\tt\te\n1\t2\t100\t15\n3\t4\t160\t20\n", 4);
    ASSERT_TRUE(bridge.Ok()) << bridge.error;
    EXPECT_EQ(Rows(bridge), (Table{{1, 2, 100, 15}, {3, 4, 160, 20}}));
}

TEST(ParseLocationText, RejectsAnEmptyFile) {
    const auto text = Parse("", 2);
    ASSERT_FALSE(text.Ok());
    EXPECT_THAT(text.error, HasSubstr("fixes.txt is empty"));
    EXPECT_EQ(text.Count(), 0);
}

TEST(ParseLocationText, RejectsAFieldThatIsNotANumberNamingLineAndValue) {
    const auto text = Parse("x\ty\n1\t2\n3\t4O\n5\t6\n", 2);
    ASSERT_FALSE(text.Ok());
    EXPECT_THAT(text.error, HasSubstr("fixes.txt, line 3: \"4O\" is not a number."));
    EXPECT_EQ(text.Count(), 0) << "nothing is half-loaded";

    // Lines are counted the same with CR LF, CR or LF line ends.
    for (const char* line_end : {"\r\n", "\r", "\n"}) {
        const std::string content = std::string("x\ty") + line_end + "1\t2" + line_end + "3\t#";
        EXPECT_THAT(Parse(content, 2).error, HasSubstr("line 3:")) << "line end " << line_end;
    }

    for (const char* bad : {"x\ty\n1\tnan\n", "x\ty\n1\t1e999\n", "x\ty\n1\t12;5\n",
                            "x\ty\n1\t2\n3\t4\n\x01\x02\n"}) {
        EXPECT_FALSE(Parse(bad, 2).Ok()) << bad;
    }
}

TEST(ParseLocationText, RejectsAnEmptyFieldBetweenCommas) {
    const auto text = Parse("h\n1,2\n3,,4\n", 2);
    ASSERT_FALSE(text.Ok());
    EXPECT_THAT(text.error, HasSubstr("line 3"));
    EXPECT_THAT(text.error, HasSubstr("missing"));
}

TEST(ParseLocationText, RejectsALastLocationWithTooFewFields) {
    const auto text = Parse("x\ty\tt\te\n1\t2\t3\t4\n5\t6\t7\n\n", 4);
    ASSERT_FALSE(text.Ok());
    EXPECT_THAT(text.error, HasSubstr("fixes.txt, line 3: the last location has 3 values but "
                                      "each location needs 4 (x, y, time, location error)."));
}

TEST(ParseLocationText, AcceptsUpToTheCapacityAndRejectsOneMore) {
    EXPECT_TRUE(Parse("h\n1\t2\n3\t4\n", 2, 2).Ok());
    const auto text = Parse("h\n1\t2\n3\t4\n5\t6\n", 2, 2);
    ASSERT_FALSE(text.Ok());
    EXPECT_THAT(text.error, HasSubstr("more than 2 locations"));
}

TEST(ParseLocationText, RejectsUtf16Text) {
    const std::string utf16("\xff\xfex\0\ty\0\n\0", 9);
    const auto text = Parse(utf16, 2);
    ASSERT_FALSE(text.Ok());
    EXPECT_THAT(text.error, HasSubstr("UTF-16"));
}

TEST(ReadLocationText, ReadsAFileAndNamesAMissingOne) {
    testing::TempDir dir;
    const auto path = dir.Write("deer.txt", "x\ty\n1\t2\n");
    const auto text = ReadLocationText(path, 2, kRoomy);
    ASSERT_TRUE(text.Ok()) << text.error;
    EXPECT_EQ(Rows(text), (Table{{1, 2}}));

    const auto missing = ReadLocationText(dir.path() / "elk.txt", 2, kRoomy);
    ASSERT_FALSE(missing.Ok());
    EXPECT_THAT(missing.error, HasSubstr("elk.txt"));
}

} // namespace
} // namespace ranvik
