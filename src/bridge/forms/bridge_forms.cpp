#include "bridge/forms/bridge_forms.h"

#include "bridge/bridge_probability.h"
#include "bridge/bridge_variance.h"
#include "bridge/dynamic_bridge_grid.h"
#include "bridge/motion_variance_file.h"
#include "state/loaded_locations.h"
#include "state/number_text.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <utility>

namespace ranvik {
namespace {

QString Shown(double value) {
    return QString::fromStdString(FormatNumber(value));
}

// Moves what the work computed into the form's `result`, to be committed once the work has
// returned (a grid may take a gigabyte, so it is moved, never copied), and gives the work's
// status.
template <class T> Status Take(StatusOr<T>&& computed, T& result) {
    if (computed.Ok()) {
        result = std::move(computed.value);
    }
    return std::move(computed.status);
}

// A share of the distribution outside the grid below this is not worth a message.
constexpr double kOutsideWorthSaying = 1e-6;

const QString kNeedVariance =
    QStringLiteral("You must enter a value for the Brownian bridge variance parameter");
const QString kNeedMaxTime =
    QStringLiteral("You must enter a value for that specifies the time between locations beyond "
                   "which a Brownian bridge will not be calculated");

} // namespace

FrmBBAnalysis::FrmBBAnalysis(Navigator& wizard) : WizardForm(wizard, "FrmBBAnalysis") {
    setWindowTitle(QStringLiteral("Brownian Bridge Movement Model"));
    auto* label1 = Label("Label1", QStringLiteral("Location File:"));
    location_file_label = Label("LabelLocationFile", {});
    user_points_caption_label = Label("Label5", QStringLiteral("User-specified points file:"));
    user_points_file_label = Label("Label3", {});
    user_points_caption_label->setVisible(false);
    user_points_file_label->setVisible(false);
    auto* label4 = Label("Label4", QStringLiteral(" Brownian bridge variance parameter = "));
    variance_box = Text("TxtBBVar");
    auto* estimate =
        Button("CmdEstimateVar", QStringLiteral("Estimate"), [this] { CmdEstimateVar_Click(); });
    auto* label2 = Label("Label2",
                         QStringLiteral("Enter a maximum time limit for calculating a Brownian "
                                        "bridge between two locations"),
                         true);
    max_time_box = Text("TxtTotalTimeTooLong");
    auto* frame2 = Frame("Frame2", QStringLiteral("Analysis Options"));
    user_points_option = Option("OptUserSpecified",
                                QStringLiteral("Calculate probability-of-occurrence at "
                                               "user-specified points"),
                                frame2);
    grid_option = Option("OptBBGrid",
                         QStringLiteral("Calculate probability-of-occurrence over a grid"), frame2);
    dynamic_option = Option(
        "OptDynamicBB",
        QStringLiteral("Dynamic Brownian bridge (the variance changes along the track)"), frame2);
    akde_option =
        Option("OptAkde", QStringLiteral("Autocorrelated kernel home range (AKDE)"), frame2);
    grid_option->setChecked(true);
    window_box = Text("TxtWindowSize", QStringLiteral("31"));
    margin_box = Text("TxtMargin", QStringLiteral("11"));
    auto* dynamic_boxes = new QHBoxLayout;
    dynamic_boxes->addWidget(Label("LblWindowSize", QStringLiteral("Window size (fixes):")));
    dynamic_boxes->addWidget(window_box);
    dynamic_boxes->addWidget(Label("LblMargin", QStringLiteral("Margin (fixes):")));
    dynamic_boxes->addWidget(margin_box);
    for (QLineEdit* box : {window_box, margin_box}) {
        box->setEnabled(false);
        connect(dynamic_option, &QRadioButton::toggled, box, &QLineEdit::setEnabled);
    }
    auto* options = new QVBoxLayout(frame2);
    options->addWidget(user_points_option);
    options->addWidget(grid_option);
    options->addWidget(dynamic_option);
    options->addLayout(dynamic_boxes);
    options->addWidget(akde_option);
    connect(grid_option, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            user_points_caption_label->setVisible(false);
            user_points_file_label->setVisible(false);
        }
    });
    connect(user_points_option, &QRadioButton::toggled, this, [this](bool on) {
        if (on && !user_points_file_label->text().isEmpty()) {
            user_points_caption_label->setVisible(true);
            user_points_file_label->setVisible(true);
        }
    });
    auto* previous =
        Button("Command3", QStringLiteral("<< Previous"), [this] { Command3_Click(); });
    auto* next = Button("CmdNext", QStringLiteral("Next >>"), [this] { CmdNext_Click(); });
    auto* grid = new QGridLayout;
    grid->addWidget(label1, 0, 0);
    grid->addWidget(location_file_label, 0, 1, 1, 2);
    grid->addWidget(user_points_caption_label, 1, 0);
    grid->addWidget(user_points_file_label, 1, 1, 1, 2);
    grid->addWidget(label4, 2, 0);
    grid->addWidget(variance_box, 2, 1);
    grid->addWidget(estimate, 2, 2);
    grid->addWidget(label2, 3, 0);
    grid->addWidget(max_time_box, 3, 1);
    time_unit_label = Label("LblTimeUnit", {}, true);
    time_unit_label->setVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(time_unit_label);
    layout->addWidget(frame2);
    layout->addLayout(ButtonRow({previous, next}));
    setFixedWidth(620);

    // Form load.
    const Session& session = wizard_.session();
    location_file_label->setText(QString::fromStdString(session.loaded().file.path));
    if (session.choices().BBVariance != 0) {
        variance_box->setText(Shown(session.choices().BBVariance));
    }
}

