#pragma once

#include "ui/form_kit.h"

#include <QPointF>
#include <QVector>

namespace ranvik {

// The drawing surface of the graph: works in a 6900 x 3600 plotting space, y downwards, and
// scales it to its own size. The LSCV curve is a row of small circles, the CV curve a polyline.
class GraphPicture : public QWidget {
    Q_OBJECT

public:
    explicit GraphPicture(QWidget* parent);
    void Clear();
    void SetCurves(QVector<QPointF> cv_line, QVector<QPointF> lscv_circles);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVector<QPointF> cv_line_;
    QVector<QPointF> lscv_circles_;
};

// The CV and LSCV scores over a range of h, to judge the minima found for them.
class FrmCVhLSCVhGraph : public WizardForm {
    Q_OBJECT

public:
    explicit FrmCVhLSCVhGraph(Navigator& wizard);

    // Takes h_CV on the first call, h_LSCV on the second, h_CV again on the third, and so on;
    // a value that is not a number is skipped, but still counts.
    void PassVar(double value);
    // The two values' labels and the default range.
    void LoadValues();
    void CmdRefresh_Click();
    void Command1_Click();

    QLineEdit* h_low_box = nullptr;
    QLineEdit* h_high_box = nullptr;
    QLabel* h_min_label = nullptr;
    QLabel* h_middle_label = nullptr;
    QLabel* h_max_label = nullptr;
    QLabel* cv_h_label = nullptr;
    QLabel* lscv_h_label = nullptr;
    GraphPicture* graph_picture = nullptr;

private:
    double h_cv_ = 0.0;
    double h_lscv_ = 0.0;
    int next_value_ = 0;
};

} // namespace ranvik
