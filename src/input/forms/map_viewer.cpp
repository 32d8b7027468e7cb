#include "input/forms/map_viewer.h"

#include "ui/form_kit.h"

#include <QAction>
#include <QActionGroup>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <string>

namespace ranvik {
namespace {

// Identify finds features within this distance of the click, at the current zoom (about 7
// pixels at 96 dpi).
constexpr double kIdentifyTwips = 100.0;

// The width of each of the identify window's two columns.
constexpr double kIdentifyColumnTwips = 2500.0;

// Why the map cannot draw `layer`, or Ok when it can (see MapCanvas::AddLayer).
Status CheckDrawable(const ShapeLayer& layer) {
    bool any = false;
    for (std::size_t r = 0; r < layer.geometries.size(); ++r) {
        for (const auto& part : layer.geometries[r].parts) {
            for (const auto& [x, y] : part) {
                if (!std::isfinite(x) || !std::isfinite(y)) {
                    return Status::Failure("Record " + std::to_string(r + 1) + " of " + layer.name +
                                           " has a coordinate that is not a finite number.");
                }
                any = true;
            }
        }
    }
    if (!any && layer.records == 0) {
        return Status::Failure(layer.name + " has no records to draw.");
    }
    if (!any) {
        return Status::Failure(layer.name + " has no shapes to draw: none of its " +
                               std::to_string(layer.records) + " records has a coordinate.");
    }
    return {};
}

} // namespace

MapCanvas::MapCanvas(QWidget* parent) : QWidget(parent) {
    setMinimumSize(320, 240);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

Status MapCanvas::AddLayer(ShapeLayer layer) {
    Status drawable = CheckDrawable(layer);
    if (!drawable.Ok()) {
        return drawable;
    }
    layer_ = std::move(layer);
    update();
    return {};
}

void MapCanvas::SetExtent(const QRectF& extent) {
    extent_ = extent.normalized();
    update();
}

void MapCanvas::ShowFullExtent() {
    if (!layer_) {
        return;
    }
    const ShapeExtent e = FullExtent(*layer_);
    QRectF box(QPointF(e.x0, e.y0), QPointF(e.x1, e.y1));
    // A single point or a straight line still gets a box to look at.
    const double pad = std::max({box.width(), box.height(), 1.0}) * 0.05;
    SetExtent(box.adjusted(-pad, -pad, pad, pad));
}

double MapCanvas::Scale() const {
    return std::min(width() / std::max(extent_.width(), 1e-12),
                    height() / std::max(extent_.height(), 1e-12));
}

QPointF MapCanvas::ToPixel(const QPointF& map) const {
    const double s = Scale();
    const QPointF centre = extent_.center();
    return {width() / 2.0 + (map.x() - centre.x()) * s,
            height() / 2.0 - (map.y() - centre.y()) * s};
}

QPointF MapCanvas::ToMap(const QPointF& pixel) const {
    const double s = Scale();
    const QPointF centre = extent_.center();
    return {centre.x() + (pixel.x() - width() / 2.0) / s,
            centre.y() - (pixel.y() - height() / 2.0) / s};
}

void MapCanvas::paintEvent(QPaintEvent*) {
    if (!layer_) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const auto to_pixels = [this](const std::vector<std::pair<double, double>>& part) {
        QPolygonF polygon;
        for (const auto& [x, y] : part) {
            polygon << ToPixel({x, y});
        }
        return polygon;
    };
    for (const ShapeGeometry& g : layer_->geometries) {
        switch (layer_->shape_type) {
        case kPolygonShape: {
            QPainterPath path;
            path.setFillRule(Qt::OddEvenFill);
            for (const auto& part : g.parts) {
                path.addPolygon(to_pixels(part));
                path.closeSubpath();
            }
            painter.setPen(QPen(Qt::black, 1));
            painter.setBrush(QColor(255, 255, 128));
            painter.drawPath(path);
            break;
        }
        case kLineShape:
            painter.setPen(QPen(QColor(0, 128, 0), 2));
            for (const auto& part : g.parts) {
                painter.drawPolyline(to_pixels(part));
            }
            break;
        default:
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(255, 0, 0));
            for (const auto& part : g.parts) {
                for (const QPointF& p : to_pixels(part)) {
                    painter.drawEllipse(p, 3.0, 3.0);
                }
            }
            break;
        }
    }
    if (press_ && tool_ == Tool::ZoomIn) {
        painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(*press_, drag_).normalized());
    }
}

void MapCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !layer_) {
        return;
    }
    const QPointF at = event->position();
    switch (tool_) {
    case Tool::ZoomIn:
    case Tool::Pan:
        press_ = at;
        drag_ = at;
        break;
    case Tool::Identify: {
        const QPointF map = ToMap(at);
        const double tolerance = TwipsToPixels(kIdentifyTwips, *this) / Scale();
        const int record = FindFeature(*layer_, map.x(), map.y(), tolerance);
        if (record >= 0) {
            Q_EMIT Identified(record);
        }
        break;
    }
    case Tool::None:
        break;
    }
}

void MapCanvas::mouseMoveEvent(QMouseEvent* event) {
    if (!press_) {
        return;
    }
    const QPointF at = event->position();
    if (tool_ == Tool::Pan) {
        const QPointF from = ToMap(drag_);
        const QPointF to = ToMap(at);
        extent_.translate(from - to);
    }
    drag_ = at;
    update();
}

void MapCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (!press_) {
        return;
    }
    mouseMoveEvent(event);
    if (tool_ == Tool::ZoomIn) {
        const QRectF pixels = QRectF(*press_, drag_).normalized();
        if (pixels.width() > 2 && pixels.height() > 2) {
            SetExtent(QRectF(ToMap(pixels.topLeft()), ToMap(pixels.bottomRight())));
        }
    }
    press_.reset();
    update();
}

frmIdentify::frmIdentify() {
    setObjectName(QStringLiteral("frmIdentify"));
    setWindowTitle(QStringLiteral("Identification"));
    results_list = new QTreeWidget(this);
    results_list->setObjectName(QStringLiteral("lvwIdentifyResults"));
    results_list->setRootIsDecorated(false);
    results_list->setHeaderLabels({QStringLiteral("Field"), QStringLiteral("Value")});
    const int column = static_cast<int>(std::lround(TwipsToPixels(kIdentifyColumnTwips, *this)));
    results_list->setColumnWidth(0, column);
    results_list->setColumnWidth(1, column);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(results_list);
    resize(2 * column + 40, 240);
}

void frmIdentify::ShowRecord(const ShapeLayer& layer, int record) {
    results_list->clear();
    const std::size_t width = layer.fields.size();
    for (std::size_t f = 0; f < width; ++f) {
        results_list->addTopLevelItem(new QTreeWidgetItem(
            {QString::fromStdString(layer.fields[f].name),
             QString::fromStdString(layer.texts[static_cast<std::size_t>(record) * width + f])}));
    }
}

frmViewShapeFile::frmViewShapeFile() {
    setObjectName(QStringLiteral("frmViewShapeFile"));
    setWindowTitle(QStringLiteral("Map View"));
    tool_bar = new QToolBar(this);
    tool_bar->setObjectName(QStringLiteral("tbrTools"));
    map_canvas = new MapCanvas(this);
    map_canvas->setObjectName(QStringLiteral("mapMain"));
    auto* modes = new QActionGroup(this);
    modes->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    modes->addAction(AddTool("ZoomIn", QStringLiteral("Zoom In"), MapCanvas::Tool::ZoomIn));
    modes->addAction(AddTool("Pan", QStringLiteral("Pan"), MapCanvas::Tool::Pan));
    modes->addAction(AddTool("Identify", QStringLiteral("Identify"), MapCanvas::Tool::Identify));
    QAction* full = tool_bar->addAction(QStringLiteral("Full Extent"));
    full->setObjectName(QStringLiteral("FullExt"));
    full->setToolTip(QStringLiteral("Full Extent"));
    connect(full, &QAction::triggered, map_canvas, &MapCanvas::ShowFullExtent);
    connect(map_canvas, &MapCanvas::Identified, this, [this](int record) {
        if (identify_ == nullptr) {
            identify_ = new frmIdentify;
        }
        identify_->ShowRecord(*map_canvas->Layer(), record);
        identify_->show();
    });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tool_bar);
    layout->addWidget(map_canvas, 1);
    resize(640, 480);
}

frmViewShapeFile::~frmViewShapeFile() {
    delete identify_;
}

QAction* frmViewShapeFile::AddTool(const char* key, const QString& tip, MapCanvas::Tool tool) {
    QAction* action = tool_bar->addAction(tip);
    action->setObjectName(QString::fromLatin1(key));
    action->setToolTip(tip);
    action->setCheckable(true);
    connect(action, &QAction::toggled, this, [this, tool](bool on) {
        if (on) {
            map_canvas->SetTool(tool);
        } else if (map_canvas->CurrentTool() == tool) {
            map_canvas->SetTool(MapCanvas::Tool::None);
        }
    });
    return action;
}

} // namespace ranvik
