// Writes the seed corpus of every fuzz target from our example data:
//   make_fuzz_seeds <examples folder> <corpus folder>
// Text targets get the example text files as they are; the shapefile target gets the first
// records of each example shapefile, written again and packed into one input (short inputs keep
// the fuzzer fast; the whole files are checked by the tests).
#include "fuzz/fuzz_checks.h"
#include "input/shape_layer.h"
#include "input/shape_writer.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

namespace {

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

constexpr std::size_t kSeedRecords = 8;

// The first records of a layer as a shapefile of their own at `path`.
bool WriteFirstRecords(const ranvik::ShapeLayer& layer, const std::filesystem::path& path) {
    ranvik::ShapefileContent content;
    content.shape_type = layer.shape_type;
    content.fields = layer.fields;
    const std::size_t count = std::min(kSeedRecords, layer.geometries.size());
    const std::size_t width = layer.fields.size();
    for (std::size_t r = 0; r < count; ++r) {
        content.geometries.push_back(layer.geometries[r]);
        content.values.emplace_back(layer.texts.begin() + static_cast<std::ptrdiff_t>(r * width),
                                    layer.texts.begin() +
                                        static_cast<std::ptrdiff_t>((r + 1) * width));
    }
    return ranvik::WriteShapefile(path, content).Ok();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make_fuzz_seeds <examples folder> <corpus folder>\n";
        return 2;
    }
    const std::filesystem::path examples = argv[1];
    const std::filesystem::path corpus = argv[2];
    for (const char* target :
         {"text_independent", "text_weighted", "text_bridge", "text_user_points"}) {
        std::filesystem::create_directories(corpus / target);
        for (const auto& entry : std::filesystem::directory_iterator(examples)) {
            if (entry.path().extension() == ".txt") {
                std::filesystem::copy_file(entry.path(), corpus / target / entry.path().filename(),
                                           std::filesystem::copy_options::overwrite_existing);
            }
        }
    }
    std::filesystem::create_directories(corpus / "shapefile");
    const std::filesystem::path scratch = corpus / "shapefile-records";
    std::filesystem::create_directories(scratch);
    for (const auto& entry : std::filesystem::directory_iterator(examples / "shapefiles")) {
        if (entry.path().extension() != ".shp") {
            continue;
        }
        const auto layer = ranvik::OpenShapeLayer(entry.path());
        const std::filesystem::path first = scratch / entry.path().filename();
        if (!layer.Ok() || !WriteFirstRecords(layer.value, first)) {
            std::cerr << "cannot make a seed of " << entry.path() << "\n";
            return 1;
        }
        auto sibling = [&](const char* extension) {
            return ReadAll(std::filesystem::path(first).replace_extension(extension));
        };
        WriteAll(corpus / "shapefile" / entry.path().stem(),
                 ranvik::fuzz::PackShapefile(sibling(".shp"), sibling(".shx"), sibling(".dbf")));
    }
    std::filesystem::remove_all(scratch);
    return 0;
}
