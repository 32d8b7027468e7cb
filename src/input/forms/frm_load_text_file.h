#pragma once

#include "ui/form_kit.h"

namespace ranvik {

// Loads locations (or, for the Brownian bridge, user-specified points) from a text file.
class FrmLoadTextFile : public WizardForm {
    Q_OBJECT

public:
    explicit FrmLoadTextFile(Navigator& wizard);
    void Command1_Click();
    void Command3_Click();
    void CmdNext_Click();

    QLabel* Label2 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* TxtNumOfLocs = nullptr;
    QLabel* LabelInstructions = nullptr;
};

} // namespace ranvik
