#include "app/forms/all_forms.h"

#include "support/collars.h"
#include "support/fake_dialogs.h"
#include "support/movement_track.h"
#include "support/temp_dir.h"
#include "support/wizard_session.h"

#include "bridge/bridge_probability.h"
#include "bridge/dynamic_bridge_grid.h"
#include "input/forms/loaded_files.h"
#include "input/shape_writer.h"
#include "kernel/akde.h"
#include "kernel/kernel_grid.h"
#include "output/estimator_table.h"
#include "output/mcp.h"
#include "output/overlap.h"
#include "state/number_text.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include <fstream>
#include <string>

namespace ranvik {
namespace {

using F = FrmCompareHROption;
using testing::Estimate;

const QString kExamples = QStringLiteral(RANVIK_EXAMPLES_DIR);

std::size_t LineCount(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    std::size_t lines = 0;
    while (std::getline(in, line)) {
        ++lines;
    }
    return lines;
}

// The rows of a home range areas table for the minimum convex polygon ("MCP 95 %") when `mcp`,
// else those for the utilization distribution.
int AreaRows(const QTableWidget& table, bool mcp) {
    int rows = 0;
    for (int r = 0; r < table.rowCount(); ++r) {
        rows += table.item(r, 0)->text().startsWith(QStringLiteral("MCP ")) == mcp ? 1 : 0;
    }
    return rows;
}

QString Shown(double value, int decimals) {
    return QString::fromStdString(FormatNumber(RoundHalfEven(value, decimals)));
}

} // namespace

// Drives the wizard as a user would, with file dialogs and message boxes answered by fakes.
class WizardPathsTest : public QObject {
    Q_OBJECT

    Session session;
    testing::FakeDialogs dialogs;
    std::unique_ptr<Wizard> wizard;
    QString instructions;                  // of the loader, as the track was loaded
    std::unique_ptr<testing::TempDir> dir; // a fresh one for each test

    [[nodiscard]] std::size_t Lines(const char* file) const {
        return LineCount(dir->path() / file);
    }

    // Welcome -> data type (independent) -> analysis -> input type (text) -> text loader.
    FrmLoadTextFile& ToTextLoader(bool bias_corrected) {
        testing::WalkToLoader(*wizard, false, &FrmInputDataOptions::text_file_option,
                              bias_corrected);
        return *wizard->load_text.Get();
    }

    // Loads `file` from the examples and goes on to the model-choice form.
    FrmCompareHROption& LoadAndGoOn(FrmLoadTextFile& loader, const QString& file) {
        testing::OpenOn(dialogs, loader, kExamples + QLatin1Char('/') + file);
        loader.CmdNext_Click();
        return *wizard->compare.Get();
    }

    // The model choice with the deer's 150 independent locations loaded from the text file.
    FrmCompareHROption& ToDeerModels() {
        return LoadAndGoOn(ToTextLoader(false), QStringLiteral("deer_independent.txt"));
    }

    // Ticks `h` on the kernel options and presses Next.
    void ChooseH(QCheckBox* FrmKernelOptions::*h) {
        (wizard->kernel_options.Get()->*h)->setChecked(true);
        wizard->kernel_options.Get()->CmdNext_Click();
    }

    // Saves every waiting result as file type `type` into this test's folder.
    void SaveTo(const QString& root, int type) {
        FrmSaveAs* save = wizard->save_as.Get();
        QVERIFY(save != nullptr && save->isVisible());
        save->root_name_box->setText(root);
        save->file_type_combo->setCurrentIndex(type);
        save->SetDirectory(QString::fromStdString(dir->path().string()));
        save->CmdSave_Click();
    }

    // Welcome -> data type (Brownian bridge) -> input type (text) -> the track loaded -> the
    // Brownian bridge analysis form.
    FrmBBAnalysis& ToBridgeAnalysis() {
        testing::WalkToLoader(*wizard, true, &FrmInputDataOptions::text_file_option);
        FrmLoadTextFile* loader = wizard->load_text.Get();
        instructions = loader->instructions_label->text();
        testing::OpenOn(dialogs, *loader, kExamples + QStringLiteral("/elk_gps_bridge.txt"));
        loader->CmdNext_Click();
        return *wizard->bb_analysis.Get();
    }

    // Welcome -> data type -> analysis (plain) -> input type (shapefile, the default) ->
    // shapefile loader.
    FrmLoadShapefile& ToShapefileLoader(bool bridge) {
        testing::WalkToLoader(*wizard, bridge, &FrmInputDataOptions::shapefile_option);
        return *wizard->load_shapefile.Get();
    }

    void OpenShapefile(FrmLoadShapefile& loader, const QString& path) {
        testing::OpenOn(dialogs, loader, path);
    }

    // Welcome -> independent locations -> telemetry loader -> elk-A of the sample Movebank
    // table (three elk) -> a fixed kernel of the typed h -> the home range picture.
    FrmHomeRangePicture& ElkAPicture(const QString& h) {
        testing::WalkToLoader(*wizard, false, &FrmInputDataOptions::telemetry_option);
        FrmLoadTelemetry& loader = *wizard->load_telemetry.Get();
        dialogs.open_answers << kExamples + QStringLiteral("/telemetry/movebank_elk.csv");
        loader.CmdOpen_Click();
        loader.animal_combo->setCurrentIndex(loader.animal_combo->findData("elk-A"));
        loader.CmdNext_Click();
        Estimate(*wizard->compare.Get(), {&F::fixed_kernel_check});
        wizard->kernel_options.Get()->user_h_box->setText(h);
        ChooseH(&FrmKernelOptions::user_h_check);
        wizard->save_as.Get()->findChild<QPushButton*>(QStringLiteral("CmdViewHomeRange"))->click();
        return *wizard->picture.Get();
    }

private Q_SLOTS:
    void init() {
        session = Session{};
        dialogs = testing::FakeDialogs{};
        wizard = std::make_unique<Wizard>(session, dialogs);
        dir = std::make_unique<testing::TempDir>();
    }
    void cleanup() { wizard.reset(); }

    void twoColumnFileToAnLSCVFixedKernelFile() {
        FrmLoadTextFile& loader = ToTextLoader(false);
        QCOMPARE(loader.instructions_label->text(),
                 QStringLiteral("Note: Input file should be a tab delimited text file with 2 "
                                "columns in this order: x-coordinate, y-coordinate"));
        FrmCompareHROption& choice = LoadAndGoOn(loader, QStringLiteral("deer_independent.txt"));
        QCOMPARE(session.locations().count, 150);
        QVERIFY(choice.location_file_box->text().endsWith(QStringLiteral("deer_independent.txt")));
        Estimate(choice, {&F::fixed_kernel_check});

        FrmKernelOptions* kernel = wizard->kernel_options.Get();
        QVERIFY(kernel != nullptr && kernel->isVisible());
        QVERIFY(!kernel->cv_h_box->text().isEmpty());
        QVERIFY(!kernel->lscv_h_box->text().isEmpty());
        QVERIFY(!kernel->href_box->text().isEmpty());
        ChooseH(&FrmKernelOptions::lscv_h_check);
        QCOMPARE(session.choices().Requested(kFixedKernelName), IntFlag{0});
        QVERIFY(session.WaitingGrid(kFixedKernelName));

        SaveTo(QStringLiteral("R"), 0);
        QCOMPARE(Lines("RFixedKernel.txt"), std::size_t{40001});
        QVERIFY(dir->Read("RFixedKernel.txt").starts_with("X,Y,Probability\r\n"));
        QCOMPARE(dialogs.messages.last(), QStringLiteral("Home Range Estimates Saved to ") +
                                              QString::fromStdString(dir->path().string()));
        QVERIFY(!session.WaitingGrid(kFixedKernelName));
        QVERIFY(wizard->compare.Get() != nullptr && wizard->compare.Get()->isVisible());
    }

