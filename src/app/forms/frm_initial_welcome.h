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
    QLabel* emblem_picture_ = nullptr;
    QLabel* title_label_ = nullptr;
    QLabel* summary_label_ = nullptr;
    QPushButton* next_button_ = nullptr;
};

} // namespace ranvik
