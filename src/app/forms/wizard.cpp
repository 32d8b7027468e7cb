#include "app/forms/wizard.h"

#include "app/forms/all_forms.h"

#include "app/forms/frm_initial_welcome.h"
#include "app/forms/front_forms.h"
#include "input/forms/frm_load_text_file.h"
#include "kernel/forms/frm_kernel_options.h"
#include "output/comparison.h"
#include "output/forms/output_forms.h"
#include "output/home_ranges.h"

#include <QApplication>

namespace ranvik {

Wizard::Wizard(State& state, Dialogs& dialogs) : state_(state), dialogs_(dialogs) {}

Wizard::~Wizard() {
    delete welcome.Get();
}

void Wizard::Start() {
    welcome.Show(*this);
}

void Wizard::RunHomeRanges(QWidget* parent) {
    DialogNotifier notifier(dialogs_, parent);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const Status status = CalcHomeRanges(state_, notifier);
    QApplication::restoreOverrideCursor();
    if (!status.Ok() && !status.error.empty()) {
        dialogs_.Message(parent, QString::fromStdString(status.error));
    }
    save_as.Show(*this);
}

void Wizard::RunComparisonAndShow(QWidget* parent, const ComparisonChoice& choice) {
    DialogNotifier notifier(dialogs_, parent);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const Status status = RunComparison(state_, choice, notifier);
    QApplication::restoreOverrideCursor();
    if (!status.Ok() && !status.error.empty()) {
        dialogs_.Message(parent, QString::fromStdString(status.error));
    }
    comparison.Show(*this);
    compare.Unload();
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
