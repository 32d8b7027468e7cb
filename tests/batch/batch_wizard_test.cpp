#include "app/forms/all_forms.h"

#include "bridge/bridge_probability.h"
#include "kernel/smoothing.h"
#include "support/collars.h"
#include "support/fake_dialogs.h"
#include "support/temp_dir.h"
#include "support/wizard_session.h"

#include <QComboBox>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

namespace ranvik {
namespace {

QString Exact(double value) {
    return QString::number(value, 'g', 17);
}

// A summary.csv as animal -> estimator -> level -> area text.
std::map<std::string, std::map<std::string, std::map<std::string, std::string>>>
SummaryAreas(const std::string& text) {
    std::map<std::string, std::map<std::string, std::map<std::string, std::string>>> areas;
    std::istringstream in(text);
    std::string line;
    std::getline(in, line); // the header
    while (std::getline(in, line)) {
        const std::vector<std::string> cells = testing::CommaFields(line, 9);
        areas[cells[0]][cells[1]][cells[5]] = cells[6];
    }
    return areas;
}

// A wizard driven by a user through the telemetry loader.
struct WizardRun : testing::WizardSession {
    FrmLoadTelemetry& Loader(bool bridge, const QString& table, const QString& animal) {
        ToLoader(bridge, &FrmInputDataOptions::telemetry_option);
        Open(table);
        FrmLoadTelemetry& loader = Telemetry();
        loader.animal_combo->setCurrentIndex(loader.animal_combo->findData(animal));
        return loader;
    }

