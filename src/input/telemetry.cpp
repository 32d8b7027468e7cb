#include "input/telemetry.h"

#include "input/shape_layer.h"
#include "state/number_text.h"

#include <cpl_error.h>
#include <date/date.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <numeric>

namespace ranvik {
namespace {

std::string Where(std::string_view file, std::int64_t line) {
    return std::string(file) + ", line " + std::to_string(line);
}

char DelimiterOf(std::string_view header) {
    for (const char c : header) {
        if (c == ',' || c == ';' || c == '\t') {
            return c;
        }
    }
    return ',';
}

// Reads digits [from, from + count) of `text` as a number; false when they are not digits.
bool Digits(std::string_view text, std::size_t from, std::size_t count, int& value) {
    if (from + count > text.size()) {
        return false;
    }
    const char* first = text.data() + from;
    const auto [end, error] = std::from_chars(first, first + count, value);
    return error == std::errc() && end == first + count;
}

// The shortest text that reads back as exactly `value`.
std::string ExactText(double value) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return {buffer, end};
}

} // namespace

int TelemetryTable::FieldIndex(std::string_view field) const {
    for (std::size_t k = 0; k < fields.size(); ++k) {
        if (fields[k] == field) {
            return static_cast<int>(k);
        }
    }
    return -1;
}

StatusOr<TelemetryTable> ParseTelemetryText(std::string_view content, std::string_view file_name) {
    if (content.starts_with("\xEF\xBB\xBF")) {
        content.remove_prefix(3);
    }
    TelemetryTable table;
    table.name = std::string(file_name);
    if (content.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        return Status::Failure(std::string(file_name) + " is empty: a telemetry table needs a "
                                                        "header line naming its fields.");
    }
    const char delimiter = DelimiterOf(content.substr(0, content.find('\n')));
    std::vector<std::string> row;
    std::string field;
    std::int64_t line = 1;
    std::int64_t row_line = 1;
    bool quoted = false;
    bool header = true;
    const auto end_row = [&]() -> Status {
        row.push_back(std::move(field));
        field.clear();
        const bool blank = row.size() == 1 && row[0].empty();
        if (blank) {
            row.clear();
            return {};
        }
        if (header) {
            table.fields = std::move(row);
            header = false;
        } else {
            if (row.size() > table.fields.size()) {
                return Status::Failure(Where(file_name, row_line) + ": " +
                                       std::to_string(row.size()) + " fields, but the header " +
                                       "names " + std::to_string(table.fields.size()) + ".");
            }
            row.resize(table.fields.size());
            table.rows.push_back(std::move(row));
            table.lines.push_back(row_line);
        }
        row.clear();
        return {};
    };
    for (std::size_t i = 0; i < content.size(); ++i) {
        const char c = content[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < content.size() && content[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == '\n') {
                    ++line;
                }
                field += c;
            }
            continue;
        }
        if (c == '"' && field.empty()) {
            quoted = true;
        } else if (c == delimiter) {
            row.push_back(std::move(field));
            field.clear();
        } else if (c == '\n') {
            if (!field.empty() && field.back() == '\r') {
                field.pop_back();
            }
            if (Status done = end_row(); !done.Ok()) {
                return done;
            }
            ++line;
            row_line = line;
        } else {
            field += c;
        }
    }
    if (quoted) {
        return Status::Failure(Where(file_name, row_line) + ": a quoted field is never closed.");
    }
    if (!field.empty() && field.back() == '\r') {
        field.pop_back();
    }
    if (!field.empty() || !row.empty()) {
        if (Status done = end_row(); !done.Ok()) {
            return done;
        }
    }
    return table;
}

StatusOr<TelemetryTable> ReadTelemetryText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return Status::Failure(path.string() + " cannot be opened.");
    }
    const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return ParseTelemetryText(content, path.filename().string());
}

