// A seeded random walk through the real wizard: at every step it picks one thing a user could
// do on the windows that are showing (a button, an option, a check box, text typed into a box,
// a file chosen or the dialog cancelled, Cancel on the progress window) and then checks what
// must hold after any click: every count agrees with the arrays it counts, exactly one wizard
// form is showing, and no message box or progress window is left open.
//
//   navigation_fuzz [--first-seed S] [--seeds N] [--steps K] [--seconds T] [--print]
//
// Walks seeds S .. S+N-1 for K steps each, starting no new walk after T seconds (--print shows
// every walk, not only broken ones). A walk
// that breaks a rule, or dies, prints its seed and the steps it took, so `--first-seed <seed>
// --seeds 1 --steps <k>` replays it.

#include "app/forms/all_forms.h"

#include "support/temp_dir.h"

#include "input/forms/map_viewer.h"
#include "input/location_loading.h"
#include "input/shape_writer.h"
#include "state/loaded_locations.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <cpl_error.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

namespace ranvik {
namespace {

// The walk under way, printed if the process dies in the middle of it: its steps, each followed
// by what the dialogs were asked and answered.
std::vector<std::string> g_steps;
unsigned long long g_seed = 0;
int g_step = 0;

void PrintWalk(FILE* out) {
    std::fprintf(out, "navigation_fuzz: walk of seed %llu, %d steps:\n", g_seed, g_step);
    for (const std::string& line : g_steps) {
        std::fprintf(out, "  %s\n", line.c_str());
    }
    std::fprintf(out, "replay: navigation_fuzz --first-seed %llu --seeds 1 --steps %d\n", g_seed,
                 g_step);
    std::fflush(out);
}

// Keeps the walk's output to what matters: Qt's offscreen platform warns about window hints,
// and GDAL reports each refused write (the program shows those as messages already).
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtWarningMsg || type == QtDebugMsg || type == QtInfoMsg) {
        return;
    }
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

extern "C" void OnFatalSignal(int signal) {
    std::fprintf(stderr, "\nnavigation_fuzz: signal %d\n", signal);
    PrintWalk(stderr);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

#if defined(__SANITIZE_ADDRESS__)
extern "C" void OnSanitizerDeath() {
    PrintWalk(stderr);
}
#endif

// Small data sets of every kind the loaders take, good and bad, written once per run.
struct Files {
    testing::TempDir dir;
    QStringList good; // files that load for some purpose
    QStringList bad;  // files that every loader refuses, or layers without locations

    Files() {
        std::mt19937 rng(7);
        const auto jitter = [&rng](double spread) {
            return (static_cast<double>(rng() % 20001) / 10000.0 - 1.0) * spread;
        };
        std::string independent = "x\ty\n";
        std::string weighted = "x\ty\tp\n";
        for (int i = 0; i < 24; ++i) {
            const double cx = i % 2 == 0 ? 557500.0 : 558600.0;
            const double x = cx + jitter(300);
            const double y = 5425000.0 + jitter(400);
            independent += std::to_string(x) + "\t" + std::to_string(y) + "\n";
            weighted += std::to_string(x) + "\t" + std::to_string(y) + "\t" +
                        std::to_string(0.3 + 0.02 * i) + "\n";
        }
        std::string track = "x\ty\tt\terr\n";
        double x = 557600.0;
        double y = 5424600.0;
        for (int i = 0; i < 30; ++i) {
            x += 60.0 + jitter(40);
            y += 45.0 + jitter(40);
            track += std::to_string(x) + "\t" + std::to_string(y) + "\t" + std::to_string(30 * i) +
                     "\t20\n";
        }
        std::string points = "x\ty\n";
        for (int i = 0; i < 12; ++i) {
            points += std::to_string(557700.0 + 90.0 * i) + "\t" +
                      std::to_string(5424800.0 + 60.0 * (i % 4)) + "\n";
        }
        Write(good, {{"independent.txt", independent},
                     {"weighted.txt", weighted},
                     {"track.txt", track},
                     {"user_points.txt", points}});
        Write(bad, {{"not_a_number.txt", "x\ty\n557000\t5424000\n557100\tN/A\n"},
                    {"empty.txt", ""},
                    {"header_only.txt", "x\ty\n"},
                    {"one_location.txt", "x\ty\n557000\t5424000\n"},
                    {"same_place.txt", "x\ty\n1\t2\n1\t2\n1\t2\n1\t2\n1\t2\n"}});
        WriteLayer(rng);
        WriteTelemetry(rng);
        bad << QString::fromStdString((dir.path() / "missing.shp").string());
        const QString examples = QStringLiteral(RANVIK_EXAMPLES_DIR "/shapefiles/");
        bad << examples + QStringLiteral("streams.shp")
            << examples + QStringLiteral("study_area.shp");
    }

    // Writes each (name, content) into the folder and adds its path to `list`.
    void Write(QStringList& list, const std::vector<std::pair<std::string, std::string>>& files) {
        for (const auto& [name, content] : files) {
            list << QString::fromStdString(dir.Write(name, content).string());
        }
    }

    // One point layer whose fields serve every purpose: Easting, Northing, Weight, Time and
    // LocError, plus a text field.
    void WriteLayer(std::mt19937& rng) {
        ShapefileContent content;
        content.fields = {{"Easting", kDoubleField},  {"Northing", kDoubleField},
                          {"Weight", kDoubleField},   {"Time", kDoubleField},
                          {"LocError", kDoubleField}, {"Name", kStringField}};
        for (int i = 0; i < 20; ++i) {
            const double x = 557500.0 + 55.0 * i + static_cast<double>(rng() % 50);
            const double y = 5424700.0 + 35.0 * i + static_cast<double>(rng() % 50);
            content.geometries.push_back({{{{x, y}}}});
            content.values.push_back({std::to_string(x), std::to_string(y),
                                      std::to_string(0.5 + 0.01 * i), std::to_string(20 * i), "15",
                                      std::string("p").append(std::to_string(i))});
        }
        const auto path = dir.path() / "fixes.shp";
        if (WriteShapefile(path, content).Ok()) {
            good << QString::fromStdString(path.string());
        }
    }

    // A Movebank-style table of two collars in longitude/latitude, with failed fixes, errors and
    // weights; the same as R's write.csv writes it (row numbers under an empty name, dotted
    // names, NA for failed fixes); the same with Movebank's outlier flags set on some rows; the
    // sample GeoPackage; and tables the reader refuses.
    void WriteTelemetry(std::mt19937& rng) {
        std::string table = "timestamp,location-long,location-lat,individual-local-identifier,"
                            "err,weight\n";
        std::string r_table = "\"\",\"timestamp\",\"location.long\",\"location.lat\","
                              "\"individual.local.identifier\",\"err\",\"weight\"\n";
        std::string flagged = "visible,manually-marked-outlier," + table;
        for (int i = 0; i < 40; ++i) {
            char row[160];
            char r_row[200];
            const int minutes = 30 * (i / 2);
            const double lon = -115.52 + 0.0006 * i + static_cast<double>(rng() % 100) * 1e-5;
            const double lat = 49.01 + 0.0004 * i + static_cast<double>(rng() % 100) * 1e-5;
            const char* animal = i % 2 == 0 ? "A" : "B";
            if (i % 9 == 4) {
                std::snprintf(row, sizeof row, "2021-06-01 %02d:%02d:00,,,%s,,\n", minutes / 60,
                              minutes % 60, animal);
                std::snprintf(r_row, sizeof r_row,
                              "\"%d\",\"2021-06-01 %02d:%02d:00\",NA,NA,\"%s\",NA,NA\n", i + 1,
                              minutes / 60, minutes % 60, animal);
            } else {
                std::snprintf(row, sizeof row, "2021-06-01 %02d:%02d:00,%.6f,%.6f,%s,%d,%.2f\n",
                              minutes / 60, minutes % 60, lon, lat, animal, 10 + i % 5,
                              0.2 + 0.01 * i);
                std::snprintf(r_row, sizeof r_row,
                              "\"%d\",\"2021-06-01 %02d:%02d:00\",%.6f,%.6f,\"%s\",%d,%.2f\n",
                              i + 1, minutes / 60, minutes % 60, lon, lat, animal, 10 + i % 5,
                              0.2 + 0.01 * i);
            }
            table += row;
            r_table += r_row;
            flagged +=
                std::string(i % 7 == 3 ? "false," : "true,") + (i % 11 == 5 ? "TRUE," : ",") + row;
        }
        Write(
            good,
            {{"collars.csv", table}, {"collars_r.csv", r_table}, {"collars_flagged.csv", flagged}});
        good << QStringLiteral(RANVIK_EXAMPLES_DIR "/telemetry/movebank_elk.gpkg");
        Write(bad, {{"bad_time.csv", "timestamp,location-long,location-lat\n"
                                     "2021-06-01 00:00:00,-115.5,49\nyesterday,-115.5,49.1\n"},
                    {"open_quote.csv", "timestamp,x,y\n\"2021-06-01,1,2\n"},
                    {"no_rows.csv", "timestamp,location-long,location-lat\n"}});
    }
};

// File dialogs that answer at random from the files above (or cancel), and message boxes that
// are counted and closed at once.
class WalkDialogs final : public Dialogs {
public:
    WalkDialogs(std::mt19937_64& rng, const Files& files, std::vector<std::string>& steps)
        : rng_(rng), files_(files), steps_(steps) {}

    void Message(QWidget*, const QString& text, const QString&, Icon, const QString&) override {
        steps_.push_back("   message: " + text.left(90).toStdString());
    }

    // The file that fits the loader asking now (an index into Files::good), so that walks get
    // past the loaders as often as users do.
    std::function<int(const QString& filter)> fitting;

    // One answer in eight cancels, three pick the file that fits, two any file that loads for
    // some purpose, two a file that no loader takes.
    QString OpenFileName(QWidget*, const QString& filter, const QString&) override {
        const auto kind = rng_() % 8;
        if (kind == 0) {
            steps_.push_back("   open dialog: cancelled");
            return {};
        }
        QString path;
        if (kind <= 3 && fitting) {
            path = files_.good[fitting(filter) % files_.good.size()];
        } else {
            const QStringList& from = kind <= 5 ? files_.good : files_.bad;
            path = from[static_cast<qsizetype>(rng_() % static_cast<std::uint64_t>(from.size()))];
        }
        steps_.push_back("   open dialog: " + QFileInfo(path).fileName().toStdString());
        return path;
    }

    QString SaveFileName(QWidget*, const QString&, const QString&) override {
        if (rng_() % 3 == 0) {
            return {};
        }
        return QString::fromStdString((files_.dir.path() / "picture.png").string());
    }

private:
    std::mt19937_64& rng_;
    const Files& files_;
    std::vector<std::string>& steps_;
};

// What may be typed into a box, by the box's name: valid values, and empty, zero, negative and
// non-numeric text. Grid boxes get values that keep grids within a few million points.
QStringList TextsFor(const QString& box) {
    static const QHash<QString, QStringList> texts = {
        {"TxtGridResolution", {"", "0", "-5", "abc", "100", "250", "1e9"}},
        {"TxtBBVar", {"", "0", "-5", "abc", "2500", "400"}},
        {"TxtTotalTimeTooLong", {"", "0", "-5", "abc", "60", "400"}},
        {"TxtWindowSize", {"", "0", "-5", "abc", "4", "7", "31", "1e9"}},
        {"TxtMargin", {"", "0", "-5", "abc", "2", "1", "3", "11"}},
        {"TxtSaveAs", {"", "R", "walk"}},
        {"TxtErrorM", {"", "0", "-5", "abc", "15"}},
        {"ComboTargetCRSText",
         {"", "UTM zone (automatic)", "EPSG:32611", "EPSG:999999", "abc", "3005", "4326"}},
        {"TxtLevels", {"", "abc", "50, 95", "0", "100", "50"}}};
    if (box.startsWith(QLatin1String("TxtMin")) || box.startsWith(QLatin1String("TxtMax"))) {
        return {"", "abc", "557000", "559400", "5424000", "5426200", "1e300"};
    }
    return texts.value(box, {"", "0", "-5", "abc", "0.001", "50", "100", "300"});
}

// A step of the wizard: not the progress window, nor a view that may stay open beside the
// steps (the home range picture, the motion variance graph).
bool IsWizardForm(const QWidget* widget) {
    const QString name = widget->objectName();
    return name.startsWith(QLatin1String("Frm")) && name != QLatin1String("FrmProgress") &&
           name != QLatin1String("FrmHomeRangePicture") &&
           name != QLatin1String("FrmMotionVariance");
}

// Every window any walk has shown, for the closing report of where the walks reached.
QSet<QString> g_windows_seen;

// The windows showing, in a fixed order so a seed always makes the same walk.
QList<QWidget*> ShownWindows() {
    QList<QWidget*> shown;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible()) {
            shown << widget;
            g_windows_seen.insert(widget->objectName());
        }
    }
    std::sort(shown.begin(), shown.end(),
              [](const QWidget* a, const QWidget* b) { return a->objectName() < b->objectName(); });
    return shown;
}

