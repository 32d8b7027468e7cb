#include "app/forms/front_forms.h"

#include "app/forms/all_forms.h"
#include "app/forms/home_range_sketch.h"
#include "input/forms/frm_load_text_file.h"
#include "kernel/forms/frm_kernel_options.h"
#include "kernel/kernel_grid.h"
#include "models/forms/home_range_results.h"
#include "models/home_ranges.h"
#include "output/comparison.h"
#include "output/forms/comparison_results.h"
#include "output/forms/output_forms.h"

#include <QFont>
#include <QGridLayout>
#include <QVBoxLayout>

namespace ranvik {

FrmDataTypeOptions::FrmDataTypeOptions(Navigator& wizard)
    : WizardForm(wizard, "FrmDataTypeOptions") {
    auto* frame = Frame("Frame1", QStringLiteral("Select the type of data you have"));
    bridge_data_option =
        Option("OptBBData",
               QStringLiteral("I have serially correlated data and want to use the "
                              "Brownian bridge movement model"),
               frame);
    independent_data_option =
        Option("OptIndData",
               QStringLiteral("My data are assumed to be temporally independent "
                              "observations"),
               frame);
    for (QRadioButton* option : {bridge_data_option, independent_data_option}) {
        option->setFont(QFont(QStringLiteral("Times New Roman")));
    }
    independent_data_option->setChecked(true);
    auto* options = new QVBoxLayout(frame);
    options->addWidget(bridge_data_option);
    options->addWidget(independent_data_option);
    auto* label1 = Label(
        "Label1",
        QStringLiteral(
            "Two distinct types of location data can be used in Ranvik:                 (1) "
            "Locations are assumed to be temporally independent - Most traditional home range "
            "estimates assume this type of data                                                "
            "     (2) Locations are collected at relatively short time intervals - Space use of "
            "animals can be modeled with this type of data using the Brownian bridge movement "
            "model"),
        true);
    auto* next = Button("CmdNext", QStringLiteral("Next >>"), [this] { CmdNext_Click(); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label1);
    layout->addWidget(frame);
    layout->addLayout(ButtonRow({next}));
    setFixedWidth(520);
}

void FrmDataTypeOptions::CmdNext_Click() {
    Session& session = wizard_.session();
    session.ChooseDataType(bridge_data_option->isChecked(), independent_data_option->isChecked());
    if (session.choices().IsIndData) {
        session.ChooseDataMode({});
        wizard_.Show(FormId::HomeRange);
        hide();
    }
    if (session.choices().IsBBData) {
        session.ChooseDataMode("location");
        wizard_.Show(FormId::InputData);
        hide();
    }
}

FrmHomeRangeOptions::FrmHomeRangeOptions(Navigator& wizard)
    : WizardForm(wizard, "FrmHomeRangeOptions") {
    auto* label1 = Label("Label1", QStringLiteral("Ranvik provides 2 analysis options including:"));
    auto* label2 = Label(
        "Label2",
        QStringLiteral("1)  Estimate Home Range: Select this option if you want to estimate the "
                       "home range using one of the available home range models.  Also select "
                       "this option if you want to compare  different home range models using "
                       "Information Theoretic Criteria"),
        true);
    auto* label3 = Label(
        "Label3",
        QStringLiteral("2)  Estimate Home Range Corrected for Observation Bias:  Select this "
                       "option if you have an estimate of the probability of aquiring a location "
                       "given one was attempted and want to estimate the home range using this "
                       "information."),
        true);
    auto* frame = Frame("Frame1", QStringLiteral("Select the type of home range analysis:"));
    home_range_option = Option("OptHomeRange", QStringLiteral("Estimate Home Range "), frame);
    bias_corrected_option =
        Option("OptBiasHomeRange",
               QStringLiteral("Estimate Home Range Corrected for Observation Bias"), frame);
    synoptic_option =
        Option("OptSynoptic", QStringLiteral("Estimate Home Range Using a Synoptic Model"), frame);
    home_range_option->setChecked(true);
    auto* options = new QVBoxLayout(frame);
    for (QRadioButton* option : {home_range_option, bias_corrected_option, synoptic_option}) {
        options->addWidget(option);
    }
    auto* image1 = Label("Image1", {});
    image1->setPixmap(HomeRangeSketch(QSize(220, 130), devicePixelRatioF()));
    image1->setAlignment(Qt::AlignCenter);
    auto* previous =
        Button("Command1", QStringLiteral("<< Previous"), [this] { Command1_Click(); });
    auto* next = Button("CmdNext", QStringLiteral("Next >>"), [this] { CmdNext_Click(); });
    auto* layout = new QVBoxLayout(this);
    for (QWidget* widget : {static_cast<QWidget*>(label1), static_cast<QWidget*>(label2),
                            static_cast<QWidget*>(label3), static_cast<QWidget*>(frame),
                            static_cast<QWidget*>(image1)}) {
        layout->addWidget(widget);
    }
    layout->addLayout(ButtonRow({previous, next}));
    setFixedWidth(520);
}

void FrmHomeRangeOptions::CmdNext_Click() {
    Session& session = wizard_.session();
    session.ChooseAnalysis(home_range_option->isChecked(), synoptic_option->isChecked(),
                           bias_corrected_option->isChecked());
    const Choices& chosen = session.choices();
    if (chosen.IsHomeRange || chosen.BiasCorrected == 1) {
        wizard_.Show(FormId::InputData);
        hide();
    }
    if (chosen.IsSynoptic) {
        Message(QStringLiteral("Option not available at this time"));
    }
}

void FrmHomeRangeOptions::Command1_Click() {
    wizard_.Show(FormId::DataType);
    hide();
}

FrmInputDataOptions::FrmInputDataOptions(Navigator& wizard)
    : WizardForm(wizard, "FrmInputDataOptions") {
    auto* frame = Frame("Frame1", QStringLiteral("Input Data Type"));
    text_file_option = Option("OptTextFile", QStringLiteral("Text File"), frame);
    shapefile_option = Option("OptShapeFile", QStringLiteral("ESRI layer (shapefile)"), frame);
    telemetry_option =
        Option("OptTelemetry", QStringLiteral("Telemetry table (CSV, GeoPackage, Movebank export)"),
               frame);
    shapefile_option->setChecked(true);
    auto* options = new QVBoxLayout(frame);
    options->addWidget(text_file_option);
    options->addWidget(shapefile_option);
    options->addWidget(telemetry_option);
    auto* label1 = Label("Label1",
                         QStringLiteral("Ranvik accepts 2 input data formats including ESRI "
                                        "shapefiles and tab-delimited text files.  "),
                         true);
    auto* previous =
        Button("Command1", QStringLiteral("<< Previous"), [this] { Command1_Click(); });
    auto* next = Button("CmdNext", QStringLiteral("Next >>"), [this] { CmdNext_Click(); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label1);
    layout->addWidget(frame);
    layout->addLayout(ButtonRow({previous, next}));
    setFixedWidth(420);
}

void FrmInputDataOptions::CmdNext_Click() {
    if (shapefile_option->isChecked()) {
        wizard_.Show(FormId::LoadShapefile);
        SetShapefileLayout(wizard_);
        hide();
        return;
    }
    if (text_file_option->isChecked()) {
        SetTextFileInstructions(wizard_);
        wizard_.Show(FormId::LoadText);
        hide();
        return;
    }
    if (telemetry_option->isChecked()) {
        SetTelemetryLayout(wizard_);
        wizard_.Show(FormId::LoadTelemetry);
        hide();
    }
}

void FrmInputDataOptions::Command1_Click() {
    hide();
    if (wizard_.IndependentDataChosen()) {
        wizard_.Show(FormId::HomeRange);
    } else {
        wizard_.Show(FormId::DataType);
    }
}

void SetTextFileInstructions(Navigator& wizard) {
    QString text;
    if (wizard.BridgeDataChosen()) {
        text = QStringLiteral("Note: Input file should be a tab delimited text file with 4 "
                              "columns in this order: x-coordinate, y-coordinate, time, location "
                              "error");
    } else if (wizard.PlainHomeRangeChosen()) {
        text = QStringLiteral("Note: Input file should be a tab delimited text file with 2 "
                              "columns in this order: x-coordinate, y-coordinate");
    } else {
        text = QStringLiteral("Note: Input file should be a tab delimited text file with 3 "
                              "columns in this order: x-coordinate, y-coordinate, probability of "
                              "obtaining location");
    }
    wizard.LoadAs<FrmLoadTextFile>(FormId::LoadText).instructions_label->setText(text);
}

FrmCompareHROption::FrmCompareHROption(Navigator& wizard)
    : WizardForm(wizard, "FrmCompareHROption") {
    const Session& session = wizard_.session();
    auto* label10 = Label("Label10", QStringLiteral("Locations File:"));
    location_file_box = Text("Text1");
    location_file_box->setReadOnly(true);
    auto* frame3 = Frame("Frame3", {});
    estimate_option = Option("OptEstimateHRs",
                             QStringLiteral("Estimate Home Range Using Selected Models"), frame3);
    compare_option = Option(
        "OptCompareHRModels",
        QStringLiteral("Compare Selected Models Using Information Theoretic Criteria"), frame3);
    estimate_option->setChecked(true);
    auto* modes = new QVBoxLayout(frame3);
    modes->addWidget(estimate_option);
    modes->addWidget(compare_option);
    connect(compare_option, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            models_frame->setTitle(QStringLiteral("Compare Models:"));
        }
    });
    connect(estimate_option, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            models_frame->setTitle(QStringLiteral("Estimate Home Range Using:"));
        }
    });
    auto* label9 = Label(
        "Label9",
        QStringLiteral("Output will be a grid  saved as an x, y, z text file. The 3 columns "
                       "correspond to the x-coordinate, y-coordinate, and estimated probability "
                       "of occurrence in that grid cell (i.e., utilization distribution)."),
        true);
    models_frame = Frame("Frame1", QStringLiteral("Estimate Home Range Using:"));
    auto* list = new QGridLayout(models_frame);
    auto* label1 = new QLabel(QStringLiteral("Model"), models_frame);
    label1->setObjectName(QStringLiteral("Label1"));
    auto* label2 = new QLabel(QStringLiteral("Number of Parameters"), models_frame);
    label2->setObjectName(QStringLiteral("Label2"));
    list->addWidget(label1, 0, 0);
    list->addWidget(label2, 0, 1);
    const struct {
        QCheckBox** box;
        const char* name;
        const char* caption;
        const char* parameters;
    } rows[] = {
        {&exp_power_check, "ChkExpPower", "Exponential Power", "4"},
        {&bvn_check, "ChkBVN", "1 Mode Bivariate Normal", "5"},
        {&circle_mixture_check, "Chk2CN", "2 Mode Bivariate Circle Mix", "7"},
        {&normal_mixture_check, "Chk2BVN", "2 Mode Bivariate Normal Mix", "11"},
        {&fixed_kernel_check, "ChkFixedKernel", "Fixed Kernel", "nonparametric"},
        {&adaptive_kernel_check, "ChkAdKernel", "Adaptive Kernel", "nonparametric"},
    };
    int row = 1;
    for (const auto& r : rows) {
        *r.box = Check(r.name, QString::fromLatin1(r.caption), models_frame);
        list->addWidget(*r.box, row, 0);
        list->addWidget(new QLabel(QString::fromLatin1(r.parameters), models_frame), row, 1);
        ++row;
    }
    auto* previous =
        Button("Command3", QStringLiteral("<< Previous"), [this] { Command3_Click(); });
    auto* next = Button("CmdNext", QStringLiteral("Next >>"), [this] { CmdNext_Click(); });
    auto* file_row = new QHBoxLayout;
    file_row->addWidget(label10);
    file_row->addWidget(location_file_box, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(file_row);
    layout->addWidget(frame3);
    layout->addWidget(label9);
    layout->addWidget(models_frame);
    layout->addLayout(ButtonRow({previous, next}));
    setFixedWidth(520);

    // Form load.
    if (session.choices().BiasCorrected == 1) {
        models_frame->setTitle(QStringLiteral("Estimate Bias-Corrected Home Range Using:"));
        compare_option->setVisible(false);
        adaptive_kernel_check->setEnabled(false);
        exp_power_check->setEnabled(false);
        circle_mixture_check->setEnabled(false);
    }
    location_file_box->setText(QString::fromStdString(session.loaded().file.path));
}

