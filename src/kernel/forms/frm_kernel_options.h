#pragma once

#include "state/status.h"
#include "ui/form_kit.h"

#include <optional>

namespace ranvik {

// Chooses how the kernels' smoothing parameter h is obtained; loading it computes h_ref, h_CV
// and h_LSCV, and Next computes the requested kernels and the other estimators.
class FrmKernelOptions : public WizardForm {
    Q_OBJECT

public:
    explicit FrmKernelOptions(Navigator& wizard);
    void CmdNext_Click();
    void Command1_Click();
    void Command3_Click();

    QGroupBox* smoothing_frame = nullptr;
    QCheckBox* cv_h_check = nullptr;
    QCheckBox* lscv_h_check = nullptr;
    QCheckBox* href_percent_check = nullptr;
    QCheckBox* user_h_check = nullptr;
    QLineEdit* cv_h_box = nullptr;
    QLineEdit* lscv_h_box = nullptr;
    QLineEdit* href_box = nullptr;
    QLineEdit* href_percent_box = nullptr;
    QLineEdit* user_h_box = nullptr;
    QPushButton* graph_button = nullptr;

private:
    void FormLoad();
    // h from the first ticked option (CVh, LSCVh, percent of h_ref, user value), or nothing
    // when no option is ticked.
    [[nodiscard]] std::optional<StatusOr<double>> ChosenH() const;
};

} // namespace ranvik
