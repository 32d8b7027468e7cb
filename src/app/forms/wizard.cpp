#include "app/forms/wizard.h"

#include "app/forms/all_forms.h"

#include "app/forms/frm_initial_welcome.h"
#include "app/forms/front_forms.h"
#include "input/forms/frm_load_text_file.h"
#include "kernel/forms/frm_kernel_options.h"
#include "output/forms/output_forms.h"

#include <QApplication>
#include <QCoreApplication>

namespace ranvik {

Wizard::Wizard(State& state, Dialogs& dialogs) : state_(state), dialogs_(dialogs) {}

Wizard::~Wizard() {
    // Forms unloaded a moment ago wait for the event loop to delete them; do it now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // The forms are top-level windows with no parent to delete them: they go with the wizard.
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

int RunWizard(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ranvik"));
    State state;
    QtDialogs dialogs;
    Wizard wizard(state, dialogs);
    wizard.Start();
    return QApplication::exec();
}

} // namespace ranvik
