#pragma once

#include "state/matrix.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace ranvik {

// The most locations (independent or Brownian bridge) a text file may hold. Real GPS collars
// deliver 10^5 fixes and more; a million keeps every array of the session within tens of MB.
inline constexpr std::int32_t kMaxTextLocations = 1'000'000;

// The most user-specified points a text file may hold: as many as a Brownian bridge output
// grid has rows.
inline constexpr std::int32_t kMaxTextUserPoints = 1'000'001;

// The largest text file read: a million locations of four long numbers take about 100 MB, so a
// larger file cannot be within the capacity and is refused before it is read into memory.
inline constexpr std::uintmax_t kMaxTextFileBytes = std::uintmax_t{1} << 30;

// Locations read from a text file: `values` has one row per location and one column per
// field of the format (x, y[, weight] or x, y, time, location error). `error` is empty when
// the file was read; otherwise it says which file, which line and what was wrong, and
// `values` is empty.
struct LocationText {
    Matrix values;
    std::string error;

    [[nodiscard]] bool Ok() const { return error.empty(); }
    [[nodiscard]] std::int32_t Count() const { return values.Rows(); }
};

// Reads a locations file of `columns` fields per location (2, 3 or 4).
//
// The first field is a header and is skipped: it ends at a comma or at the end of the first
// line (a header in double quotes ends at its closing quote). Everything after it is a stream
// of numeric fields; a field ends at a tab, space, comma or line end, and runs of blanks and
// line ends count as one separator, so blank lines anywhere (also at the end) are ignored.
// Each location takes the next `columns` fields in column order wherever the lines break, so
// a three-column file read as pairs gives the third column of one line as the next x. The
// count is the number of complete groups.
//
// Rejected, with a message naming the file and line: a file that cannot be opened, an empty
// file (not even a header), UTF-16 text, a field that is not a finite number, an empty field
// between two commas, a last location with too few fields, and more than `capacity`
// locations; from a file, also one larger than kMaxTextFileBytes, or one there is not memory to
// read.
[[nodiscard]] LocationText ReadLocationText(const std::filesystem::path& path, int columns,
                                            std::int32_t capacity);

// The same rules applied to text already in memory; `file_name` names it in messages.
[[nodiscard]] LocationText ParseLocationText(std::string_view content, std::string_view file_name,
                                             int columns, std::int32_t capacity);

} // namespace ranvik
