// Writes every file a user can save, through the real wizard driven offscreen, into one folder:
// each way through the wizard into a folder of its own, each file type into a folder below it.
// Two builds' folders compared byte for byte (tests/golden/compare_outputs.sh) show whether a
// change altered anything a user keeps.
//
//   golden_outputs OUT [--examples DIR]
//
// Every way starts from a fresh wizard on the welcome form, with message boxes and file
// dialogs answered by fakes, as the wizard tests drive it. A way fails when a form it expects
// does not come up, when any message other than the save form's word that the files were saved
// is raised, or when a save writes nothing; every failure is printed with the messages raised,
// and the program then exits with 1.

#include "app/forms/all_forms.h"
#include "output/result_files.h"

#include "support/fake_dialogs.h"
#include "support/wizard_session.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCommandLineParser>
#include <QPlainTextEdit>
#include <QPushButton>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ranvik {
namespace {

namespace fs = std::filesystem;

// A way through the wizard went wrong; says where.
class WayFailed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the save form says once every waiting result is written.
const QString kHomeRangesSaved = QStringLiteral("Home Range Estimates Saved to ");
const QString kBridgeSaved = QStringLiteral("Browninan Bridge Output File Saved to ");

// A fresh wizard over its own record, driven as a user drives it, with the sample files at
// hand.
struct WizardRun : testing::WizardSession {
    explicit WizardRun(fs::path examples_folder) : examples(std::move(examples_folder)) {}

    [[nodiscard]] QString Example(std::string_view name) const {
        return QString::fromStdString((examples / name).string());
    }