    void biasCorrectedRunWritesTheThreeWeightedFiles() {
        FrmLoadTextFile& loader = ToTextLoader(true);
        QVERIFY(loader.instructions_label->text().contains(QStringLiteral("3 columns")));
        FrmCompareHROption& choice = LoadAndGoOn(loader, QStringLiteral("deer_weighted.txt"));
        QCOMPARE(session.locations().count, 150);
        QCOMPARE(choice.models_frame->title(),
                 QStringLiteral("Estimate Bias-Corrected Home Range Using:"));
        QVERIFY(choice.compare_option->isHidden());
        QVERIFY(!choice.adaptive_kernel_check->isEnabled());
        QVERIFY(!choice.exp_power_check->isEnabled());
        QVERIFY(!choice.circle_mixture_check->isEnabled());
        Estimate(choice, {&F::fixed_kernel_check, &F::bvn_check, &F::normal_mixture_check});

        FrmKernelOptions* kernel = wizard->kernel_options.Get();
        QVERIFY(kernel->href_box->text().isEmpty());
        QVERIFY(kernel->lscv_h_box->text().isEmpty());
        QVERIFY(!kernel->cv_h_box->text().isEmpty());
        ChooseH(&FrmKernelOptions::cv_h_check);

        SaveTo(QStringLiteral("R"), 1);
        for (const char* name :
             {"RWeightedFixedKernel.txt", "RWeightedBVN.txt", "RWeighted2ModeBVNMix.txt"}) {
            QCOMPARE(Lines(name), std::size_t{40001});
            QVERIFY(dir->Read(name).starts_with("X\tY\tProbability\r\n"));
        }
    }

    void comparingAllSixModelsLeadsToTheLikelihoodFile() {
        FrmCompareHROption& choice = ToDeerModels();
        choice.compare_option->setChecked(true);
        QCOMPARE(choice.models_frame->title(), QStringLiteral("Compare Models:"));
        Estimate(choice,
                 {&F::exp_power_check, &F::bvn_check, &F::circle_mixture_check,
                  &F::normal_mixture_check, &F::fixed_kernel_check, &F::adaptive_kernel_check});

        FrmHRComparison* table = wizard->comparison.Get();
        QVERIFY(table != nullptr && table->isVisible());
        QCOMPARE(table->windowTitle(), QStringLiteral("Home Range Model Comparison"));
        const QString text = table->comparison_box->toPlainText();
        QVERIFY(text.startsWith(
            QStringLiteral("File Name\tHome Range Method\t# Parameters\tln(L)*-2\tAICc\tCVC")));
        QVERIFY(text.contains(QStringLiteral("deer_independent\tFixed Kernel Density   \tNA")));
        table->Command1_Click();

        SaveTo(QStringLiteral("R"), 0);
        QCOMPARE(Lines("RLikelihoods.txt"), std::size_t{151});
        QVERIFY(
            dialogs.messages.last().startsWith(QStringLiteral("Home Range Estimates Saved to ")));
    }

    void synopticOptionOnlyShowsItsMessageAndChoicesSurviveGoingBack() {
        wizard->Start();
        wizard->welcome.Get()->CmdNext_Click();
        wizard->data_type.Get()->CmdNext_Click();
        FrmHomeRangeOptions* analysis = wizard->home_range.Get();
        analysis->synoptic_option->setChecked(true);
        analysis->CmdNext_Click();
        QCOMPARE(dialogs.messages,
                 QStringList{QStringLiteral("Option not available at this time")});
        QVERIFY(analysis->isVisible());

        analysis->bias_corrected_option->setChecked(true);
        analysis->CmdNext_Click();
        QCOMPARE(session.choices().BiasCorrected, IntFlag{1});
        wizard->input_data.Get()->Command1_Click(); // back to the analysis form
        QVERIFY(analysis->isVisible());
        QVERIFY(analysis->bias_corrected_option->isChecked());
        analysis->home_range_option->setChecked(true);
        analysis->CmdNext_Click();
        QCOMPARE(session.choices().BiasCorrected, IntFlag{0});

        // Brownian bridge data goes straight to the input type form, and back to the data type.
        analysis->Command1_Click();
        FrmDataTypeOptions* data_type = wizard->data_type.Get();
        data_type->bridge_data_option->setChecked(true);
        data_type->CmdNext_Click();
        QCOMPARE(session.choices().DataMode, std::string("location"));
        wizard->input_data.Get()->Command1_Click();
        QVERIFY(data_type->isVisible());
    }

    void trackToAnEstimatedVarianceAndAGridFile() {
        FrmBBAnalysis& analysis = ToBridgeAnalysis();
        QVERIFY(instructions.contains(QStringLiteral("4 columns")));
        QCOMPARE(session.track().count, 300);
        QVERIFY(
            analysis.location_file_label->text().endsWith(QStringLiteral("elk_gps_bridge.txt")));
        analysis.CmdNext_Click();
        QCOMPARE(dialogs.messages.last(),
                 QStringLiteral("You must enter a value for the Brownian bridge variance "
                                "parameter"));
        analysis.CmdEstimateVar_Click();
        QVERIFY(session.choices().BBVariance > 0);
        const QString estimate = analysis.variance_box->text();
        QCOMPARE(estimate.toStdString(), FormatNumber(session.choices().BBVariance));
        analysis.CmdNext_Click();
        QVERIFY(dialogs.messages.last().startsWith(
            QStringLiteral("You must enter a value for that specifies the time")));
        analysis.max_time_box->setText(QStringLiteral("400"));
        const qsizetype messages = dialogs.messages.size();
        analysis.CmdNext_Click();
        QCOMPARE(dialogs.messages.size(), messages);
        // Next takes the estimate as the box shows it.
        QCOMPARE(QString::fromStdString(FormatNumber(session.choices().BBVariance)), estimate);

        FrmBBGridExtent* extent = wizard->grid_extent.Get();
        QVERIFY(extent != nullptr && extent->isVisible());
        const BridgeGridSpec automatic =
            AutoBridgeGridExtent(session.track().sorted, session.track().count);
        QCOMPARE(extent->min_x_box->text().toStdString(), FormatNumber(automatic.min_x));
        extent->CmdCalcBB_Click();
        QVERIFY(session.WaitingGrid(kBridgeName));

        const std::int32_t points = session.Result(kBridgeName)->grid->Rows() - 1;
        SaveTo(QStringLiteral("R"), 0);
        QCOMPARE(Lines("RBrownianBridge.txt"), static_cast<std::size_t>(points) + 1);
        QCOMPARE(dialogs.messages.last(), QStringLiteral("Browninan Bridge Output File Saved to ") +
                                              QString::fromStdString(dir->path().string()));
        QVERIFY(wizard->bb_analysis.Get()->isVisible());
    }

