#include "bridge/motion_variance_file.h"

#include "state/number_text.h"

#include <cstddef>

namespace ranvik {

std::string MotionVarianceText(const Matrix& fixes, std::int32_t n,
                               const MotionVariance& variance) {
    std::string text = "time,x,y,motion_variance,windows,break\n";
    for (std::int32_t i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        text += FormatNumber(fixes(i, 2));
        text += ',';
        text += FormatNumber(fixes(i, 0));
        text += ',';
        text += FormatNumber(fixes(i, 1));
        text += ',';
        if (k < variance.segment.size() && variance.segment[k]) {
            text += FormatNumber(*variance.segment[k]);
        }
        text += ',';
        text += std::to_string(k < variance.windows.size() ? variance.windows[k] : 0);
        text += ',';
        text += std::to_string(k < variance.breaks.size() ? variance.breaks[k] : 0);
        text += '\n';
    }
    return text;
}

} // namespace ranvik
