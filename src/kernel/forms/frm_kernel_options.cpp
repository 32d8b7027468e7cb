#include "kernel/forms/frm_kernel_options.h"

#include "kernel/forms/frm_cv_graph.h"
#include "kernel/kernel_grid.h"
#include "kernel/smoothing.h"
#include "models/forms/home_range_results.h"
#include "models/home_ranges.h"
#include "state/number_text.h"

#include <QApplication>

#include <QGridLayout>
#include <QVBoxLayout>
#include <cmath>
#include <span>
#include <utility>

namespace ranvik {
namespace {

QString Shown(double value) {
    return QString::fromStdString(FormatNumber(value));
}

} // namespace

FrmKernelOptions::FrmKernelOptions(Navigator& wizard) : WizardForm(wizard, "FrmKernelOptions") {
    auto* intro = Label("Label1",
                        QStringLiteral("Four methods are available for choosing the smoothing "
                                       "parameter including:"),
                        true);
    auto* methods = Label(
        "Label2",
        QStringLiteral("1) likelihood cross-validation (CVh), based on minimising the "
                       "Kullback-Leibler distance\n2) least squares cross-validation (LSCVh), "
                       "based on minimising the integrated squared error\n3) the optimal "
                       "smoothing parameter if the data are normally distributed (h_ref) or a "
                       "user-specified percent of it\n4) a user-specified value"),
        true);
    smoothing_frame = Frame("Frame1", QStringLiteral("Estimate Fixed Kernel Home Range Using:"));
    cv_h_check = Check("ChkCVh", QStringLiteral("CVh"), smoothing_frame);
    lscv_h_check = Check("ChkLSCVh", QStringLiteral("LSCVh"), smoothing_frame);
    href_percent_check = Check("ChkHRef", QStringLiteral("Percent of h_ref"), smoothing_frame);
    user_h_check = Check("ChkUserH", QStringLiteral("User specified value:"), smoothing_frame);
    cv_h_box = Text("TxtCVh");
    lscv_h_box = Text("TxtLSCVh");
    href_box = Text("Txthref");
    href_percent_box = Text("TxtPercentHref", QStringLiteral("100"));
    user_h_box = Text("TxtHUser");
    auto* grid = new QGridLayout(smoothing_frame);
    grid->addWidget(cv_h_check, 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("CVh ="), smoothing_frame), 0, 1);
    grid->addWidget(cv_h_box, 0, 2);
    grid->addWidget(lscv_h_check, 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("LSCVh ="), smoothing_frame), 1, 1);
    grid->addWidget(lscv_h_box, 1, 2);
    grid->addWidget(href_percent_check, 2, 0);
    grid->addWidget(href_percent_box, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("h_ref ="), smoothing_frame), 3, 1);
    grid->addWidget(href_box, 3, 2);
    grid->addWidget(user_h_check, 4, 0);
    grid->addWidget(user_h_box, 4, 2);
    graph_button = Button("Command1", QStringLiteral("View graph of CVh and LSCVh functions"),
                          [this] { Command1_Click(); });
    auto* previous =
        Button("Command3", QStringLiteral("<< Previous"), [this] { Command3_Click(); });
    auto* next = Button("CmdNext", QStringLiteral("Next >>"), [this] { CmdNext_Click(); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(methods);
    layout->addWidget(smoothing_frame);
    layout->addWidget(graph_button, 0, Qt::AlignLeft);
    layout->addLayout(ButtonRow({previous, next}));
    setFixedWidth(560);
    FormLoad();
}

void FrmKernelOptions::FormLoad() {
    const Session& session = wizard_.session();
    const IndependentLocations& locations = session.locations();
    const Matrix& xy = locations.xy;
    const std::int32_t n = locations.count;
    const bool weighted = session.choices().BiasCorrected == 1;
    if (!HasLocations(LocationSet::Independent)) {
        // Nothing to compute on; the boxes stay empty.
    } else if (const Status input = CheckSmoothingInput(xy, n); !input.Ok()) {
        Message(QString::fromStdString(input.error));
    } else {
        const std::span<const double> weights =
            weighted ? std::span<const double>(locations.weights) : std::span<const double>();
        const MinimiserWorkspace start = wizard_.chain().minimiser;
        double h_ref = 0.0;
        StatusOr<SmoothingSearch> cv;
        StatusOr<SmoothingSearch> lscv;
        const Status status = RunLong(
            QStringLiteral("Choosing the smoothing parameter (CV and LSCV searches)"),
            [&](const RunControl& control, Notifier&) {
                h_ref = CalcHref(xy, n);
                cv = CalcCVh(xy, h_ref, n, weights, start, control);
                if (cv.status.cancelled) {
                    return cv.status;
                }
                // The LSCV search takes the workspace on from the CV search, as the
                // chain would hold it between the two.
                if (!weighted) {
                    lscv = CalcLSCVh(xy, h_ref, n, cv.Ok() ? cv.value.minimiser : start, control);
                }
                return lscv.status.cancelled ? lscv.status : Status{};
            });
        if (status.Ok()) {
            // The chain keeps the workspace of the last search made.
            if (cv.Ok()) {
                wizard_.chain().minimiser = cv.value.minimiser;
            }
            if (!weighted && lscv.Ok()) {
                wizard_.chain().minimiser = lscv.value.minimiser;
            }
        }
        if (!status.cancelled) {
            cv_h_box->setText(cv.Ok() ? Shown(cv.value.h) : QString());
            if (!weighted) {
                href_box->setText(Shown(h_ref));
                lscv_h_box->setText(lscv.Ok() ? Shown(lscv.value.h) : QString());
            }
            for (const Status& failed : {cv.status, lscv.status}) {
                if (!failed.Ok()) {
                    Message(QString::fromStdString(failed.error));
                }
            }
        }
    }
    if (weighted) {
        href_box->clear();
        lscv_h_box->clear();
        graph_button->setVisible(false);
    }
    if (session.choices().Requested(kAdaptiveKernelName)) {
        if (!session.choices().Requested(kFixedKernelName)) {
            smoothing_frame->setTitle(QStringLiteral("Estimate Adaptive Kernel Using:"));
        } else {
            graph_button->setVisible(false);
            smoothing_frame->setTitle(QStringLiteral("Estimate Kernels Using:"));
        }
    }
}

std::optional<StatusOr<double>> FrmKernelOptions::ChosenH() const {
    // The options in their fixed order; the first ticked one gives h.
    if (cv_h_check->isChecked()) {
        return SmoothingParameterFromText(cv_h_box->text().toStdString(), "CVh");
    }
    if (lscv_h_check->isChecked()) {
        return SmoothingParameterFromText(lscv_h_box->text().toStdString(), "LSCVh");
    }
    if (href_percent_check->isChecked()) {
        StatusOr<double> h;
        const auto href = ParseNumber(href_box->text().toStdString());
        const auto pct = ParseNumber(href_percent_box->text().toStdString());
        if (!href || !pct) {
            h.status = Status::Failure("\"Percent of h_ref\" needs h_ref and a percent; h_ref "
                                       "is not available for weighted locations.");
        } else {
            h.value = *href * *pct * 0.01;
            h.status = CheckSmoothingParameter(h.value);
        }
        return h;
    }
    if (user_h_check->isChecked()) {
        return SmoothingParameterFromText(user_h_box->text().toStdString(), "User specified value");
    }
    return std::nullopt;
}

void FrmKernelOptions::CmdNext_Click() {
    Session& session = wizard_.session();
    if (!HasLocations(LocationSet::Independent)) {
        return;
    }
    // With no way of choosing h ticked no kernel is computed: both requests stay for a later
    // visit, and the other ticked estimators still run.
    const std::optional<StatusOr<double>> h = ChosenH();
    if (h && !h->Ok()) {
        Message(QString::fromStdString(h->status.error));
        return;
    }
    const bool fixed_wanted = h && session.choices().Requested(kFixedKernelName);
    const bool adaptive_wanted = h && session.choices().Requested(kAdaptiveKernelName);
    const double kernel_h = h ? h->value : 0.0;
    const IndependentLocations& locations = session.locations();
    const Matrix& xy = locations.xy;
    const std::int32_t n = locations.count;
    const std::span<const double> weights = session.choices().BiasCorrected == 1
                                                ? std::span<const double>(locations.weights)
                                                : std::span<const double>();
    const HomeRangeInput input = HomeRangeInputOf(session, wizard_.chain().fit);
    // The work fills only these; the session takes them once the run is over.
    std::optional<StatusOr<KernelGrid>> fixed;
    std::optional<StatusOr<Matrix>> adaptive;
    StatusOr<HomeRangeResults> models;
    const Status status = RunLong(QStringLiteral("Computing the home ranges"),
                                  [&](const RunControl& control, Notifier& notifier) {
                                      const RunControl kernels = control.Part(0, 2);
                                      if (fixed_wanted) {
                                          fixed =
                                              CalcFixedKernel(xy, n, kernel_h, weights, kernels);
                                          if (!fixed->Ok()) {
                                              return fixed->status;
                                          }
                                      }
                                      if (adaptive_wanted) {
                                          adaptive = CalcAdKernel(xy, n, kernel_h, kernels);
                                          if (!adaptive->Ok()) {
                                              return adaptive->status;
                                          }
                                      }
                                      models = CalcHomeRanges(input, notifier, control.Part(1, 2));
                                      return models.status;
                                  });
    if (status.cancelled) {
        return;
    }
    // Each kernel made is kept, even when the other could not be made; the h they were made
    // with smooths any animal set beside them.
    if ((fixed && fixed->Ok()) || (adaptive && adaptive->Ok())) {
        session.ChooseKernelH(kernel_h);
    }
    if (fixed && fixed->Ok()) {
        session.Put(kFixedKernelName, std::move(fixed->value.grid));
        session.Request(kFixedKernelName, false);
    }
    if (adaptive && adaptive->Ok()) {
        session.Put(kAdaptiveKernelName, std::move(adaptive->value));
        session.Request(kAdaptiveKernelName, false);
    }
    if (!status.Ok()) {
        Message(QString::fromStdString(status.error));
        return; // a kernel could not be computed: choose another h
    }
    if (const Status made = CommitHomeRanges(session, wizard_.chain(), std::move(models.value));
        !made.Ok()) {
        Message(QString::fromStdString(made.error));
    }
    wizard_.Show(FormId::SaveAs);
    wizard_.Unload(FormId::KernelOptions);
}

void FrmKernelOptions::Command1_Click() {
    FrmCVhLSCVhGraph& graph = wizard_.LoadAs<FrmCVhLSCVhGraph>(FormId::CVGraph);
    graph.PassVar(ParseNumber(cv_h_box->text().toStdString()).value_or(std::nan("")));
    graph.PassVar(ParseNumber(lscv_h_box->text().toStdString()).value_or(std::nan("")));
    graph.LoadValues();
    wizard_.Show(FormId::CVGraph);
    wizard_.Unload(FormId::KernelOptions);
}

void FrmKernelOptions::Command3_Click() {
    wizard_.Show(FormId::Compare);
    wizard_.Unload(FormId::KernelOptions);
}

} // namespace ranvik
