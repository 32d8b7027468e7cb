#include "input/field_names.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace ranvik {
namespace {

bool IsWordCharacter(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x80 && std::isalnum(u) != 0;
}

// True when the normalised `field` is one of `names` (each already normalised).
template <std::size_t N>
bool IsOneOf(std::string_view field, const std::array<std::string_view, N>& names) {
    const std::string normal = NormalizedFieldName(field);
    return !normal.empty() && std::find(names.begin(), names.end(), normal) != names.end();
}

// Trimmed of blanks at both ends.
std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())) != 0) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())) != 0) {
        text.remove_suffix(1);
    }
    return text;
}

bool EqualsIgnoringCase(std::string_view text, std::string_view lower) {
    return text.size() == lower.size() &&
           std::equal(text.begin(), text.end(), lower.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

constexpr std::array<std::string_view, 6> kLongitudes{
    "location-long", "longitude", "long", "lon", "lng", "gps-longitude"};
constexpr std::array<std::string_view, 4> kLatitudes{"location-lat", "latitude", "lat",
                                                     "gps-latitude"};
constexpr std::array<std::string_view, 2> kEastings{"easting", "utm-easting"};
constexpr std::array<std::string_view, 2> kNorthings{"northing", "utm-northing"};

} // namespace

std::string NormalizedFieldName(std::string_view name) {
    std::string normal;
    int depth = 0; // inside brackets
    bool gap = false;
    for (const char c : name) {
        if (c == '(' || c == '[' || c == '{') {
            ++depth;
            gap = true;
        } else if ((c == ')' || c == ']' || c == '}') && depth > 0) {
            --depth;
            gap = true;
        } else if (depth > 0) {
            continue;
        } else if (IsWordCharacter(c)) {
            if (gap && !normal.empty()) {
                normal += '-';
            }
            gap = false;
            normal += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        } else {
            gap = true;
        }
    }
    return normal;
}

bool NamesLongitude(std::string_view field) {
    return IsOneOf(field, kLongitudes);
}

bool NamesLatitude(std::string_view field) {
    return IsOneOf(field, kLatitudes);
}

bool NamesEasting(std::string_view field) {
    return IsOneOf(field, kEastings);
}

bool NamesNorthing(std::string_view field) {
    return IsOneOf(field, kNorthings);
}

bool NamesPlainX(std::string_view field) {
    return IsOneOf(field, std::array<std::string_view, 1>{"x"});
}

bool NamesPlainY(std::string_view field) {
    return IsOneOf(field, std::array<std::string_view, 1>{"y"});
}

bool NamesVisible(std::string_view field) {
    return IsOneOf(field, std::array<std::string_view, 1>{"visible"});
}

bool NamesOutlierMark(std::string_view field) {
    return IsOneOf(field, std::array<std::string_view, 1>{"manually-marked-outlier"});
}

std::string FindField(std::span<const std::string> fields, FieldRole role) {
    static constexpr std::array<std::string_view, 4> kTimes{"timestamp", "datetime", "date-time",
                                                            "time"};
    static constexpr std::array<std::string_view, 5> kAnimals{"individual-local-identifier",
                                                              "tag-local-identifier", "animal-id",
                                                              "individual-id", "animal"};
    static constexpr std::array<std::string_view, 2> kErrors{"eobs-horizontal-accuracy-estimate",
                                                             "gps-horizontal-accuracy-estimate"};
    std::span<const std::string_view> names;
    switch (role) {
    case FieldRole::Time:
        names = kTimes;
        break;
    case FieldRole::Animal:
        names = kAnimals;
        break;
    case FieldRole::LocationError:
        names = kErrors;
        break;
    }
    for (const std::string_view wanted : names) {
        for (const std::string& field : fields) {
            if (!field.empty() && NormalizedFieldName(field) == wanted) {
                return field;
            }
        }
    }
    return {};
}

bool IsMissingValue(std::string_view text) {
    text = Trimmed(text);
    return text.empty() || text == "-" || EqualsIgnoringCase(text, "na") ||
           EqualsIgnoringCase(text, "nan") || EqualsIgnoringCase(text, "null") ||
           EqualsIgnoringCase(text, "n/a");
}

bool IsTrueFlag(std::string_view text) {
    text = Trimmed(text);
    return text == "1" || EqualsIgnoringCase(text, "true");
}

bool IsFalseFlag(std::string_view text) {
    text = Trimmed(text);
    return text == "0" || EqualsIgnoringCase(text, "false");
}

} // namespace ranvik
