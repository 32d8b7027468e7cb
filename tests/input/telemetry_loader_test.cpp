#include "app/forms/all_forms.h"

#include "support/collars.h"
#include "support/fake_dialogs.h"
#include "support/temp_dir.h"
#include "support/wizard_session.h"

#include "input/field_names.h"
#include "input/forms/loaded_files.h"

#include <QComboBox>
#include <QTest>

#include <ogr_spatialref.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ranvik {
namespace {

using testing::MovebankCsv;
using testing::TableRow;
using testing::TwoAnimals;

const QString kExamples = QStringLiteral(RANVIK_EXAMPLES_DIR);

// PROJ's own transformation of WGS 84 longitude/latitude to `epsg`.
std::pair<double, double> Project(double lon, double lat, int epsg) {
    OGRSpatialReference wgs84;
    OGRSpatialReference utm;
    wgs84.importFromEPSG(4326);
    utm.importFromEPSG(epsg);
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    utm.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    const std::unique_ptr<OGRCoordinateTransformation> transform(
        OGRCreateCoordinateTransformation(&wgs84, &utm));
    double x = lon, y = lat;
    transform->Transform(1, &x, &y);
    return {x, y};
}

std::string Exact(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// The fixes of `animal` as a projected text file in its UTM zone: x, y, minutes since its first
// fix and location error (all four when `bridge`, else x and y), in time order.
std::string ProjectedText(const std::vector<TableRow>& rows, const std::string& animal,
                          bool bridge) {
    std::vector<TableRow> fixes;
    double sum_lon = 0, sum_lat = 0;
    for (const TableRow& row : rows) {
        if (row.animal == animal && !row.lon.empty()) {
            fixes.push_back(row);
            sum_lon += std::stod(row.lon);
            sum_lat += std::stod(row.lat);
        }
    }
    std::stable_sort(fixes.begin(), fixes.end(),
                     [](const TableRow& p, const TableRow& q) { return p.seconds < q.seconds; });
    const auto n = static_cast<double>(fixes.size());
    const int epsg = 32600 + static_cast<int>(std::floor((sum_lon / n + 180.0) / 6.0)) + 1;
    std::string text = bridge ? "x\ty\ttime\terror\n" : "x\ty\n";
    for (const TableRow& fix : fixes) {
        const auto [x, y] = Project(std::stod(fix.lon), std::stod(fix.lat), epsg);
        std::vector<double> fields = {x, y};
        if (bridge) {
            fields.push_back(static_cast<double>(fix.seconds - fixes.front().seconds) / 60.0);
            fields.push_back(fix.error);
        }
        for (std::size_t f = 0; f < fields.size(); ++f) {
            text.append(Exact(fields[f])).push_back(f + 1 < fields.size() ? '\t' : '\n');
        }
    }
    return text;
}

void ExpectClose(const Matrix& got, const Matrix& want, int columns) {
    QCOMPARE(got.Rows(), want.Rows());
    for (std::int32_t r = 0; r < want.Rows(); ++r) {
        for (int c = 0; c < columns; ++c) {
            const double scale = std::max(std::fabs(want(r, c)), 1e-300);
            QVERIFY2(std::fabs(got(r, c) - want(r, c)) <= 1e-9 * scale,
                     qPrintable(QStringLiteral("row %1 column %2: ").arg(r).arg(c) +
                                QString::fromStdString(Exact(got(r, c)) + " against " +
                                                       Exact(want(r, c)))));
        }
    }
}

// A wizard driven by a user, with the two analyses the comparisons below run.
struct WizardRun : testing::WizardSession {
    // From a loaded track: an estimated variance, 600 minutes at most between fixes, and a grid
    // over the automatic extent with 25 m cells.
    void BridgeGrid() {
        FrmBBAnalysis* analysis = wizard->bb_analysis.Get();
        QVERIFY(analysis != nullptr && analysis->isVisible());
        analysis->CmdEstimateVar_Click();
        analysis->max_time_box->setText(QStringLiteral("600"));
        analysis->CmdNext_Click();
        FrmBBGridExtent* extent = wizard->grid_extent.Get();
        QVERIFY(extent != nullptr && extent->isVisible());
        extent->CmdCalcGridExtent_Click();
        extent->grid_spacing_box->setText(QStringLiteral("25"));
        extent->CmdCalcBB_Click();
        QVERIFY(session.WaitingGrid(kBridgeName));
    }

    // From the model choice: a fixed kernel with h_ref.
    void FixedKernelHref() {
        FrmCompareHROption* choice = wizard->compare.Get();
        QVERIFY(choice != nullptr && choice->isVisible());
        choice->fixed_kernel_check->setChecked(true);
        choice->CmdNext_Click();
        FrmKernelOptions* options = wizard->kernel_options.Get();
        options->href_percent_check->setChecked(true);
        options->CmdNext_Click();
        QVERIFY(session.WaitingGrid(kFixedKernelName));
    }

    // Loads the text file at `path` from the choice of input type.
    void LoadText(const QString& path) {
        dialogs.open_answers << path;
        wizard->load_text.Get()->Command1_Click();
        wizard->load_text.Get()->CmdNext_Click();
    }
};

} // namespace

class TelemetryLoaderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void eachAnimalsBridgeEqualsTheProjectedTextFiles() {
        const std::vector<TableRow> rows = TwoAnimals();
        testing::TempDir dir;
        const auto csv = dir.Write("collars.csv", MovebankCsv(rows));
        for (const char* animal : {"A", "B"}) {
            WizardRun table;
            table.ToLoader(true, &FrmInputDataOptions::telemetry_option);
            FrmLoadTelemetry& loader = table.Telemetry();
            QVERIFY(loader.isVisible());
            table.Open(QString::fromStdString(csv.string()));
            // Movebank's fields are chosen; the error field is the user's choice.
            QCOMPARE(loader.x_combo->currentText(), QStringLiteral("location-long"));
            QCOMPARE(loader.y_combo->currentText(), QStringLiteral("location-lat"));
            QCOMPARE(loader.time_combo->currentText(), QStringLiteral("timestamp"));
            QCOMPARE(loader.id_field_combo->currentText(),
                     QStringLiteral("individual-local-identifier"));
            QCOMPARE(loader.time_unit_combo->currentText(), QStringLiteral("minutes"));
            QVERIFY(loader.crs_box->text().contains(QStringLiteral("EPSG:4326")));
            loader.error_combo->setCurrentText(QStringLiteral("gps:error-m"));
            QCOMPARE(loader.animal_combo->count(), 2);
            loader.animal_combo->setCurrentIndex(loader.animal_combo->findData(animal));
            const bool b = std::string(animal) == "B";
            QCOMPARE(loader.count_box->text(), b ? QStringLiteral("25") : QStringLiteral("40"));
            QCOMPARE(loader.skipped_label->text(),
                     QStringLiteral("5 rows without coordinates (failed fixes) were left out, %1 "
                                    "of them this animal's.")
                         .arg(b ? 5 : 0));
            loader.CmdNext_Click();
            QVERIFY2(table.dialogs.messages.isEmpty(),
                     qPrintable(table.dialogs.messages.join('|')));
            QCOMPARE(table.session.track().count, b ? 25 : 40);
            QCOMPARE(table.session.loaded().file.root, std::string("collars_") + animal);
            QCOMPARE(table.session.loaded().file.projection_epsg, 32611);
            QVERIFY(table.session.loaded().file.projection_in_metres);
            // Saved rasters and contours carry the zone the fixes were projected to.
            OGRSpatialReference saved;
            QCOMPARE(saved.importFromWkt(table.session.loaded().file.projection_wkt.c_str()),
                     OGRERR_NONE);
            QCOMPARE(QString::fromLatin1(saved.GetAuthorityCode(nullptr)), QStringLiteral("32611"));
            QVERIFY(table.wizard->bb_analysis.Get()->time_unit_label->text().contains(
                QStringLiteral("square metres per minute")));
            table.BridgeGrid();

            WizardRun text;
            text.ToLoader(true, &FrmInputDataOptions::text_file_option);
            const auto path =
                dir.Write(std::string(animal) + ".txt", ProjectedText(rows, animal, true));
            text.LoadText(QString::fromStdString(path.string()));
            QVERIFY(text.wizard->bb_analysis.Get()->time_unit_label->isHidden());
            text.BridgeGrid();

            ExpectClose(table.session.track().fixes, text.session.track().fixes, 4);
            QVERIFY(
                std::fabs(table.session.choices().BBVariance - text.session.choices().BBVariance) <=
                1e-9 * text.session.choices().BBVariance);
            ExpectClose(table.session.Result(kBridgeName)->grid.value(),
                        text.session.Result(kBridgeName)->grid.value(), 3);
        }
    }