    void dynamicBridgeToAGridItsMotionVarianceAndTheirFiles() {
        FrmBBAnalysis& analysis = ToBridgeAnalysis();
        QVERIFY(!analysis.window_box->isEnabled());
        analysis.dynamic_option->setChecked(true);
        QVERIFY(analysis.window_box->isEnabled() && analysis.margin_box->isEnabled());
        analysis.max_time_box->setText(QStringLiteral("400"));
        const struct {
            const char* window;
            const char* margin;
            const char* said;
        } refused[] = {{"30", "11", "odd"},
                       {"31", "16", "odd"},
                       {"9", "5", "too short for a margin of 5"},
                       {"301", "11", "301 fixes; 300 are loaded"},
                       {"3.5", "1", "whole"}};
        for (const auto& r : refused) {
            analysis.window_box->setText(QString::fromLatin1(r.window));
            analysis.margin_box->setText(QString::fromLatin1(r.margin));
            analysis.CmdNext_Click();
            QVERIFY2(dialogs.messages.last().contains(QString::fromLatin1(r.said)),
                     qPrintable(dialogs.messages.last()));
            QVERIFY(analysis.isVisible());
        }
        analysis.window_box->setText(QStringLiteral("31"));
        analysis.margin_box->setText(QStringLiteral("11"));
        const qsizetype messages = dialogs.messages.size();
        analysis.CmdNext_Click(); // no variance needed: the windows give it
        QCOMPARE(dialogs.messages.size(), messages);
        QVERIFY(analysis.motion_variance.has_value());

        FrmBBGridExtent* extent = wizard->grid_extent.Get();
        QVERIFY(extent != nullptr && extent->isVisible());
        const BridgeGridSpec automatic = AutoDynamicBridgeExtent(
            session.track().sorted, session.track().count, *analysis.motion_variance, 400, 30);
        QCOMPARE(extent->min_x_box->text().toStdString(), FormatNumber(automatic.min_x));
        extent->CmdCalcBB_Click();
        QCOMPARE(dialogs.messages.size(), messages); // the automatic extent holds it all
        const Matrix* grid = session.WaitingGrid(kDynamicBridgeName);
        QVERIFY(grid != nullptr);
        double mass = 0.0;
        for (std::int32_t k = 0; k + 1 < grid->Rows(); ++k) {
            mass += (*grid)(k, 2);
        }
        QVERIFY(std::fabs(mass - 1.0) < 1e-9);
        QVERIFY(wizard->motion_variance.Get() != nullptr &&
                wizard->motion_variance.Get()->isVisible());

        SaveTo(QStringLiteral("R"), 0);
        QCOMPARE(Lines("RDynamicBrownianBridge.txt"), static_cast<std::size_t>(grid->Rows()));
        QCOMPARE(Lines("RMotionVariance.csv"), std::size_t{301});
        QCOMPARE(dialogs.messages.last(), QStringLiteral("Browninan Bridge Output File Saved to ") +
                                              QString::fromStdString(dir->path().string()));
        QVERIFY(wizard->bb_analysis.Get()->isVisible());
    }

    void autocorrelatedKernelListsTheModelsAndSavesTheEstimateWithItsTables() {
        FrmBBAnalysis& analysis = ToBridgeAnalysis();
        analysis.akde_option->setChecked(true);
        analysis.CmdNext_Click();
        FrmAkdeModels* models = wizard->akde_models.Get();
        QVERIFY(models != nullptr && models->isVisible() && !analysis.isVisible());
        const auto fits =
            FitMovementModels(MovementDataOf(session.track().sorted, session.track().count), {});
        QVERIFY(fits.Ok());
        QCOMPARE(models->models_list->topLevelItemCount(), 6);
        for (int k = 0; k < 6; ++k) {
            const MovementFit& fit = fits.value[static_cast<std::size_t>(k)];
            QCOMPARE(models->models_list->topLevelItem(k)->text(0).toStdString(), fit.Name());
            QCOMPARE(models->models_list->topLevelItem(k)->text(1).toStdString(),
                     FormatNumber(fit.aicc));
        }
        QVERIFY(!models->variogram.lag.empty());
        QVERIFY(
            models->note_label->text().contains(QString::fromStdString(fits.value.front().Name())));
        // The user may pick another model: the estimate is then made under it.
        models->models_list->setCurrentItem(models->models_list->topLevelItem(1));
        const MovementFit& picked = fits.value[1];
        QVERIFY(models->note_label->text().contains(QString::fromStdString(picked.Name())));
        const qsizetype messages = dialogs.messages.size();
        models->CmdNext_Click();
        QCOMPARE(dialogs.messages.size(), messages);
        // The grid extent form starts over the box that holds the whole estimate.
        FrmBBGridExtent* extent = wizard->grid_extent.Get();
        QVERIFY(extent != nullptr && extent->isVisible() && !models->isVisible());
        const Track& track = session.track();
        const auto reach = AkdeReach(track.sorted, track.count, picked);
        QVERIFY(reach.Ok());
        QCOMPARE(extent->min_x_box->text().toStdString(), FormatNumber(reach.value.min_x));
        QCOMPARE(extent->max_y_box->text().toStdString(), FormatNumber(reach.value.max_y));
        QCOMPARE(extent->grid_spacing_box->text().toStdString(),
                 FormatNumber(AkdeSpacing(reach.value.spread, 30.0)));
        // Previous goes back to the models; Next there brings the extent form again.
        extent->Command3_Click();
        QVERIFY(models->isVisible());
        models->CmdNext_Click();
        extent = wizard->grid_extent.Get();
        extent->grid_spacing_box->setText(QStringLiteral("40"));
        const auto shown = ParseBridgeGridSpec(
            extent->min_x_box->text().toStdString(), extent->max_x_box->text().toStdString(),
            extent->min_y_box->text().toStdString(), extent->max_y_box->text().toStdString(), "40");
        QVERIFY(shown.Ok());
        extent->CmdCalcBB_Click();
        QCOMPARE(dialogs.messages.size(), messages); // the automatic extent holds it all
        const Matrix* grid = session.WaitingGrid(kAkdeName);
        QVERIFY(grid != nullptr);
        const auto direct =
            CalcAkdeOnGrid(track.sorted, track.count, picked,
                           GridSteps(shown.value.min_x, shown.value.max_x, 40.0),
                           GridSteps(shown.value.min_y, shown.value.max_y, 40.0), 40.0);
        QVERIFY(direct.Ok());
        QCOMPARE(grid->Rows(), direct.value.grid.Rows());
        double mass = 0.0;
        for (std::int32_t k = 0; k + 1 < grid->Rows(); ++k) {
            QVERIFY((*grid)(k, 2) == direct.value.grid(k, 2)); // NaN fails here, unlike QCOMPARE
            mass += (*grid)(k, 2);
        }
        QVERIFY2(std::fabs(mass - 1.0) < 1e-6, qPrintable(QString::number(mass, 'g', 12)));
        // The picture gives each level's area with its interval of the model's degrees of freedom.
        wizard->save_as.Get()->findChild<QPushButton*>(QStringLiteral("CmdViewHomeRange"))->click();
        const QTableWidget& areas = *wizard->picture.Get()->areas_table;
        QCOMPARE(areas.item(0, 0)->text(), QStringLiteral("50 %"));
        const double area = areas.item(0, 2)->text().toDouble();
        const AreaInterval interval = AreaWithInterval(area, picked.effective_n);
        QVERIFY2(
            std::fabs(areas.item(0, 5)->text().section(QStringLiteral(" - "), 0, 0).toDouble() -
                      interval.low) < 0.01 * interval.low,
            qPrintable(areas.item(0, 5)->text()));
        QCOMPARE(areas.item(areas.rowCount() - 1, 5)->text(), QStringLiteral("-")); // an MCP
        SaveTo(QStringLiteral("R"), 0);
        QCOMPARE(Lines("RAKDE.txt"), static_cast<std::size_t>(grid->Rows()));
        QCOMPARE(Lines("RModels.csv"), std::size_t{7});
        QVERIFY(Lines("RVariogram.csv") > 10);
        QVERIFY(wizard->bb_analysis.Get()->isVisible());
    }