// Runs `act` on `widget` if the widget still exists when the action is taken.
template <class W, class Act> std::function<void()> Guarded(W* widget, Act act) {
    return [widget = QPointer<W>(widget), act] {
        if (widget) {
            act(*widget);
        }
    };
}

struct Action {
    std::string what;
    std::function<void()> run;
    int weight = 1; // buttons that move on or start work are chosen more often
};

// Buttons that lead deeper into the wizard: Next, load, estimate, compute, save.
int WeightOf(const QString& button) {
    for (const char* forward : {"CmdNext", "CmdCalcBB", "CmdSave", "CmdEstimateVar", "Command1",
                                "CmdOpen", "CmdCalcGridExtent", "CmdRefresh"}) {
        if (button == QLatin1String(forward)) {
            return 6;
        }
    }
    return 1;
}

class Walk {
public:
    Walk(unsigned long long seed, const Files& files)
        : rng_(seed), files_(files), dialogs_(rng_, files, g_steps) {
        // Files::good holds, in order: independent, weighted, track, user points, a layer, a
        // telemetry table, a telemetry GeoPackage.
        dialogs_.fitting = [this](const QString& filter) {
            if (filter.startsWith(QLatin1String("Telemetry"))) {
                return 5 + static_cast<int>(rng_() % 2);
            }
            if (!filter.isEmpty()) {
                return 4;
            }
            const bool bridge = wizard_->data_type.Load(*wizard_).bridge_data_option->isChecked();
            switch (TextPurposeFor(bridge, session_.choices().DataMode)) {
            case TextFilePurpose::IndependentLocations:
                return session_.choices().BiasCorrected == 1 ? 1 : 0;
            case TextFilePurpose::BridgeLocations:
                return 2;
            case TextFilePurpose::UserPoints:
                return 3;
            }
            return 0;
        };
    }

