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
    delete welcome.Get();
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