    void userPointsLoadThroughTheRelabelledLoaderAndAreComputed() {
        FrmBBAnalysis& analysis = ToBridgeAnalysis();
        analysis.CmdEstimateVar_Click();
        analysis.max_time_box->setText(QStringLiteral("400"));
        analysis.user_points_option->setChecked(true);
        analysis.CmdNext_Click();
        QCOMPARE(session.choices().DataMode, std::string("Road"));
        FrmLoadTextFile* loader = wizard->load_text.Get();
        QVERIFY(loader->isVisible());
        QCOMPARE(loader->load_button->text(), QStringLiteral("Load user-specified points file"));
        QCOMPARE(loader->file_caption_label->text(), QStringLiteral("File name"));
        QCOMPARE(loader->count_caption_label->text(), QStringLiteral("Number of points"));
        QVERIFY(loader->file_name_box->text().isEmpty());
        testing::OpenOn(dialogs, *loader, kExamples + QStringLiteral("/road_points.txt"));
        QCOMPARE(loader->count_box->text(), QStringLiteral("60"));
        QCOMPARE(session.track().count, 300);
        QCOMPARE(session.loaded().file.root, std::string("elk_gps_bridge"));
        loader->CmdNext_Click();
        QVERIFY(
            analysis.user_points_file_label->text().endsWith(QStringLiteral("road_points.txt")));
        QVERIFY(analysis.user_points_file_label->isVisibleTo(&analysis));
        analysis.CmdNext_Click();
        QCOMPARE(session.Result(kBridgeName)->grid->Rows(), 61);

        SaveTo(QStringLiteral("R"), 1);
        QCOMPARE(Lines("RBrownianBridge.txt"), std::size_t{61});
        QVERIFY(dir->Read("RBrownianBridge.txt").starts_with("X\tY\tProbability\r\n"));
    }

    void graphOfTheCriteriaStartsAroundTheTwoMinima() {
        Estimate(ToDeerModels(), {&F::adaptive_kernel_check});
        FrmKernelOptions* kernel = wizard->kernel_options.Get();
        QCOMPARE(kernel->smoothing_frame->title(),
                 QStringLiteral("Estimate Adaptive Kernel Using:"));
        kernel->Command1_Click();

        FrmCVhLSCVhGraph* graph = wizard->cv_graph.Get();
        QVERIFY(graph != nullptr && graph->isVisible());
        // h_CV = 10 and h_LSCV = 20 give the range 5 to 36, halfway 20.5.
        graph->PassVar(10);
        graph->PassVar(20);
        graph->LoadValues();
        QCOMPARE(graph->h_low_box->text(), QStringLiteral("5"));
        QCOMPARE(graph->h_high_box->text(), QStringLiteral("36"));
        QCOMPARE(graph->h_middle_label->text(), QStringLiteral("20.5"));
        graph->CmdRefresh_Click();
        QCOMPARE(dialogs.messages.size(), 0);

        graph->h_high_box->setText(QStringLiteral("4"));
        graph->CmdRefresh_Click();
        QVERIFY(dialogs.messages.last().contains(QStringLiteral("greater than the low")));
        graph->Command1_Click();
        QVERIFY(wizard->kernel_options.Get()->isVisible());
    }

    void everyFormRendersToAPicture() {
        dialogs.open_answers << kExamples + QStringLiteral("/deer_independent.txt");
        FrmLoadTextFile& loader = ToTextLoader(false);
        loader.Command1_Click();
        const QList<QWidget*> forms = {
            &wizard->data_type.Load(*wizard),   &wizard->home_range.Load(*wizard),
            &wizard->input_data.Load(*wizard),  &wizard->load_text.Load(*wizard),
            &wizard->compare.Load(*wizard),     &wizard->kernel_options.Load(*wizard),
            &wizard->cv_graph.Load(*wizard),    &wizard->save_as.Load(*wizard),
            &wizard->comparison.Load(*wizard),  &wizard->bb_analysis.Load(*wizard),
            &wizard->grid_extent.Load(*wizard), &wizard->welcome.Load(*wizard)};
        for (QWidget* form : forms) {
            form->adjustSize();
            const QString file = testing::FormPicture(form->objectName() + QStringLiteral(".png"));
            QVERIFY(form->grab().save(file));
            QVERIFY(QFileInfo(file).size() > 0);
        }
    }

    void kernelAndSaveChecksKeepTheUserOnTheForm() {
        Estimate(ToDeerModels(), {&F::fixed_kernel_check});
        FrmKernelOptions* kernel = wizard->kernel_options.Get();
        kernel->user_h_check->setChecked(true);
        for (const char* bad : {"", "ten", "0", "-3"}) {
            kernel->user_h_box->setText(QString::fromLatin1(bad));
            kernel->CmdNext_Click();
            QVERIFY(dialogs.messages.last().contains(QStringLiteral("User specified value")));
            QVERIFY(kernel->isVisible());
        }
        // Percent of h_ref: 50% of h_ref is the h the kernel gets.
        kernel->user_h_check->setChecked(false);
        kernel->href_percent_check->setChecked(true);
        kernel->href_percent_box->setText(QStringLiteral("50"));
        kernel->CmdNext_Click();
        QVERIFY(session.WaitingGrid(kFixedKernelName));

        // A folder that does not exist: the message names the file, and the form stays with the
        // result still waiting.
        FrmSaveAs* save = wizard->save_as.Get();
        save->root_name_box->setText(QStringLiteral("R"));
        save->SetDirectory(QStringLiteral("/no/such/folder"));
        save->CmdSave_Click();
        QVERIFY(dialogs.messages.last().contains(QStringLiteral("RFixedKernel.txt")));
        QVERIFY(save->isVisible());
        QVERIFY(session.WaitingGrid(kFixedKernelName));
    }

    // A track loaded, then back to independent locations without loading any: NumLocs counts
    // the track's fixes, which no estimator of independent locations may take as its own.
    void aTracksCountIsNeverTakenForIndependentLocations() {
        FrmBBAnalysis& analysis = ToBridgeAnalysis();
        QCOMPARE(session.track().count, 300);
        analysis.Command3_Click();                  // back to the loader
        wizard->load_text.Get()->Command3_Click();  // input type
        wizard->input_data.Get()->Command1_Click(); // data type
        FrmDataTypeOptions* data_type = wizard->data_type.Get();
        data_type->independent_data_option->setChecked(true);
        data_type->CmdNext_Click();
        wizard->home_range.Get()->CmdNext_Click();
        wizard->input_data.Get()->CmdNext_Click(); // text file, as chosen before
        wizard->load_text.Get()->CmdNext_Click();  // nothing loaded
        FrmCompareHROption* choice = wizard->compare.Get();
        const Session before = session;
        for (QCheckBox* box :
             {choice->exp_power_check, choice->bvn_check, choice->fixed_kernel_check}) {
            box->setChecked(true);
            for (QRadioButton* mode : {choice->estimate_option, choice->compare_option}) {
                mode->setChecked(true);
                choice->CmdNext_Click();
                QVERIFY(dialogs.messages.last().startsWith(
                    QStringLiteral("No locations are loaded for a home range analysis.")));
                QVERIFY(choice->isVisible());
                QVERIFY(session == before);
            }
            box->setChecked(false);
        }
    }