    void aTableWrittenByRLoadsWithNoFieldNamedLikeItsHyphenatedTwin() {
        const std::vector<TableRow> rows = TwoAnimals();
        testing::TempDir dir;
        std::vector<Matrix> loaded;
        for (const auto& [name, text] : {std::pair{"movebank.csv", MovebankCsv(rows)},
                                         std::pair{"r.csv", testing::RCsv(rows)}}) {
            WizardRun session;
            session.ToLoader(true, &FrmInputDataOptions::telemetry_option);
            FrmLoadTelemetry& loader = session.Telemetry();
            session.Open(QString::fromStdString(dir.Write(name, text).string()));
            QCOMPARE(QString::fromStdString(
                         NormalizedFieldName(loader.id_field_combo->currentText().toStdString())),
                     QStringLiteral("individual-local-identifier"));
            QCOMPARE(QString::fromStdString(
                         NormalizedFieldName(loader.x_combo->currentText().toStdString())),
                     QStringLiteral("location-long"));
            // R's row numbers, under an empty name, are never offered as the animal.
            QCOMPARE(loader.id_field_combo->findText(QString()), -1);
            QVERIFY(loader.crs_box->text().contains(QStringLiteral("EPSG:4326")));
            loader.animal_combo->setCurrentIndex(loader.animal_combo->findData("B"));
            QCOMPARE(loader.count_box->text(), QStringLiteral("25"));
            loader.CmdNext_Click();
            QVERIFY2(session.dialogs.messages.isEmpty(),
                     qPrintable(session.dialogs.messages.join('|')));
            QCOMPARE(session.session.track().count, 25);
            loaded.push_back(session.session.track().fixes);
        }
        ExpectClose(loaded[1], loaded[0], 4);
    }