    // Walks `steps` steps; false (after printing the walk) when a rule was broken.
    bool Run(int steps) {
        wizard_ = std::make_unique<Wizard>(session_, dialogs_);
        wizard_->Start();
        Settle();
        for (int step = 0; step < steps; ++step) {
            const std::vector<Action> actions = Available();
            if (actions.empty()) {
                return Broken("no action is available");
            }
            const Action& action = Choose(actions);
            g_step = step + 1;
            g_steps.push_back(std::to_string(g_step) + ". " + action.what);
            // Now and then Cancel is pressed as soon as a progress window shows.
            if (rng_() % 6 == 0) {
                g_steps.back() += " (Cancel pressed on any progress window)";
                QTimer::singleShot(0, [] { PressCancel(); });
            }
            action.run();
            Settle();
            if (const std::string broken = BrokenRule(); !broken.empty()) {
                return Broken(broken);
            }
        }
        wizard_.reset();
        Settle();
        return true;
    }

private:
    static void PressCancel() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == QLatin1String("FrmProgress") && widget->isVisible()) {
                if (auto* cancel = widget->findChild<QPushButton*>(QStringLiteral("CmdCancel"))) {
                    cancel->click();
                }
            }
        }
    }

    static void Settle() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }

    bool Broken(const std::string& rule) {
        std::fprintf(stderr, "navigation_fuzz: broken rule: %s\n", rule.c_str());
        PrintWalk(stderr);
        return false;
    }

    std::string BrokenRule() const {
        if (const std::string counts = CountDisagreement(session_); !counts.empty()) {
            return "counts disagree: " + counts;
        }
        int forms = 0;
        std::string names;
        for (QWidget* widget : ShownWindows()) {
            if (IsWizardForm(widget)) {
                ++forms;
                names += widget->objectName().toStdString() + " ";
            }
            if (qobject_cast<QMessageBox*>(widget) != nullptr ||
                widget->objectName() == QLatin1String("FrmProgress")) {
                return "a message box or progress window was left open";
            }
        }
        if (forms != 1) {
            return std::to_string(forms) + " wizard forms are showing: " + names;
        }
        return {};
    }

    const Action& Choose(const std::vector<Action>& actions) {
        std::uint64_t total = 0;
        for (const Action& action : actions) {
            total += static_cast<std::uint64_t>(action.weight);
        }
        std::uint64_t at = rng_() % total;
        for (const Action& action : actions) {
            const auto weight = static_cast<std::uint64_t>(action.weight);
            if (at < weight) {
                return action;
            }
            at -= weight;
        }
        return actions.back();
    }

    std::string Pick(const QStringList& texts) {
        return texts[static_cast<qsizetype>(rng_() % static_cast<std::uint64_t>(texts.size()))]
            .toStdString();
    }

    // Everything the user can do on the windows showing now.
    std::vector<Action> Available() {
        std::vector<Action> actions;
        for (QWidget* window : ShownWindows()) {
            const std::string form = window->objectName().toStdString() + ": ";
            for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
                if (!button->isVisibleTo(window) || !button->isEnabled()) {
                    continue;
                }
                const std::string name = button->objectName().toStdString();
                if (auto* tool_button = qobject_cast<QToolButton*>(button)) {
                    if (QAction* tool = tool_button->defaultAction()) {
                        actions.push_back({form + "tool " + tool->text().toStdString(),
                                           [tool] { tool->trigger(); }});
                    }
                    continue;
                }
                const bool check = qobject_cast<QCheckBox*>(button) != nullptr;
                actions.push_back({form + (check ? "toggle " : "click ") + name,
                                   Guarded(button, [](QAbstractButton& b) { b.click(); }),
                                   WeightOf(button->objectName())});
            }
            for (QLineEdit* box : window->findChildren<QLineEdit*>()) {
                if (!box->isVisibleTo(window) || box->isReadOnly() || !box->isEnabled() ||
                    box->objectName().isEmpty()) {
                    continue;
                }
                const std::string text = Pick(TextsFor(box->objectName()));
                actions.push_back(
                    {form + "type \"" + text + "\" into " + box->objectName().toStdString(),
                     Guarded(box,
                             [text](QLineEdit& b) { b.setText(QString::fromStdString(text)); })});
            }
            for (QComboBox* combo : window->findChildren<QComboBox*>()) {
                // The drive list would send saves to the top of a real volume.
                if (!combo->isVisibleTo(window) || combo->count() == 0 ||
                    combo->objectName() == QLatin1String("DrvFile")) {
                    continue;
                }
                const int index =
                    static_cast<int>(rng_() % static_cast<std::uint64_t>(combo->count()));
                actions.push_back(
                    {form + "choose item " + std::to_string(index) + " of " +
                         combo->objectName().toStdString(),
                     Guarded(combo, [index](QComboBox& c) { c.setCurrentIndex(index); })});
            }
            if (auto* save = qobject_cast<FrmSaveAs*>(window)) {
                const bool missing = rng_() % 4 == 0;
                const QString folder = QString::fromStdString(
                    (files_.dir.path() / (missing ? "no_such_folder" : "out")).string());
                QDir().mkpath(QString::fromStdString((files_.dir.path() / "out").string()));
                actions.push_back(
                    {form + "choose folder " + (missing ? "no_such_folder" : "out"),
                     Guarded(save, [folder](FrmSaveAs& s) { s.SetDirectory(folder); })});
            }
            if (auto* map = window->findChild<MapCanvas*>(QStringLiteral("mapMain"))) {
                const QPoint at(static_cast<int>(
                                    rng_() % static_cast<std::uint64_t>(std::max(map->width(), 1))),
                                static_cast<int>(rng_() % static_cast<std::uint64_t>(
                                                              std::max(map->height(), 1))));
                actions.push_back({form + "click the map at (" + std::to_string(at.x()) + ", " +
                                       std::to_string(at.y()) + ")",
                                   Guarded(map, [at](MapCanvas& m) {
                                       QTest::mouseClick(&m, Qt::LeftButton, {}, at);
                                   })});
            }
        }
        return actions;
    }

    std::mt19937_64 rng_;
    const Files& files_;
    Session session_;
    WalkDialogs dialogs_;
    std::unique_ptr<Wizard> wizard_;
};

} // namespace
} // namespace ranvik