    fs::path examples;
};

// `form` when it is showing; otherwise the way has gone wrong, and the messages say why.
template <class Form> Form& Showing(Form* form, const char* what) {
    if (form == nullptr || !form->isVisible()) {
        throw WayFailed(std::string(what) + " did not come up");
    }
    return *form;
}

// Opens the sample `file` on a text or shapefile loader and goes on.
template <class Loader>
void OpenAndGoOn(WizardRun& s, Loader* loader, const char* what, std::string_view file) {
    Loader& form = Showing(loader, what);
    testing::OpenOn(s.dialogs, form, s.Example(file));
    form.CmdNext_Click();
}

// From the welcome form through the text loader with the sample `file`.
void LoadTextFile(WizardRun& s, bool bridge, std::string_view file, bool weighted = false) {
    s.ToLoader(bridge, &FrmInputDataOptions::text_file_option, weighted);
    OpenAndGoOn(s, s.wizard->load_text.Get(), "The text loader", file);
}

// From the welcome form through the shapefile loader with the sample `file`; a track takes its
// times and location errors from the fields Time and LocError.
void LoadShapefile(WizardRun& s, bool bridge, std::string_view file) {
    s.ToLoader(bridge, &FrmInputDataOptions::shapefile_option);
    FrmLoadShapefile& loader = Showing(s.wizard->load_shapefile.Get(), "The shapefile loader");
    testing::OpenOn(s.dialogs, loader, s.Example(file));
    if (bridge) {
        loader.weight_or_time_combo->setCurrentText(QStringLiteral("Time"));
        loader.error_combo->setCurrentText(QStringLiteral("LocError"));
    }
    loader.CmdNext_Click();
}

// From the welcome form through the telemetry loader with elk-A of the Movebank sample; the
// table gives no location errors, so a track takes 15 m for every fix.
void LoadTelemetry(WizardRun& s, bool bridge) {
    s.ToLoader(bridge, &FrmInputDataOptions::telemetry_option);
    FrmLoadTelemetry& loader = Showing(s.wizard->load_telemetry.Get(), "The telemetry loader");
    s.Open(s.Example("telemetry/movebank_elk.csv"));
    loader.animal_combo->setCurrentIndex(loader.animal_combo->findData(QStringLiteral("elk-A")));
    if (bridge) {
        loader.error_metres_box->setText(QStringLiteral("15"));
        Q_EMIT loader.error_metres_box->editingFinished();
    }
    loader.CmdNext_Click();
}

using testing::ModelBox;
using F = FrmCompareHROption;

// Ticks `models` on the model choice, to compare them when `compare`, and presses Next.
void Estimate(WizardRun& s, const std::vector<ModelBox>& models, bool compare = false) {
    FrmCompareHROption& choice = Showing(s.wizard->compare.Get(), "The model choice");
    if (compare) {
        choice.compare_option->setChecked(true);
    }
    testing::Estimate(choice, models);
}

enum class Smoothing { Href, PercentHref, CVh, LSCVh, User };

// Ticks how the kernels' h is chosen and presses Next. h_ref is taken at the percent the form
// starts with; the percent and the user's h are values of the deer's scale.
void ChooseH(WizardRun& s, Smoothing h) {
    FrmKernelOptions& kernel = Showing(s.wizard->kernel_options.Get(), "The kernel options");
    switch (h) {
    case Smoothing::Href:
        kernel.href_percent_check->setChecked(true);
        break;
    case Smoothing::PercentHref:
        kernel.href_percent_check->setChecked(true);
        kernel.href_percent_box->setText(QStringLiteral("50"));
        break;
    case Smoothing::CVh:
        kernel.cv_h_check->setChecked(true);
        break;
    case Smoothing::LSCVh:
        kernel.lscv_h_check->setChecked(true);
        break;
    case Smoothing::User:
        kernel.user_h_check->setChecked(true);
        kernel.user_h_box->setText(QStringLiteral("200"));
        break;
    }
    kernel.CmdNext_Click();
}

// On the analysis form of a loaded track: estimates the variance and bridges gaps of at most
// `max_time`.
FrmBBAnalysis& BridgeAnalysis(WizardRun& s, const QString& max_time) {
    FrmBBAnalysis& analysis =
        Showing(s.wizard->bb_analysis.Get(), "The Brownian bridge analysis form");
    analysis.CmdEstimateVar_Click();
    analysis.max_time_box->setText(max_time);
    return analysis;
}

// The bridge over a grid of the automatic extent with 25 m between points.
void BridgeGrid(WizardRun& s, const QString& max_time) {
    BridgeAnalysis(s, max_time).CmdNext_Click();
    FrmBBGridExtent& extent = Showing(s.wizard->grid_extent.Get(), "The grid extent form");
    extent.CmdCalcGridExtent_Click();
    extent.grid_spacing_box->setText(QStringLiteral("25"));
    extent.CmdCalcBB_Click();
}

// The bridge at the road's points, loaded from the text file or the shapefile.
void BridgeAtRoadPoints(WizardRun& s, const QString& max_time, bool shapefile) {
    FrmBBAnalysis& analysis = BridgeAnalysis(s, max_time);
    analysis.user_points_option->setChecked(true);
    analysis.CmdNext_Click();
    if (shapefile) {
        OpenAndGoOn(s, s.wizard->load_shapefile.Get(), "The points' shapefile loader",
                    "shapefiles/road_points.shp");
    } else {
        OpenAndGoOn(s, s.wizard->load_text.Get(), "The points' text loader", "road_points.txt");
    }
    Showing(s.wizard->bb_analysis.Get(), "The Brownian bridge analysis form").CmdNext_Click();
}

void WriteText(const fs::path& path, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.constData(), bytes.size());
    if (!out) {
        throw WayFailed("Could not write " + path.string());
    }
}

// The comparison of all six models: the table it shows goes to comparison_table.txt in
// `folder`, then "Output log-likelihoods at each location" leads to the save form.
void ComparisonToLikelihoods(WizardRun& s, const fs::path& folder) {
    Estimate(s,
             {&F::exp_power_check, &F::bvn_check, &F::circle_mixture_check,
              &F::normal_mixture_check, &F::fixed_kernel_check, &F::adaptive_kernel_check},
             true);
    FrmHRComparison& table = Showing(s.wizard->comparison.Get(), "The comparison table");
    WriteText(folder / "comparison_table.txt", table.comparison_box->toPlainText());
    table.Command1_Click();
}