    void coordinatesThatMayBeDegreesWaitForTheUsersAnswer() {
        testing::TempDir dir;
        std::string text = "px,py,visible\n";
        for (const TableRow& row : TwoAnimals()) {
            if (row.animal == "A") {
                text += row.lon + "," + row.lat + (row.seconds % 9 == 0 ? ",false\n" : ",true\n");
            }
        }
        WizardRun session;
        session.ToLoader(false, &FrmInputDataOptions::telemetry_option);
        FrmLoadTelemetry& loader = session.Telemetry();
        session.Open(QString::fromStdString(dir.Write("unnamed.csv", text).string()));
        QVERIFY(loader.x_combo->currentText().isEmpty());
        loader.x_combo->setCurrentText(QStringLiteral("px"));
        loader.y_combo->setCurrentText(QStringLiteral("py"));
        QVERIFY(loader.crs_box->text().startsWith(QStringLiteral("Unknown: longitude/latitude or "
                                                                 "metres?")));
        loader.CmdNext_Click();
        QCOMPARE(session.dialogs.messages.size(), 1);
        QVERIFY(session.dialogs.messages[0].contains(
            QStringLiteral("Type in \"Coordinates are in\": EPSG:4326 for longitude/latitude, "
                           "metres for coordinates already in metres")));
        QVERIFY(loader.isVisible());
        QCOMPARE(session.session.locations().count, 0);

        // A typed answer that is neither a code nor metres says so.
        loader.crs_box->setText(QStringLiteral("WGS84"));
        loader.CmdNext_Click();
        QVERIFY(session.dialogs.messages.last().contains(QStringLiteral("\"WGS84\" in")));

        loader.crs_box->setText(QStringLiteral("EPSG:4326"));
        loader.Refresh();
        QVERIFY(loader.skipped_label->text().contains(
            QStringLiteral("marked as outliers were left out")));
        const int kept = loader.count_box->text().toInt();
        loader.keep_outliers_check->setChecked(true);
        QVERIFY(loader.count_box->text().toInt() > kept);
        QCOMPARE(loader.count_box->text().toInt(), 40);
        loader.CmdNext_Click();
        QCOMPARE(session.session.locations().count, 40);
        QCOMPARE(session.session.loaded().file.projection_epsg, 32611);
        QVERIFY(session.session.locations().xy(0, 1) > 5e6); // northings in metres, not degrees
        QCOMPARE(loader.crs_box->text(), QStringLiteral("EPSG:4326"));
    }

