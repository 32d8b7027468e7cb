#pragma once

#include "ui/form_kit.h"

namespace ranvik {

// The Brownian bridge analysis: variance, maximum time gap, grid or user points.
class FrmBBAnalysis : public WizardForm {
    Q_OBJECT

public:
    explicit FrmBBAnalysis(Navigator& wizard);
    void CmdEstimateVar_Click();
    void CmdNext_Click();
    void Command3_Click();

    // The probability at the user-specified points, then the save form.
    void CalcBBAtUserPts();

    QLabel* location_file_label = nullptr;
    QLabel* user_points_caption_label = nullptr;
    QLabel* user_points_file_label = nullptr;
    QLabel* time_unit_label = nullptr; // the unit of times, when the loader converted timestamps
    QLineEdit* variance_box = nullptr;
    QLineEdit* max_time_box = nullptr;
    QRadioButton* user_points_option = nullptr;
    QRadioButton* grid_option = nullptr;

private:
    // Reads the variance and the maximum time into the session; false after a message.
    bool ReadBoxes();
};

// The extent and spacing of the Brownian bridge output grid.
class FrmBBGridExtent : public WizardForm {
    Q_OBJECT

public:
    explicit FrmBBGridExtent(Navigator& wizard);
    void CmdCalcGridExtent_Click();
    void CmdCalcBB_Click();
    void Command3_Click();

    QLineEdit* min_x_box = nullptr;
    QLineEdit* max_x_box = nullptr;
    QLineEdit* min_y_box = nullptr;
    QLineEdit* max_y_box = nullptr;
    QLineEdit* grid_spacing_box = nullptr;
};

// Says on the analysis form which unit the times, the variance and the maximum time are in.
void ShowBridgeTimeUnit(Navigator& wizard);

// Shows the user-specified points file on the analysis form when that option is chosen.
void ShowUserPtsFile(Navigator& wizard);

} // namespace ranvik
