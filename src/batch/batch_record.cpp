#include "batch/batch_record.h"

#include <bit>
#include <charconv>
#include <concepts>
#include <cstdint>
#include <fstream>
#include <vector>

namespace ranvik {
namespace {

constexpr std::string_view kRecordFormat = "ranvik-run 1";

// A 64-bit FNV-1a hash of a serialisation in which no two different sequences of values read
// alike: every number is 8 little-endian bytes (a double its bits), text and lists are led by
// their length, and an optional by whether it holds a value. The bytes do not depend on the
// machine, so a record written on one node of a cluster is read alike on another.
class Fingerprint {
public:
    Fingerprint& Add(std::string_view text) {
        Add(text.size());
        for (const char c : text) {
            Byte(static_cast<unsigned char>(c));
        }
        return *this;
    }
    template <std::integral T> Fingerprint& Add(T value) {
        Word(static_cast<std::uint64_t>(value));
        return *this;
    }
    Fingerprint& Add(double value) {
        Word(std::bit_cast<std::uint64_t>(value));
        return *this;
    }
    template <class T> Fingerprint& Add(const std::optional<T>& value) {
        Add(value.has_value());
        if (value) {
            Add(*value);
        }
        return *this;
    }
    template <class T> Fingerprint& Add(const std::vector<T>& values) {
        Add(values.size());
        for (const T& value : values) {
            Add(value);
        }
        return *this;
    }

    // The hash as 16 lower-case hexadecimal digits.
    [[nodiscard]] std::string Hex() const {
        std::string text(16, '0');
        for (std::size_t k = 0; k < 16; ++k) {
            text[15 - k] = "0123456789abcdef"[(hash_ >> (4 * k)) & 0xF];
        }
        return text;
    }

private:
    void Byte(unsigned char byte) {
        hash_ = (hash_ ^ byte) * 0x100000001b3ULL; // the FNV prime of 64 bits
    }
    void Word(std::uint64_t word) {
        for (int k = 0; k < 8; ++k) {
            Byte(static_cast<unsigned char>(word >> (8 * k)));
        }
    }

