#include "kernel/forms/frm_akde.h"

#include "state/loaded_locations.h"
#include "state/number_text.h"

#include <QHeaderView>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <utility>

namespace ranvik {
namespace {

QString Shown(double value) {
    return QString::fromStdString(FormatNumber(value));
}

// An estimate with its interval, as the table shows it: "2880 (2010 - 4120)"; empty for none.
QString WithInterval(const Interval& interval, bool present) {
    if (!present) {
        return {};
    }
    return QStringLiteral("%1 (%2 - %3)")
        .arg(Shown(interval.estimate), Shown(interval.low), Shown(interval.high));
}

} // namespace

VariogramGraph::VariogramGraph(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PicVariogram"));
    setMinimumSize(520, 260);
}

void VariogramGraph::SetContent(Variogram variogram, std::vector<double> model) {
    variogram_ = std::move(variogram);
    model_ = std::move(model);
    update();
}

void VariogramGraph::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (variogram_.lag.empty()) {
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("No variogram to show."));
        return;
    }
    const double t1 = variogram_.lag.back();
    double high = *std::max_element(variogram_.semivariance.begin(), variogram_.semivariance.end());
    for (const double m : model_) {
        high = std::max(high, m);
    }
    high = high > 0 ? 1.05 * high : 1.0;
    const QRectF plot = QRectF(rect()).adjusted(70, 10, -10, -30);
    const auto px = [&](double t) { return plot.left() + t / t1 * plot.width(); };
    const auto py = [&](double v) { return plot.bottom() - v / high * plot.height(); };
    painter.setPen(Qt::black);
    painter.drawRect(plot);
    painter.drawText(QRectF(0, plot.top(), plot.left() - 6, 16), Qt::AlignRight,
                     Shown(RoundHalfEven(high, 0)));
    painter.drawText(QRectF(0, plot.bottom() - 16, plot.left() - 6, 16), Qt::AlignRight,
                     QStringLiteral("0 m²"));
    painter.drawText(QRectF(plot.left(), plot.bottom() + 4, plot.width(), 20), Qt::AlignCenter,
                     QStringLiteral("lag (0 to %1)").arg(Shown(t1)));
    painter.setPen(QPen(QColor(30, 80, 160), 1));
    for (std::size_t k = 0; k < variogram_.lag.size(); ++k) {
        painter.drawEllipse(QPointF(px(variogram_.lag[k]), py(variogram_.semivariance[k])), 1.5,
                            1.5);
    }
    if (model_.size() == variogram_.lag.size() && model_.size() > 1) {
        painter.setPen(QPen(QColor(200, 40, 40), 2));
        QPolygonF curve;
        for (std::size_t k = 0; k < model_.size(); ++k) {
            curve << QPointF(px(variogram_.lag[k]), py(model_[k]));
        }
        painter.drawPolyline(curve);
    }
}

