#include "batch/batch_summary.h"

#include "state/number_text.h"

#include <algorithm>

namespace ranvik {

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

namespace {

std::string NumberField(const std::optional<double>& value) {
    return value ? FormatNumber(*value) : std::string();
}

} // namespace

double SummaryArea(double area) {
    const double rounded = RoundHalfEven(area, 2);
    return rounded == 0 && area > 0 ? area : rounded;
}

std::string SummaryHeader(bool compare) {
    std::string header = "animal,estimator,n_locations,smoothing_h,bb_variance,level_percent,"
                         "area_m2,crs,skipped_no_coordinates,skipped_no_time,skipped_no_error,"
                         "skipped_outliers,skipped_duplicates";
    if (compare) {
        header += ",neg2lnl,aicc,cvc";
    }
    return header + ",area_low_m2,area_high_m2,model,effective_n,error\n";
}

std::string SummaryLines(const AnimalResult& result, bool compare) {
    std::string text;
    // Each field after the first is appended behind its comma.
    const auto field = [&text](const std::string& value) {
        text += ',';
        text += value;
    };
    for (const SummaryRow& row : result.rows) {
        text += CsvField(row.animal);
        field(CsvField(row.estimator));
        field(std::to_string(row.n_locations));
        for (const auto* value :
             {&row.smoothing_h, &row.bb_variance, &row.level_percent, &row.area_m2}) {
            field(NumberField(*value));
        }
        field(CsvField(row.crs));
        for (const auto count : {&LeftOut::no_coordinates, &LeftOut::no_time, &LeftOut::no_error,
                                 &LeftOut::outliers, &LeftOut::duplicates}) {
            field(row.left_out ? std::to_string(*row.left_out.*count) : std::string());
        }
        if (compare) {
            for (const auto* value : {&row.neg2lnl, &row.aicc, &row.cvc}) {
                field(NumberField(*value));
            }
        }
        field(NumberField(row.area_low_m2));
        field(NumberField(row.area_high_m2));
        field(CsvField(row.model));
        field(NumberField(row.effective_n));
        field(CsvField(row.error));
        text += '\n';
    }
    return text;
}

std::string SummaryText(std::vector<std::pair<std::string, std::string>> lines, bool compare) {
    std::stable_sort(lines.begin(), lines.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string text = SummaryHeader(compare);
    for (const auto& [animal, animal_lines] : lines) {
        text += animal_lines;
    }
    return text;
}

} // namespace ranvik
