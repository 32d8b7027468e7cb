#include "app/forms/home_range_sketch.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace ranvik {
namespace {

// A small fixed generator, so that the picture does not change from run to run or between
// standard libraries.
class Scatter {
public:
    // Uniform on (0, 1).
    double Uniform() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return (static_cast<double>(state_ >> 11) + 0.5) / 9007199254740992.0;
    }

    // Standard normal, by Box-Muller.
    double Normal() {
        const double r = std::sqrt(-2.0 * std::log(Uniform()));
        return r * std::cos(2.0 * std::numbers::pi * Uniform());
    }

private:
    std::uint64_t state_ = 0x2545F4914F6CDD1DULL;
};

// A closed, gently lobed outline around `centre`: radius rx, ry scaled by 1 + the wobble at
// each angle, so that it reads as a home range rather than an ellipse.
QPainterPath Outline(QPointF centre, double rx, double ry, double phase) {
    constexpr int kSteps = 120;
    QPainterPath path;
    for (int i = 0; i <= kSteps; ++i) {
        const double a = 2.0 * std::numbers::pi * i / kSteps;
        const double wobble =
            1.0 + 0.10 * std::sin(2.0 * a + phase) + 0.06 * std::cos(3.0 * a - phase);
        const QPointF p(centre.x() + rx * wobble * std::cos(a),
                        centre.y() + ry * wobble * std::sin(a));
        if (i == 0) {
            path.moveTo(p);
        } else {
            path.lineTo(p);
        }
    }
    path.closeSubpath();
    return path;
}

} // namespace

QPixmap HomeRangeSketch(QSize size, qreal pixel_ratio) {
    QPixmap pixmap(size * pixel_ratio);
    pixmap.setDevicePixelRatio(pixel_ratio);
    pixmap.fill(QColor(246, 244, 236));
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    const double w = size.width();
    const double h = size.height();
    const QPointF centre(0.5 * w, 0.52 * h);
    const QPainterPath range95 = Outline(centre, 0.40 * w, 0.40 * h, 0.6);
    const QPainterPath range50 =
        Outline(centre + QPointF(-0.05 * w, -0.03 * h), 0.17 * w, 0.19 * h, 2.1);

    painter.setPen(QPen(QColor(92, 128, 104), 1.4));
    painter.setBrush(QColor(205, 224, 200));
    painter.drawPath(range95);
    painter.setPen(QPen(QColor(52, 96, 78), 1.6));
    painter.setBrush(QColor(163, 199, 166));
    painter.drawPath(range50);

    // Most locations near the core, some farther out; a few strays beyond the 95 % line.
    Scatter scatter;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(70, 62, 52));
    const double dot = std::max(1.5, 0.010 * w);
    for (int i = 0; i < 70; ++i) {
        const double spread = i < 45 ? 0.13 : 0.24;
        const QPointF p(centre.x() - 0.04 * w + spread * w * scatter.Normal(),
                        centre.y() - 0.02 * h + spread * h * scatter.Normal());
        if (i < 66 && !range95.contains(p)) {
            continue;
        }
        painter.drawEllipse(p, dot, dot);
    }

    // A legend in the lower right corner: a swatch of each fill and its percentage.
    QFont font = painter.font();
    font.setPixelSize(std::max(8, static_cast<int>(0.075 * h)));
    painter.setFont(font);
    const double line = font.pixelSize() * 1.3;
    const double swatch = 0.7 * font.pixelSize();
    const double left = w - 4.0 * font.pixelSize();
    const struct {
        QColor fill;
        QColor edge;
        QString text;
    } entries[] = {{QColor(163, 199, 166), QColor(52, 96, 78), QStringLiteral("50 %")},
                   {QColor(205, 224, 200), QColor(92, 128, 104), QStringLiteral("95 %")}};
    double top = h - 2.0 * line - 2.0;
    for (const auto& entry : entries) {
        painter.setPen(QPen(entry.edge, 1.0));
        painter.setBrush(entry.fill);
        painter.drawRect(QRectF(left, top + (line - swatch) / 2.0, swatch, swatch));
        painter.setPen(QColor(52, 96, 78));
        painter.drawText(QRectF(left + swatch + 4.0, top, w - left, line), Qt::AlignVCenter,
                         entry.text);
        top += line;
    }
    return pixmap;
}

} // namespace ranvik