// What one visit to the save form writes.
struct Output {
    const char* folder;
    std::string_view file_type; // the save form's file type; empty: the home range pictures
};

const Output kComma{"comma", kCommaFileTypeText};
const Output kTab{"tab", kTabFileTypeText};
const Output kGeoTiff{"geotiff", kGeoTiffTypeText};
const Output kContours{"contours", kContourTypeText};
const Output kPictures{"picture", {}};

const std::vector<Output> kGridOutputs = {kComma, kTab, kGeoTiff, kContours, kPictures};
// Likelihoods and points are text in every file type, and the raster and contour types refuse
// points that are not a grid.
const std::vector<Output> kTextOutputs = {kComma, kTab};

// One way through the wizard, from a fresh session to the save form with its results waiting.
struct Way {
    std::string folder;
    std::function<void(WizardRun&, const fs::path& folder)> to_save_form;
    std::vector<Output> outputs;
};

// From the welcome form through a loader to the form after it.
using Load = std::function<void(WizardRun&)>;

// Locations of `load` with `models` estimated (and `h` chosen for the kernels).
Way Estimated(std::string folder, Load load, std::vector<ModelBox> models,
              std::optional<Smoothing> h = std::nullopt) {
    return {std::move(folder),
            [load = std::move(load), models = std::move(models), h](WizardRun& s, const fs::path&) {
                load(s);
                Estimate(s, models);
                if (h) {
                    ChooseH(s, *h);
                }
            },
            kGridOutputs};
}

// Where a track is bridged to: the grid, or the road's points from a text file or a shapefile.
enum class BridgeTo { Grid, TextPoints, ShapefilePoints };

// The track of `load` bridged to `to`.
Way Bridged(std::string folder, Load load, QString max_time, BridgeTo to = BridgeTo::Grid) {
    return {std::move(folder),
            [load = std::move(load), max_time, to](WizardRun& s, const fs::path&) {
                load(s);
                if (to == BridgeTo::Grid) {
                    BridgeGrid(s, max_time);
                } else {
                    BridgeAtRoadPoints(s, max_time, to == BridgeTo::ShapefilePoints);
                }
            },
            to == BridgeTo::Grid ? kGridOutputs : kTextOutputs};
}