    void Save(const std::filesystem::path& folder) {
        FrmSaveAs* save = wizard->save_as.Get();
        QVERIFY(save != nullptr && save->isVisible());
        save->root_name_box->setText(QStringLiteral("W"));
        save->file_type_combo->setCurrentIndex(0);
        save->SetDirectory(QString::fromStdString(folder.string()));
        save->CmdSave_Click();
    }
};

// Opens the home range picture from the save form and compares, result by result, the area it
// shows at 50 and 95 % with the summary's; the number of areas compared.
int PictureAreasAgree(WizardRun& session,
                      const std::map<std::string, std::map<std::string, std::string>>& summary) {
    session.wizard->save_as.Get()
        ->findChild<QPushButton*>(QStringLiteral("CmdViewHomeRange"))
        ->click();
    FrmHomeRangePicture* picture = session.wizard->picture.Get();
    if (picture == nullptr) {
        return -1;
    }
    const std::map<QString, std::string> estimators = {
        {QStringLiteral("Fixed kernel"), "fixed-kernel"},
        {QStringLiteral("1-mode bivariate normal"), "bvn"},
        {QStringLiteral("Brownian bridge"), "bb"}};
    int agreed = 0;
    for (int r = 0; r < picture->result_combo->count(); ++r) {
        picture->result_combo->setCurrentIndex(r);
        const std::string estimator = estimators.at(picture->result_combo->itemText(r));
        for (const char* level : {"50", "95"}) {
            const auto found = picture->areas_table->findItems(
                QString::fromLatin1(level) + QStringLiteral(" %"), Qt::MatchExactly);
            if (found.size() != 1) {
                return -1;
            }
            const QString shown = picture->areas_table->item(found.front()->row(), 2)->text();
            if (shown.toStdString() != summary.at(estimator).at(level)) {
                qWarning() << "area" << shown << "against"
                           << QString::fromStdString(summary.at(estimator).at(level));
                return -1;
            }
            ++agreed;
            // The MCP of the same locations, for the independent estimators.
            if (estimator == "bb") {
                continue;
            }
            const auto mcp = picture->areas_table->findItems(
                QStringLiteral("MCP ") + QString::fromLatin1(level) + QStringLiteral(" %"),
                Qt::MatchExactly);
            if (mcp.size() != 1 ||
                picture->areas_table->item(mcp.front()->row(), 2)->text().toStdString() !=
                    summary.at("mcp").at(level)) {
                return -1;
            }
            ++agreed;
        }
    }
    picture->close();
    return agreed;
}

// The first line where two texts differ, and how many lines do, for a failure message.
QString FirstDifference(const std::string& a, const std::string& b) {
    std::istringstream in_a(a), in_b(b);
    std::string line_a, line_b, first;
    int differ = 0, line = 0;
    while (std::getline(in_a, line_a) && std::getline(in_b, line_b)) {
        ++line;
        if (line_a != line_b && differ++ == 0) {
            first = "line " + std::to_string(line) + ": " + line_a + " against " + line_b;
        }
    }
    return QString::fromStdString(std::to_string(differ) + " lines differ; " + first);
}

} // namespace

class BatchWizardTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each animal of a table through ranvik-batch gives the files the wizard gives on that
    // animal's fixes, and the areas the wizard's home range picture shows.
    void everyAnimalAsTheWizardMakesIt() {
        testing::TempDir dir;
        const auto table = dir.Write("collars.csv", testing::MovebankCsv(testing::TwoAnimals()));
        const auto out = dir.path() / "batch";
        QProcess batch;
        batch.start(QStringLiteral(RANVIK_BATCH),
                    QString::fromStdString(table.string() + " --out " + out.string() +
                                           " --estimators fixed-kernel,bvn,bb,mcp --error "
                                           "gps:error-m --bb-max-time 600 --bb-cell 25 --jobs 1 "
                                           "--quiet")
                        .split(' '));
        QVERIFY(batch.waitForFinished(120000));
        QVERIFY2(batch.exitCode() == 0, batch.readAllStandardError().constData());
        const auto summary = SummaryAreas(dir.Read("batch/summary.csv"));
        QCOMPARE(summary.size(), std::size_t{2});

        for (const char* animal : {"A", "B"}) {
            const std::filesystem::path wizard_out = dir.path() / (std::string("wizard-") + animal);
            std::filesystem::create_directories(wizard_out);
            const QString path = QString::fromStdString(table.string());
            {
                WizardRun session;
                session.Loader(false, path, animal).CmdNext_Click();
                FrmCompareHROption* choice = session.wizard->compare.Get();
                choice->fixed_kernel_check->setChecked(true);
                choice->bvn_check->setChecked(true);
                choice->CmdNext_Click();
                // The batch takes h_ref at full precision: typed so into the box.
                FrmKernelOptions* options = session.wizard->kernel_options.Get();
                options->href_box->setText(Exact(
                    CalcHref(session.session.locations().xy, session.session.locations().count)));
                options->href_percent_check->setChecked(true);
                session.wizard->kernel_options.Get()->CmdNext_Click();
                QCOMPARE(PictureAreasAgree(session, summary.at(animal)), 8);
                session.Save(wizard_out);
            }
            {
                WizardRun session;
                FrmLoadTelemetry& loader = session.Loader(true, path, animal);
                loader.error_combo->setCurrentText(QStringLiteral("gps:error-m"));
                loader.CmdNext_Click();
                FrmBBAnalysis* analysis = session.wizard->bb_analysis.Get();
                analysis->CmdEstimateVar_Click();
                // The variance and the automatic extent at full precision, as the batch takes
                // them, rather than as the boxes show them.
                analysis->variance_box->setText(Exact(session.session.choices().BBVariance));
                analysis->max_time_box->setText(QStringLiteral("600"));
                analysis->CmdNext_Click();
                FrmBBGridExtent* extent = session.wizard->grid_extent.Get();
                const BridgeGridSpec automatic = AutoBridgeGridExtent(
                    session.session.track().sorted, session.session.track().count);
                extent->min_x_box->setText(Exact(automatic.min_x));
                extent->max_x_box->setText(Exact(automatic.max_x));
                extent->min_y_box->setText(Exact(automatic.min_y));
                extent->max_y_box->setText(Exact(automatic.max_y));
                extent->grid_spacing_box->setText(QStringLiteral("25"));
                extent->CmdCalcBB_Click();
                QCOMPARE(PictureAreasAgree(session, summary.at(animal)), 2);
                session.Save(wizard_out);
            }
            for (const char* file : {"FixedKernel.txt", "BVN.txt", "BrownianBridge.txt"}) {
                const std::string made = dir.Read(std::string("batch/") + animal + "/" + file);
                const std::string saved = dir.Read("wizard-" + std::string(animal) + "/W" + file);
                QVERIFY2(!made.empty(), file);
                QVERIFY2(made == saved, qPrintable(FirstDifference(made, saved)));
            }
        }
    }
};

} // namespace ranvik

QTEST_MAIN(ranvik::BatchWizardTest)
#include "batch_wizard_test.moc"
