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
    LabelInstructions =
        Label("LabelInstructions", QStringLiteral("Load the location data from an ESRI shapefile"));
    auto* open =
        Button("Command1", QStringLiteral("Load Shapefile..."), [this] { Command1_Click(); });
    Text1 = Text("Text1");
    Text2 = Text("Text2");
    Text3 = Text("Text3");
    for (QLineEdit* box : {Text1, Text2, Text3}) {
        box->setReadOnly(true);
    }
    Frame1 = Frame("Frame1", QStringLiteral("Select data fields for Easting and Northing"));
    ComboEasting = new QComboBox(Frame1);
    ComboEasting->setObjectName(QStringLiteral("ComboEasting"));
    ComboNorthing = new QComboBox(Frame1);
    ComboNorthing->setObjectName(QStringLiteral("ComboNorthing"));
    Combo3 = new QComboBox(Frame1);
    Combo3->setObjectName(QStringLiteral("Combo3"));
    Combo4 = new QComboBox(Frame1);
    Combo4->setObjectName(QStringLiteral("Combo4"));
    Label8 = new QLabel(QStringLiteral("Location weights:"), Frame1);
    Label8->setObjectName(QStringLiteral("Label8"));
    Label9 = new QLabel(QStringLiteral("Location error:"), Frame1);
    Label9->setObjectName(QStringLiteral("Label9"));
    auto* fields = new QGridLayout(Frame1);
    fields->addWidget(new QLabel(QStringLiteral("Easting:"), Frame1), 0, 0);
    fields->addWidget(ComboEasting, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("Northing:"), Frame1), 1, 0);
    fields->addWidget(ComboNorthing, 1, 1);
    fields->addWidget(Label8, 2, 0);
    fields->addWidget(Combo3, 2, 1);
    fields->addWidget(Label9, 3, 0);
    fields->addWidget(Combo4, 3, 1);
    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setRootIsDecorated(false);
    ListView1->setColumnCount(2);
    ListView1->setHeaderLabels({QStringLiteral("Field"), QStringLiteral("Type")});
    Command2 = Button("Command2", QStringLiteral("View Shapefile"), [this] { Command2_Click(); });
    auto* previous =
        Button("Command3", QStringLiteral("<< Previous"), [this] { Command3_Click(); });
    auto* next = Button("CmdNext", QStringLiteral("Next >>"), [this] { CmdNext_Click(); });

    auto* top = new QGridLayout;
    top->addWidget(new QLabel(QStringLiteral("Shapefile:"), this), 0, 0);
    top->addWidget(Text1, 0, 1);
    top->addWidget(open, 0, 2);
    top->addWidget(new QLabel(QStringLiteral("Shape type:"), this), 1, 0);
    top->addWidget(Text2, 1, 1);
    top->addWidget(new QLabel(QStringLiteral("Number of records:"), this), 2, 0);
    top->addWidget(Text3, 2, 1);
    auto* middle = new QHBoxLayout;
    auto* list = new QVBoxLayout;
    list->addWidget(new QLabel(QStringLiteral("Fields:"), this));
    list->addWidget(ListView1);
    middle->addLayout(list, 1);
    middle->addWidget(Frame1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LabelInstructions);
    layout->addLayout(top);
    layout->addLayout(middle);
    layout->addWidget(Command2, 0, Qt::AlignLeft);
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
    Text1->setText(path);
    Text2->setText(ShapeTypeName(layer_->shape_type));
    bool numeric = false;
    for (const ShapeField& field : layer_->fields) {
        numeric = numeric || field.type == kLongField || field.type == kDoubleField;
    }
    if (layer_->records > 0 && !numeric) {
        wizard_.dialogs().Message(this, QStringLiteral("No numeric Fields found"),
                                  QStringLiteral("Error Calculating Statistics"),
                                  Dialogs::Icon::Critical);
    } else if (layer_->records > 0) {
        Text3->setText(QString::number(layer_->records));
    }
    ComboEasting->clear();
    ComboNorthing->clear();
    Combo3->clear();
    Combo4->clear();
    int easting = -1;
    int northing = -1;
    for (std::size_t i = 0; i < layer_->fields.size(); ++i) {
        const QString name = QString::fromStdString(layer_->fields[i].name);
        ComboEasting->addItem(name);
        ComboNorthing->addItem(name);
        if (session.choices().BiasCorrected == 1 || bridge) {
            Combo3->addItem(name);
            Combo4->addItem(name);
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
    ComboEasting->setCurrentIndex(easting);
    ComboNorthing->setCurrentIndex(northing);
    Combo3->setCurrentIndex(-1);
    Combo4->setCurrentIndex(-1);
    ListView1->clear();
    for (const ShapeField& field : layer_->fields) {
        ListView1->addTopLevelItem(new QTreeWidgetItem(
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
    const Status added = viewer->mapMain->AddLayer(*layer_);
    if (!added.Ok()) {
        wizard_.dialogs().Message(this, QStringLiteral("Error adding MapLayer ") + name, {},
                                  Dialogs::Icon::None, QString::fromStdString(added.error));
        return;
    }
    viewer->mapMain->ShowFullExtent();
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
    if (ComboNorthing->currentText().isEmpty()) {
        Message(QStringLiteral("You need to select a field for the Northing"));
        return;
    }
    if (ComboEasting->currentText().isEmpty()) {
        Message(QStringLiteral("You need to select a field for the Easting"));
        return;
    }
    if (session.choices().BiasCorrected == 1 && Combo3->currentText().isEmpty()) {
        Message(QStringLiteral("You need to select a field for the Location weights"));
        return;
    }
    if (bridge && !road) {
        if (Combo3->currentText().isEmpty()) {
            Message(QStringLiteral("You need to select a field for Time"));
            return;
        }
        if (Combo4->currentText().isEmpty()) {
            Message(QStringLiteral("You need to select a field for Location error"));
            return;
        }
    }
    if (!layer_) {
        Message(QStringLiteral("Load a shapefile first."));
        return;
    }
    std::vector<std::string> fields = {ComboEasting->currentText().toStdString(),
                                       ComboNorthing->currentText().toStdString()};
    TextFilePurpose purpose = TextFilePurpose::IndependentLocations;
    if (road) {
        purpose = TextFilePurpose::UserPoints;
    } else if (bridge) {
        purpose = TextFilePurpose::BridgeLocations;
        fields.push_back(Combo3->currentText().toStdString());
        fields.push_back(Combo4->currentText().toStdString());
    } else if (session.choices().BiasCorrected == 1) {
        fields.push_back(Combo3->currentText().toStdString());
    }
    const LoadOutcome outcome = LoadShapeLayer(session, *layer_, purpose, fields);
    if (!outcome.Ok()) {
        Message(QString::fromStdString(outcome.error));
        return;
    }
    if (road) {
        session.Rename(FileRoot(QFileInfo(Text1->text()).fileName().toStdString()));
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
        form.Frame1->setTitle(QStringLiteral("Select Data Fields for Easting and Northing"));
        for (QWidget* widget :
             {static_cast<QWidget*>(form.Label8), static_cast<QWidget*>(form.Combo3),
              static_cast<QWidget*>(form.Combo4), static_cast<QWidget*>(form.Label9)}) {
            widget->setVisible(false);
        }
    }
    if (wizard.session().choices().BiasCorrected == 1) {
        form.Frame1->setTitle(
            QStringLiteral("Select Data Fields for Easting, Northing, and Location weights"));
        form.Label8->setVisible(true);
        form.Combo3->setVisible(true);
        form.Combo4->setVisible(false);
        form.Label9->setVisible(false);
    }
    if (wizard.BridgeDataChosen()) {
        form.Frame1->setTitle(
            QStringLiteral("Select Data Fields for Easting, Northing, Time and Location error"));
        form.Label8->setVisible(true);
        form.Label8->setText(QStringLiteral("Time"));
        form.Combo3->setVisible(true);
        form.Combo4->setVisible(true);
        form.Label9->setVisible(true);
    }
    // The two column headers, set rather than added so that a second visit shows two.
    form.ListView1->setHeaderLabels({QStringLiteral("Field"), QStringLiteral("Type")});
}

} // namespace ranvik