void FrmBBAnalysis::CmdEstimateVar_Click() {
    if (!HasLocations(LocationSet::Bridge)) {
        return;
    }
    Session& session = wizard_.session();
    const Track& track = session.track();
    const MinimiserWorkspace start = wizard_.chain().minimiser;
    BBVarianceEstimate estimate;
    RunLong(
        QStringLiteral("Estimating the Brownian bridge variance"),
        [&track, &start, &estimate](const RunControl& control, Notifier& notifier) {
            return Take(EstimateBBVariance(track.sorted, track.count, start, notifier, control),
                        estimate);
        },
        [&] {
            wizard_.chain().minimiser = estimate.minimiser;
            session.ChooseBridgeVariance(estimate.variance);
            variance_box->setText(Shown(estimate.variance));
        });
}

bool FrmBBAnalysis::ReadBoxes() {
    Session& session = wizard_.session();
    if (variance_box->text().isEmpty()) {
        Message(kNeedVariance);
        return false;
    }
    // Any number is taken, 0 included: with positive location errors every bridge still has
    // a spread, and the computation itself says so when a bridge has none.
    const auto variance = ParseNumber(variance_box->text().toStdString());
    if (!variance) {
        Message(QStringLiteral("The Brownian bridge variance parameter must be a number."));
        return false;
    }
    session.ChooseBridgeVariance(*variance);
    const auto max_time = ReadMaxTime();
    if (!max_time) {
        return false;
    }
    session.ChooseMaxTime(*max_time);
    return true;
}

std::optional<double> FrmBBAnalysis::ReadMaxTime() {
    if (max_time_box->text().isEmpty()) {
        Message(kNeedMaxTime);
        return std::nullopt;
    }
    const auto max_time = ParseNumber(max_time_box->text().toStdString());
    if (!max_time || *max_time < 0) {
        Message(QStringLiteral("The maximum time limit must be a number of 0 or more."));
        return std::nullopt;
    }
    return max_time;
}

void FrmBBAnalysis::CmdNext_Click() {
    if (user_points_option->isChecked()) {
        if (user_points_file_label->text().isEmpty()) {
            wizard_.session().ChooseDataMode("Road");
            hide();
            wizard_.OpenUserPointsLoader();
        } else {
            CalcBBAtUserPts();
        }
        return;
    }
    if (grid_option->isChecked() && ReadBoxes()) {
        hide();
        wizard_.Show(FormId::GridExtent);
    }
    if (akde_option->isChecked() && HasLocations(LocationSet::Bridge)) {
        hide();
        // The models are fitted afresh to the fixes loaded now.
        wizard_.Unload(FormId::AkdeModels);
        wizard_.Show(FormId::AkdeModels);
    }
    if (dynamic_option->isChecked() && EstimateMotion()) {
        hide();
        // The extent starts from where the dynamic bridges reach.
        wizard_.Unload(FormId::GridExtent);
        wizard_.Show(FormId::GridExtent);
    }
}

