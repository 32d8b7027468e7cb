#include "input/forms/frm_load_telemetry.h"

#include "input/forms/loaded_files.h"
#include "state/number_text.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QGridLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <cmath>

namespace ranvik {
namespace {

const QString kNone = QStringLiteral("(none)");

QString FromStd(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Where the open dialog starts: the program's sample tables when they are there.
QString TableDirectory() {
    const QDir program(QCoreApplication::applicationDirPath());
    for (const QString& candidate :
         {QStringLiteral("../examples/telemetry"), QStringLiteral("../../examples/telemetry")}) {
        if (program.exists(candidate)) {
            return QDir::cleanPath(program.filePath(candidate));
        }
    }
    return QDir::homePath();
}

// A field chosen in a list that offers "(none)": empty for none.
std::string Chosen(const QComboBox* combo) {
    const QString text = combo->currentText();
    return text == kNone ? std::string() : text.toStdString();
}

// Chooses `name` in `combo` when it is listed; otherwise `fallback` (an index, -1 for nothing).
void Choose(QComboBox* combo, const std::string& name, int fallback) {
    const int at = name.empty() ? -1 : combo->findText(QString::fromStdString(name));
    combo->setCurrentIndex(at >= 0 ? at : fallback);
}

QString AnimalName(const AnimalFixes& animal, bool id_field) {
    if (!id_field) {
        return QStringLiteral("(every row)");
    }
    return animal.id.empty() ? QStringLiteral("(no identifier)")
                             : QString::fromStdString(animal.id);
}

} // namespace

FrmLoadTelemetry::FrmLoadTelemetry(Navigator& wizard) : WizardForm(wizard, "FrmLoadTelemetry") {
    instructions_label = Label("LabelInstructions", {}, true);
    file_name_box = Text("TxtFileName");
    file_name_box->setReadOnly(true);
    open_button = Button("CmdOpen", QStringLiteral("Open Table..."), [this] { CmdOpen_Click(); });

    auto* fields = Frame("FrameFields", QStringLiteral("Fields"));
    const auto combo = [this](const char* name, QWidget* parent) {
        auto* box = new QComboBox(parent);
        box->setObjectName(QString::fromLatin1(name));
        connect(box, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
        return box;
    };
    id_field_combo = combo("ComboIdField", fields);
    x_combo = combo("ComboX", fields);
    y_combo = combo("ComboY", fields);
    time_combo = combo("ComboTime", fields);
    time_unit_combo = combo("ComboTimeUnit", fields);
    {
        const QSignalBlocker quiet(time_unit_combo);
        for (const TimeUnit& unit : kTimeUnits) {
            time_unit_combo->addItem(FromStd(unit.name));
        }
        time_unit_combo->setCurrentText(QStringLiteral("minutes"));
    }
    error_combo = combo("ComboError", fields);
    error_metres_box = Text("TxtErrorM", QStringLiteral("0"));
    connect(error_metres_box, &QLineEdit::editingFinished, this, [this] { Refresh(); });
    weight_combo = combo("ComboWeight", fields);
    keep_first_check =
        Check("ChkKeepFirst",
              QStringLiteral("Keep the first of two fixes of an animal at the same time"), fields);
    connect(keep_first_check, &QCheckBox::toggled, this, [this] { Refresh(); });
    keep_outliers_check = Check(
        "ChkKeepOutliers",
        QStringLiteral("Keep the fixes marked as outliers or as not visible (Movebank's flags)"),
        fields);
    connect(keep_outliers_check, &QCheckBox::toggled, this, [this] { Refresh(); });
    auto* grid = new QGridLayout(fields);
    int row = 0;
    const auto add = [&](const char* name, const QString& caption, QWidget* control) {
        auto* label = new QLabel(caption, fields);
        label->setObjectName(QString::fromLatin1(name));
        label->setBuddy(control);
        grid->addWidget(label, row, 0);
        grid->addWidget(control, row++, 1);
        return label;
    };
    add("LblIdField", QStringLiteral("Animal identifier:"), id_field_combo);
    add("LblX", QStringLiteral("X (easting or longitude):"), x_combo);
    add("LblY", QStringLiteral("Y (northing or latitude):"), y_combo);
    time_labels_ = {
        add("LblTime", QStringLiteral("Time:"), time_combo),
        add("LblTimeUnit", QStringLiteral("Time unit:"), time_unit_combo),
        add("LblError", QStringLiteral("Location error field:"), error_combo),
        add("LblErrorM", QStringLiteral("Location error without a field (m):"), error_metres_box)};
    weight_label_ = add("LblWeight", QStringLiteral("Location weights:"), weight_combo);
    grid->addWidget(keep_first_check, row++, 0, 1, 2);
    grid->addWidget(keep_outliers_check, row++, 0, 1, 2);

    auto* crs = Frame("FrameCRS", QStringLiteral("Coordinate system"));
    crs_box = Text("TxtCRS");
    crs_box->setToolTip(QStringLiteral("Or type what the coordinates are in: EPSG:4326 for "
                                       "longitude/latitude, metres, or any EPSG code"));
    connect(crs_box, &QLineEdit::editingFinished, this, [this] { Refresh(); });
    target_crs_combo = new QComboBox(crs);
    target_crs_combo->setObjectName(QStringLiteral("ComboTargetCRS"));
    target_crs_combo->setEditable(true);
    target_crs_combo->lineEdit()->setObjectName(QStringLiteral("ComboTargetCRSText"));
    target_crs_combo->addItem(FromStd(kAutomaticUtm));
    target_crs_combo->setToolTip(QStringLiteral("Or type an EPSG code, such as EPSG:32611"));
    connect(target_crs_combo, &QComboBox::activated, this, [this] { Refresh(); });
    connect(target_crs_combo->lineEdit(), &QLineEdit::editingFinished, this, [this] { Refresh(); });
    auto* crs_grid = new QGridLayout(crs);
    crs_grid->addWidget(new QLabel(QStringLiteral("Coordinates are in:"), crs), 0, 0);
    crs_grid->addWidget(crs_box, 0, 1);
    crs_grid->addWidget(new QLabel(QStringLiteral("Project longitude/latitude to:"), crs), 1, 0);
    crs_grid->addWidget(target_crs_combo, 1, 1);

    auto* animal = Frame("FrameAnimal", QStringLiteral("Animal to analyse"));
    animal_combo = new QComboBox(animal);
    animal_combo->setObjectName(QStringLiteral("ComboAnimal"));
    connect(animal_combo, &QComboBox::currentIndexChanged, this, [this] { ShowAnimal(); });
    count_box = Text("TxtNumOfLocs");
    count_box->setReadOnly(true);
    skipped_label = Label("LblSkipped", {}, true);
    auto* animal_grid = new QGridLayout(animal);
    animal_grid->addWidget(new QLabel(QStringLiteral("Animal:"), animal), 0, 0);
    animal_grid->addWidget(animal_combo, 0, 1);
    animal_grid->addWidget(new QLabel(QStringLiteral("Number of fixes used:"), animal), 1, 0);
    animal_grid->addWidget(count_box, 1, 1, Qt::AlignLeft);
    animal_grid->addWidget(skipped_label, 2, 0, 1, 2);
    time_units_label = Label("LblTimeUnits", {}, true);

    auto* previous =
        Button("Command3", QStringLiteral("<< Previous"), [this] { Command3_Click(); });
    auto* next = Button("CmdNext", QStringLiteral("Next >>"), [this] { CmdNext_Click(); });
    auto* file = new QHBoxLayout;
    file->addWidget(new QLabel(QStringLiteral("Telemetry table:"), this));
    file->addWidget(file_name_box, 1);
    file->addWidget(open_button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(instructions_label);
    layout->addLayout(file);
    layout->addWidget(fields);
    layout->addWidget(crs);
    layout->addWidget(animal);
    layout->addWidget(time_units_label);
    layout->addLayout(ButtonRow({previous, next}));
    setFixedWidth(620);
    ArrangeForData();
}

TextFilePurpose FrmLoadTelemetry::Purpose() {
    return TextPurposeFor(wizard_.BridgeDataChosen(), wizard_.session().choices().DataMode);
}

void FrmLoadTelemetry::ArrangeForData() {
    const TextFilePurpose purpose = Purpose();
    const bool bridge = purpose == TextFilePurpose::BridgeLocations;
    const bool weighted = purpose == TextFilePurpose::IndependentLocations &&
                          wizard_.session().choices().BiasCorrected == 1;
    for (QWidget* widget :
         {static_cast<QWidget*>(time_combo), static_cast<QWidget*>(time_unit_combo),
          static_cast<QWidget*>(error_combo), static_cast<QWidget*>(error_metres_box),
          static_cast<QWidget*>(keep_first_check), static_cast<QWidget*>(time_units_label)}) {
        widget->setVisible(bridge);
    }
    for (QLabel* label : time_labels_) {
        label->setVisible(bridge);
    }
    weight_combo->setVisible(weighted);
    weight_label_->setVisible(weighted);
    switch (purpose) {
    case TextFilePurpose::BridgeLocations:
        instructions_label->setText(QStringLiteral(
            "Load the fixes of one animal from a telemetry table (a Movebank export or any "
            "delimited table, a GeoPackage, shapefile or GeoJSON layer): choose the fields of "
            "the coordinates, the time and the location error, and the animal."));
        break;
    case TextFilePurpose::UserPoints:
        instructions_label->setText(
            QStringLiteral("Load a table of points where BBMM probabilities will be calculated; "
                           "longitude/latitude is projected to the system of the fixes."));
        break;
    case TextFilePurpose::IndependentLocations:
        instructions_label->setText(QStringLiteral(
            "Load the locations of one animal from a telemetry table (a Movebank export or any "
            "delimited table, a GeoPackage, shapefile or GeoJSON layer): choose the fields of "
            "the coordinates and the animal."));
        break;
    }
    Refresh();
}

void FrmLoadTelemetry::CmdOpen_Click() {
    const QString path = wizard_.dialogs().OpenFileName(
        this,
        QStringLiteral("Telemetry tables (*.csv *.tsv *.txt *.gpkg *.shp *.geojson *.json)|"
                       "*.csv;*.tsv;*.txt;*.gpkg;*.shp;*.geojson;*.json"),
        TableDirectory());
    if (path.isEmpty()) {
        return;
    }
    // A table that cannot be read leaves the table open before open.
    StatusOr<TelemetrySource> opened;
    RunLong(
        QStringLiteral("Reading the telemetry table"),
        [&opened, &path](const RunControl&, Notifier&) {
            opened = OpenTelemetry(path.toStdString());
            return opened.status;
        },
        [&] {
            source_ = std::move(opened.value);
            file_name_box->setText(path);
            crs_box->clear(); // the new table's own system until the user says otherwise
            crs_shown_.clear();
            FillFieldLists();
            Refresh();
        });
}

void FrmLoadTelemetry::FillFieldLists() {
    QStringList names;
    for (const std::string& field : source_->table.fields) {
        names.append(QString::fromStdString(field));
    }
    const TelemetryFields suggested = SuggestedFields(*source_);
    for (QComboBox* box :
         {id_field_combo, x_combo, y_combo, time_combo, error_combo, weight_combo}) {
        const QSignalBlocker quiet(box);
        box->clear();
        if (box == id_field_combo || box == time_combo || box == error_combo) {
            box->addItem(kNone);
        }
        for (const QString& name : names) {
            // A field without a name (the row numbers R writes first) never names the animal.
            if (!(box == id_field_combo && name.isEmpty())) {
                box->addItem(name);
            }
        }
    }
    const QSignalBlocker quiet_id(id_field_combo);
    const QSignalBlocker quiet_x(x_combo);
    const QSignalBlocker quiet_y(y_combo);
    const QSignalBlocker quiet_time(time_combo);
    const QSignalBlocker quiet_error(error_combo);
    const QSignalBlocker quiet_weight(weight_combo);
    Choose(id_field_combo, suggested.animal, 0);
    Choose(x_combo, suggested.x, -1);
    Choose(y_combo, suggested.y, -1);
    Choose(time_combo, suggested.time, 0);
    Choose(error_combo, suggested.error, 0);
    weight_combo->setCurrentIndex(-1);
}

StatusOr<TelemetryFields> FrmLoadTelemetry::ChosenFields() {
    const Session& session = wizard_.session();
    const TextFilePurpose purpose = Purpose();
    const bool bridge = purpose == TextFilePurpose::BridgeLocations;
    TelemetryFields fields;
    fields.x = x_combo->currentText().toStdString();
    fields.y = y_combo->currentText().toStdString();
    fields.animal = Chosen(id_field_combo);
    if (bridge) {
        fields.time = Chosen(time_combo);
        fields.error = Chosen(error_combo);
        // The box gives every fix's error without a field, and with one the error of the fixes
        // whose field is empty (left empty, those fixes are left out).
        const QString text = error_metres_box->text().trimmed();
        if (!text.isEmpty() || fields.error.empty()) {
            const auto error =
                text.isEmpty() ? std::optional<double>(0.0) : ParseNumber(text.toStdString());
            if (!error || !std::isfinite(*error) || *error < 0) {
                return Status::Failure("The location error must be a number of metres, 0 or more.");
            }
            fields.constant_error = *error;
        }
        fields.seconds_per_unit =
            kTimeUnits[static_cast<std::size_t>(std::max(0, time_unit_combo->currentIndex()))]
                .seconds;
        fields.keep_first_duplicate = keep_first_check->isChecked();
    }
    fields.keep_outliers = keep_outliers_check->isChecked();
    if (purpose == TextFilePurpose::IndependentLocations && session.choices().BiasCorrected == 1) {
        fields.weight = weight_combo->currentText().toStdString();
    }
    const QString answer_text = SourceAnswer();
    const auto answer = ParseSourceSystem(answer_text.toStdString());
    if (!answer) {
        return Status::Failure(QStringLiteral("\"%1\" in \"Coordinates are in\" is not an EPSG "
                                              "code such as EPSG:4326, nor \"metres\".")
                                   .arg(answer_text)
                                   .toStdString());
    }
    int target = 0;
    if (purpose == TextFilePurpose::UserPoints) {
        target = session.loaded().file.projection_epsg;
    } else {
        const QString typed = target_crs_combo->currentText();
        const auto epsg = ParseEpsgChoice(typed.toStdString());
        if (!epsg) {
            return Status::Failure(
                QStringLiteral("\"%1\" is not an EPSG code such as EPSG:32611, nor \"%2\".")
                    .arg(typed, FromStd(kAutomaticUtm))
                    .toStdString());
        }
        target = *epsg;
    }
    if (Status chosen = ChooseCoordinateSystem(*source_, *answer, target, fields); !chosen.Ok()) {
        return chosen;
    }
    if (purpose == TextFilePurpose::UserPoints) {
        if (fields.geographic && session.loaded().file.projection_epsg == 0) {
            return Status::Failure("The fixes loaded have no known coordinate system, so points in "
                                   "longitude/latitude cannot be placed among them.");
        }
        if (!fields.geographic && answer->kind != SourceSystem::Kind::Epsg) {
            fields.target_epsg = 0;
        }
    }
    return fields;
}

QString FrmLoadTelemetry::SourceAnswer() const {
    const QString text = crs_box->text().trimmed();
    return text == crs_shown_ ? QString() : text;
}

void FrmLoadTelemetry::Refresh() {
    split_.reset();
    last_fields_.reset();
    split_error_.clear();
    time_unit_.clear();
    const QString unit = time_unit_combo->currentText();
    time_units_label->setText(
        QStringLiteral("Brownian bridge times are in %1 since the animal's first "
                       "fix: the variance is in square metres per %2 and the "
                       "maximum time in %1.")
            .arg(unit, SingularUnit(unit)));
    // A layer in a projected system keeps it; only longitude/latitude is projected, and user
    // points go to the system of the fixes.
    target_crs_combo->setEnabled(
        Purpose() != TextFilePurpose::UserPoints &&
        !(source_ && source_->layer && !source_->crs_wkt.empty() && !source_->geographic));
    if (!source_) {
        const QSignalBlocker quiet(animal_combo);
        animal_combo->clear();
        count_box->clear();
        skipped_label->clear();
        crs_box->clear();
        return;
    }
    const std::string x = x_combo->currentText().toStdString();
    const std::string y = y_combo->currentText().toStdString();
    const bool answered = !SourceAnswer().isEmpty();
    auto fields = ChosenFields();
    const bool ask =
        fields.Ok() && !x.empty() && !y.empty() && NeedsSourceSystem(source_->table, fields.value);
    if (!answered) {
        // The box shows what the table says, or asks; what the user types there answers.
        crs_shown_ = ask ? QStringLiteral("Unknown: longitude/latitude or metres? Type "
                                          "EPSG:4326, metres or an EPSG code here")
                         : QString::fromStdString(DescribeSourceCrs(*source_, x, y));
        crs_box->setText(crs_shown_);
    }
    if (!fields.Ok()) {
        split_error_ = QString::fromStdString(fields.status.error);
    } else if (x.empty() || y.empty()) {
        split_error_ = QStringLiteral("Choose the fields of the coordinates.");
    } else if (ask) {
        split_error_ = QString::fromStdString(
            AskSourceSystem(source_->table.name, "Type in \"Coordinates are in\""));
    } else {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        auto split = SplitTelemetry(source_->table, fields.value);
        QApplication::restoreOverrideCursor();
        if (!split.Ok()) {
            split_error_ = QString::fromStdString(split.status.error);
        } else {
            time_unit_ = split.value.timestamps ? unit.toStdString() : std::string();
            split_ = std::move(split.value);
            last_fields_ = fields.value;
        }
    }
    const QString previous = animal_combo->currentData().toString();
    {
        const QSignalBlocker quiet(animal_combo);
        animal_combo->clear();
        if (split_) {
            const bool id_field = id_field_combo->currentText() != kNone;
            for (const AnimalFixes& animal : split_->animals) {
                QString entry =
                    AnimalName(animal, id_field) + QStringLiteral(": %1 fixes").arg(animal.Count());
                if (split_->timestamps && animal.Count() > 1) {
                    entry += QStringLiteral(" over %1 days")
                                 .arg(animal.time_span * fields.value.seconds_per_unit / 86400.0, 0,
                                      'f', 1);
                } else if (!fields.value.time.empty() && animal.Count() > 1) {
                    entry += QStringLiteral(" over %1 time units")
                                 .arg(QString::fromStdString(FormatNumber(animal.time_span)));
                }
                animal_combo->addItem(entry, QString::fromStdString(animal.id));
            }
            const int keep = animal_combo->findData(previous);
            animal_combo->setCurrentIndex(keep >= 0 ? keep : 0);
        }
    }
    ShowAnimal();
}

void FrmLoadTelemetry::ShowAnimal() {
    if (!split_) {
        count_box->clear();
        skipped_label->setText(split_error_);
        return;
    }
    const int index = animal_combo->currentIndex();
    if (index < 0 || static_cast<std::size_t>(index) >= split_->animals.size()) {
        count_box->clear();
        skipped_label->clear();
        return;
    }
    const AnimalFixes& animal = split_->animals[static_cast<std::size_t>(index)];
    count_box->setText(QString::number(animal.Count()));
    QStringList lines;
    for (const std::string& sentence : LeftOutSentences(split_->left_out, &animal.left_out)) {
        lines.append(QString::fromStdString(sentence));
    }
    if (split_->error_filled > 0) {
        lines.append(QStringLiteral("%1 fixes without a location error took the %2 m typed, %3 "
                                    "of them this animal's.")
                         .arg(split_->error_filled)
                         .arg(error_metres_box->text().trimmed())
                         .arg(animal.error_filled));
    }
    if (animal.Count() == 0) {
        lines.append(QStringLiteral("This animal has no fixes with coordinates."));
    }
    skipped_label->setText(lines.isEmpty() ? QStringLiteral("Nothing was left out.")
                                           : lines.join(QLatin1Char(' ')));
}

void FrmLoadTelemetry::Command3_Click() {
    wizard_.Show(FormId::InputData);
    wizard_.Unload(FormId::LoadTelemetry);
}

void FrmLoadTelemetry::CmdNext_Click() {
    if (!source_) {
        Message(QStringLiteral("Open a telemetry table first."));
        return;
    }
    // Boxes typed in without leaving them count too.
    const auto fields = ChosenFields();
    if (!split_ || !fields.Ok() || !last_fields_ || !(*last_fields_ == fields.value)) {
        Refresh();
    }
    if (!split_) {
        Message(split_error_);
        return;
    }
    Session& session = wizard_.session();
    const TextFilePurpose purpose = Purpose();
    if (purpose == TextFilePurpose::BridgeLocations && last_fields_->time.empty()) {
        Message(QStringLiteral("Choose the field of the fix times."));
        return;
    }
    if (purpose == TextFilePurpose::IndependentLocations && session.choices().BiasCorrected == 1 &&
        last_fields_->weight.empty()) {
        Message(QStringLiteral("Choose the field of the location weights."));
        return;
    }
    const int index = animal_combo->currentIndex();
    if (index < 0 || static_cast<std::size_t>(index) >= split_->animals.size()) {
        Message(QStringLiteral("Choose an animal."));
        return;
    }
    auto file = AnimalLoadedFile(*source_, split_->animals[static_cast<std::size_t>(index)],
                                 purpose, session.choices().BiasCorrected == 1, time_unit_);
    if (!file.Ok()) {
        Message(QString::fromStdString(file.status.error));
        return;
    }
    TakeLoadedFile(session, std::move(file.value), OtherAnimals(static_cast<std::size_t>(index)));
    hide();
    if (purpose == TextFilePurpose::UserPoints) {
        wizard_.ShowUserPointsFile();
        wizard_.ShowBridgeAnalysis();
    } else if (purpose == TextFilePurpose::BridgeLocations) {
        wizard_.ShowBridgeAnalysis();
    } else {
        wizard_.Show(FormId::Compare);
    }
}

std::optional<TableAnimals> FrmLoadTelemetry::OtherAnimals(std::size_t loaded) {
    const TextFilePurpose purpose = Purpose();
    if (purpose == TextFilePurpose::UserPoints || id_field_combo->currentText() == kNone) {
        return std::nullopt;
    }
    const Session& session = wizard_.session();
    TableAnimals table;
    table.loaded = split_->animals[loaded].id;
    for (std::size_t k = 0; k < split_->animals.size(); ++k) {
        const AnimalFixes& animal = split_->animals[k];
        // Only an animal on the same plane as the loaded one can be set beside it: each animal
        // of a table in longitude/latitude may have been projected to its own UTM zone.
        if (k == loaded || animal.Count() == 0 || animal.epsg != split_->animals[loaded].epsg) {
            continue;
        }
        const auto file = AnimalLoadedFile(*source_, animal, purpose,
                                           session.choices().BiasCorrected == 1, time_unit_);
        if (file.Ok()) {
            AddTableAnimal(table, animal.id, file.value);
        }
    }
    return table;
}

void SetTelemetryLayout(Navigator& wizard) {
    wizard.LoadAs<FrmLoadTelemetry>(FormId::LoadTelemetry).ArrangeForData();
}

} // namespace ranvik
