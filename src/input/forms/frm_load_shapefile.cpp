#include "input/forms/frm_load_shapefile.h"

#include "input/forms/frm_load_text_file.h"
#include "input/forms/loaded_files.h"
#include "input/forms/map_viewer.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <memory>

namespace ranvik {
namespace {

// Where the open dialog starts: the program's sample data when it is there.
QString DataDirectory() {
    const QDir program(QCoreApplication::applicationDirPath());
    for (const QString& candidate :
         {QStringLiteral("../../Data"), QStringLiteral("../examples/shapefiles"),
          QStringLiteral("../../examples/shapefiles")}) {
        if (program.exists(candidate)) {
            return QDir::cleanPath(program.filePath(candidate));
        }
    }
    return QDir::homePath();
}

QString ShapeTypeName(int shape_type) {
    switch (shape_type) {
    case kPolygonShape:
        return QStringLiteral("Polygon");
    case kLineShape:
        return QStringLiteral("Line");
    default:
        return QStringLiteral("Point");
    }
}

} // namespace

FrmLoadShapefile::FrmLoadShapefile(Navigator& wizard) : WizardForm(wizard, "FrmLoadShapefile") {
    instructions_label =
        Label("LabelInstructions", QStringLiteral("Load the location data from an ESRI shapefile"));
    auto* open =
        Button("Command1", QStringLiteral("Load Shapefile..."), [this] { Command1_Click(); });
    file_name_box = Text("Text1");
    shape_type_box = Text("Text2");
    record_count_box = Text("Text3");
    for (QLineEdit* box : {file_name_box, shape_type_box, record_count_box}) {
        box->setReadOnly(true);
    }
    fields_frame = Frame("Frame1", QStringLiteral("Select data fields for Easting and Northing"));
    easting_combo = new QComboBox(fields_frame);
    easting_combo->setObjectName(QStringLiteral("ComboEasting"));
    northing_combo = new QComboBox(fields_frame);
    northing_combo->setObjectName(QStringLiteral("ComboNorthing"));
    weight_or_time_combo = new QComboBox(fields_frame);
    weight_or_time_combo->setObjectName(QStringLiteral("Combo3"));
    error_combo = new QComboBox(fields_frame);
    error_combo->setObjectName(QStringLiteral("Combo4"));
    weight_or_time_label = new QLabel(QStringLiteral("Location weights:"), fields_frame);
    weight_or_time_label->setObjectName(QStringLiteral("Label8"));
    error_label = new QLabel(QStringLiteral("Location error:"), fields_frame);
    error_label->setObjectName(QStringLiteral("Label9"));
    auto* fields = new QGridLayout(fields_frame);
    fields->addWidget(new QLabel(QStringLiteral("Easting:"), fields_frame), 0, 0);
    fields->addWidget(easting_combo, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("Northing:"), fields_frame), 1, 0);
    fields->addWidget(northing_combo, 1, 1);
    fields->addWidget(weight_or_time_label, 2, 0);
    fields->addWidget(weight_or_time_combo, 2, 1);
    fields->addWidget(error_label, 3, 0);
    fields->addWidget(error_combo, 3, 1);
    field_list = new QTreeWidget(this);
    field_list->setObjectName(QStringLiteral("ListView1"));
    field_list->setRootIsDecorated(false);
    field_list->setColumnCount(2);
    field_list->setHeaderLabels({QStringLiteral("Field"), QStringLiteral("Type")});
    view_map_button =
        Button("Command2", QStringLiteral("View Shapefile"), [this] { Command2_Click(); });
    auto* previous =
        Button("Command3", QStringLiteral("<< Previous"), [this] { Command3_Click(); });
    auto* next = Button("CmdNext", QStringLiteral("Next >>"), [this] { CmdNext_Click(); });