bool FrmBBAnalysis::EstimateMotion() {
    if (!HasLocations(LocationSet::Bridge)) {
        return false;
    }
    Session& session = wizard_.session();
    const auto max_time = ReadMaxTime();
    if (!max_time) {
        return false;
    }
    const auto window = ParseNumber(window_box->text().toStdString());
    const auto margin = ParseNumber(margin_box->text().toStdString());
    if (!window || !margin || *window != std::floor(*window) || *margin != std::floor(*margin) ||
        std::fabs(*window) > 1e6 || std::fabs(*margin) > 1e6) {
        Message(QStringLiteral("The window size and the margin must be whole numbers of fixes."));
        return false;
    }
    const DynamicBridgeOptions options{static_cast<std::int32_t>(*window),
                                       static_cast<std::int32_t>(*margin)};
    const Track& track = session.track();
    if (Status valid = CheckDynamicBridgeOptions(options, track.sorted, track.count); !valid.Ok()) {
        Message(QString::fromStdString(valid.error));
        return false;
    }
    session.ChooseMaxTime(*max_time);
    MotionVariance motion;
    return RunLong(
        QStringLiteral("Scoring the windows of the dynamic Brownian bridge"),
        [&track, &options, &motion](const RunControl& control, Notifier&) {
            return Take(EstimateMotionVariance(track.sorted, track.count, options, control),
                        motion);
        },
        [&] { motion_variance = std::move(motion); });
}

void FrmBBAnalysis::CalcBBAtUserPts() {
    if (!ReadBoxes() || !HasLocations(LocationSet::Bridge)) {
        return;
    }
    Session& session = wizard_.session();
    static const UserPoints no_points;
    const UserPoints& points =
        session.loaded().user_points ? *session.loaded().user_points : no_points;
    BridgeOutput result;
    RunLong(
        QStringLiteral("Brownian bridge probability at the user-specified points"),
        [&session = std::as_const(session), &points, &result](const RunControl& control,
                                                              Notifier&) {
            const Track& track = session.track();
            return Take(ranvik::CalcBBAtUserPts(
                            track.sorted, track.count, session.choices().BBVariance,
                            session.choices().BBMaxTime, points.xy, points.count, control),
                        result);
        },
        [&] {
            session.Put(kBridgeName, std::move(result.output));
            hide(); // saving brings this form back
            wizard_.Show(FormId::SaveAs);
        });
}

void FrmBBAnalysis::Command3_Click() {
    hide();
    wizard_.Show(wizard_.ChosenLoader());
}

void ShowBridgeTimeUnit(Navigator& wizard) {
    FrmBBAnalysis& analysis = wizard.LoadAs<FrmBBAnalysis>(FormId::BBAnalysis);
    const QString unit = QString::fromStdString(wizard.session().loaded().file.time_unit);
    analysis.time_unit_label->setText(
        unit.isEmpty() ? QString()
                       : QStringLiteral("Times are in %1 since the first fix: the variance is in "
                                        "square metres per %2, the maximum time in %1.")
                             .arg(unit, SingularUnit(unit)));
    analysis.time_unit_label->setVisible(!unit.isEmpty());
}

void ShowUserPtsFile(Navigator& wizard) {
    FrmBBAnalysis& analysis = wizard.LoadAs<FrmBBAnalysis>(FormId::BBAnalysis);
    if (analysis.user_points_option->isChecked()) {
        analysis.user_points_caption_label->setVisible(true);
        analysis.user_points_file_label->setVisible(true);
        analysis.user_points_file_label->setText(QString::fromStdString(
            wizard.session().loaded().user_points ? wizard.session().loaded().user_points->path
                                                  : std::string()));
    }
}

