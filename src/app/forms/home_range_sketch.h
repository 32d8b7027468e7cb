#pragma once

#include <QPixmap>
#include <QSize>

namespace ranvik {

// The picture on the analysis form: one animal's scattered locations with the outlines of its
// 50 % (core) and 95 % home ranges, in quiet greens on a pale ground. Always the same picture
// for a given size; `pixel_ratio` is the screen's device pixel ratio, so that it stays sharp.
[[nodiscard]] QPixmap HomeRangeSketch(QSize size, qreal pixel_ratio = 1.0);

} // namespace ranvik