    void aTypedSystemLabelsProjectedCoordinatesAndMetresTakeThemAsTheyAre() {
        testing::TempDir dir;
        // A local grid of metres whose values also fit longitude/latitude.
        std::string text = "X,Y\n";
        for (int i = 0; i < 30; ++i) {
            text += std::to_string((i * 37) % 60) + "," + std::to_string((i * 23) % 40) + "\n";
        }
        for (const auto& [typed, epsg] : {std::pair{"metres", 0}, std::pair{"EPSG:32611", 32611}}) {
            WizardRun session;
            session.ToLoader(false, &FrmInputDataOptions::telemetry_option);
            FrmLoadTelemetry& loader = session.Telemetry();
            session.Open(QString::fromStdString(dir.Write("grid.csv", text).string()));
            QCOMPARE(loader.x_combo->currentText(), QStringLiteral("X"));
            QVERIFY(loader.crs_box->text().startsWith(QStringLiteral("Unknown:")));
            loader.crs_box->setText(QString::fromLatin1(typed));
            loader.CmdNext_Click();
            QVERIFY2(session.dialogs.messages.isEmpty(),
                     qPrintable(session.dialogs.messages.join('|')));
            QCOMPARE(session.session.locations().count, 30);
            QCOMPARE(session.session.locations().xy(1, 0), 37.0); // as the table holds it
            QCOMPARE(session.session.loaded().file.projection_epsg, epsg);
        }
    }

    void aGeoPackageInLongitudeLatitudeGivesTheTextFilesFixedKernel() {
        // The sample GeoPackage and its table hold the same fixes.
        std::vector<TableRow> rows;
        {
            std::ifstream in(std::string(RANVIK_EXAMPLES_DIR) + "/telemetry/movebank_elk.csv");
            std::string line;
            std::getline(in, line);
            while (std::getline(in, line)) {
                const std::vector<std::string> cells = testing::CommaFields(line, 8);
                rows.push_back({cells[7], 0, cells[3], cells[4], 0.0});
            }
        }
        testing::TempDir dir;
        const auto path = dir.Write("elk-A.txt", ProjectedText(rows, "elk-A", false));

        WizardRun layer;
        layer.ToLoader(false, &FrmInputDataOptions::telemetry_option);
        FrmLoadTelemetry& loader = layer.Telemetry();
        QVERIFY(loader.time_combo->isHidden());
        layer.Open(kExamples + QStringLiteral("/telemetry/movebank_elk.gpkg"));
        QCOMPARE(loader.x_combo->currentText(), QStringLiteral("(point x)"));
        QVERIFY(loader.crs_box->text().contains(QStringLiteral("longitude/latitude")));
        loader.animal_combo->setCurrentIndex(loader.animal_combo->findData("elk-A"));
        loader.CmdNext_Click();
        QVERIFY2(layer.dialogs.messages.isEmpty(), qPrintable(layer.dialogs.messages.join('|')));
        QCOMPARE(layer.session.loaded().file.root, std::string("movebank_elk_elk-A"));
        // Back from the model choice goes to the telemetry loader, as it was left.
        layer.wizard->compare.Get()->Command3_Click();
        QVERIFY(loader.isVisible());
        QCOMPARE(loader.animal_combo->currentData().toString(), QStringLiteral("elk-A"));
        loader.CmdNext_Click();
        layer.FixedKernelHref();

        WizardRun text;
        text.ToLoader(false, &FrmInputDataOptions::text_file_option);
        text.LoadText(QString::fromStdString(path.string()));
        text.FixedKernelHref();

        ExpectClose(layer.session.locations().xy, text.session.locations().xy, 2);
        ExpectClose(layer.session.Result(kFixedKernelName)->grid.value(),
                    text.session.Result(kFixedKernelName)->grid.value(), 3);
    }

