#include "state/number_text.h"

#include <array>
#include <charconv>
#include <cmath>

namespace ranvik {

void AppendNumber(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "NaN";
        return;
    }
    if (std::isinf(value)) {
        out += value > 0 ? "Infinity" : "-Infinity";
        return;
    }
    if (value == 0.0) {
        out += '0'; // also for -0.0
        return;
    }
    // to_chars in general form with precision 15 chooses fixed or exponent notation exactly
    // as needed here (exponent when it is below -4 or at least 15 after rounding), drops
    // trailing zeros, and never consults the locale.
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::general, 15);
    for (const char* p = buffer.data(); p != result.ptr; ++p) {
        out += *p == 'e' ? 'E' : *p;
    }
}

std::string FormatNumber(double value) {
    std::string text;
    AppendNumber(text, value);
    return text;
}

double AsShown(double value) {
    const auto shown = ParseNumber(FormatNumber(value));
    return shown ? *shown : value;
}

double RoundHalfEven(double value, int decimals) {
    if (!std::isfinite(value)) {
        return value;
    }
    // Powers of ten up to 10^22 are exact doubles; a table spares a pow call per grid value.
    static constexpr std::array<double, 16> kPowersOfTen = {
        1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const double scale = kPowersOfTen.at(static_cast<std::size_t>(decimals));
    const double scaled = value * scale;
    constexpr double kNoFractionLeft = 4503599627370496.0; // 2^52
    if (std::fabs(scaled) >= kNoFractionLeft) {
        return value;
    }
    // nearbyint rounds in the default mode, to nearest with ties to even.
    const double rounded = std::nearbyint(scaled) / scale;
    return rounded == 0.0 ? 0.0 : rounded;
}

std::optional<double> ParseNumber(std::string_view text) {
    const auto is_blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && is_blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && is_blank(text.back())) {
        text.remove_suffix(1);
    }
    // from_chars takes a minus sign but not a plus sign.
    if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+') {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    double value = 0.0;
    const auto result =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (result.ec != std::errc{} || result.ptr != text.data() + text.size() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

} // namespace ranvik