    std::uint64_t hash_ = 0xcbf29ce484222325ULL; // the FNV offset basis of 64 bits
};

void AddOptions(Fingerprint& f, const BatchOptions& options) {
    // Naming every member here stops the build when one is added to BatchOptions: a new member
    // must be added below, unless it changes no file and no summary line (as the output
    // folder, the jobs, quiet and resume do not; the table's rows are named by the estimators).
    // The overlap changes no animal's files either: it is computed afresh by every run that
    // asks for it, from grids made beside the animals' own, and writes only its own files.
    [[maybe_unused]] const auto& [input, out, id, x, y, time, error, weight, error_m, crs,
                                  source_crs, keep_outliers, resume, time_unit, table, estimators,
                                  compare, h, bb_variance, bb_max_time, bb_cell, dbbmm, levels,
                                  overlap, txt, tif, gpkg, jobs, quiet] = options;
    f.Add(input.filename().string()); // its rows are the input's fingerprint
    f.Add(id).Add(x).Add(y).Add(time).Add(error).Add(weight);
    f.Add(error_m);
    f.Add(crs);
    f.Add(source_crs);
    f.Add(keep_outliers);
    f.Add(time_unit);
    f.Add(estimators.size());
    for (const std::string& name : estimators) {
        f.Add(name);
    }
    f.Add(compare);
    f.Add(static_cast<int>(h.kind)).Add(h.value);
    f.Add(bb_variance);
    f.Add(bb_max_time);
    f.Add(bb_cell);
    f.Add(dbbmm.window).Add(dbbmm.margin);
    f.Add(levels);
    f.Add(txt).Add(tif).Add(gpkg);
}

void AddFields(Fingerprint& f, const TelemetryFields& fields) {
    // Naming every member here stops the build when one is added to TelemetryFields: a new
    // member must be added below.
    const auto& [x, y, time, animal, error, weight, constant_error, geographic, source_wkt,
                 target_epsg, unstated_system, seconds_per_unit, keep_first_duplicate,
                 keep_outliers] = fields;
    f.Add(x).Add(y).Add(time).Add(animal).Add(error).Add(weight);
    f.Add(constant_error);
    f.Add(geographic);
    f.Add(source_wkt);
    f.Add(target_epsg);
    f.Add(unstated_system);
    f.Add(seconds_per_unit);
    f.Add(keep_first_duplicate);
    f.Add(keep_outliers);
}

// The text after `key` and a space on the line that starts at `at`, which moves past the line;
// nothing when the line is not so.
std::optional<std::string_view> Field(std::string_view text, std::size_t& at,
                                      std::string_view key) {
    const std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view line = text.substr(at, end - at);
    if (!line.starts_with(key) || line.size() <= key.size() || line[key.size()] != ' ') {
        return std::nullopt;
    }
    at = end + 1;
    return line.substr(key.size() + 1);
}

bool IsFingerprint(std::string_view text) {
    return text.size() == 16 &&
           text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

} // namespace

std::string OptionsFingerprint(const BatchOptions& options, const TelemetryFields& fields) {
    Fingerprint f;
    AddOptions(f, options);
    AddFields(f, fields);
    return f.Hex();
}

std::string InputFingerprint(const BatchInput& input, std::size_t index) {
    const AnimalRows& animal = input.animals.at(index);
    const TelemetrySource& source = input.source;
    Fingerprint f;
    f.Add(animal.id);
    f.Add(std::filesystem::path(source.path).filename().string());
    f.Add(source.layer).Add(source.crs_wkt).Add(source.geographic).Add(source.metres);
    f.Add(animal.table.name);
    f.Add(animal.table.fields);
    f.Add(animal.table.rows);
    f.Add(animal.table.lines);
    return f.Hex();
}

std::string RecordText(const RunRecord& record) {
    return std::string(kRecordFormat) + "\noptions " + record.options + "\ninput " + record.input +
           "\nfailed " + (record.failed ? "yes" : "no") + "\nlines " +
           std::to_string(record.lines.size()) + "\n" + record.lines;
}

std::optional<RunRecord> ParseRecord(std::string_view text) {
    if (!text.starts_with(std::string(kRecordFormat) + "\n")) {
        return std::nullopt;
    }
    std::size_t at = kRecordFormat.size() + 1;
    const auto options = Field(text, at, "options");
    const auto input = Field(text, at, "input");
    const auto failed = Field(text, at, "failed");
    const auto size_text = Field(text, at, "lines");
    if (!options || !input || !failed || !size_text || !IsFingerprint(*options) ||
        !IsFingerprint(*input) || (*failed != "yes" && *failed != "no")) {
        return std::nullopt;
    }
    std::size_t size = 0;
    const char* end = size_text->data() + size_text->size();
    if (std::from_chars(size_text->data(), end, size).ptr != end || size_text->empty() ||
        text.size() - at != size) {
        return std::nullopt;
    }
    return RunRecord{std::string(*options), std::string(*input), *failed == "yes",
                     std::string(text.substr(at))};
}

Status WriteRecord(const std::filesystem::path& folder, const RunRecord& record) {
    const std::filesystem::path path = folder / kRecordName;
    const std::string text = RecordText(record);
    std::ofstream out(path, std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out.flush()) {
        return Status::Failure(path.string() + " cannot be written.");
    }
    return {};
}

std::optional<RunRecord> MatchingRecord(const BatchInput& input, std::size_t index,
                                        const BatchOptions& options,
                                        std::string_view options_fingerprint) {
    const std::filesystem::path path =
        options.out / AnimalFolderName(input.animals.at(index).id) / kRecordName;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    auto record = ParseRecord(text);
    if (!record || record->options != options_fingerprint ||
        record->input != InputFingerprint(input, index)) {
        return std::nullopt;
    }
    return record;
}

} // namespace ranvik