    void everyRefusalIsASentenceAndLoadsNothing() {
        testing::TempDir dir;
        const std::string header =
            "timestamp,location-long,location-lat,individual-local-identifier\n";
        const auto table = [&](const char* name, const std::string& body) {
            return QString::fromStdString(dir.Write(name, header + body).string());
        };
        const QString good = table("good.csv", "2021-06-01 00:00:00,-115.5,49.0,A\n"
                                               "2021-06-01 00:10:00,-115.51,49.01,A\n"
                                               "2021-06-01 00:20:00,,,C\n");
        struct Case {
            QString file;
            std::function<void(FrmLoadTelemetry&)> choose;
            QString message;
        };
        const std::vector<Case> cases = {
            {{}, {}, QStringLiteral("Open a telemetry table first.")},
            {table("time.csv",
                   "2021-06-01 00:00:00,-115.5,49.0,A\n01/06/2021 00:10,-115.51,49.01,A\n"),
             {},
             QStringLiteral("time.csv, line 3: the time \"01/06/2021 00:10\" is not a timestamp "
                            "such as 2021-06-01 18:35:00.")},
            {table("twice.csv", "2021-06-01 00:00:00,-115.5,49.0,A\n"
                                "2021-06-01 00:10:00,-115.51,49.01,A\n"
                                "2021-06-01 00:00:00,-115.52,49.02,A\n"),
             {},
             QStringLiteral("twice.csv: lines 2 and 4 give animal \"A\" two fixes at the same "
                            "time.")},
            {table("pole.csv",
                   "2021-06-01 00:00:00,-115.5,49.0,A\n2021-06-01 00:10:00,-115.5,91,A\n"),
             {},
             QStringLiteral("pole.csv, line 3: longitude -115.5 and latitude 91 are not on the "
                            "globe (latitudes lie within -90..90).")},
            {good,
             [](FrmLoadTelemetry& form) { form.target_crs_combo->setEditText("EPSG:999999"); },
             QStringLiteral("The coordinate system EPSG:999999 is not known.")},
            {good, [](FrmLoadTelemetry& form) { form.target_crs_combo->setEditText("UTM 11"); },
             QStringLiteral("\"UTM 11\" is not an EPSG code such as EPSG:32611, nor \"UTM zone "
                            "(automatic)\".")},
            {good,
             [](FrmLoadTelemetry& form) {
                 form.animal_combo->setCurrentIndex(form.animal_combo->findData("C"));
             },
             QStringLiteral("Animal \"C\" has no fixes with coordinates; choose another animal.")},
            {good, [](FrmLoadTelemetry& form) { form.error_metres_box->setText("-2"); },
             QStringLiteral("The location error must be a number of metres, 0 or more.")},
            {good, [](FrmLoadTelemetry& form) { form.time_combo->setCurrentIndex(0); },
             QStringLiteral("Choose the field of the fix times.")},
            {good, [](FrmLoadTelemetry& form) { form.x_combo->setCurrentIndex(-1); },
             QStringLiteral("Choose the fields of the coordinates.")},
        };
        for (const Case& refused : cases) {
            WizardRun session;
            session.ToLoader(true, &FrmInputDataOptions::telemetry_option);
            FrmLoadTelemetry& loader = session.Telemetry();
            if (!refused.file.isEmpty()) {
                session.Open(refused.file);
            }
            if (refused.choose) {
                refused.choose(loader);
            }
            loader.CmdNext_Click();
            QVERIFY2(!session.dialogs.messages.isEmpty(), qPrintable(refused.message));
            QCOMPARE(session.dialogs.messages.last(), refused.message);
            QVERIFY(loader.isVisible());
            QCOMPARE(session.session.track().count, 0);
            QCOMPARE(session.session.loaded().last, LocationSet::None);
        }

        // Two fixes at one time load when the first is kept, and the line says so.
        WizardRun kept;
        kept.ToLoader(true, &FrmInputDataOptions::telemetry_option);
        kept.Open(cases[2].file);
        kept.Telemetry().keep_first_check->setChecked(true);
        QCOMPARE(kept.Telemetry().skipped_label->text(),
                 QStringLiteral("1 fix at a time its animal already had was left out, 1 of "
                                "them this animal's."));
        kept.Telemetry().CmdNext_Click();
        QCOMPARE(kept.session.track().count, 2);
        QCOMPARE(kept.session.track().fixes(0, 0), Project(-115.5, 49.0, 32611).first);
        QVERIFY(kept.wizard->bb_analysis.Get()->isVisible());

        // A table that cannot be read is explained and the one open before stays.
        WizardRun broken;
        broken.ToLoader(false, &FrmInputDataOptions::telemetry_option);
        broken.Open(good);
        broken.Open(table("open.csv", "\"2021-06-01 00:00:00,-115.5,49.0,A\n"));
        QVERIFY(broken.dialogs.messages.last().contains(QStringLiteral("open.csv")));
        QVERIFY(broken.Telemetry().file_name_box->text().endsWith(QStringLiteral("good.csv")));
        broken.Telemetry().CmdNext_Click();
        QCOMPARE(broken.session.locations().count, 2);

        // Bias-corrected locations need their weights.
        WizardRun weighted;
        weighted.ToLoader(false, &FrmInputDataOptions::telemetry_option, true);
        QVERIFY(!weighted.Telemetry().weight_combo->isHidden());
        weighted.Open(table("weights.csv", "2021-06-01 00:00:00,-115.5,49.0,A\n"));
        weighted.Telemetry().CmdNext_Click();
        QCOMPARE(weighted.dialogs.messages.last(),
                 QStringLiteral("Choose the field of the location weights."));
        weighted.Telemetry().weight_combo->setCurrentText(QStringLiteral("location-lat"));
        weighted.Telemetry().CmdNext_Click();
        QCOMPARE(weighted.session.locations().count, 1);
        QCOMPARE(weighted.session.locations().weights[0], 49.0);
    }

