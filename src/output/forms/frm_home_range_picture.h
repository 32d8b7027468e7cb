#pragma once

#include "output/home_range_levels.h"
#include "output/raster_export.h"
#include "state/matrix.h"
#include "ui/form_kit.h"

#include <QImage>
#include <QString>

#include <vector>

class QComboBox;
class QTableWidget;

namespace ranvik {

// The utilization distribution drawn on a perceptually uniform colour scale, with the
// locations on top and the outlines of the home ranges at the chosen levels.
class UDPicture : public QWidget {
    Q_OBJECT

public:
    explicit UDPicture(QWidget* parent);
    void SetContent(const Matrix& grid, const GridLattice& lattice, const VolumeLevels& volume,
                    const Matrix& locations, std::int32_t count, std::vector<double> levels);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage cells_;
    GridLattice lattice_;
    std::vector<double> volume_;
    std::vector<QPointF> locations_;
    std::vector<double> levels_;
};

// Shows a waiting result as a picture with a table of its home range areas.
class FrmHomeRangePicture : public WizardForm {
    Q_OBJECT

public:
    explicit FrmHomeRangePicture(Navigator& wizard);
    void CmboResult_Changed();
    void CmdCopy_Click();
    void CmdSavePicture_Click();

    QComboBox* CmboResult = nullptr;
    QCheckBox* ChkMetres = nullptr;
    QLineEdit* TxtLevels = nullptr;
    QLabel* LabelTotal = nullptr;
    QTableWidget* TableAreas = nullptr;
    UDPicture* PicUD = nullptr;

private:
    void Refresh();
};

} // namespace ranvik
