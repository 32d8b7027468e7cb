#pragma once

#include "ui/form_kit.h"

namespace ranvik {

// "Select the type of data you have": temporally independent locations or serially correlated
// data for the Brownian bridge.
class FrmDataTypeOptions : public WizardForm {
    Q_OBJECT

public:
    explicit FrmDataTypeOptions(Navigator& wizard);
    void CmdNext_Click();

    QRadioButton* bridge_data_option = nullptr;
    QRadioButton* independent_data_option = nullptr;
};

// The kind of home range analysis: plain, bias-corrected, or the synoptic model (not offered).
class FrmHomeRangeOptions : public WizardForm {
    Q_OBJECT

public:
    explicit FrmHomeRangeOptions(Navigator& wizard);
    void CmdNext_Click();
    void Command1_Click();

    QRadioButton* home_range_option = nullptr;
    QRadioButton* bias_corrected_option = nullptr;
    QRadioButton* synoptic_option = nullptr;
};

// Text file or shapefile.
class FrmInputDataOptions : public WizardForm {
    Q_OBJECT

public:
    explicit FrmInputDataOptions(Navigator& wizard);
    void CmdNext_Click();
    void Command1_Click();

    QRadioButton* text_file_option = nullptr;
    QRadioButton* shapefile_option = nullptr;
    QRadioButton* telemetry_option = nullptr;
};

// The estimators to run or compare.
class FrmCompareHROption : public WizardForm {
    Q_OBJECT

public:
    explicit FrmCompareHROption(Navigator& wizard);
    void CmdNext_Click();
    void Command3_Click();

    QLineEdit* location_file_box = nullptr;
    QGroupBox* models_frame = nullptr;
    QRadioButton* estimate_option = nullptr;
    QRadioButton* compare_option = nullptr;
    QCheckBox* exp_power_check = nullptr;
    QCheckBox* bvn_check = nullptr;
    QCheckBox* circle_mixture_check = nullptr;
    QCheckBox* normal_mixture_check = nullptr;
    QCheckBox* fixed_kernel_check = nullptr;
    QCheckBox* adaptive_kernel_check = nullptr;

private:
    void EstimateRequest();
    void Compare();
};

// Sets the instruction of the text loader for the data at hand.
void SetTextFileInstructions(Navigator& wizard);

} // namespace ranvik
