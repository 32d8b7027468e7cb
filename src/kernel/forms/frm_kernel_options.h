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

    QGroupBox* Frame1 = nullptr;
    QCheckBox* ChkCVh = nullptr;
    QCheckBox* ChkLSCVh = nullptr;
    QCheckBox* ChkHRef = nullptr;
    QCheckBox* ChkUserH = nullptr;
    QLineEdit* TxtCVh = nullptr;
    QLineEdit* TxtLSCVh = nullptr;
    QLineEdit* Txthref = nullptr;
    QLineEdit* TxtPercentHref = nullptr;
    QLineEdit* TxtHUser = nullptr;
    QPushButton* Command1 = nullptr;

private:
    void FormLoad();
    // h from the first ticked option (CVh, LSCVh, percent of h_ref, user value), or nothing
    // when no option is ticked.
    [[nodiscard]] std::optional<StatusOr<double>> ChosenH() const;
};

} // namespace ranvik