    // Independent locations loaded, then the Brownian bridge path without a track: every
    // button that starts work says what to load.
    void independentLocationsAreNeverTakenForATrack() {
        ToDeerModels().Command3_Click();
        wizard->load_text.Get()->Command3_Click();
        wizard->input_data.Get()->Command1_Click();
        wizard->home_range.Get()->Command1_Click();
        FrmDataTypeOptions* data_type = wizard->data_type.Get();
        data_type->bridge_data_option->setChecked(true);
        data_type->CmdNext_Click();
        wizard->input_data.Get()->CmdNext_Click();
        wizard->load_text.Get()->CmdNext_Click();
        FrmBBAnalysis* analysis = wizard->bb_analysis.Get();
        const Session before = session;
        const QString missing = QStringLiteral("No time-stamped locations are loaded");
        analysis->CmdEstimateVar_Click();
        QVERIFY(dialogs.messages.last().startsWith(missing));
        analysis->variance_box->setText(QStringLiteral("2500"));
        analysis->max_time_box->setText(QStringLiteral("400"));
        analysis->CmdNext_Click();
        FrmBBGridExtent* extent = wizard->grid_extent.Get();
        QCOMPARE(extent->min_x_box->text(), QStringLiteral("557000")); // no automatic extent
        extent->CmdCalcGridExtent_Click();
        QVERIFY(dialogs.messages.last().startsWith(missing));
        extent->CmdCalcBB_Click();
        QVERIFY(dialogs.messages.last().startsWith(missing));
        QVERIFY(extent->isVisible());
        // Next read the variance and the time limit from their boxes, as it should; nothing
        // else changed.
        QCOMPARE(session.choices().BBVariance, 2500.0);
        session.ChooseBridgeVariance(before.choices().BBVariance);
        session.ChooseMaxTime(before.choices().BBMaxTime);
        QVERIFY(session == before);
    }