void FrmCompareHROption::CmdNext_Click() {
    const bool any = exp_power_check->isChecked() || bvn_check->isChecked() ||
                     circle_mixture_check->isChecked() || normal_mixture_check->isChecked() ||
                     fixed_kernel_check->isChecked() || adaptive_kernel_check->isChecked();
    if (!any) {
        Message(QStringLiteral("Tick at least one model."));
        return;
    }
    if (!HasLocations(LocationSet::Independent)) {
        return;
    }
    if (estimate_option->isChecked()) {
        EstimateRequest();
    } else {
        Compare();
    }
}

void FrmCompareHROption::EstimateRequest() {
    Session& session = wizard_.session();
    const struct {
        QCheckBox* box;
        std::string_view estimator;
    } requests[] = {{fixed_kernel_check, kFixedKernelName},
                    {adaptive_kernel_check, kAdaptiveKernelName},
                    {bvn_check, kBVNName},
                    {circle_mixture_check, kCircleMixtureName},
                    {normal_mixture_check, kNormalMixtureName},
                    {exp_power_check, kExpPowerName}};
    const auto set_requests = [&requests, &session] {
        for (const auto& r : requests) {
            if (r.box->isChecked()) {
                session.Request(r.estimator, true);
            }
        }
    };
    if (fixed_kernel_check->isChecked() || adaptive_kernel_check->isChecked()) {
        set_requests();
        wizard_.Show(FormId::KernelOptions);
        wizard_.Unload(FormId::Compare);
        return;
    }
    // The requests go into the session with the results, so a cancelled run leaves them as
    // they were.
    HomeRangeInput input = HomeRangeInputOf(session, wizard_.chain().fit);
    const QCheckBox* ticked[kHomeRangeModels] = {bvn_check, normal_mixture_check,
                                                 circle_mixture_check, exp_power_check};
    for (int k = 0; k < kHomeRangeModels; ++k) {
        input.requested[static_cast<std::size_t>(k)] =
            input.requested[static_cast<std::size_t>(k)] || ticked[k]->isChecked();
    }
    StatusOr<HomeRangeResults> results;
    RunLong(
        QStringLiteral("Fitting the home range models"),
        [&](const RunControl& control, Notifier& notifier) {
            results = CalcHomeRanges(input, notifier, control);
            return results.status;
        },
        [&] {
            set_requests();
            if (const Status made =
                    CommitHomeRanges(session, wizard_.chain(), std::move(results.value));
                !made.Ok()) {
                Message(QString::fromStdString(made.error));
            }
            wizard_.Show(FormId::SaveAs);
            wizard_.Unload(FormId::Compare);
        });
}

