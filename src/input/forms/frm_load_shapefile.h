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

    QLabel* instructions_label = nullptr;
    QLineEdit* file_name_box = nullptr;
    QLineEdit* shape_type_box = nullptr;
    QLineEdit* record_count_box = nullptr;
    QGroupBox* fields_frame = nullptr;
    QComboBox* easting_combo = nullptr;
    QComboBox* northing_combo = nullptr;
    // The field of the location weights, or of the times for Brownian bridge fixes.
    QLabel* weight_or_time_label = nullptr;
    QComboBox* weight_or_time_combo = nullptr;
    QLabel* error_label = nullptr;
    QComboBox* error_combo = nullptr;
    QTreeWidget* field_list = nullptr;
    QPushButton* view_map_button = nullptr;

    // The map view of the layer, while it is open.
    [[nodiscard]] class frmViewShapeFile* Viewer() const;

private:
    std::optional<ShapeLayer> layer_;
    QPointer<class frmViewShapeFile> viewer_;
};

// Arranges the field choices of the shapefile loader for the data at hand.
void SetShapefileLayout(Navigator& wizard);

} // namespace ranvik
