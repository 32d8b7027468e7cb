#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ranvik {

// A dense table of doubles indexed (row, column), stored row by row.
//
// Location arrays and result grids are tables of this kind: row r is a location or a grid
// point, the columns are its quantities (x, y, probability, ...). A freshly sized table is all
// zeros, so the spare row n of an n-location array reads (0, 0) without further work.
class Matrix {
public:
    Matrix() = default;

    // A rows x cols table of zeros.
    Matrix(std::int32_t rows, std::int32_t cols) { Resize(rows, cols); }

    // Reallocates to rows x cols and discards the old contents (every cell becomes 0).
    void Resize(std::int32_t rows, std::int32_t cols) {
        assert(rows >= 0 && cols >= 0);
        rows_ = rows;
        cols_ = cols;
        data_.assign(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols), 0.0);
    }

    // Releases the storage; the table then has no rows (an unallocated array).
    void Clear() {
        rows_ = 0;
        cols_ = 0;
        data_.clear();
        data_.shrink_to_fit();
    }

    [[nodiscard]] std::int32_t Rows() const { return rows_; }
    [[nodiscard]] std::int32_t Cols() const { return cols_; }
    [[nodiscard]] bool Empty() const { return data_.empty(); }

    [[nodiscard]] double& operator()(std::int32_t row, std::int32_t col) {
        return data_[Index(row, col)];
    }
    [[nodiscard]] double operator()(std::int32_t row, std::int32_t col) const {
        return data_[Index(row, col)];
    }

    // The cells of one row, columns 0 .. Cols()-1.
    [[nodiscard]] std::span<double> Row(std::int32_t row) {
        return {data_.data() + Index(row, 0), static_cast<std::size_t>(cols_)};
    }
    [[nodiscard]] std::span<const double> Row(std::int32_t row) const {
        return {data_.data() + Index(row, 0), static_cast<std::size_t>(cols_)};
    }

    friend bool operator==(const Matrix&, const Matrix&) = default;

private:
    [[nodiscard]] std::size_t Index(std::int32_t row, std::int32_t col) const {
        assert(row >= 0 && row < rows_ && col >= 0 && col < cols_);
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(cols_) +
               static_cast<std::size_t>(col);
    }

    std::int32_t rows_ = 0;
    std::int32_t cols_ = 0;
    std::vector<double> data_;
};

} // namespace ranvik
