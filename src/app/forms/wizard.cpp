#include "app/forms/wizard.h"

#include "app/forms/all_forms.h"

#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QTreeWidget>

namespace ranvik {

Wizard::Wizard(Session& session, Dialogs& dialogs) : session_(session), dialogs_(dialogs) {}

Wizard::~Wizard() {
    // Forms unloaded a moment ago wait for the event loop to delete them; do it now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // The forms are top-level windows with no parent to delete them: they go with the wizard.
    akde_models.Destroy();
    motion_variance.Destroy();
    load_telemetry.Destroy();
    grid_extent.Destroy();
    picture.Destroy();
    load_shapefile.Destroy();
    cv_graph.Destroy();
    bb_analysis.Destroy();
    comparison.Destroy();
    save_as.Destroy();
    kernel_options.Destroy();
    compare.Destroy();
    load_text.Destroy();
    input_data.Destroy();
    home_range.Destroy();
    data_type.Destroy();
    welcome.Destroy();
}

void Wizard::Start() {
    welcome.Show(*this);
}

namespace {

// Runs `act` on the slot of `form`.
template <class Act> decltype(auto) OnSlot(Wizard& w, FormId form, Act&& act) {
    switch (form) {
    case FormId::Welcome:
        return act(w.welcome);
    case FormId::DataType:
        return act(w.data_type);
    case FormId::HomeRange:
        return act(w.home_range);
    case FormId::InputData:
        return act(w.input_data);
    case FormId::LoadText:
        return act(w.load_text);
    case FormId::Compare:
        return act(w.compare);
    case FormId::KernelOptions:
        return act(w.kernel_options);
    case FormId::SaveAs:
        return act(w.save_as);
    case FormId::Comparison:
        return act(w.comparison);
    case FormId::BBAnalysis:
        return act(w.bb_analysis);
    case FormId::CVGraph:
        return act(w.cv_graph);
    case FormId::LoadShapefile:
        return act(w.load_shapefile);
    case FormId::Picture:
        return act(w.picture);
    case FormId::GridExtent:
        return act(w.grid_extent);
    case FormId::LoadTelemetry:
        return act(w.load_telemetry);
    case FormId::MotionVariance:
        return act(w.motion_variance);
    case FormId::AkdeModels:
        return act(w.akde_models);
    }
    return act(w.welcome);
}

} // namespace

QWidget& Wizard::Load(FormId form) {
    return OnSlot(*this, form, [this](auto& slot) -> QWidget& { return slot.Load(*this); });
}

QWidget& Wizard::Show(FormId form) {
    return OnSlot(*this, form, [this](auto& slot) -> QWidget& { return slot.Show(*this); });
}

void Wizard::Hide(FormId form) {
    OnSlot(*this, form, [](auto& slot) { slot.Hide(); });
}

void Wizard::Unload(FormId form) {
    OnSlot(*this, form, [](auto& slot) { slot.Unload(); });
}

bool Wizard::BridgeDataChosen() {
    return data_type.Load(*this).bridge_data_option->isChecked();
}

bool Wizard::IndependentDataChosen() {
    return data_type.Load(*this).independent_data_option->isChecked();
}

bool Wizard::PlainHomeRangeChosen() {
    return home_range.Load(*this).home_range_option->isChecked();
}

FormId Wizard::ChosenLoader() {
    const FrmInputDataOptions& options = input_data.Load(*this);
    if (options.shapefile_option->isChecked()) {
        return FormId::LoadShapefile;
    }
    return options.telemetry_option->isChecked() ? FormId::LoadTelemetry : FormId::LoadText;
}

void Wizard::ShowBridgeAnalysis() {
    FrmBBAnalysis& analysis = bb_analysis.Show(*this);
    analysis.location_file_label->setText(QString::fromStdString(session_.loaded().file.path));
    ShowBridgeTimeUnit(*this);
}

void Wizard::ShowUserPointsFile() {
    ShowUserPtsFile(*this);
}

void Wizard::OpenUserPointsLoader() {
    if (ChosenLoader() == FormId::LoadTelemetry) {
        load_telemetry.Unload();
        load_telemetry.Show(*this); // a new loader arranges itself for the points
        return;
    }
    if (ChosenLoader() == FormId::LoadShapefile) {
        load_shapefile.Unload();
        FrmLoadShapefile& loader = load_shapefile.Show(*this);
        loader.field_list->setHeaderLabels({QStringLiteral("Field"), QStringLiteral("Type")});
        loader.instructions_label->setText(
            QStringLiteral("Load an ESRI shapefile containing points where BBMM probabilities "
                           "will be calculated"));
        return;
    }
    FrmLoadTextFile& loader = load_text.Load(*this);
    loader.file_name_box->clear();
    loader.count_box->clear();
    loader.load_button->setText(QStringLiteral("Load user-specified points file"));
    loader.file_caption_label->setText(QStringLiteral("File name"));
    loader.count_caption_label->setText(QStringLiteral("Number of points"));
    loader.instructions_label->setText(
        QStringLiteral("Note: input file should be a tab delimited text file with 2 columns in "
                       "this order: x-coordinate, y-coordinate"));
    load_text.Show(*this);
}

int RunWizard(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ranvik"));
    QApplication::setApplicationVersion(QStringLiteral(RANVIK_VERSION));
    // The icon the package installs in the desktop's theme, where there is one.
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("ranvik")));
    Session session;
    QtDialogs dialogs;
    Wizard wizard(session, dialogs);
    wizard.Start();
    return QApplication::exec();
}

} // namespace ranvik
