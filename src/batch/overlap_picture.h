#pragma once

#include "state/status.h"

#include <filesystem>
#include <string>
#include <vector>

namespace ranvik {

// The most animals whose values are printed in the cells of the picture; beyond that the cells
// are too small for text and only their colours show.
inline constexpr std::size_t kMostPrintedAnimals = 30;

// Writes a PNG picture (RGB) of a symmetric matrix of values in 0..1 between the animals
// `names`: `values` holds n x n values row by row (n = names.size() >= 1). A title line; the
// matrix with the names to the left of its rows and above its columns (read upwards); each cell
// coloured from dark violet (0) through blue and green to yellow (1), with its value to two
// decimals when there are at most kMostPrintedAnimals animals; and a colour scale from 0 to 1
// on the right. Text is drawn with the built-in 5 x 7 font (names cut to 20 characters). Fails
// with a sentence for the user when the file cannot be written.
[[nodiscard]] Status WriteMatrixPicture(const std::filesystem::path& path,
                                        const std::vector<std::string>& names,
                                        const std::vector<double>& values,
                                        const std::string& title);

} // namespace ranvik