TelemetryTable TelemetryTableOfLayer(const ShapeLayer& layer) {
    TelemetryTable table;
    table.name = std::filesystem::path(layer.path).filename().string();
    for (const ShapeField& field : layer.fields) {
        table.fields.push_back(field.name);
    }
    table.fields.emplace_back(kPointX);
    table.fields.emplace_back(kPointY);
    const std::size_t width = layer.fields.size();
    for (std::int32_t r = 0; r < layer.records; ++r) {
        std::vector<std::string> row(width + 2);
        for (std::size_t f = 0; f < width; ++f) {
            row[f] = layer.texts[static_cast<std::size_t>(r) * width + f];
        }
        const ShapeGeometry& shape = layer.geometries[static_cast<std::size_t>(r)];
        if (!shape.parts.empty() && !shape.parts.front().empty()) {
            row[width] = ExactText(shape.parts.front().front().first);
            row[width + 1] = ExactText(shape.parts.front().front().second);
        }
        table.rows.push_back(std::move(row));
        table.lines.push_back(r + 1); // a layer's "line" is its record number
    }
    return table;
}

bool IsGeographic(const ShapeLayer& layer) {
    if (layer.projection_wkt.empty()) {
        return false;
    }
    OGRSpatialReference srs;
    return srs.importFromWkt(layer.projection_wkt.c_str()) == OGRERR_NONE && srs.IsGeographic();
}

std::optional<double> ParseTimestamp(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    // GDAL writes a date field's dates with slashes ("2021/06/01 18:35:00+00").
    const char dash = text.size() > 4 && text[4] == '/' ? '/' : '-';
    if (text.size() < 10 || !Digits(text, 0, 4, year) || text[4] != dash ||
        !Digits(text, 5, 2, month) || text[7] != dash || !Digits(text, 8, 2, day)) {
        return std::nullopt;
    }
    std::size_t at = 10; // past what has been read
    if (text.size() > 10) {
        if ((text[10] != ' ' && text[10] != 'T') || text.size() < 16 ||
            !Digits(text, 11, 2, hour) || text[13] != ':' || !Digits(text, 14, 2, minute)) {
            return std::nullopt;
        }
        at = 16;
        if (text.size() > 16 && text[16] == ':') {
            if (!Digits(text, 17, 2, second)) {
                return std::nullopt;
            }
            at = 19;
        }
    }
    const date::year_month_day ymd{date::year{year}, date::month{static_cast<unsigned>(month)},
                                   date::day{static_cast<unsigned>(day)}};
    if (!ymd.ok() || hour > 23 || minute > 59 || second > 60) {
        return std::nullopt;
    }
    // The fraction as an exact integer over a power of ten.
    double fraction = 0.0;
    if (at == 19 && at < text.size() && text[at] == '.') {
        std::size_t digits = 0;
        std::int64_t numerator = 0;
        std::int64_t denominator = 1;
        for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits) {
            if (digits < 15) {
                numerator = numerator * 10 + (text[at] - '0');
                denominator *= 10;
            }
        }
        if (digits == 0) {
            return std::nullopt;
        }
        fraction = static_cast<double>(numerator) / static_cast<double>(denominator);
    }
    std::int64_t offset = 0; // seconds east of UTC
    if (at < text.size()) {
        if (text[at] == 'Z' && at + 1 == text.size()) {
            at = text.size();
        } else if (text[at] == '+' || text[at] == '-') {
            const int sign = text[at] == '+' ? 1 : -1;
            int oh = 0, om = 0;
            const std::string_view zone = text.substr(at + 1);
            const bool colon = zone.size() == 5 && zone[2] == ':';
            if (!Digits(zone, 0, 2, oh) || !(zone.size() == 2 || colon || zone.size() == 4) ||
                (zone.size() > 2 && !Digits(zone, colon ? 3 : 2, 2, om)) || oh > 23 || om > 59) {
                return std::nullopt;
            }
            offset = sign * (oh * 3600 + om * 60);
            at = text.size();
        } else {
            return std::nullopt;
        }
    }
    const std::int64_t days = date::sys_days{ymd}.time_since_epoch().count();
    const std::int64_t seconds = days * 86400 + hour * 3600 + minute * 60 + second - offset;
    return static_cast<double>(seconds) + fraction;
}