FrmAkdeModels::FrmAkdeModels(Navigator& wizard) : WizardForm(wizard, "FrmAkdeModels") {
    setWindowTitle(QStringLiteral("Autocorrelated kernel home range (AKDE)"));
    auto* intro = Label("LblAkdeModels",
                        QStringLiteral("Movement models fitted to the track, best (lowest AICc) "
                                       "first. The variogram levels off when the animal stays in "
                                       "its range; the red curve is the chosen model's."),
                        true);
    variogram_picture = new VariogramGraph(this);
    models_list = new QTreeWidget(this);
    models_list->setObjectName(QStringLiteral("LstModels"));
    models_list->setRootIsDecorated(false);
    models_list->setHeaderLabels({QStringLiteral("Model"), QStringLiteral("AICc"),
                                  QStringLiteral("ΔAICc"), QStringLiteral("τp"),
                                  QStringLiteral("τv"), QStringLiteral("σ (m)"),
                                  QStringLiteral("Effective n")});
    models_list->setMinimumHeight(150);
    note_label = Label("LblAkdeNote", {}, true);
    auto* previous =
        Button("Command3", QStringLiteral("<< Previous"), [this] { Command3_Click(); });
    auto* next = Button("CmdNext", QStringLiteral("Next >>"), [this] { CmdNext_Click(); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(variogram_picture);
    layout->addWidget(models_list);
    layout->addWidget(note_label);
    layout->addLayout(ButtonRow({previous, next}));
    setMinimumWidth(640);
    connect(models_list, &QTreeWidget::currentItemChanged, this, [this] { ShowPicked(); });
    FitModels();
}

void FrmAkdeModels::FitModels() {
    if (!HasLocations(LocationSet::Bridge)) {
        return;
    }
    const Track& track = wizard_.session().track();
    data_ = MovementDataOf(track.sorted, track.count);
    if (Status usable = CheckMovementData(data_); !usable.Ok()) {
        note_label->setText(QString::fromStdString(usable.error));
        return;
    }
    std::vector<MovementFit> made;
    Variogram empirical;
    RunLong(
        QStringLiteral("Fitting the movement models"),
        [this, &made, &empirical](const RunControl& control, Notifier&) -> Status {
            auto fitted = FitMovementModels(data_, control);
            if (!fitted.Ok()) {
                return fitted.status;
            }
            made = std::move(fitted.value);
            empirical = EmpiricalVariogram(data_);
            return {};
        },
        [&] {
            fits = std::move(made);
            variogram = std::move(empirical);
            for (const MovementFit& fit : fits) {
                auto* item = new QTreeWidgetItem(models_list);
                item->setText(0, QString::fromStdString(fit.Name()));
                item->setText(1, Shown(fit.aicc));
                item->setText(2, Shown(fit.aicc - fits.front().aicc));
                item->setText(3, WithInterval(fit.tau_p, fit.params.kind != MovementKind::Iid));
                item->setText(4, WithInterval(fit.tau_v, fit.params.kind == MovementKind::Ouf));
                item->setText(5, WithInterval(fit.sigma, true));
                item->setText(6, Shown(fit.effective_n));
            }
            models_list->header()->resizeSections(QHeaderView::ResizeToContents);
            if (!fits.empty()) {
                models_list->setCurrentItem(models_list->topLevelItem(0));
            }
        });
}

const MovementFit* FrmAkdeModels::Picked() const {
    const int row = models_list->indexOfTopLevelItem(models_list->currentItem());
    return row >= 0 && static_cast<std::size_t>(row) < fits.size()
               ? &fits[static_cast<std::size_t>(row)]
               : nullptr;
}

void FrmAkdeModels::ShowPicked() {
    const MovementFit* fit = Picked();
    if (fit == nullptr) {
        return;
    }
    variogram_picture->SetContent(variogram, ModelVariogram(variogram, data_, fit->params));
    const Status resident = CheckRangeResident(data_, *fit);
    note_label->setText(resident.Ok() ? QStringLiteral("The home range is estimated under %1.")
                                            .arg(QString::fromStdString(fit->Name()))
                                      : QString::fromStdString(resident.error));
}

void FrmAkdeModels::CmdNext_Click() {
    const MovementFit* fit = Picked();
    if (fit == nullptr || !HasLocations(LocationSet::Bridge)) {
        Message(QStringLiteral("No movement model was fitted to the track."));
        return;
    }
    if (Status resident = CheckRangeResident(data_, *fit); !resident.Ok()) {
        Message(QString::fromStdString(resident.error));
        return;
    }
    Session& session = wizard_.session();
    const MovementFit model = *fit;
    AkdeBox box;
    RunLong(
        QStringLiteral("Autocorrelated kernel bandwidth"),
        [&session = std::as_const(session), &model, &box](const RunControl& control,
                                                          Notifier&) -> Status {
            const Track& track = session.track();
            auto made = AkdeReach(track.sorted, track.count, model, control);
            if (made.Ok()) {
                box = made.value;
            }
            return made.status;
        },
        [&] {
            chosen = model;
            reach = box;
            session.ChooseMovementModel(model.Name());
            hide();
            // The grid extent form starts over the estimate's reach.
            wizard_.Unload(FormId::GridExtent);
            wizard_.Show(FormId::GridExtent);
        });
}

void FrmAkdeModels::Command3_Click() {
    hide();
    wizard_.Show(FormId::BBAnalysis);
}

} // namespace ranvik
