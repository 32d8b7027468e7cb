#pragma once

#include "ui/navigator.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace ranvik {

// The first form of every run: a picture, a greeting and "Next >>".
class FrmInitialWelcome : public QWidget {
    Q_OBJECT

public:
    explicit FrmInitialWelcome(Navigator& wizard);

    // Next: on to the choice of data type; this form is unloaded.
    void CmdNext_Click();

private:
    Navigator& wizard_;
    QLabel* picture1_ = nullptr;
    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;
    QPushButton* cmd_next_ = nullptr;
};

} // namespace ranvik
