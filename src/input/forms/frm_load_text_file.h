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

    QLabel* file_caption_label = nullptr;
    QLineEdit* file_name_box = nullptr;
    QPushButton* load_button = nullptr;
    QLabel* count_caption_label = nullptr;
    QLineEdit* count_box = nullptr;
    QLabel* instructions_label = nullptr;
};

} // namespace ranvik
