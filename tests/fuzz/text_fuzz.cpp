// libFuzzer entry for the text location reader; RANVIK_TEXT_MODE picks which kind of file.
#include "fuzz/fuzz_checks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string failure =
        ranvik::fuzz::CheckTextLoad({reinterpret_cast<const char*>(data), size},
                                    static_cast<ranvik::fuzz::TextMode>(RANVIK_TEXT_MODE));
    if (!failure.empty()) {
        std::fprintf(stderr, "Text load check failed: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
