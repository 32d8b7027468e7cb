#pragma once

#include "input/shape_layer.h"
#include "state/status.h"

#include <QPointF>
#include <QRectF>
#include <QWidget>

#include <optional>

class QAction;
class QToolBar;
class QTreeWidget;

namespace ranvik {

// Draws a layer in map coordinates and lets the user zoom, pan and identify with the mouse.
// The map starts empty; it shows the one layer added to it.
class MapCanvas : public QWidget {
    Q_OBJECT

public:
    enum class Tool { None, ZoomIn, Pan, Identify };

    explicit MapCanvas(QWidget* parent);

    // Adds `layer` to the map, in place of any layer shown before. The map refuses a layer it
    // cannot draw: one without a single coordinate (no records, or only empty shapes), which
    // has no extent to show, or one with a coordinate that is not a finite number, which it
    // cannot place. A refusal says why, naming the layer, and leaves the map as it was. The
    // extent is left to the caller (ShowFullExtent).
    [[nodiscard]] Status AddLayer(ShapeLayer layer);
    // The layer shown, or null before one was added.
    [[nodiscard]] const ShapeLayer* Layer() const { return layer_ ? &*layer_ : nullptr; }

    void SetTool(Tool tool) { tool_ = tool; }
    [[nodiscard]] Tool CurrentTool() const { return tool_; }
    // The map box shown (it keeps the map's proportions inside the canvas).
    [[nodiscard]] QRectF Extent() const { return extent_; }
    void SetExtent(const QRectF& extent);
    // Shows the whole layer, with a small margin; does nothing on an empty map.
    void ShowFullExtent();
    [[nodiscard]] QPointF ToMap(const QPointF& pixel) const;
    [[nodiscard]] QPointF ToPixel(const QPointF& map) const;

Q_SIGNALS:
    // The user identified record `record` of the layer.
    void Identified(int record);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    [[nodiscard]] double Scale() const; // pixels per map unit

    std::optional<ShapeLayer> layer_;
    Tool tool_ = Tool::None;
    QRectF extent_;
    std::optional<QPointF> press_;
    QPointF drag_;
};

// The identify window: the fields and values of the feature found.
class frmIdentify : public QWidget {
    Q_OBJECT

public:
    frmIdentify();
    void ShowRecord(const ShapeLayer& layer, int record);

    QTreeWidget* results_list = nullptr;
};

// The map view of the loaded shapefile, with its toolbar. It opens with an empty map; the
// caller adds the layer to map_canvas, sets the extent and the caption, and shows it.
class frmViewShapeFile : public QWidget {
    Q_OBJECT

public:
    frmViewShapeFile();
    ~frmViewShapeFile() override;

    // The layer on the map, or null while the map is empty.
    [[nodiscard]] const ShapeLayer* Layer() const { return map_canvas->Layer(); }
    [[nodiscard]] frmIdentify* Identify() const { return identify_; }

    QToolBar* tool_bar = nullptr;
    MapCanvas* map_canvas = nullptr;

private:
    QAction* AddTool(const char* key, const QString& tip, MapCanvas::Tool tool);

    frmIdentify* identify_ = nullptr;
};

} // namespace ranvik