    auto* top = new QGridLayout;
    top->addWidget(new QLabel(QStringLiteral("Shapefile:"), this), 0, 0);
    top->addWidget(file_name_box, 0, 1);
    top->addWidget(open, 0, 2);
    top->addWidget(new QLabel(QStringLiteral("Shape type:"), this), 1, 0);
    top->addWidget(shape_type_box, 1, 1);
    top->addWidget(new QLabel(QStringLiteral("Number of records:"), this), 2, 0);
    top->addWidget(record_count_box, 2, 1);
    auto* middle = new QHBoxLayout;
    auto* list = new QVBoxLayout;
    list->addWidget(new QLabel(QStringLiteral("Fields:"), this));
    list->addWidget(field_list);
    middle->addLayout(list, 1);
    middle->addWidget(fields_frame, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(instructions_label);
    layout->addLayout(top);
    layout->addLayout(middle);
    layout->addWidget(view_map_button, 0, Qt::AlignLeft);
    layout->addLayout(ButtonRow({previous, next}));
    setFixedWidth(640);
}

void FrmLoadShapefile::Command1_Click() {
    const QString path = wizard_.dialogs().OpenFileName(
        this, QStringLiteral("ESRI Shapefiles (*.shp)|*.shp"), DataDirectory());
    if (path.isEmpty()) {
        return;
    }
    delete viewer_.data(); // a new file closes the map of the old one
    auto opened = OpenShapeLayer(path.toStdString());
    if (!opened.Ok()) {
        wizard_.dialogs().Message(this, QStringLiteral("Layer not Valid"), QStringLiteral("Error"),
                                  Dialogs::Icon::Critical,
                                  QString::fromStdString(opened.status.error));
        return;
    }
    layer_ = std::move(opened.value);
    const Session& session = wizard_.session();
    const bool bridge = wizard_.BridgeDataChosen();
    file_name_box->setText(path);
    shape_type_box->setText(ShapeTypeName(layer_->shape_type));
    bool numeric = false;
    for (const ShapeField& field : layer_->fields) {
        numeric = numeric || field.type == kLongField || field.type == kDoubleField;
    }
    if (layer_->records > 0 && !numeric) {
        wizard_.dialogs().Message(this, QStringLiteral("No numeric Fields found"),
                                  QStringLiteral("Error Calculating Statistics"),
                                  Dialogs::Icon::Critical);
    } else if (layer_->records > 0) {
        record_count_box->setText(QString::number(layer_->records));
    }
    easting_combo->clear();
    northing_combo->clear();
    weight_or_time_combo->clear();
    error_combo->clear();
    int easting = -1;
    int northing = -1;
    for (std::size_t i = 0; i < layer_->fields.size(); ++i) {
        const QString name = QString::fromStdString(layer_->fields[i].name);
        easting_combo->addItem(name);
        northing_combo->addItem(name);
        if (session.choices().BiasCorrected == 1 || bridge) {
            weight_or_time_combo->addItem(name);
            error_combo->addItem(name);
        }
        static const QStringList kNorthing = {QStringLiteral("Northing"),
                                              QStringLiteral("NORTHING"), QStringLiteral("North"),
                                              QStringLiteral("NORTH"), QStringLiteral("Y")};
        static const QStringList kEasting = {QStringLiteral("Easting"), QStringLiteral("EASTING"),
                                             QStringLiteral("East"), QStringLiteral("EAST"),
                                             QStringLiteral("X")};
        if (kNorthing.contains(name)) {
            northing = static_cast<int>(i);
        }
        if (kEasting.contains(name)) {
            easting = static_cast<int>(i);
        }
    }
    // Nothing is chosen unless a field's name says what it holds; the last such field wins.
    easting_combo->setCurrentIndex(easting);
    northing_combo->setCurrentIndex(northing);
    weight_or_time_combo->setCurrentIndex(-1);
    error_combo->setCurrentIndex(-1);
    field_list->clear();
    for (const ShapeField& field : layer_->fields) {
        field_list->addTopLevelItem(new QTreeWidgetItem(
            {QString::fromStdString(field.name),
             QString::fromLatin1(FieldTypeName(field.type).data(),
                                 static_cast<qsizetype>(FieldTypeName(field.type).size()))}));
    }
}

FrmLoadShapefile::~FrmLoadShapefile() {
    delete viewer_.data();
}

frmViewShapeFile* FrmLoadShapefile::Viewer() const {
    return viewer_.data();
}

void FrmLoadShapefile::Command2_Click() {
    if (!layer_ ||
        (viewer_ && viewer_->Layer() != nullptr && viewer_->Layer()->path == layer_->path)) {
        return;
    }
    delete viewer_.data();
    auto viewer = std::make_unique<frmViewShapeFile>();
    const QString name = QString::fromStdString(layer_->name);
    const Status added = viewer->map_canvas->AddLayer(*layer_);
    if (!added.Ok()) {
        wizard_.dialogs().Message(this, QStringLiteral("Error adding MapLayer ") + name, {},
                                  Dialogs::Icon::None, QString::fromStdString(added.error));
        return;
    }
    viewer->map_canvas->ShowFullExtent();
    viewer->setWindowTitle(name);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer_ = viewer.release();
    viewer_->show();
}

void FrmLoadShapefile::Command3_Click() {
    wizard_.Show(FormId::InputData);
    wizard_.Unload(FormId::LoadShapefile);
}

void FrmLoadShapefile::CmdNext_Click() {
    Session& session = wizard_.session();
    const bool bridge = wizard_.BridgeDataChosen();
    const bool road = session.choices().DataMode == "Road";
    if (northing_combo->currentText().isEmpty()) {
        Message(QStringLiteral("You need to select a field for the Northing"));
        return;
    }
    if (easting_combo->currentText().isEmpty()) {
        Message(QStringLiteral("You need to select a field for the Easting"));
        return;
    }
    if (session.choices().BiasCorrected == 1 && weight_or_time_combo->currentText().isEmpty()) {
        Message(QStringLiteral("You need to select a field for the Location weights"));
        return;
    }
    if (bridge && !road) {
        if (weight_or_time_combo->currentText().isEmpty()) {
            Message(QStringLiteral("You need to select a field for Time"));
            return;
        }
        if (error_combo->currentText().isEmpty()) {
            Message(QStringLiteral("You need to select a field for Location error"));
            return;
        }
    }
    if (!layer_) {
        Message(QStringLiteral("Load a shapefile first."));
        return;
    }
    std::vector<std::string> fields = {easting_combo->currentText().toStdString(),
                                       northing_combo->currentText().toStdString()};
    TextFilePurpose purpose = TextFilePurpose::IndependentLocations;
    if (road) {
        purpose = TextFilePurpose::UserPoints;
    } else if (bridge) {
        purpose = TextFilePurpose::BridgeLocations;
        fields.push_back(weight_or_time_combo->currentText().toStdString());
        fields.push_back(error_combo->currentText().toStdString());
    } else if (session.choices().BiasCorrected == 1) {
        fields.push_back(weight_or_time_combo->currentText().toStdString());
    }
    const LoadOutcome outcome = LoadShapeLayer(session, *layer_, purpose, fields);
    if (!outcome.Ok()) {
        Message(QString::fromStdString(outcome.error));
        return;
    }
    if (road) {
        session.Rename(FileRoot(QFileInfo(file_name_box->text()).fileName().toStdString()));
        wizard_.ShowUserPointsFile();
    }
    hide();
    if (bridge) {
        wizard_.ShowBridgeAnalysis();
    } else {
        wizard_.Show(FormId::Compare);
    }
}

void SetShapefileLayout(Navigator& wizard) {
    FrmLoadShapefile& form = wizard.LoadAs<FrmLoadShapefile>(FormId::LoadShapefile);
    if (wizard.PlainHomeRangeChosen()) {
        form.fields_frame->setTitle(QStringLiteral("Select Data Fields for Easting and Northing"));
        for (QWidget* widget :
             {static_cast<QWidget*>(form.weight_or_time_label),
              static_cast<QWidget*>(form.weight_or_time_combo),
              static_cast<QWidget*>(form.error_combo), static_cast<QWidget*>(form.error_label)}) {
            widget->setVisible(false);
        }
    }
    if (wizard.session().choices().BiasCorrected == 1) {
        form.fields_frame->setTitle(
            QStringLiteral("Select Data Fields for Easting, Northing, and Location weights"));
        form.weight_or_time_label->setVisible(true);
        form.weight_or_time_combo->setVisible(true);
        form.error_combo->setVisible(false);
        form.error_label->setVisible(false);
    }
    if (wizard.BridgeDataChosen()) {
        form.fields_frame->setTitle(
            QStringLiteral("Select Data Fields for Easting, Northing, Time and Location error"));
        form.weight_or_time_label->setVisible(true);
        form.weight_or_time_label->setText(QStringLiteral("Time"));
        form.weight_or_time_combo->setVisible(true);
        form.error_combo->setVisible(true);
        form.error_label->setVisible(true);
    }
    // The two column headers, set rather than added so that a second visit shows two.
    form.field_list->setHeaderLabels({QStringLiteral("Field"), QStringLiteral("Type")});
}

} // namespace ranvik
