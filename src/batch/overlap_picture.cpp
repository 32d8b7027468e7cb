#include "batch/overlap_picture.h"

#include "batch/bitmap_font.h"

#include <gdal_priv.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>

namespace ranvik {
namespace {

using Rgb = std::array<std::uint8_t, 3>;

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};
constexpr int kMargin = 10;
constexpr std::size_t kLongestName = 20;
// Cells of a picture that prints its values: "0.87" in glyphs drawn twice their size (4
// characters of 12 pixels) with room around it.
constexpr int kPrintedCell = 54;
// The matrix of a larger study fits in about this many pixels, its cells at least 2 wide.
constexpr int kMatrixPixels = 1200;

// The colour of a value in 0..1, interpolated between five stops from dark violet to yellow
// (a scale that stays readable in grey and to the common colour blindnesses).
Rgb ColourOf(double value) {
    static constexpr std::array<Rgb, 5> kStops{
        {{68, 1, 84}, {59, 82, 139}, {33, 145, 140}, {94, 201, 98}, {253, 231, 37}}};
    const double at = std::clamp(std::isfinite(value) ? value : 0.0, 0.0, 1.0) * 4;
    const auto k = std::min(static_cast<std::size_t>(at), std::size_t{3});
    const double f = at - static_cast<double>(k);
    Rgb c{};
    for (std::size_t b = 0; b < 3; ++b) {
        c[b] = static_cast<std::uint8_t>(
            std::lround(kStops[k][b] + f * (kStops[k + 1][b] - kStops[k][b])));
    }
    return c;
}

// An RGB image in three planes, as the bands of the file.
class Image {
public:
    Image(int width, int height)
        : width_(width), height_(height),
          planes_(3, std::vector<std::uint8_t>(static_cast<std::size_t>(width * height), 255)) {}

    [[nodiscard]] int Width() const { return width_; }
    [[nodiscard]] int Height() const { return height_; }
    [[nodiscard]] std::vector<std::uint8_t>& Plane(int band) {
        return planes_[static_cast<std::size_t>(band)];
    }

    void Set(int x, int y, const Rgb& c) {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) {
            return;
        }
        for (std::size_t b = 0; b < 3; ++b) {
            planes_[b][static_cast<std::size_t>(y * width_ + x)] = c[b];
        }
    }

    void Fill(int x, int y, int w, int h, const Rgb& c) {
        for (int dy = 0; dy < h; ++dy) {
            for (int dx = 0; dx < w; ++dx) {
                Set(x + dx, y + dy, c);
            }
        }
    }

    // Text whose top left is (x, y), glyphs `scale` times their size; upwards from its bottom
    // left (x, y) when `upright` is false.
    void Text(int x, int y, const std::string& text, int scale, const Rgb& c, bool upright = true) {
        const int advance = (kGlyphWidth + 1) * scale;
        for (std::size_t n = 0; n < text.size(); ++n) {
            const auto& rows = Glyph(text[n]);
            for (int gy = 0; gy < kGlyphHeight; ++gy) {
                for (int gx = 0; gx < kGlyphWidth; ++gx) {
                    if (((rows[static_cast<std::size_t>(gy)] >> (kGlyphWidth - 1 - gx)) & 1) == 0) {
                        continue;
                    }
                    const int along = static_cast<int>(n) * advance + gx * scale;
                    if (upright) {
                        Fill(x + along, y + gy * scale, scale, scale, c);
                    } else {
                        Fill(x + gy * scale, y - along - scale, scale, scale, c);
                    }
                }
            }
        }
    }

private:
    int width_, height_;
    std::vector<std::vector<std::uint8_t>> planes_;
};

int TextWidth(const std::string& text, int scale) {
    return static_cast<int>(text.size()) * (kGlyphWidth + 1) * scale;
}

std::string Fixed2(double value) {
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};

