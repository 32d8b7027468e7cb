#pragma once

#include "input/shape_layer.h"
#include "ui/form_kit.h"

#include <QPointer>

#include <optional>

class QComboBox;
class QTreeWidget;

namespace ranvik {

// Loads locations (or, for the Brownian bridge, user-specified points) from the attribute
// fields of a shapefile.
class FrmLoadShapefile : public WizardForm {
    Q_OBJECT

public:
    explicit FrmLoadShapefile(Navigator& wizard);
    ~FrmLoadShapefile() override;
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void CmdNext_Click();

    // The layer opened last, if any.
    [[nodiscard]] const std::optional<ShapeLayer>& Layer() const { return layer_; }

    QLabel* LabelInstructions = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QComboBox* ComboEasting = nullptr;
    QComboBox* ComboNorthing = nullptr;
    QLabel* Label8 = nullptr;
    QComboBox* Combo3 = nullptr;
    QLabel* Label9 = nullptr;
    QComboBox* Combo4 = nullptr;
    QTreeWidget* ListView1 = nullptr;
    QPushButton* Command2 = nullptr;

    // The map view of the layer, while it is open.
    [[nodiscard]] class frmViewShapeFile* Viewer() const;

private:
    std::optional<ShapeLayer> layer_;
    QPointer<class frmViewShapeFile> viewer_;
};

// Arranges the field choices of the shapefile loader for the data at hand.
void SetShapefileLayout(Navigator& wizard);

} // namespace ranvik