    void userPointsInLongitudeLatitudeJoinTheTrack() {
        const std::vector<TableRow> rows = TwoAnimals();
        testing::TempDir dir;
        const auto csv = dir.Write("collars.csv", MovebankCsv(rows));
        const auto points = dir.Write("points.csv", "name;lon;lat\np1;-115.51;49.02\n"
                                                    "p2;-115.50;49.03\np3;-115.49;49.015\n");
        WizardRun session;
        session.ToLoader(true, &FrmInputDataOptions::telemetry_option);
        session.Open(QString::fromStdString(csv.string()));
        session.Telemetry().animal_combo->setCurrentIndex(
            session.Telemetry().animal_combo->findData("A"));
        session.Telemetry().time_unit_combo->setCurrentText(QStringLiteral("hours"));
        session.Telemetry().error_combo->setCurrentText(QStringLiteral("gps:error-m"));
        session.Telemetry().CmdNext_Click();
        QCOMPARE(session.session.loaded().file.time_unit, std::string("hours"));
        QVERIFY(session.wizard->bb_analysis.Get()->time_unit_label->text().contains(
            QStringLiteral("square metres per hour, the maximum time in hours")));
        QCOMPARE(session.session.track().sorted(1, 2), 1807.0 / 3600.0); // the second fix of A
        FrmBBAnalysis* analysis = session.wizard->bb_analysis.Get();
        analysis->CmdEstimateVar_Click();
        analysis->max_time_box->setText(QStringLiteral("10"));
        analysis->user_points_option->setChecked(true);
        analysis->CmdNext_Click();
        FrmLoadTelemetry& loader = session.Telemetry();
        QVERIFY(loader.isVisible());
        QVERIFY(!loader.target_crs_combo->isEnabled());
        QVERIFY(loader.time_combo->isHidden());
        session.Open(QString::fromStdString(points.string()));
        QCOMPARE(loader.x_combo->currentText(), QStringLiteral("lon"));
        QCOMPARE(loader.count_box->text(), QStringLiteral("3"));
        loader.CmdNext_Click();
        QCOMPARE(session.session.loaded().user_points->count, 3);
        const auto [x, y] = Project(-115.50, 49.03, 32611);
        QCOMPARE(session.session.loaded().user_points->xy(1, 0), x);
        QCOMPARE(session.session.loaded().user_points->xy(1, 1), y);
        QCOMPARE(session.session.loaded().file.root, std::string("collars_A"));
        QVERIFY(analysis->user_points_file_label->text().endsWith(QStringLiteral("points.csv")));
        analysis->CmdNext_Click();
        QVERIFY2(session.dialogs.messages.isEmpty(),
                 qPrintable(session.dialogs.messages.join('|')));
        QCOMPARE(session.session.Result(kBridgeName)->grid->Rows(), 4);

        // Points in longitude/latitude need fixes whose system is known.
        WizardRun text;
        text.ToLoader(true, &FrmInputDataOptions::text_file_option);
        text.LoadText(kExamples + QStringLiteral("/elk_gps_bridge.txt"));
        text.wizard->input_data.Get()->telemetry_option->setChecked(true);
        FrmBBAnalysis* bridge = text.wizard->bb_analysis.Get();
        bridge->CmdEstimateVar_Click();
        bridge->max_time_box->setText(QStringLiteral("400"));
        bridge->user_points_option->setChecked(true);
        bridge->CmdNext_Click();
        text.Open(QString::fromStdString(points.string()));
        text.Telemetry().CmdNext_Click();
        QCOMPARE(text.dialogs.messages.last(),
                 QStringLiteral("The fixes loaded have no known coordinate system, so points in "
                                "longitude/latitude cannot be placed among them."));
        QVERIFY(!text.session.loaded().user_points);
    }
};

} // namespace ranvik

QTEST_MAIN(ranvik::TelemetryLoaderTest)
#include "telemetry_loader_test.moc"
