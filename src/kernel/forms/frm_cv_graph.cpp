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
    TxthLow = Text("TxthLow");
    TxthHigh = Text("TxthHigh");
    auto* range = new QGridLayout(frame);
    range->addWidget(new QLabel(QStringLiteral("Low:"), frame), 0, 0);
    range->addWidget(TxthLow, 0, 1);
    range->addWidget(new QLabel(QStringLiteral("High:"), frame), 1, 0);
    range->addWidget(TxthHigh, 1, 1);
    auto* draw = Button("CmdRefresh", QStringLiteral("Draw Graph"), [this] { CmdRefresh_Click(); });
    range->addWidget(draw, 2, 1);
    PicGraph = new GraphPicture(this);
    PicGraph->setObjectName(QStringLiteral("PicGraph"));
    LabelHMin = Label("LabelHMin", QStringLiteral("Min"));
    LabelHHalf = Label("LabelHHalf", {});
    LabelHMax = Label("LabelHMax", QStringLiteral("Max"));
    auto* axis = Label("Label3", QStringLiteral("h Value"));
    LabelCVh = Label("LabelCVh", {});
    LabelLSCVh = Label("LabelLSCVh", {});
    auto* back = Button("Command1", QStringLiteral("<< Return to Kernel Options"),
                        [this] { Command1_Click(); });

    auto* ticks = new QHBoxLayout;
    ticks->addWidget(LabelHMin);
    ticks->addStretch();
    ticks->addWidget(LabelHHalf);
    ticks->addStretch();
    ticks->addWidget(LabelHMax);
    auto* values = new QGridLayout;
    values->addWidget(new QLabel(QStringLiteral("Calculated CVh;"), this), 0, 0);
    values->addWidget(LabelCVh, 0, 1);
    values->addWidget(new QLabel(QStringLiteral("Calculated LSCVh:"), this), 1, 0);
    values->addWidget(LabelLSCVh, 1, 1);
    auto* side = new QVBoxLayout;
    side->addWidget(frame);
    side->addLayout(values);
    side->addStretch();
    auto* plot = new QVBoxLayout;
    plot->addWidget(PicGraph, 1);
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
    LabelCVh->setText(Shown(h_cv_));
    LabelLSCVh->setText(Shown(h_lscv_));
    const GraphRange range = DefaultGraphRange(h_cv_, h_lscv_);
    TxthLow->setText(Shown(range.low));
    TxthHigh->setText(Shown(range.high));
    const auto low = ParseNumber(TxthLow->text().toStdString()).value_or(range.low);
    const auto high = ParseNumber(TxthHigh->text().toStdString()).value_or(range.high);
    LabelHMin->setText(Shown(RoundHalfEven(low, 2)));
    LabelHHalf->setText(Shown(RoundHalfEven(low + (high - low) / 2, 2)));
    LabelHMax->setText(Shown(RoundHalfEven(high, 2)));
}

void FrmCVhLSCVhGraph::CmdRefresh_Click() {
    PicGraph->Clear();
    const auto low = ParseNumber(TxthLow->text().toStdString());
    const auto high = ParseNumber(TxthHigh->text().toStdString());
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
            LabelHMin->setText(TxthLow->text());
            LabelHHalf->setText(Shown(*low + (*high - *low) / 2));
            LabelHMax->setText(TxthHigh->text());
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
            PicGraph->SetCurves(std::move(cv_line), std::move(lscv_circles));
        });
}

void FrmCVhLSCVhGraph::Command1_Click() {
    wizard_.Show(FormId::KernelOptions);
    wizard_.Unload(FormId::CVGraph);
}

} // namespace ranvik