std::vector<Way> AllWays() {
    const Load deer = [](WizardRun& s) { LoadTextFile(s, false, "deer_independent.txt"); };
    const Load weighted = [](WizardRun& s) { LoadTextFile(s, false, "deer_weighted.txt", true); };
    const Load elk = [](WizardRun& s) { LoadTextFile(s, true, "elk_gps_bridge.txt"); };
    const Load deer_shp = [](WizardRun& s) {
        LoadShapefile(s, false, "shapefiles/deer_points.shp");
    };
    const Load elk_shp = [](WizardRun& s) { LoadShapefile(s, true, "shapefiles/elk_track.shp"); };
    const Load elk_a = [](WizardRun& s) { LoadTelemetry(s, false); };
    const Load elk_a_track = [](WizardRun& s) { LoadTelemetry(s, true); };
    const QString minutes = QStringLiteral("400"); // the longest gap bridged, as the tests take
    return {
        Estimated("deer_independent/fixed_kernel_href", deer, {&F::fixed_kernel_check},
                  Smoothing::Href),
        Estimated("deer_independent/fixed_kernel_cvh", deer, {&F::fixed_kernel_check},
                  Smoothing::CVh),
        Estimated("deer_independent/fixed_kernel_lscvh", deer, {&F::fixed_kernel_check},
                  Smoothing::LSCVh),
        Estimated("deer_independent/fixed_kernel_user_h", deer, {&F::fixed_kernel_check},
                  Smoothing::User),
        Estimated("deer_independent/fixed_kernel_50_percent_href", deer, {&F::fixed_kernel_check},
                  Smoothing::PercentHref),
        Estimated("deer_independent/adaptive_kernel_href", deer, {&F::adaptive_kernel_check},
                  Smoothing::Href),
        Estimated("deer_independent/bvn", deer, {&F::bvn_check}),
        Estimated("deer_independent/circle_mixture_2cn", deer, {&F::circle_mixture_check}),
        Estimated("deer_independent/normal_mixture_2bvn", deer, {&F::normal_mixture_check}),
        Estimated("deer_independent/exp_power", deer, {&F::exp_power_check}),
        {"deer_independent/comparison",
         [deer](WizardRun& s, const fs::path& folder) {
             deer(s);
             ComparisonToLikelihoods(s, folder);
         },
         kTextOutputs},
        // Every estimator a bias-corrected run offers, in one run: CV is the only search for
        // weighted locations.
        Estimated("deer_weighted/fixed_kernel_cvh_bvn_2bvn", weighted,
                  {&F::fixed_kernel_check, &F::bvn_check, &F::normal_mixture_check},
                  Smoothing::CVh),
        Bridged("elk_gps_bridge/grid", elk, minutes),
        Bridged("elk_gps_bridge/road_points", elk, minutes, BridgeTo::TextPoints),
        Estimated("shapefile_deer_points/fixed_kernel_cvh", deer_shp, {&F::fixed_kernel_check},
                  Smoothing::CVh),
        Estimated("shapefile_deer_points/bvn", deer_shp, {&F::bvn_check}),
        Bridged("shapefile_elk_track/grid", elk_shp, minutes),
        Bridged("shapefile_elk_track/road_points", elk_shp, minutes, BridgeTo::ShapefilePoints),
        Estimated("telemetry_movebank_elk_A/fixed_kernel_href", elk_a, {&F::fixed_kernel_check},
                  Smoothing::Href),
        // Times in minutes, the loader's default; gaps of up to two hours are bridged.
        Bridged("telemetry_movebank_elk_A/grid", elk_a_track, QStringLiteral("120")),
    };
}

// Saves every waiting result into `folder` as `file_type`.
void Save(WizardRun& s, std::string_view file_type, const fs::path& folder) {
    FrmSaveAs& save = Showing(s.wizard->save_as.Get(), "The save form");
    const int index = save.file_type_combo->findText(
        QString::fromLatin1(file_type.data(), static_cast<qsizetype>(file_type.size())));
    if (index < 0) {
        throw WayFailed("The save form offers no file type \"" + std::string(file_type) + "\"");
    }
    save.file_type_combo->setCurrentIndex(index);
    save.SetDirectory(QString::fromStdString(folder.string()));
    save.CmdSave_Click();
}

// Shows the home range picture from the save form and saves it for each waiting result, named
// after the result.
void SavePictures(WizardRun& s, const fs::path& folder) {
    FrmSaveAs& save = Showing(s.wizard->save_as.Get(), "The save form");
    auto* view = save.findChild<QPushButton*>(QStringLiteral("CmdViewHomeRange"));
    if (view == nullptr) {
        throw WayFailed("The save form has no \"View Home Range...\" button");
    }
    view->click();
    FrmHomeRangePicture& picture = Showing(s.wizard->picture.Get(), "The home range picture");
    for (int i = 0; i < picture.result_combo->count(); ++i) {
        picture.result_combo->setCurrentIndex(i);
        std::string name = picture.result_combo->itemText(i).toStdString();
        for (char& c : name) {
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        s.dialogs.save_answers << QString::fromStdString((folder / (name + ".png")).string());
        picture.CmdSavePicture_Click();
    }
}

// Every message the session raised, one a line, with its title and detail.
std::string Messages(const testing::FakeDialogs& dialogs) {
    std::string text;
    for (qsizetype i = 0; i < dialogs.messages.size(); ++i) {
        text += "\n    message: " + dialogs.messages[i].toStdString();
        if (!dialogs.titles[i].isEmpty()) {
            text += " [" + dialogs.titles[i].toStdString() + "]";
        }
        if (!dialogs.details[i].isEmpty()) {
            text += " (" + dialogs.details[i].toStdString() + ")";
        }
    }
    return text;
}

std::size_t FilesIn(const fs::path& folder) {
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        files += entry.is_regular_file() ? 1 : 0;
    }
    return files;
}