void FrmCompareHROption::Compare() {
    ComparisonChoice choice;
    choice.exp_power = exp_power_check->isChecked();
    choice.bvn = bvn_check->isChecked();
    choice.circle_mixture = circle_mixture_check->isChecked();
    choice.normal_mixture = normal_mixture_check->isChecked();
    choice.fixed_kernel = fixed_kernel_check->isChecked();
    choice.adaptive_kernel = adaptive_kernel_check->isChecked();
    Session& session = wizard_.session();
    const SimplexFit start = wizard_.chain().fit;
    const IndependentLocations& locations = *session.loaded().locations;
    StatusOr<ComparisonResults> results;
    RunLong(
        QStringLiteral("Comparing the models and their leave-one-out criteria"),
        [&](const RunControl& control, Notifier& notifier) {
            results =
                RunComparison(locations.xy, locations.count, choice, start, notifier, control);
            return results.status;
        },
        [&] {
            if (const Status scored =
                    CommitComparison(session, wizard_.chain(), std::move(results.value));
                !scored.Ok()) {
                Message(QString::fromStdString(scored.error));
            }
            wizard_.Show(FormId::Comparison);
            wizard_.Unload(FormId::Compare);
        });
}

void FrmCompareHROption::Command3_Click() {
    wizard_.Show(wizard_.ChosenLoader());
    wizard_.Unload(FormId::Compare);
}

} // namespace ranvik
