#pragma once

namespace ranvik {

// The window caption of every wizard form.
inline constexpr const char* kFormCaption = "Ranvik 1.3 Beta";

// The title of message boxes that have none of their own.
inline constexpr const char* kMessageTitle = "Ranvik";

} // namespace ranvik
