#pragma once

namespace ranvik {

// The window caption of every wizard form; the version is the build's (RANVIK_VERSION).
inline constexpr const char* kFormCaption = "Ranvik " RANVIK_VERSION " Beta";

// The title of message boxes that have none of their own.
inline constexpr const char* kMessageTitle = "Ranvik";

} // namespace ranvik
