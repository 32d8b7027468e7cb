#pragma once

#include "app/forms/all_forms.h"
#include "support/fake_dialogs.h"

#include "bridge/bridge_probability.h"
#include "kernel/kernel_grid.h"
#include "models/home_ranges.h"

#include <QDir>

#include <memory>
#include <vector>

namespace ranvik::testing {

// Welcome -> data type -> (analysis, plain or bias-corrected) -> input type -> the loader of
// the input type `input`, from the start of `wizard`.
inline void WalkToLoader(Wizard& wizard, bool bridge, QRadioButton* FrmInputDataOptions::*input,
                         bool weighted = false) {
    wizard.Start();
    wizard.welcome.Get()->CmdNext_Click();
    FrmDataTypeOptions* data_type = wizard.data_type.Get();
    (bridge ? data_type->bridge_data_option : data_type->independent_data_option)->setChecked(true);
    data_type->CmdNext_Click();
    if (!bridge) {
        FrmHomeRangeOptions* analysis = wizard.home_range.Get();
        (weighted ? analysis->bias_corrected_option : analysis->home_range_option)
            ->setChecked(true);
        analysis->CmdNext_Click();
    }
    FrmInputDataOptions* options = wizard.input_data.Get();
    (options->*input)->setChecked(true);
    options->CmdNext_Click();
}

// Where the picture of a form for the manual goes: form-pictures/`name` in the working folder.
inline QString FormPicture(const QString& name) {
    const QDir folder(QDir::current().filePath(QStringLiteral("form-pictures")));
    folder.mkpath(QStringLiteral("."));
    return folder.filePath(name);
}

using ModelBox = QCheckBox* FrmCompareHROption::*;

// Ticks `models` on the model choice and presses Next.
inline void Estimate(FrmCompareHROption& choice, const std::vector<ModelBox>& models) {
    for (const ModelBox box : models) {
        (choice.*box)->setChecked(true);
    }
    choice.CmdNext_Click();
}

// Answers the next file dialog with `path` and presses the load button of a text or shapefile
// loader.
template <class Loader> void OpenOn(FakeDialogs& dialogs, Loader& loader, const QString& path) {
    dialogs.open_answers << path;
    loader.Command1_Click();
}

// A wizard of its own, over its own record and fake dialogs, driven as a user drives it.
struct WizardSession {
    Session session;
    FakeDialogs dialogs;
    std::unique_ptr<Wizard> wizard = std::make_unique<Wizard>(session, dialogs);

    WizardSession() = default;
    WizardSession(const WizardSession&) = delete;
    WizardSession& operator=(const WizardSession&) = delete;
    ~WizardSession() { wizard.reset(); }

    void ToLoader(bool bridge, QRadioButton* FrmInputDataOptions::*input, bool weighted = false) {
        WalkToLoader(*wizard, bridge, input, weighted);
    }

    [[nodiscard]] FrmLoadTelemetry& Telemetry() { return *wizard->load_telemetry.Get(); }

    // Opens `path` on the telemetry loader.
    void Open(const QString& path) {
        dialogs.open_answers << path;
        Telemetry().CmdOpen_Click();
    }
};

} // namespace ranvik::testing
