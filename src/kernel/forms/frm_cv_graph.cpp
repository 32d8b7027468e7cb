#include "kernel/forms/frm_cv_graph.h"

#include "kernel/criterion_curves.h"
#include "kernel/forms/frm_kernel_options.h"
#include "state/number_text.h"

#include <QApplication>
#include <QGridLayout>
#include <QPainter>
#include <QVBoxLayout>

#include <cmath>

namespace ranvik {
namespace {

constexpr double kSurfaceWidth = 6900.0;
constexpr double kSurfaceHeight = 3600.0;
constexpr double kCircleRadius = 30.0;

QString Shown(double value) {
    return QString::fromStdString(FormatNumber(value));
}

} // namespace

GraphPicture::GraphPicture(QWidget* parent) : QWidget(parent) {
    setMinimumSize(460, 240);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void GraphPicture::Clear() {
    cv_line_.clear();
    lscv_circles_.clear();
    update();
}

void GraphPicture::SetCurves(QVector<QPointF> cv_line, QVector<QPointF> lscv_circles) {
    cv_line_ = std::move(cv_line);
    lscv_circles_ = std::move(lscv_circles);
    update();
}

void GraphPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(width() / kSurfaceWidth, height() / kSurfaceHeight);
    QPen pen(palette().color(QPalette::Text));
    pen.setCosmetic(true);
    painter.setPen(pen);
    if (cv_line_.size() > 1) {
        painter.drawPolyline(cv_line_.data(), static_cast<int>(cv_line_.size()));
    }
    for (const QPointF& centre : lscv_circles_) {
        painter.drawEllipse(centre, kCircleRadius, kCircleRadius);
    }
}

FrmCVhLSCVhGraph::FrmCVhLSCVhGraph(Navigator& wizard) : WizardForm(wizard, "FrmCVhLSCVhGraph") {
    setWindowTitle(QStringLiteral("Graph of CVh and LSCVh Functions"));
    auto* frame = Frame("Frame1", QStringLiteral("Smoothing Parameter (h) Range:"));
    h_low_box = Text("TxthLow");
    h_high_box = Text("TxthHigh");
    auto* range = new QGridLayout(frame);
    range->addWidget(new QLabel(QStringLiteral("Low:"), frame), 0, 0);
    range->addWidget(h_low_box, 0, 1);
    range->addWidget(new QLabel(QStringLiteral("High:"), frame), 1, 0);
    range->addWidget(h_high_box, 1, 1);
    auto* draw = Button("CmdRefresh", QStringLiteral("Draw Graph"), [this] { CmdRefresh_Click(); });
    range->addWidget(draw, 2, 1);
    graph_picture = new GraphPicture(this);
    graph_picture->setObjectName(QStringLiteral("PicGraph"));
    h_min_label = Label("LabelHMin", QStringLiteral("Min"));
    h_middle_label = Label("LabelHHalf", {});
    h_max_label = Label("LabelHMax", QStringLiteral("Max"));
    auto* axis = Label("Label3", QStringLiteral("h Value"));
    cv_h_label = Label("LabelCVh", {});
    lscv_h_label = Label("LabelLSCVh", {});
    auto* back = Button("Command1", QStringLiteral("<< Return to Kernel Options"),
                        [this] { Command1_Click(); });

    auto* ticks = new QHBoxLayout;
    ticks->addWidget(h_min_label);
    ticks->addStretch();
    ticks->addWidget(h_middle_label);
    ticks->addStretch();
    ticks->addWidget(h_max_label);
    auto* values = new QGridLayout;
    values->addWidget(new QLabel(QStringLiteral("Calculated CVh;"), this), 0, 0);
    values->addWidget(cv_h_label, 0, 1);
    values->addWidget(new QLabel(QStringLiteral("Calculated LSCVh:"), this), 1, 0);
    values->addWidget(lscv_h_label, 1, 1);
    auto* side = new QVBoxLayout;
    side->addWidget(frame);
    side->addLayout(values);
    side->addStretch();
    auto* plot = new QVBoxLayout;
    plot->addWidget(graph_picture, 1);
    plot->addLayout(ticks);
    plot->addWidget(axis, 0, Qt::AlignHCenter);
    auto* body = new QHBoxLayout;
    body->addLayout(side);
    body->addLayout(plot, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addLayout(ButtonRow({back}));
    resize(820, 380);
}

void FrmCVhLSCVhGraph::PassVar(double value) {
    if (std::isfinite(value)) {
        (next_value_ == 0 ? h_cv_ : h_lscv_) = value;
    }
    next_value_ = 1 - next_value_;
}

void FrmCVhLSCVhGraph::LoadValues() {
    cv_h_label->setText(Shown(h_cv_));
    lscv_h_label->setText(Shown(h_lscv_));
    const GraphRange range = DefaultGraphRange(h_cv_, h_lscv_);
    h_low_box->setText(Shown(range.low));
    h_high_box->setText(Shown(range.high));
    const auto low = ParseNumber(h_low_box->text().toStdString()).value_or(range.low);
    const auto high = ParseNumber(h_high_box->text().toStdString()).value_or(range.high);
    h_min_label->setText(Shown(RoundHalfEven(low, 2)));
    h_middle_label->setText(Shown(RoundHalfEven(low + (high - low) / 2, 2)));
    h_max_label->setText(Shown(RoundHalfEven(high, 2)));
}

void FrmCVhLSCVhGraph::CmdRefresh_Click() {
    graph_picture->Clear();
    const auto low = ParseNumber(h_low_box->text().toStdString());
    const auto high = ParseNumber(h_high_box->text().toStdString());
    if (!low || !high) {
        Message(QStringLiteral("The low and high values of h must be numbers."));
        return;
    }
    constexpr int kCount = 100;
    const IndependentLocations& locations = wizard_.session().locations();
    if (!HasLocations(LocationSet::Independent)) {
        return;
    }
    const Matrix& xy = locations.xy;
    const std::int32_t n = locations.count;
    StatusOr<CriterionCurves> curves;
    const double from = *low;
    const double to = *high;
    RunLong(
        QStringLiteral("Scores for the graph"),
        [&](const RunControl& control, Notifier&) {
            curves = CalcCriterionCurves(xy, n, from, to, kCount, control);
            return curves.status;
        },
        [&] {
            h_min_label->setText(h_low_box->text());
            h_middle_label->setText(Shown(*low + (*high - *low) / 2));
            h_max_label->setText(h_high_box->text());
            const auto s = Standardize(curves.value.cv, kCount);
            const auto t = Standardize(curves.value.neg_lscv, kCount);
            for (const Status& status : {s.status, t.status}) {
                if (!status.Ok()) {
                    Message(QString::fromStdString(status.error));
                    return;
                }
            }
            QVector<QPointF> cv_line;
            QVector<QPointF> lscv_circles;
            for (int i = 0; i < kCount; ++i) {
                const auto k = static_cast<std::size_t>(i);
                const double x = ((curves.value.h[k] - *low) / (*high - *low)) * 5920 + 880;
                cv_line.append(QPointF(x, 3480 - s.value[k] * 3120));
                lscv_circles.append(QPointF(x, 3480 - (1 - t.value[k]) * 3120));
            }
            graph_picture->SetCurves(std::move(cv_line), std::move(lscv_circles));
        });
}

void FrmCVhLSCVhGraph::Command1_Click() {
    wizard_.Show(FormId::KernelOptions);
    wizard_.Unload(FormId::CVGraph);
}

} // namespace ranvik