// Drives a fresh wizard along `way` and writes `output` into `folder`. Returns the number of
// files written; throws WayFailed, with every message raised, when anything went wrong.
std::size_t WriteOutput(const fs::path& examples, const Way& way, const Output& output,
                        const fs::path& folder) {
    fs::create_directories(folder);
    WizardRun s(examples);
    try {
        way.to_save_form(s, folder);
        if (output.file_type.empty()) {
            SavePictures(s, folder);
        } else {
            Save(s, output.file_type, folder);
        }
    } catch (const WayFailed& failed) {
        throw WayFailed(failed.what() + Messages(s.dialogs));
    }
    // A save says that it saved and nothing else; the pictures say nothing.
    const QStringList& said = s.dialogs.messages;
    const bool saved = said.size() == 1 &&
                       (said[0].startsWith(kHomeRangesSaved) || said[0].startsWith(kBridgeSaved));
    if (output.file_type.empty() ? !said.isEmpty() : !saved) {
        throw WayFailed("Messages other than the save's" + Messages(s.dialogs));
    }
    const std::size_t files = FilesIn(folder);
    if (files == 0) {
        throw WayFailed("Nothing was written");
    }
    return files;
}

QtMessageHandler qt_messages = nullptr;

// The offscreen platform warns, for every form shown, that it passes no size hints on; that
// says nothing of the run. Qt's other messages go on as ever.
void WithoutSizeHintWarnings(QtMsgType type, const QMessageLogContext& context,
                             const QString& text) {
    if (!text.contains(QLatin1String("does not support propagateSizeHints"))) {
        qt_messages(type, context, text);
    }
}

int Run(const fs::path& out, const fs::path& examples) {
    if (fs::exists(out) && !fs::is_empty(out)) {
        std::cerr << "golden_outputs: " << out.string()
                  << " is not empty; files left from another run would be compared as ours.\n";
        return 2;
    }
    std::size_t files = 0;
    std::size_t runs = 0;
    std::vector<std::string> failures;
    for (const Way& way : AllWays()) {
        for (const Output& output : way.outputs) {
            const std::string name = way.folder + "/" + output.folder;
            try {
                const std::size_t written = WriteOutput(examples, way, output, out / name);
                files += written;
                std::cout << name << ": " << written << " files" << std::endl;
            } catch (const WayFailed& failed) {
                failures.push_back(name + ": " + failed.what());
                std::cout << name << ": FAILED: " << failed.what() << std::endl;
            }
            ++runs;
            // The forms a session unloaded go now, not at the end of the whole run.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
    std::cout << files << " files from " << runs << " runs of the wizard in " << out.string()
              << "\n";
    if (!failures.empty()) {
        std::cout << failures.size() << " runs failed:\n";
        for (const std::string& failure : failures) {
            std::cout << "  " << failure << "\n";
        }
        return 1;
    }
    return 0;
}

} // namespace
} // namespace ranvik

int main(int argc, char* argv[]) {
    // The forms are driven without a screen, as the form tests run.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ranvik::qt_messages = qInstallMessageHandler(ranvik::WithoutSizeHintWarnings);
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes every file a user can save, through the wizard driven offscreen, "
                       "into OUT: one folder per way through the wizard and file type."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("OUT"),
                                 QStringLiteral("The folder to write into (new or empty)."));
    const QCommandLineOption examples(
        QStringLiteral("examples"),
        QStringLiteral("The folder of sample data (default: this checkout's examples)."),
        QStringLiteral("DIR"), QStringLiteral(RANVIK_EXAMPLES_DIR));
    parser.addOption(examples);
    parser.process(app);
    if (parser.positionalArguments().size() != 1) {
        parser.showHelp(2);
    }
    return ranvik::Run(parser.positionalArguments()[0].toStdString(),
                       parser.value(examples).toStdString());
}
