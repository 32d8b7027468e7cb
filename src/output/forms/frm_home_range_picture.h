#pragma once

#include "output/home_range_levels.h"
#include "output/raster_export.h"
#include "state/matrix.h"
#include "ui/form_kit.h"

#include <QImage>
#include <QLineF>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <vector>

class QComboBox;
class QTableWidget;

namespace ranvik {

// The utilization distribution drawn on a perceptually uniform colour scale, with the
// locations on top, the outlines of the home ranges at the chosen levels and, dashed in a
// colour of their own, the minimum convex polygons of the locations at those levels.
class UDPicture : public QWidget {
    Q_OBJECT

public:
    explicit UDPicture(QWidget* parent);
    // Sets what is drawn and clears the minimum convex polygons.
    void SetContent(const Matrix& grid, const GridLattice& lattice, const VolumeLevels& volume,
                    const Matrix& locations, std::int32_t count, std::vector<double> levels);
    // The minimum convex polygons to draw, each a closed ring in map coordinates.
    void SetMcpOutlines(std::vector<std::vector<QPointF>> rings);
    // Another animal's home range outlines, one set of cell edges in map coordinates per level
    // (in the order of the levels), drawn in a colour of their own and named in the legend;
    // an empty set clears them. SetContent clears them too.
    void SetSecondOutlines(std::vector<std::vector<QLineF>> levels, QString name);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Where the map goes on the widget: map point (x, y) is drawn at
    // (left + (x - x0) scale, top + (y1 - y) scale); `grid` is the grid's rectangle on screen,
    // `whole` the map's.
    struct MapView {
        double x0 = 0.0, y1 = 0.0, scale = 1.0, left = 0.0, top = 0.0;
        QRectF grid, whole;
    };
    [[nodiscard]] MapView View() const;
    // The home range outlines of the grid's own distribution over its rectangle `target`.
    void DrawRanges(QPainter& painter, const QRectF& target) const;
    void DrawLegend(QPainter& painter) const;

    QImage cells_;
    GridLattice lattice_;
    std::vector<double> volume_;
    std::vector<QPointF> locations_;
    std::vector<double> levels_;
    std::vector<std::vector<QPointF>> mcps_;
    std::vector<std::vector<QLineF>> second_;
    QString second_name_;
};

// Shows a waiting result as a picture with a table of its home range areas: one row per level
// for the utilization distribution and, when the result has at least three locations, one per
// level for their minimum convex polygon ("MCP 95 %"). When the locations came from a telemetry
// table of several animals and the result's estimator can be made on a shared lattice, another
// animal of the table can be added: its outlines join the picture and the indices of how the
// two overlap are listed at each level.
class FrmHomeRangePicture : public WizardForm {
    Q_OBJECT

public:
    explicit FrmHomeRangePicture(Navigator& wizard);
    void CmboResult_Changed();
    void CmdCopy_Click();
    void CmdSavePicture_Click();
    void CmdAddAnimal_Click();

    QComboBox* result_combo = nullptr;
    QCheckBox* metres_check = nullptr;
    QLineEdit* levels_box = nullptr;
    QLabel* total_label = nullptr;
    QTableWidget* areas_table = nullptr;
    UDPicture* ud_picture = nullptr;
    QLabel* second_label = nullptr;
    QComboBox* second_combo = nullptr;
    QPushButton* add_animal_button = nullptr;
    QTableWidget* overlap_table = nullptr;

private:
    void Refresh();
    // Shows the other animals the shown result can be set beside, or hides their controls.
    void ShowOtherAnimals(const QStringList& names);
};

} // namespace ranvik
