#pragma once

#include <array>
#include <cstdint>

namespace ranvik {

// A 5 x 7 bitmap font of the printable ASCII characters (32 to 126), drawn for this program.
inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;

// The rows of a character, top first; bit 4 of a row is its left pixel. Characters outside
// 32..126 are drawn as '?'.
[[nodiscard]] const std::array<std::uint8_t, kGlyphHeight>& Glyph(char c);

} // namespace ranvik