Status WritePng(const std::filesystem::path& path, Image& image) {
    GDALAllRegister();
    GDALDriver* memory = GetGDALDriverManager()->GetDriverByName("MEM");
    GDALDriver* png = GetGDALDriverManager()->GetDriverByName("PNG");
    const Status failed = Status::Failure("Could not write " + path.string() + ".");
    if (memory == nullptr || png == nullptr) {
        return failed;
    }
    std::unique_ptr<GDALDataset, DatasetCloser> raster(
        memory->Create("", image.Width(), image.Height(), 3, GDT_Byte, nullptr));
    for (int band = 0; band < 3; ++band) {
        if (raster->GetRasterBand(band + 1)->RasterIO(
                GF_Write, 0, 0, image.Width(), image.Height(), image.Plane(band).data(),
                image.Width(), image.Height(), GDT_Byte, 0, 0, nullptr) != CE_None) {
            return failed;
        }
    }
    CPLPushErrorHandler(CPLQuietErrorHandler);
    std::unique_ptr<GDALDataset, DatasetCloser> copy(
        png->CreateCopy(path.string().c_str(), raster.get(), FALSE, nullptr, nullptr, nullptr));
    CPLPopErrorHandler();
    // The PNG driver keeps its own notes beside the file otherwise.
    std::error_code ignored;
    std::filesystem::remove(path.string() + ".aux.xml", ignored);
    return copy ? Status{} : failed;
}

} // namespace

Status WriteMatrixPicture(const std::filesystem::path& path, const std::vector<std::string>& names,
                          const std::vector<double>& values, const std::string& title) {
    const auto n = static_cast<int>(names.size());
    const bool printed = names.size() <= kMostPrintedAnimals;
    const int cell = printed ? kPrintedCell : std::max(2, kMatrixPixels / std::max(n, 1));
    // Names are drawn twice their size beside printed cells, at their size beside cells tall
    // enough for a glyph, and left out beside smaller ones.
    const int scale = printed ? 2 : 1;
    const bool labelled = cell >= kGlyphHeight * scale;
    std::vector<std::string> labels;
    int label = 0;
    for (const std::string& name : names) {
        labels.push_back(name.substr(0, kLongestName));
        label = labelled ? std::max(label, TextWidth(labels.back(), scale)) : 0;
    }
    const int title_height = kGlyphHeight * 2 + kMargin;
    const int mx = kMargin + label + kMargin;
    const int my = kMargin + title_height + label + kMargin;
    const int side = n * cell;
    const int bar_x = mx + side + 2 * kMargin;
    const int bar_height = std::max(side, 100);
    const int width = std::max(bar_x + 20 + 6 + TextWidth("0.5", 2) + kMargin,
                               kMargin + TextWidth(title, 2) + kMargin);
    Image image(width, my + bar_height + kMargin);

    image.Text(kMargin, kMargin, title, 2, kBlack);
    for (int a = 0; a < n; ++a) {
        const auto& text = labels[static_cast<std::size_t>(a)];
        const int middle = a * cell + (cell - kGlyphHeight * scale) / 2;
        if (labelled) {
            image.Text(mx - kMargin / 2 - TextWidth(text, scale), my + middle, text, scale, kBlack);
            image.Text(mx + middle, my - kMargin / 2, text, scale, kBlack, false);
        }
        for (int b = 0; b < n; ++b) {
            const double v = values[static_cast<std::size_t>(a * n + b)];
            image.Fill(mx + b * cell, my + a * cell, cell, cell, ColourOf(v));
            if (printed) {
                const std::string number = Fixed2(v);
                image.Text(mx + b * cell + (cell - TextWidth(number, 2)) / 2,
                           my + a * cell + (cell - kGlyphHeight * 2) / 2, number, 2,
                           v < 0.6 ? kWhite : kBlack);
            }
        }
    }
    for (int y = 0; y < bar_height; ++y) {
        image.Fill(bar_x, my + y, 20, 1,
                   ColourOf(1.0 - static_cast<double>(y) / std::max(bar_height - 1, 1)));
    }
    image.Text(bar_x + 26, my, "1", 2, kBlack);
    image.Text(bar_x + 26, my + bar_height / 2 - kGlyphHeight, "0.5", 2, kBlack);
    image.Text(bar_x + 26, my + bar_height - kGlyphHeight * 2, "0", 2, kBlack);
    return WritePng(path, image);
}

} // namespace ranvik