int main(int argc, char* argv[]) {
    unsigned long long first_seed = 1;
    unsigned long long seeds = 8;
    int steps = 400;
    double time_limit = 0; // seconds; 0 for none
    bool print = false;
    for (int i = 1; i < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--print") {
            print = true;
            --i;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "%s needs a value\n", flag.c_str());
            return 2;
        }
        const unsigned long long value = std::strtoull(argv[i + 1], nullptr, 10);
        if (flag == "--first-seed") {
            first_seed = value;
        } else if (flag == "--seeds") {
            seeds = value;
        } else if (flag == "--steps") {
            steps = static_cast<int>(value);
        } else if (flag == "--seconds") {
            time_limit = static_cast<double>(value);
        } else {
            std::fprintf(stderr, "unknown flag %s\n", flag.c_str());
            return 2;
        }
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qInstallMessageHandler(ranvik::QuietMessages);
    CPLSetErrorHandler(CPLQuietErrorHandler);
    std::signal(SIGSEGV, ranvik::OnFatalSignal);
    std::signal(SIGABRT, ranvik::OnFatalSignal);
    std::signal(SIGFPE, ranvik::OnFatalSignal);
#if defined(__SANITIZE_ADDRESS__)
    __sanitizer_set_death_callback(ranvik::OnSanitizerDeath);
