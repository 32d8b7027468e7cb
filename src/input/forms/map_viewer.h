#pragma once

#include "input/shape_layer.h"

#include <QPointF>
#include <QRectF>
#include <QWidget>

#include <optional>

class QAction;
class QToolBar;
class QTreeWidget;

namespace ranvik {

// Draws a layer in map coordinates and lets the user zoom, pan and identify with the mouse.
class MapCanvas : public QWidget {
    Q_OBJECT

public:
    enum class Tool { None, ZoomIn, Pan, Identify };

    MapCanvas(const ShapeLayer& layer, QWidget* parent);

    void SetTool(Tool tool) { tool_ = tool; }
    [[nodiscard]] Tool CurrentTool() const { return tool_; }
    // The map box shown (it keeps the map's proportions inside the canvas).
    [[nodiscard]] QRectF Extent() const { return extent_; }
    void SetExtent(const QRectF& extent);
    void ShowFullExtent();
    [[nodiscard]] QPointF ToMap(const QPointF& pixel) const;
    [[nodiscard]] QPointF ToPixel(const QPointF& map) const;

Q_SIGNALS:
    // The user identified record `record` (or none, -1, which changes nothing).
    void Identified(int record);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    [[nodiscard]] double Scale() const; // pixels per map unit

    const ShapeLayer& layer_;
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

    QTreeWidget* lvwIdentifyResults = nullptr;
};

// The map view of the loaded shapefile, with its toolbar.
class frmViewShapeFile : public QWidget {
    Q_OBJECT

public:
    explicit frmViewShapeFile(ShapeLayer layer);
    ~frmViewShapeFile() override;

    [[nodiscard]] const ShapeLayer& Layer() const { return layer_; }
    [[nodiscard]] frmIdentify* Identify() const { return identify_; }

    QToolBar* tbrTools = nullptr;
    MapCanvas* mapMain = nullptr;

private:
    QAction* AddTool(const char* key, const QString& tip, MapCanvas::Tool tool);

    ShapeLayer layer_;
    frmIdentify* identify_ = nullptr;
};

} // namespace ranvik
