#pragma once

#include "input/telemetry_loading.h"
#include "state/session.h"
#include "ui/form_kit.h"

#include <optional>
#include <vector>

class QComboBox;

namespace ranvik {

// Loads one animal's fixes (or, for the Brownian bridge, user-specified points) from a
// telemetry table: a Movebank export or any delimited text table, or a vector layer GDAL opens.
// Timestamps become times in the chosen unit since the animal's first fix, and longitude/
// latitude is projected to metres.
class FrmLoadTelemetry : public WizardForm {
    Q_OBJECT

public:
    explicit FrmLoadTelemetry(Navigator& wizard);
    void CmdOpen_Click();
    void Command3_Click();
    void CmdNext_Click();

    // Shows the controls the data at hand needs: times and errors for Brownian bridge fixes,
    // weights for bias-corrected locations, coordinates only for user-specified points.
    void ArrangeForData();

    // Splits the table again with the fields chosen now; the animals' list, the count and the
    // skipped line follow, or the line says why it cannot be split.
    void Refresh();

    QLabel* instructions_label = nullptr;
    QLineEdit* file_name_box = nullptr;
    QPushButton* open_button = nullptr;
    QComboBox* id_field_combo = nullptr;
    QComboBox* x_combo = nullptr;
    QComboBox* y_combo = nullptr;
    QComboBox* time_combo = nullptr;
    QComboBox* time_unit_combo = nullptr;
    QComboBox* error_combo = nullptr;
    QLineEdit* error_metres_box = nullptr;
    QComboBox* weight_combo = nullptr;
    QCheckBox* keep_first_check = nullptr;
    QCheckBox* keep_outliers_check = nullptr;
    QLineEdit* crs_box = nullptr;
    QComboBox* target_crs_combo = nullptr;
    QComboBox* animal_combo = nullptr;
    QLineEdit* count_box = nullptr;
    QLabel* skipped_label = nullptr;
    QLabel* time_units_label = nullptr;

private:
    // What the loader is reading now.
    [[nodiscard]] TextFilePurpose Purpose();
    // The fields as chosen; a sentence when a typed value cannot be read.
    [[nodiscard]] StatusOr<TelemetryFields> ChosenFields();
    // What the user typed in crs_box: empty while it shows what the table says.
    [[nodiscard]] QString SourceAnswer() const;
    // Fills the field lists from the open table and chooses the fields its names suggest.
    void FillFieldLists();
    // Shows the chosen animal's count and what was skipped.
    void ShowAnimal();
    // The split's animals other than animal `loaded` that have fixes in its projected system,
    // each read for the same purpose; none without an animal field or for user points.
    [[nodiscard]] std::optional<TableAnimals> OtherAnimals(std::size_t loaded);

    std::optional<TelemetrySource> source_;
    std::optional<TelemetrySplit> split_;
    std::optional<TelemetryFields> last_fields_; // the fields split_ was made with
    QString split_error_;              // why the table cannot be split with the fields chosen
    QString crs_shown_;                // what crs_box shows of the table's own system
    std::string time_unit_;            // the unit of the split's times when they were timestamps
    std::vector<QLabel*> time_labels_; // captions of the time and error controls
    QLabel* weight_label_ = nullptr;
};

// Arranges the telemetry loader for the data at hand.
void SetTelemetryLayout(Navigator& wizard);

} // namespace ranvik
