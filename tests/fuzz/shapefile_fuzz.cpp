// libFuzzer entry for the shapefile layer: .shp, .shx and .dbf packed into one input.
#include "fuzz/fuzz_checks.h"

#include <cpl_conv.h>
#include <cpl_error.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    CPLSetErrorHandler(CPLQuietErrorHandler);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string failure =
        ranvik::fuzz::CheckShapefileLoad({reinterpret_cast<const char*>(data), size});
    if (!failure.empty()) {
        std::fprintf(stderr, "Shapefile load check failed: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