int UtmEpsg(double longitude, double latitude) {
    const int zone = std::clamp(static_cast<int>(std::floor((longitude + 180.0) / 6.0)) + 1, 1, 60);
    return (latitude >= 0 ? 32600 : 32700) + zone;
}

Status ProjectLongLat(Matrix& points, int epsg, const std::string& source_wkt) {
    OGRSpatialReference source;
    OGRSpatialReference target;
    CPLPushErrorHandler(CPLQuietErrorHandler); // the sentences below say it for the user
    const OGRErr source_read = source_wkt.empty() ? source.SetWellKnownGeogCS("WGS84")
                                                  : source.importFromWkt(source_wkt.c_str());
    const OGRErr imported = target.importFromEPSG(epsg);
    CPLPopErrorHandler();
    if (source_read != OGRERR_NONE || !source.IsGeographic()) {
        return Status::Failure("The coordinates' own system is not a known longitude/latitude "
                               "system, so they cannot be projected.");
    }
    source.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    if (imported != OGRERR_NONE) {
        return Status::Failure("The coordinate system EPSG:" + std::to_string(epsg) +
                               " is not known.");
    }
    if (!target.IsProjected()) {
        return Status::Failure("EPSG:" + std::to_string(epsg) +
                               " is not a projected coordinate system; choose one in metres.");
    }
    target.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    const std::unique_ptr<OGRCoordinateTransformation> transform(
        OGRCreateCoordinateTransformation(&source, &target));
    if (!transform) {
        return Status::Failure("No transformation from longitude/latitude to EPSG:" +
                               std::to_string(epsg) + " is available.");
    }
    const auto n = static_cast<std::size_t>(points.Rows());
    std::vector<double> x(n);
    std::vector<double> y(n);
    for (std::size_t i = 0; i < n; ++i) {
        x[i] = points(static_cast<std::int32_t>(i), 0);
        y[i] = points(static_cast<std::int32_t>(i), 1);
    }
    std::vector<int> ok(n, 0);
    if (n > 0 &&
        !transform->Transform(static_cast<int>(n), x.data(), y.data(), nullptr, ok.data())) {
        for (std::size_t i = 0; i < n; ++i) {
            if (ok[i] == 0) {
                return Status::Failure(
                    "The fix at longitude " +
                    FormatNumber(points(static_cast<std::int32_t>(i), 0)) + ", latitude " +
                    FormatNumber(points(static_cast<std::int32_t>(i), 1)) +
                    " cannot be projected to EPSG:" + std::to_string(epsg) + ".");
            }
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        points(static_cast<std::int32_t>(i), 0) = x[i];
        points(static_cast<std::int32_t>(i), 1) = y[i];
    }
    return {};
}

LeftOut& LeftOut::operator+=(const LeftOut& other) {
    no_coordinates += other.no_coordinates;
    no_time += other.no_time;
    no_error += other.no_error;
    outliers += other.outliers;
    duplicates += other.duplicates;
    return *this;
}

std::vector<std::string> LeftOutSentences(const LeftOut& all, const LeftOut* of_animal) {
    struct Reason {
        std::int64_t LeftOut::*count;
        const char* one;  // the sentence's subject for one row
        const char* many; // and for several
    };
    static constexpr Reason kReasons[] = {
        {&LeftOut::outliers, "fix marked as an outlier", "fixes marked as outliers"},
        {&LeftOut::no_coordinates, "row without coordinates (a failed fix)",
         "rows without coordinates (failed fixes)"},
        {&LeftOut::no_time, "row without a time", "rows without a time"},
        {&LeftOut::no_error, "fix without a location error", "fixes without a location error"},
        {&LeftOut::duplicates, "fix at a time its animal already had",
         "fixes at a time their animal already had"},
    };
    std::vector<std::string> sentences;
    for (const Reason& reason : kReasons) {
        const std::int64_t count = all.*reason.count;
        if (count == 0) {
            continue;
        }
        std::string sentence = std::to_string(count) + " " +
                               (count == 1 ? reason.one : reason.many) +
                               (count == 1 ? " was left out" : " were left out");
        if (of_animal != nullptr) {
            sentence += ", " + std::to_string(of_animal->*reason.count) + " of them this animal's";
        }
        sentences.push_back(sentence + ".");
    }
    return sentences;
}

bool FitLongLat(const Matrix& fixes, std::int32_t count) {
    for (std::int32_t k = 0; k < count; ++k) {
        if (!(std::fabs(fixes(k, 0)) <= 180 && std::fabs(fixes(k, 1)) <= 90)) {
            return false;
        }
    }
    return count > 0;
}

std::string AskSourceSystem(std::string_view who, std::string_view lead, std::string_view prefix) {
    const std::string p(prefix);
    return std::string(who) +
           ": every fix lies within -180..180 and -90..90, so the coordinates may be "
           "longitude/latitude or metres on a local grid, and nothing says which. " +
           std::string(lead) + ": " + p + "EPSG:4326 for longitude/latitude, " + p +
           "metres for coordinates already in metres, or " + p +
           "EPSG:<code> for any other system.";
}

namespace {

struct Row {
    double x = 0.0, y = 0.0, time = 0.0, error = 0.0, weight = 0.0;
    std::int64_t line = 0;
};

StatusOr<int> Field(const TelemetryTable& table, const std::string& name, const char* role) {
    const int index = table.FieldIndex(name);
    if (index < 0) {
        return Status::Failure(table.name + " has no field named \"" + name + "\" for the " + role +
                               ".");
    }
    return index;
}

StatusOr<double> Number(const TelemetryTable& table, std::size_t r, int column, const char* role) {
    const std::string& text = table.rows[r][static_cast<std::size_t>(column)];
    const auto value = ParseNumber(text);
    if (!value || !std::isfinite(*value)) {
        return Status::Failure(Where(table.name, table.lines[r]) + ": the " + role + " \"" + text +
                               "\" is not a number.");
    }
    return *value;
}

// The columns a split reads: -1 where the table has no such field or none was chosen.
struct Columns {
    int x = -1, y = -1, time = -1, animal = -1, error = -1, weight = -1;
    int visible = -1, outlier = -1; // Movebank's flags, found by name
};

StatusOr<Columns> FindColumns(const TelemetryTable& table, const TelemetryFields& fields) {
    Columns c;
    for (const auto& [name, index, role] :
         {std::tuple{&fields.x, &c.x, fields.geographic ? "longitude" : "easting"},
          std::tuple{&fields.y, &c.y, fields.geographic ? "latitude" : "northing"},
          std::tuple{&fields.time, &c.time, "time"},
          std::tuple{&fields.animal, &c.animal, "animal"},
          std::tuple{&fields.error, &c.error, "location error"},
          std::tuple{&fields.weight, &c.weight, "location weight"}}) {
        if (!name->empty() || index == &c.x || index == &c.y) {
            const auto found = Field(table, *name, role);
            if (!found.Ok()) {
                return found.status;
            }
            *index = found.value;
        }
    }
    if (!fields.keep_outliers) {
        for (std::size_t k = 0; k < table.fields.size(); ++k) {
            if (c.visible < 0 && NamesVisible(table.fields[k])) {
                c.visible = static_cast<int>(k);
            }
            if (c.outlier < 0 && NamesOutlierMark(table.fields[k])) {
                c.outlier = static_cast<int>(k);
            }
        }
    }
    return c;
}

const std::string& Cell(const std::vector<std::string>& row, int column) {
    return row[static_cast<std::size_t>(column)];
}

// The count of LeftOut a row goes to when it is not a fix, or null when it is one (its values
// still to be read).
using Reason = std::int64_t LeftOut::*;

Reason GapOf(const std::vector<std::string>& row, const Columns& c, const TelemetryFields& fields) {
    if ((c.visible >= 0 && IsFalseFlag(Cell(row, c.visible))) ||
        (c.outlier >= 0 && IsTrueFlag(Cell(row, c.outlier)))) {
        return &LeftOut::outliers;
    }
    if (IsMissingValue(Cell(row, c.x)) || IsMissingValue(Cell(row, c.y))) {
        return &LeftOut::no_coordinates;
    }
    if (c.time >= 0 && IsMissingValue(Cell(row, c.time))) {
        return &LeftOut::no_time;
    }
    if (c.error >= 0 && !fields.constant_error && IsMissingValue(Cell(row, c.error))) {
        return &LeftOut::no_error;
    }
    return nullptr;
}

// Reads the values of a row that is a fix.
StatusOr<Row> ReadFix(const TelemetryTable& table, std::size_t r, const Columns& c,
                      const TelemetryFields& fields, bool numeric_times, bool& error_filled) {
    Row fix;
    fix.line = table.lines[r];
    const auto x = Number(table, r, c.x, fields.geographic ? "longitude" : "easting");
    const auto y = Number(table, r, c.y, fields.geographic ? "latitude" : "northing");
    for (const auto* read : {&x, &y}) {
        if (!read->Ok()) {
            return read->status;
        }
    }
    fix.x = x.value;
    fix.y = y.value;
    if (fields.geographic && (std::fabs(fix.y) > 90 || std::fabs(fix.x) > 180)) {
        return Status::Failure(Where(table.name, fix.line) + ": longitude " + FormatNumber(fix.x) +
                               " and latitude " + FormatNumber(fix.y) +
                               " are not on the globe (latitudes lie within -90..90).");
    }
    const auto& row = table.rows[r];
    if (c.time >= 0) {
        const std::string& text = Cell(row, c.time);
        const auto time = numeric_times ? ParseNumber(text) : ParseTimestamp(text);
        if (!time) {
            return Status::Failure(Where(table.name, fix.line) + ": the time \"" + text +
                                   "\" is not a timestamp such as 2021-06-01 18:35:00.");
        }
        fix.time = *time;
    }
    error_filled = false;
    if (c.error >= 0 && !IsMissingValue(Cell(row, c.error))) {
        const auto error = Number(table, r, c.error, "location error");
        if (!error.Ok()) {
            return error.status;
        }
        fix.error = error.value;
    } else {
        fix.error = fields.constant_error.value_or(0.0);
        error_filled = c.error >= 0;
    }
    if (c.weight >= 0) {
        const auto weight = Number(table, r, c.weight, "location weight");
        if (!weight.Ok()) {
            return weight.status;
        }
        fix.weight = weight.value;
    }
    return fix;
}

// Sorts an animal's fixes by time and drops the later of two at one time when the fields say
// so (counting them); fails naming both rows otherwise.
Status SortByTime(std::vector<Row>& fixes, const TelemetryTable& table,
                  const TelemetryFields& fields, AnimalFixes& animal) {
    std::stable_sort(fixes.begin(), fixes.end(),
                     [](const Row& p, const Row& q) { return p.time < q.time; });
    if (fixes.size() < 2) {
        return {};
    }
    // The sort is stable, so the first of fixes at one time is the first in the table.
    std::size_t kept = 1;
    for (std::size_t k = 1; k < fixes.size(); ++k) {
        if (fixes[k].time != fixes[kept - 1].time) {
            fixes[kept++] = fixes[k];
        } else if (!fields.keep_first_duplicate) {
            return Status::Failure(table.name + ": lines " + std::to_string(fixes[kept - 1].line) +
                                   " and " + std::to_string(fixes[k].line) + " give animal \"" +
                                   animal.id + "\" two fixes at the same time.");
        }
    }
    animal.left_out.duplicates = static_cast<std::int64_t>(fixes.size() - kept);
    fixes.resize(kept);
    return {};
}

} // namespace

bool NeedsSourceSystem(const TelemetryTable& table, const TelemetryFields& fields) {
    if (fields.geographic || !fields.unstated_system) {
        return false;
    }
    const auto columns = FindColumns(table, fields);
    if (!columns.Ok()) {
        return false; // the split says what is wrong
    }
    const Columns& c = columns.value;
    std::map<std::string, bool> fit; // by animal: every fix so far fits longitude/latitude
    for (const auto& row : table.rows) {
        if (GapOf(row, c, fields) != nullptr) {
            continue;
        }
        const auto x = ParseNumber(Cell(row, c.x));
        const auto y = ParseNumber(Cell(row, c.y));
        const bool fits = x && y && std::fabs(*x) <= 180 && std::fabs(*y) <= 90;
        const auto [at, added] = fit.try_emplace(c.animal >= 0 ? Cell(row, c.animal) : "", fits);
        if (!added) {
            at->second = at->second && fits;
        }
    }
    return std::any_of(fit.begin(), fit.end(), [](const auto& animal) { return animal.second; });
}

StatusOr<TelemetrySplit> SplitTelemetry(const TelemetryTable& table,
                                        const TelemetryFields& fields) {
    const auto columns = FindColumns(table, fields);
    if (!columns.Ok()) {
        return columns.status;
    }
    const Columns& c = columns.value;
    // Numeric times are taken as they are; any other time must be a timestamp.
    bool numeric_times = c.time >= 0;
    for (std::size_t r = 0; numeric_times && r < table.rows.size(); ++r) {
        const std::string& text = Cell(table.rows[r], c.time);
        numeric_times = IsMissingValue(text) || ParseNumber(text).has_value();
    }

    TelemetrySplit split;
    split.timestamps = c.time >= 0 && !numeric_times;
    std::map<std::string, std::size_t> index_of;
    std::vector<std::vector<Row>> rows;
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const auto& row = table.rows[r];
        const std::string id = c.animal >= 0 ? Cell(row, c.animal) : "";
        const auto [at, added] = index_of.try_emplace(id, rows.size());
        if (added) {
            rows.emplace_back();
            split.animals.push_back({});
            split.animals.back().id = id;
        }
        AnimalFixes& animal = split.animals[at->second];
        if (const Reason gap = GapOf(row, c, fields); gap != nullptr) {
            ++(animal.left_out.*gap);
            continue;
        }
        bool filled = false;
        auto fix = ReadFix(table, r, c, fields, numeric_times, filled);
        if (!fix.Ok()) {
            return fix.status;
        }
        animal.error_filled += filled ? 1 : 0;
        rows[at->second].push_back(fix.value);
    }

    for (std::size_t a = 0; a < rows.size(); ++a) {
        std::vector<Row>& fixes = rows[a];
        AnimalFixes& animal = split.animals[a];
        if (c.time >= 0) {
            if (Status sorted = SortByTime(fixes, table, fields, animal); !sorted.Ok()) {
                return sorted;
            }
        }
        split.left_out += animal.left_out;
        split.error_filled += animal.error_filled;
        const auto n = static_cast<std::int32_t>(fixes.size());
        animal.fixes.Resize(n, 5);
        const double first = c.time >= 0 && !numeric_times && n > 0 ? fixes.front().time : 0.0;
        animal.first_time = first;
        double sum_x = 0.0, sum_y = 0.0;
        for (std::int32_t k = 0; k < n; ++k) {
            const Row& fix = fixes[static_cast<std::size_t>(k)];
            animal.fixes(k, 0) = fix.x;
            animal.fixes(k, 1) = fix.y;
            animal.fixes(k, 2) =
                numeric_times ? fix.time : (fix.time - first) / fields.seconds_per_unit;
            animal.fixes(k, 3) = fix.error;
            animal.fixes(k, 4) = fix.weight;
            sum_x += fix.x;
            sum_y += fix.y;
        }
        if (n > 0) {
            animal.time_span = animal.fixes(n - 1, 2) - animal.fixes(0, 2);
        }
        if (!fields.geographic && fields.unstated_system && FitLongLat(animal.fixes, n)) {
            return Status::Failure(
                AskSourceSystem(animal.id.empty() ? table.name : "Animal \"" + animal.id + "\""));
        }
        if (!fields.geographic && n > 0) {
            animal.epsg = fields.target_epsg; // says what the coordinates already are
        } else if (n > 0) {
            animal.epsg =
                fields.target_epsg != 0 ? fields.target_epsg : UtmEpsg(sum_x / n, sum_y / n);
            if (Status projected = ProjectLongLat(animal.fixes, animal.epsg, fields.source_wkt);
                !projected.Ok()) {
                return projected;
            }
        }
    }
    return split;
}

} // namespace ranvik
