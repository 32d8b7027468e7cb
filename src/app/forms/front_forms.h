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

    QRadioButton* OptBBData = nullptr;
    QRadioButton* OptIndData = nullptr;
};

// The kind of home range analysis: plain, bias-corrected, or the synoptic model (not offered).
class FrmHomeRangeOptions : public WizardForm {
    Q_OBJECT

public:
    explicit FrmHomeRangeOptions(Navigator& wizard);
    void CmdNext_Click();
    void Command1_Click();

    QRadioButton* OptHomeRange = nullptr;
    QRadioButton* OptBiasHomeRange = nullptr;
    QRadioButton* OptSynoptic = nullptr;
};

// Text file or shapefile.
class FrmInputDataOptions : public WizardForm {
    Q_OBJECT

public:
    explicit FrmInputDataOptions(Navigator& wizard);
    void CmdNext_Click();
    void Command1_Click();

    QRadioButton* OptTextFile = nullptr;
    QRadioButton* OptShapeFile = nullptr;
    QRadioButton* OptTelemetry = nullptr;
};

// The estimators to run or compare.
class FrmCompareHROption : public WizardForm {
    Q_OBJECT

public:
    explicit FrmCompareHROption(Navigator& wizard);
    void CmdNext_Click();
    void Command3_Click();

    QLineEdit* Text1 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QRadioButton* OptEstimateHRs = nullptr;
    QRadioButton* OptCompareHRModels = nullptr;
    QCheckBox* ChkExpPower = nullptr;
    QCheckBox* ChkBVN = nullptr;
    QCheckBox* Chk2CN = nullptr;
    QCheckBox* Chk2BVN = nullptr;
    QCheckBox* ChkFixedKernel = nullptr;
    QCheckBox* ChkAdKernel = nullptr;

private:
    void EstimateRequest();
    void Compare();
};

// Sets the instruction of the text loader for the data at hand.
void SetTextFileInstructions(Navigator& wizard);

} // namespace ranvik