    // With no way of choosing h ticked, Next computes no kernel, keeps both kernel requests,
    // runs the other ticked estimators and goes on without a message.
    void kernelOptionsWithNoWayOfChoosingHRunTheOtherEstimators() {
        Estimate(ToDeerModels(),
                 {&F::fixed_kernel_check, &F::adaptive_kernel_check, &F::bvn_check});
        const qsizetype messages = dialogs.messages.size();
        wizard->kernel_options.Get()->CmdNext_Click();
        QCOMPARE(dialogs.messages.size(), messages);
        QCOMPARE(session.choices().Requested(kFixedKernelName), IntFlag{1});
        QCOMPARE(session.choices().Requested(kAdaptiveKernelName), IntFlag{1});
        QVERIFY(!session.WaitingGrid(kFixedKernelName) &&
                !session.WaitingGrid(kAdaptiveKernelName));
        QVERIFY(session.WaitingGrid(kBVNName));
        QCOMPARE(session.choices().Requested(kBVNName), IntFlag{0});
        QVERIFY(wizard->save_as.Get() != nullptr && wizard->save_as.Get()->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(wizard->kernel_options.Get() == nullptr);
    }

    // A variance of 0 with positive location errors is a valid input and computes.
    void bridgeChecksKeepTheUserOnTheForm() {
        FrmBBAnalysis& analysis = ToBridgeAnalysis();
        analysis.max_time_box->setText(QStringLiteral("400"));
        analysis.variance_box->setText(QStringLiteral("ten"));
        analysis.CmdNext_Click();
        QVERIFY(dialogs.messages.last().contains(QStringLiteral("must be a number")));
        QVERIFY(analysis.isVisible());
        analysis.variance_box->setText(QStringLiteral("2500"));
        analysis.max_time_box->setText(QStringLiteral("-1"));
        analysis.CmdNext_Click();
        QVERIFY(dialogs.messages.last().contains(QStringLiteral("maximum time limit")));
        QVERIFY(analysis.isVisible());
        analysis.max_time_box->setText(QStringLiteral("400"));
        analysis.CmdNext_Click();
        FrmBBGridExtent* extent = wizard->grid_extent.Get();
        extent->grid_spacing_box->setText(QStringLiteral("thirty"));
        extent->CmdCalcBB_Click();
        QVERIFY(dialogs.messages.last().contains(QStringLiteral("Distance between grid points")));
        extent->grid_spacing_box->setText(QStringLiteral("0"));
        extent->CmdCalcBB_Click();
        QVERIFY(dialogs.messages.last().contains(QStringLiteral("greater than 0")));
        QVERIFY(extent->isVisible());
        QVERIFY(!session.WaitingGrid(kBridgeName));
        extent->Command3_Click();
        QVERIFY(analysis.isVisible());
        QCOMPARE(analysis.variance_box->text(), QStringLiteral("2500"));

        analysis.variance_box->setText(QStringLiteral("0"));
        analysis.CmdNext_Click();
        QCOMPARE(session.choices().BBVariance, 0.0);
        extent = wizard->grid_extent.Get();
        QVERIFY(extent != nullptr && extent->isVisible());
        extent->grid_spacing_box->setText(QStringLiteral("100"));
        extent->CmdCalcBB_Click();
        QVERIFY(session.WaitingGrid(kBridgeName));
        QVERIFY(wizard->save_as.Get()->isVisible());
    }

    void messagesOfTheComputationsReachTheUser() {
        // A track with one fix 100 km off its bridge: the estimate reports its zero densities.
        std::string track = "x\ty\tt\te\n";
        for (int i = 0; i < 1001; ++i) {
            const double x = 500000.0 + 40.0 * i + (i % 2 == 1 ? 17.0 * ((i / 2) % 5 - 2) : 0.0);
            const double far = i == 7 ? 1e5 : 0.0;
            track += std::to_string(x + far) + "\t" + std::to_string(5400000.0 + 25.0 * (i % 9)) +
                     "\t" + std::to_string(i * 60) + "\t10\n";
        }
        const auto path = dir->Write("outlier_track.txt", track);
        testing::WalkToLoader(*wizard, true, &FrmInputDataOptions::text_file_option);
        testing::OpenOn(dialogs, *wizard->load_text.Get(), QString::fromStdString(path.string()));
        wizard->load_text.Get()->CmdNext_Click();
        wizard->bb_analysis.Get()->CmdEstimateVar_Click();
        QVERIFY(!dialogs.messages.isEmpty());
        QCOMPARE(dialogs.messages.last(),
                 QStringLiteral("density at i = 0; Density will be set to 1*10^-250"));
    }

    void pointShapefileToAFixedKernelFile() {
        FrmLoadShapefile& loader = ToShapefileLoader(false);
        QCOMPARE(loader.fields_frame->title(),
                 QStringLiteral("Select Data Fields for Easting and Northing"));
        QVERIFY(loader.weight_or_time_combo->isHidden());
        OpenShapefile(loader, kExamples + QStringLiteral("/shapefiles/deer_points.shp"));
        QCOMPARE(loader.shape_type_box->text(), QStringLiteral("Point"));
        QCOMPARE(loader.record_count_box->text(), QStringLiteral("150"));
        QCOMPARE(loader.easting_combo->currentText(), QStringLiteral("Easting"));
        QCOMPARE(loader.northing_combo->currentText(), QStringLiteral("Northing"));
        QCOMPARE(loader.field_list->topLevelItemCount(), 3);
        QCOMPARE(loader.field_list->topLevelItem(2)->text(1), QStringLiteral("Double"));
        loader.CmdNext_Click();

        Session from_text;
        QVERIFY(LoadTextFile(from_text, std::string(RANVIK_EXAMPLES_DIR) + "/deer_independent.txt",
                             TextFilePurpose::IndependentLocations)
                    .Ok());
        QVERIFY(session.locations().xy == from_text.locations().xy);
        QCOMPARE(session.loaded().file.root, std::string("deer_points"));
        Estimate(*wizard->compare.Get(), {&F::fixed_kernel_check});
        ChooseH(&FrmKernelOptions::cv_h_check);
        SaveTo(QStringLiteral("R"), 0);
        QCOMPARE(Lines("RFixedKernel.txt"), std::size_t{40001});
        // Back from the model choice goes to the shapefile loader.
        wizard->compare.Get()->Command3_Click();
        QVERIFY(wizard->load_shapefile.Get()->isVisible());
    }

    void trackShapefileToABridgeFileAndRoadPoints() {
        FrmLoadShapefile& loader = ToShapefileLoader(true);
        QCOMPARE(loader.fields_frame->title(),
                 QStringLiteral("Select Data Fields for Easting, Northing, Time and Location "
                                "error"));
        QCOMPARE(loader.weight_or_time_label->text(), QStringLiteral("Time"));
        OpenShapefile(loader, kExamples + QStringLiteral("/shapefiles/elk_track.shp"));
        QCOMPARE(loader.easting_combo->currentText(), QStringLiteral("EASTING"));
        loader.CmdNext_Click();
        QCOMPARE(dialogs.messages.last(), QStringLiteral("You need to select a field for Time"));
        loader.weight_or_time_combo->setCurrentText(QStringLiteral("Time"));
        loader.CmdNext_Click();
        QCOMPARE(dialogs.messages.last(),
                 QStringLiteral("You need to select a field for Location error"));
        loader.error_combo->setCurrentText(QStringLiteral("LocError"));
        loader.CmdNext_Click();
        QCOMPARE(session.track().count, 300);
        QCOMPARE(session.track().sorted(0, 2), 30.0);

        FrmBBAnalysis* analysis = wizard->bb_analysis.Get();
        analysis->CmdEstimateVar_Click();
        analysis->max_time_box->setText(QStringLiteral("400"));
        analysis->user_points_option->setChecked(true);
        analysis->CmdNext_Click();
        FrmLoadShapefile* points = wizard->load_shapefile.Get();
        QCOMPARE(points->instructions_label->text(),
                 QStringLiteral("Load an ESRI shapefile containing points where BBMM "
                                "probabilities will be calculated"));
        OpenShapefile(*points, kExamples + QStringLiteral("/shapefiles/road_points.shp"));
        points->CmdNext_Click();
        QCOMPARE(session.loaded().user_points->count, 60);
        QCOMPARE(session.track().count, 300);
        QVERIFY(
            analysis->user_points_file_label->text().endsWith(QStringLiteral("road_points.shp")));
        analysis->CmdNext_Click();
        SaveTo(QStringLiteral("R"), 0);
        QCOMPARE(Lines("RBrownianBridge.txt"), std::size_t{61});
    }

    void shapefileChoicesAndMessages() {
        const auto write = [&](const char* name, std::vector<ShapeField> fields,
                               std::vector<std::vector<std::string>> values) {
            ShapefileContent content;
            content.fields = fields;
            content.geometries = {ShapeGeometry{{{{1, 2}}}}, ShapeGeometry{{{{3, 4}}}}};
            content.values = std::move(values);
            const auto path = dir->path() / name;
            return WriteShapefile(path, content).Ok() ? QString::fromStdString(path.string())
                                                      : QString();
        };
        const QString x_first =
            write("x_first.shp", {{"X", kDoubleField}, {"EASTING", kDoubleField}},
                  {{"1", "2"}, {"3", "4"}});
        const QString e_first =
            write("e_first.shp", {{"EASTING", kDoubleField}, {"X", kDoubleField}},
                  {{"1", "2"}, {"3", "4"}});
        const QString words = write("words.shp", {{"Name", kStringField}, {"Kind", kStringField}},
                                    {{"doe", "adult"}, {"fawn", "young"}});

        QVERIFY(!x_first.isEmpty() && !e_first.isEmpty() && !words.isEmpty());
        FrmLoadShapefile& loader = ToShapefileLoader(false);
        OpenShapefile(loader, x_first);
        QCOMPARE(loader.easting_combo->currentText(), QStringLiteral("EASTING"));
        OpenShapefile(loader, e_first);
        QCOMPARE(loader.easting_combo->currentText(), QStringLiteral("X"));

        const Session before = session;
        OpenShapefile(loader, words);
        QCOMPARE(dialogs.messages.last(), QStringLiteral("No numeric Fields found"));
        QCOMPARE(dialogs.titles.last(), QStringLiteral("Error Calculating Statistics"));
        const int shown = static_cast<int>(dialogs.messages.size());
        loader.CmdNext_Click();
        QCOMPARE(static_cast<int>(dialogs.messages.size()), shown + 1);
        QCOMPARE(dialogs.messages.last(),
                 QStringLiteral("You need to select a field for the Northing"));
        loader.northing_combo->setCurrentText(QStringLiteral("Kind"));
        loader.CmdNext_Click();
        QCOMPARE(dialogs.messages.last(),
                 QStringLiteral("You need to select a field for the Easting"));
        session.ChooseAnalysis(true, false,
                               true); // a bias-corrected analysis also needs the weights
        loader.easting_combo->setCurrentText(QStringLiteral("Name"));
        loader.CmdNext_Click();
        QCOMPARE(dialogs.messages.last(),
                 QStringLiteral("You need to select a field for the Location weights"));
        session.ChooseAnalysis(true, false, false);
        loader.CmdNext_Click();
        QVERIFY(dialogs.messages.last().contains(QStringLiteral("Record 1")));
        QVERIFY(session == before);

        OpenShapefile(loader, kExamples + QStringLiteral("/shapefiles/missing.shp"));
        QCOMPARE(dialogs.messages.last(), QStringLiteral("Layer not Valid"));
        QVERIFY(dialogs.details.last().contains(QStringLiteral("missing.shp")));
        QCOMPARE(dialogs.titles.last(), QStringLiteral("Error"));
        QVERIFY(dialogs.last_icon == Dialogs::Icon::Critical);
        QVERIFY(session == before);
    }

    void polygonLayerLoadsAndIsShownOnTheMap() {
        FrmLoadShapefile& loader = ToShapefileLoader(false);
        OpenShapefile(loader, kExamples + QStringLiteral("/shapefiles/study_area.shp"));
        QCOMPARE(loader.shape_type_box->text(), QStringLiteral("Polygon"));
        loader.Command2_Click();
        QPointer<frmViewShapeFile> viewer = loader.Viewer();
        QVERIFY(viewer != nullptr && viewer->isVisible());
        QCOMPARE(viewer->windowTitle(), QStringLiteral("study_area"));
        loader.Command2_Click(); // already showing this layer: the same window stays
        QCOMPARE(loader.Viewer(), viewer.data());
        OpenShapefile(loader, kExamples + QStringLiteral("/shapefiles/streams.shp"));
        QVERIFY(viewer.isNull()); // opening another file closes the map
        QCOMPARE(loader.shape_type_box->text(), QStringLiteral("Line"));
    }

    void homeRangePictureFromTheSaveForm() {
        Estimate(ToDeerModels(), {&F::fixed_kernel_check, &F::bvn_check});
        ChooseH(&FrmKernelOptions::cv_h_check);
        FrmSaveAs* save = wizard->save_as.Get();
        save->findChild<QPushButton*>(QStringLiteral("CmdViewHomeRange"))->click();

        FrmHomeRangePicture* picture = wizard->picture.Get();
        QVERIFY(picture != nullptr && picture->isVisible());
        QCOMPARE(picture->result_combo->count(), 2);
        QCOMPARE(AreaRows(*picture->areas_table, false), 2);
        QCOMPARE(picture->areas_table->item(0, 0)->text(), QStringLiteral("50 %"));
        QVERIFY(picture->total_label->text().contains(QStringLiteral("total probability")));
        picture->result_combo->setCurrentIndex(1);
        QCOMPARE(AreaRows(*picture->areas_table, false), 2);
        QVERIFY(!picture->metres_check->isChecked()); // a text file says nothing of its units
        QCOMPARE(picture->areas_table->item(0, 3)->text(), QStringLiteral("-"));
        // After the rows of the distribution, the minimum convex polygons of the 150 locations
        // at the same levels, their areas rounded as those rows' are.
        const auto mcp_rows = [&](std::initializer_list<double> percents, bool metres) {
            QCOMPARE(AreaRows(*picture->areas_table, true), static_cast<int>(percents.size()));
            QCOMPARE(picture->areas_table->rowCount(), 2 * static_cast<int>(percents.size()));
            int row = static_cast<int>(percents.size());
            for (const double percent : percents) {
                const auto mcp =
                    CalcMcp(session.locations().xy, session.locations().count, percent);
                QVERIFY(mcp.Ok());
                const auto cell = [&](int c) { return picture->areas_table->item(row, c)->text(); };
                QCOMPARE(cell(0), QStringLiteral("MCP ") +
                                      QString::fromStdString(FormatNumber(percent)) +
                                      QStringLiteral(" %"));
                QCOMPARE(cell(2), Shown(mcp.value.area, 2));
                QCOMPARE(cell(3), metres ? Shown(mcp.value.area / 1e4, 4) : QStringLiteral("-"));
                QCOMPARE(cell(4), metres ? Shown(mcp.value.area / 1e6, 6) : QStringLiteral("-"));
                ++row;
            }
        };
        mcp_rows({50, 95}, false);
        picture->levels_box->setText(QStringLiteral("30, 60, 90"));
        Q_EMIT picture->levels_box->editingFinished();
        QCOMPARE(AreaRows(*picture->areas_table, false), 3);
        picture->metres_check->setChecked(true);
        QVERIFY(picture->areas_table->item(0, 3)->text() != QStringLiteral("-"));
        mcp_rows({30, 60, 90}, true);
        // At 1 % of 150 locations, h = 149 * 0.01 = 1.49 puts the quantile between the second
        // and third nearest: two are kept, which span no polygon, and the sentence joins the
        // problems.
        picture->levels_box->setText(QStringLiteral("1, 30, 60, 90"));
        Q_EMIT picture->levels_box->editingFinished();
        QCOMPARE(AreaRows(*picture->areas_table, true), 3);
        QVERIFY(picture->total_label->text().contains(
            QStringLiteral("The 1 % minimum convex polygon needs at least three locations")));
        picture->levels_box->setText(QStringLiteral("30, 60, 90"));
        Q_EMIT picture->levels_box->editingFinished();

        const QString png = QString::fromStdString((dir->path() / "ud.png").string());
        dialogs.save_answers << png;
        picture->CmdSavePicture_Click();
        QVERIFY(QFileInfo(png).size() > 0);
        QVERIFY(
            picture->grab().save(testing::FormPicture(QStringLiteral("FrmHomeRangePicture.png"))));

        // Saving afterwards writes the same text files as ever.
        SaveTo(QStringLiteral("R"), 0);
        QCOMPARE(Lines("RFixedKernel.txt"), std::size_t{40001});
        QCOMPARE(Lines("RBVN.txt"), std::size_t{40001});
    }

    void aSecondElkOverlapsAsTheirGridsOnTheSharedLatticeSay() {
        // The elk's ranges lie some 3 km apart; kernels this wide make them meet.
        const double h = 1500.0;
        FrmHomeRangePicture& picture = ElkAPicture(QStringLiteral("1500"));
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.messages.join('|')));
        QVERIFY(!picture.second_combo->isHidden() && !picture.add_animal_button->isHidden());
        QCOMPARE(picture.second_combo->count(), 2);
        QCOMPARE(picture.second_combo->itemText(0), QStringLiteral("elk-B"));
        QCOMPARE(picture.second_combo->itemText(1), QStringLiteral("elk-C"));
        picture.second_combo->setCurrentIndex(0);
        picture.add_animal_button->click();
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.messages.join('|')));

        // Both elk by the fixed kernel of the same h on the lattice of cell h / 5 whose first
        // node is the south-west corner of both elk's locations.
        const IndependentLocations& a = session.locations();
        const TableAnimals& table = *session.loaded().locations_table;
        QCOMPARE(table.loaded, std::string("elk-A"));
        const IndependentLocations& b = table.locations[0];
        SharedLattice lattice{a.xy(0, 0), a.xy(0, 1), h / 5};
        for (const IndependentLocations* elk : {&a, &b}) {
            for (std::int32_t k = 0; k < elk->count; ++k) {
                lattice.x0 = std::min(lattice.x0, elk->xy(k, 0));
                lattice.y0 = std::min(lattice.y0, elk->xy(k, 1));
            }
        }
        const auto on_lattice = [&lattice, h](const IndependentLocations& elk) {
            const std::vector<double> local_h(static_cast<std::size_t>(elk.count), h);
            return CalcKernelOnLattice(elk.xy, elk.count, local_h, {}, lattice).value;
        };
        const Matrix grid_a = on_lattice(a);
        const Matrix grid_b = on_lattice(b);
        QCOMPARE(picture.overlap_table->rowCount(), 14); // seven indices at 50 and 95 %
        int row = 0;
        for (const double level : {0.5, 0.95}) {
            const auto ga = MakeOverlapGrid(grid_a, grid_a.Rows() - 1, lattice, level);
            const auto gb = MakeOverlapGrid(grid_b, grid_b.Rows() - 1, lattice, level);
            QVERIFY(ga.Ok() && gb.Ok());
            const OverlapIndices o = CalcOverlap(ga.value, gb.value);
            QVERIFY(o.phr_ab > 0 && o.phr_ba > 0);
            QVERIFY(level < 0.9 || o.vi > 0); // their 95 % ranges share ground
            // The same sums in the same order: equal to the bit.
            for (const double expected :
                 {o.hr_ab, o.hr_ba, o.phr_ab, o.phr_ba, o.vi, o.ba, o.udoi}) {
                QCOMPARE(picture.overlap_table->item(row, 3)->data(Qt::UserRole).toDouble(),
                         expected);
                QCOMPARE(picture.overlap_table->item(row, 3)->text(), Shown(expected, 6));
                ++row;
            }
        }
        QCOMPARE(picture.overlap_table->item(0, 2)->text(), QStringLiteral("elk-A in elk-B"));
        QCOMPARE(picture.overlap_table->item(1, 2)->text(), QStringLiteral("elk-B in elk-A"));
        QCOMPARE(picture.overlap_table->item(4, 1)->text(), QStringLiteral("VI"));
        QVERIFY(picture.grab().save(
            testing::FormPicture(QStringLiteral("FrmHomeRangePictureOverlap.png"))));
        // Another level shown clears the list, which belonged to the levels before.
        picture.levels_box->setText(QStringLiteral("90"));
        Q_EMIT picture.levels_box->editingFinished();
        QCOMPARE(picture.overlap_table->rowCount(), 0);
    }

    void aSecondAnimalsAutocorrelatedKernelOverlapsUnderItsOwnModel() {
        // A Movebank table of two animals near 115.5 W, 49 N, each an OU track (sigma 300 m,
        // tau 5 hours) seen every half hour for four days, their centres 400 m apart.
        std::vector<testing::TableRow> rows;
        const auto t = testing::FixTimes(192, 30.0, false, 2);
        for (const auto& [animal, east, seed] : {std::tuple{"A", 0.0, 2U}, {"B", 400.0, 3U}}) {
            const Matrix track = testing::OuTrack(t, 9e4, 300.0, 5.0, seed);
            for (std::int32_t k = 0; k < 192; ++k) {
                rows.push_back({animal, std::lround(60 * track(k, 2)),
                                testing::Degrees(-115.5 + (track(k, 0) - 5e5 + east) / 73030.0),
                                testing::Degrees(49.0 + (track(k, 1) - 4e6) / 111200.0), 5.0});
            }
        }
        const auto table = dir->Write("two.csv", testing::MovebankCsv(rows));
        testing::WalkToLoader(*wizard, true, &FrmInputDataOptions::telemetry_option);
        FrmLoadTelemetry& loader = *wizard->load_telemetry.Get();
        dialogs.open_answers << QString::fromStdString(table.string());
        loader.CmdOpen_Click();
        loader.animal_combo->setCurrentIndex(loader.animal_combo->findData("A"));
        loader.CmdNext_Click();
        FrmBBAnalysis& analysis = *wizard->bb_analysis.Get();
        analysis.akde_option->setChecked(true);
        analysis.CmdNext_Click();
        FrmAkdeModels& models = *wizard->akde_models.Get();
        // The estimate is made under the model AICc ranks second; so is the overlap's A.
        models.models_list->setCurrentItem(models.models_list->topLevelItem(1));
        const std::string picked = models.models_list->topLevelItem(1)->text(0).toStdString();
        models.CmdNext_Click();
        wizard->grid_extent.Get()->CmdCalcBB_Click();
        wizard->save_as.Get()->findChild<QPushButton*>(QStringLiteral("CmdViewHomeRange"))->click();
        FrmHomeRangePicture& picture = *wizard->picture.Get();
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.messages.join('|')));
        QVERIFY(!picture.second_combo->isHidden());
        QCOMPARE(picture.second_combo->count(), 1);
        QCOMPARE(picture.second_combo->itemText(0), QStringLiteral("B"));
        picture.add_animal_button->click();
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.messages.join('|')));

        const Track& a = session.track();
        const Track& b = session.loaded().track_table->tracks[0];
        const auto fit_a = FitNamedMovementModel(MovementDataOf(a.sorted, a.count), picked);
        const auto fit_b = SelectMovementModel(b.sorted, b.count);
        QVERIFY(fit_a.Ok() && fit_b.Ok());
        const auto spread_a = AkdeReach(a.sorted, a.count, fit_a.value);
        const auto spread_b = AkdeReach(b.sorted, b.count, fit_b.value);
        QVERIFY(spread_a.Ok() && spread_b.Ok());
        SharedLattice lattice{a.sorted(0, 0), a.sorted(0, 1),
                              std::min(spread_a.value.spread, spread_b.value.spread) / 5};
        for (const Track* track : {&a, &b}) {
            for (std::int32_t k = 0; k < track->count; ++k) {
                lattice.x0 = std::min(lattice.x0, track->sorted(k, 0));
                lattice.y0 = std::min(lattice.y0, track->sorted(k, 1));
            }
        }
        const auto grid_a = CalcAkdeOnLattice(a.sorted, a.count, fit_a.value, lattice);
        const auto grid_b = CalcAkdeOnLattice(b.sorted, b.count, fit_b.value, lattice);
        QVERIFY(grid_a.Ok() && grid_b.Ok());
        QCOMPARE(picture.overlap_table->rowCount(), 14);
        int row = 0;
        for (const double level : {0.5, 0.95}) {
            const auto ga = MakeOverlapGrid(grid_a.value, grid_a.value.Rows() - 1, lattice, level);
            const auto gb = MakeOverlapGrid(grid_b.value, grid_b.value.Rows() - 1, lattice, level);
            QVERIFY(ga.Ok() && gb.Ok());
            const OverlapIndices o = CalcOverlap(ga.value, gb.value);
            QVERIFY(o.vi > 0 && o.ba < 1); // ranges 400 m apart share some of their ground
            for (const double expected :
                 {o.hr_ab, o.hr_ba, o.phr_ab, o.phr_ba, o.vi, o.ba, o.udoi}) {
                QCOMPARE(picture.overlap_table->item(row, 3)->data(Qt::UserRole).toDouble(),
                         expected);
                ++row;
            }
        }
    }

    void anOverlapThatCannotBeMadeIsASentenceAndListsNothing() {
        // A smoothing parameter of 1 m puts the lattice's cell at 20 cm: the elk's window
        // would hold far more cells than one may.
        FrmHomeRangePicture& picture = ElkAPicture(QStringLiteral("1"));
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.messages.join('|')));
        const Session before = session;
        picture.second_combo->setCurrentIndex(1);
        picture.add_animal_button->click();
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY(dialogs.messages.front().contains(QStringLiteral("cells")));
        QCOMPARE(picture.overlap_table->rowCount(), 0);
        QVERIFY(session == before);
    }

    void aPlainTextFileOffersNoSecondAnimal() {
        Estimate(ToDeerModels(), {&F::fixed_kernel_check});
        ChooseH(&FrmKernelOptions::cv_h_check);
        wizard->save_as.Get()->findChild<QPushButton*>(QStringLiteral("CmdViewHomeRange"))->click();
        FrmHomeRangePicture* picture = wizard->picture.Get();
        QVERIFY(picture != nullptr && picture->isVisible());
        QVERIFY(!session.loaded().locations_table);
        QVERIFY(picture->second_combo->isHidden() && picture->add_animal_button->isHidden() &&
                picture->overlap_table->isHidden());
    }

    void aFileThatFailsToLoadKeepsTheEarlierLocationsAndTheRunGoesOn() {
        FrmLoadTextFile& loader = ToTextLoader(false);
        testing::OpenOn(dialogs, loader, kExamples + QStringLiteral("/deer_independent.txt"));
        QCOMPARE(session.locations().count, 150);
        const Session loaded = session;

        const auto bad = dir->Write("collar_export.txt", "x\ty\n1\t2\n3\tN/A\n");
        testing::OpenOn(dialogs, loader, QString::fromStdString(bad.string()));
        QCOMPARE(dialogs.messages.last(),
                 QStringLiteral("collar_export.txt, line 3: \"N/A\" is not a number."));
        QVERIFY(session == loaded);
        QVERIFY(loader.file_name_box->text().endsWith(QStringLiteral("deer_independent.txt")));
        QCOMPARE(loader.count_box->text(), QStringLiteral("150"));

        loader.CmdNext_Click();
        Estimate(*wizard->compare.Get(), {&F::bvn_check});
        SaveTo(QStringLiteral("deer"), 0);
        QCOMPARE(Lines("deerBVN.txt"), std::size_t{40001});
    }

    void checksKeepTheUserOnTheForm() {
        FrmLoadTextFile& loader = ToTextLoader(false);
        testing::OpenOn(dialogs, loader, kExamples + QStringLiteral("/no_such_file.txt"));
        QVERIFY(dialogs.messages.last().contains(QStringLiteral("no_such_file.txt")));
        QCOMPARE(loader.count_box->text(), QString());
        loader.CmdNext_Click();
        FrmCompareHROption* choice = wizard->compare.Get();
        choice->CmdNext_Click();
        QCOMPARE(dialogs.messages.last(), QStringLiteral("Tick at least one model."));
        choice->bvn_check->setChecked(true);
        choice->CmdNext_Click();
        QVERIFY(dialogs.messages.last().contains(QStringLiteral("No locations are loaded")));
        QVERIFY(choice->isVisible());
    }
};

} // namespace ranvik

QTEST_MAIN(ranvik::WizardPathsTest)
#include "wizard_paths_test.moc"