FrmBBGridExtent::FrmBBGridExtent(Navigator& wizard) : WizardForm(wizard, "FrmBBGridExtent") {
    setWindowTitle(QStringLiteral("Brownian bridge output grid extent"));
    min_x_box = Text("TxtMinX", QStringLiteral("557000"));
    max_x_box = Text("TxtMaxX", QStringLiteral("559400"));
    min_y_box = Text("TxtMinY", QStringLiteral("5424000"));
    max_y_box = Text("TxtMaxY", QStringLiteral("5426200"));
    grid_spacing_box = Text("TxtGridResolution", QStringLiteral("30"));
    auto* automatic = Button("CmdCalcGridExtent", QStringLiteral("Auto Calculate Grid Extent"),
                             [this] { CmdCalcGridExtent_Click(); });
    auto* previous =
        Button("Command3", QStringLiteral("<< Previous"), [this] { Command3_Click(); });
    auto* next = Button("CmdCalcBB", QStringLiteral("Next >>"), [this] { CmdCalcBB_Click(); });
    auto* grid = new QGridLayout;
    const struct {
        const char* caption;
        QLineEdit* box;
    } rows[] = {{"Minimum X", min_x_box},
                {"Maximum X", max_x_box},
                {"Minimum Y", min_y_box},
                {"Maximum Y", max_y_box},
                {"Distance between grid points:", grid_spacing_box}};
    int row = 0;
    for (const auto& r : rows) {
        grid->addWidget(new QLabel(QString::fromLatin1(r.caption), this), row, 0);
        grid->addWidget(r.box, row, 1);
        ++row;
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(automatic, 0, Qt::AlignLeft);
    layout->addLayout(ButtonRow({previous, next}));
    setFixedWidth(400);
    // The grid starts over the loaded locations rather than a fixed study area.
    if (MissingLocations(wizard_.session(), LocationSet::Bridge).empty()) {
        CmdCalcGridExtent_Click();
    }
}

void FrmBBGridExtent::CmdCalcGridExtent_Click() {
    if (!HasLocations(LocationSet::Bridge)) {
        return;
    }
    const Track& track = wizard_.session().track();
    BridgeGridSpec spec = AutoBridgeGridExtent(track.sorted, track.count);
    if (const FrmAkdeModels* akde = AkdeChoice()) {
        const auto spacing = ParseNumber(grid_spacing_box->text().toStdString());
        if (spacing && *spacing > 0) {
            grid_spacing_box->setText(Shown(AkdeSpacing(akde->reach->spread, *spacing)));
        }
        spec.min_x = akde->reach->min_x;
        spec.max_x = akde->reach->max_x;
        spec.min_y = akde->reach->min_y;
        spec.max_y = akde->reach->max_y;
    } else if (const MotionVariance* motion = DynamicMotion()) {
        const auto cell = ParseNumber(grid_spacing_box->text().toStdString());
        spec = AutoDynamicBridgeExtent(track.sorted, track.count, *motion,
                                       wizard_.session().choices().BBMaxTime,
                                       cell && *cell > 0 ? *cell : 30.0);
    }
    min_x_box->setText(Shown(spec.min_x));
    max_x_box->setText(Shown(spec.max_x));
    min_y_box->setText(Shown(spec.min_y));
    max_y_box->setText(Shown(spec.max_y));
}

void FrmBBGridExtent::CmdCalcBB_Click() {
    if (!HasLocations(LocationSet::Bridge)) {
        return;
    }
    const auto spec =
        ParseBridgeGridSpec(min_x_box->text().toStdString(), max_x_box->text().toStdString(),
                            min_y_box->text().toStdString(), max_y_box->text().toStdString(),
                            grid_spacing_box->text().toStdString());
    if (!spec.Ok()) {
        Message(QString::fromStdString(spec.status.error));
        return;
    }
    if (const FrmAkdeModels* akde = AkdeChoice()) {
        CalcAutocorrelatedKernel(*akde, spec.value);
        return;
    }
    if (DynamicMotion() != nullptr) {
        CalcDynamicBridge(spec.value);
        return;
    }
    Session& session = wizard_.session();
    const BridgeGridSpec grid = spec.value;
    BridgeOutput result;
    RunLong(
        QStringLiteral("Brownian bridge probability over the grid"),
        [&session = std::as_const(session), &result, grid](const RunControl& control, Notifier&) {
            const Track& track = session.track();
            return Take(CalcBBGrid(track.sorted, track.count, session.choices().BBVariance,
                                   session.choices().BBMaxTime, grid, control),
                        result);
        },
        [&] {
            session.Put(kBridgeName, std::move(result.output));
            wizard_.Show(FormId::SaveAs);
            wizard_.Unload(FormId::GridExtent);
        });
}

const MotionVariance* FrmBBGridExtent::DynamicMotion() {
    const FrmBBAnalysis& analysis = wizard_.LoadAs<FrmBBAnalysis>(FormId::BBAnalysis);
    return analysis.dynamic_option->isChecked() && analysis.motion_variance
               ? &*analysis.motion_variance
               : nullptr;
}

void FrmBBGridExtent::CalcDynamicBridge(const BridgeGridSpec& grid) {
    Session& session = wizard_.session();
    const MotionVariance& motion = *DynamicMotion();
    DynamicBridgeGrid result;
    RunLong(
        QStringLiteral("Dynamic Brownian bridge over the grid"),
        [&session = std::as_const(session), &motion, &result, grid](const RunControl& control,
                                                                    Notifier&) {
            const Track& track = session.track();
            return Take(CalcDynamicBridgeGrid(track.sorted, track.count, motion,
                                              session.choices().BBMaxTime, grid, control),
                        result);
        },
        [&] {
            const Track& track = session.track();
            session.Put(kDynamicBridgeName, std::move(result.output),
                        {{"MotionVariance", ".csv",
                          MotionVarianceText(track.sorted, track.count, motion)}});
            if (result.mass_outside > kOutsideWorthSaying) {
                Message(QStringLiteral("%1 % of the distribution falls outside the grid; widen "
                                       "the extent to hold it all.")
                            .arg(100 * result.mass_outside, 0, 'g', 3));
            }
            FrmMotionVariance& graph = wizard_.ShowAs<FrmMotionVariance>(FormId::MotionVariance);
            std::vector<double> times;
            for (std::int32_t i = 0; i < track.count; ++i) {
                times.push_back(track.sorted(i, 2));
            }
            graph.graph_picture->SetContent(std::move(times), motion.segment, motion.breaks);
            wizard_.Show(FormId::SaveAs);
            wizard_.Unload(FormId::GridExtent);
        });
}

const FrmAkdeModels* FrmBBGridExtent::AkdeChoice() {
    const FrmBBAnalysis& analysis = wizard_.LoadAs<FrmBBAnalysis>(FormId::BBAnalysis);
    if (!analysis.akde_option->isChecked()) {
        return nullptr;
    }
    const auto& akde = wizard_.LoadAs<FrmAkdeModels>(FormId::AkdeModels);
    return akde.chosen && akde.reach ? &akde : nullptr;
}

void FrmBBGridExtent::CalcAutocorrelatedKernel(const FrmAkdeModels& akde,
                                               const BridgeGridSpec& grid) {
    Session& session = wizard_.session();
    const MovementFit model = *akde.chosen;
    const AkdeBandwidth bandwidth = akde.reach->bandwidth;
    AkdeOnGrid result;
    RunLong(
        QStringLiteral("Autocorrelated kernel home range over the grid"),
        [&session = std::as_const(session), &model, &bandwidth, &result,
         grid](const RunControl& control, Notifier&) -> Status {
            const Track& track = session.track();
            const std::vector<double> xs = GridSteps(grid.min_x, grid.max_x, grid.resolution);
            const std::vector<double> ys = GridSteps(grid.min_y, grid.max_y, grid.resolution);
            auto made = CalcAkdeOnGrid(track.sorted, track.count, model, xs, ys, grid.resolution,
                                       control, &bandwidth);
            if (made.Ok()) {
                result = std::move(made.value);
            }
            return made.status;
        },
        [&] {
            session.Put(
                kAkdeName, std::move(result.grid),
                {{"Models", ".csv", MovementModelsText(akde.fits)},
                 {"Variogram", ".csv", VariogramText(akde.variogram, akde.Data(), model.params)}},
                model.effective_n);
            QStringList notes;
            if (result.mass_outside > kOutsideWorthSaying) {
                notes << QStringLiteral("%1 % of the distribution falls outside the grid; widen "
                                        "the extent to hold it all.")
                             .arg(100 * result.mass_outside, 0, 'g', 3);
            }
            if (grid.resolution > result.spread) {
                notes << QStringLiteral("The distance between grid points is wider than the "
                                        "kernels' spread, %1 m, so the grid samples the estimate "
                                        "coarsely; a distance of at most that shows it faithfully.")
                             .arg(Shown(result.spread));
            }
            if (!notes.isEmpty()) {
                Message(notes.join(QLatin1Char(' ')));
            }
            wizard_.Show(FormId::SaveAs);
            wizard_.Unload(FormId::GridExtent);
        });
}

void FrmBBGridExtent::Command3_Click() {
    hide();
    wizard_.Show(AkdeChoice() != nullptr ? FormId::AkdeModels : FormId::BBAnalysis);
}

MotionVarianceGraph::MotionVarianceGraph(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PicMotionVariance"));
    setMinimumSize(520, 260);
}

void MotionVarianceGraph::SetContent(std::vector<double> times,
                                     std::vector<std::optional<double>> variances,
                                     std::vector<std::int32_t> breaks) {
    times_ = std::move(times);
    variances_ = std::move(variances);
    breaks_ = std::move(breaks);
    update();
}

void MotionVarianceGraph::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    double low = 0.0;
    double high = 0.0;
    bool any = false;
    for (const auto& v : variances_) {
        if (v && *v > 0) {
            low = any ? std::min(low, *v) : *v;
            high = any ? std::max(high, *v) : *v;
            any = true;
        }
    }
    if (!any || times_.size() < 2) {
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("No motion variance to show."));
        return;
    }
    const double t0 = times_.front();
    const double t1 = std::max(times_.back(), t0 + 1e-12);
    const double l0 = std::log10(low) - 0.1;
    const double l1 = std::log10(high) + 0.1;
    const QRectF plot = QRectF(rect()).adjusted(60, 10, -10, -30);
    const auto px = [&](double t) { return plot.left() + (t - t0) / (t1 - t0) * plot.width(); };
    const auto py = [&](double v) {
        return plot.bottom() - (std::log10(v) - l0) / (l1 - l0) * plot.height();
    };
    painter.setPen(Qt::black);
    painter.drawRect(plot);
    for (int decade = static_cast<int>(std::ceil(l0)); decade <= static_cast<int>(l1); ++decade) {
        const double y = py(std::pow(10.0, decade));
        painter.drawLine(QPointF(plot.left() - 4, y), QPointF(plot.left(), y));
        painter.drawText(QRectF(0, y - 8, plot.left() - 6, 16), Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("1e%1").arg(decade));
    }
    painter.drawText(QRectF(plot.left(), plot.bottom() + 4, plot.width(), 20), Qt::AlignCenter,
                     QStringLiteral("time"));
    // Each segment's variance as a step from its first fix to the next.
    painter.setPen(QPen(QColor(30, 80, 160), 1.5));
    for (std::size_t k = 0; k + 1 < times_.size() && k < variances_.size(); ++k) {
        if (variances_[k] && *variances_[k] > 0) {
            const double y = py(*variances_[k]);
            painter.drawLine(QPointF(px(times_[k]), y), QPointF(px(times_[k + 1]), y));
        }
    }
    painter.setPen(QPen(QColor(200, 40, 40), 1, Qt::DashLine));
    for (std::size_t i = 0; i < breaks_.size() && i < times_.size(); ++i) {
        if (breaks_[i] > 0) {
            painter.drawLine(QPointF(px(times_[i]), plot.top()),
                             QPointF(px(times_[i]), plot.bottom()));
        }
    }
}

FrmMotionVariance::FrmMotionVariance(Navigator& wizard) : WizardForm(wizard, "FrmMotionVariance") {
    setWindowTitle(QStringLiteral("Motion variance along the track"));
    summary_label =
        Label("LblMotionVariance",
              QStringLiteral("The motion variance of each segment (logarithmic scale); dashed "
                             "lines mark the fixes where a window found a break."),
              true);
    graph_picture = new MotionVarianceGraph(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_label);
    layout->addWidget(graph_picture);
}

} // namespace ranvik