#endif
    const ranvik::Files files;
    // Saves land in the files' folder, never in the folder the walk was started from.
    QDir::setCurrent(QString::fromStdString((files.dir.path()).string()));
    const auto start = std::chrono::steady_clock::now();
    unsigned long long passed = 0;
    unsigned long long failed = 0;
    const auto elapsed = [&start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    unsigned long long last_seed = first_seed;
    for (unsigned long long seed = first_seed; seed < first_seed + seeds; ++seed) {
        if (time_limit > 0 && elapsed() > time_limit) {
            break;
        }
        last_seed = seed;
        ranvik::g_seed = seed;
        ranvik::g_steps.clear();
        ranvik::g_step = 0;
        ranvik::Walk walk(seed, files);
        if (walk.Run(steps)) {
            ++passed;
            if (print) {
                ranvik::PrintWalk(stdout);
            }
        } else {
            ++failed;
        }
    }
    std::printf("navigation_fuzz: %llu walks of %d steps (seeds %llu..%llu) in %.1f s\n",
                passed + failed, steps, first_seed, last_seed, elapsed());
    std::printf("%llu passed, %llu failed\n", passed, failed);
    QStringList seen(ranvik::g_windows_seen.begin(), ranvik::g_windows_seen.end());
    seen.sort();
    std::printf("windows reached: %s\n", qPrintable(seen.join(QStringLiteral(", "))));
    return failed == 0 ? 0 : 1;
}
