#pragma once

#include "state/session.h"
#include "ui/dialogs.h"
#include "ui/navigator.h"

#include <QGuiApplication>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace ranvik {

class FrmInitialWelcome;
class FrmDataTypeOptions;
class FrmHomeRangeOptions;
class FrmInputDataOptions;
class FrmLoadTextFile;
class FrmCompareHROption;
class FrmKernelOptions;
class FrmSaveAs;
class FrmHRComparison;
class FrmBBAnalysis;
class FrmCVhLSCVhGraph;
class FrmLoadShapefile;
class FrmHomeRangePicture;
class FrmBBGridExtent;
class FrmLoadTelemetry;
class FrmMotionVariance;
class FrmAkdeModels;

// One form of the wizard and its lifetime: shown (created and loaded on first show), hidden
// (kept with its control values) or unloaded (destroyed, so the next show starts afresh).
template <class Form> class FormSlot {
public:
    // The loaded form, or nullptr.
    [[nodiscard]] Form* Get() const { return form_.data(); }

    // Creates the form if it is not loaded, shows it and brings it to the front.
    template <class... Args> Form& Show(Args&&... args) {
        Form& form = Load(std::forward<Args>(args)...);
        form.show();
        if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
            form.raise();
            form.activateWindow();
        }
        return form;
    }

    // Creates the form if it is not loaded, without showing it.
    template <class... Args> Form& Load(Args&&... args) {
        if (form_.isNull()) {
            form_ = new Form(std::forward<Args>(args)...);
        }
        return *form_;
    }

    void Hide() {
        if (!form_.isNull()) {
            form_->hide();
        }
    }

    // Hides the form now and destroys it once control has returned to the event loop, so a
    // form may unload itself from its own button handler.
    void Unload() {
        if (!form_.isNull()) {
            form_->hide();
            form_->deleteLater();
            form_.clear();
        }
    }

    // Destroys the form now, if it is loaded.
    void Destroy() { delete form_.data(); } // the pointer clears itself

private:
    QPointer<Form> form_;
};

// The form registry: owns every form of the wizard, shows, hides and unloads them, hands each
// the session and the dialogs, and answers what one subsystem's forms ask of another's.
class Wizard : public QObject, public Navigator {
    Q_OBJECT

public:
    Wizard(Session& session, Dialogs& dialogs);
    ~Wizard() override;

    Wizard(const Wizard&) = delete;
    Wizard& operator=(const Wizard&) = delete;

    // Shows the welcome form, the start of every run.
    void Start();

    [[nodiscard]] Session& session() override { return session_; }
    [[nodiscard]] EstimatorChain& chain() override { return chain_; }
    [[nodiscard]] Dialogs& dialogs() override { return dialogs_; }

    QWidget& Load(FormId form) override;
    QWidget& Show(FormId form) override;
    void Hide(FormId form) override;
    void Unload(FormId form) override;

    [[nodiscard]] bool BridgeDataChosen() override;
    [[nodiscard]] bool IndependentDataChosen() override;
    [[nodiscard]] bool PlainHomeRangeChosen() override;
    [[nodiscard]] FormId ChosenLoader() override;
    void ShowBridgeAnalysis() override;
    void ShowUserPointsFile() override;
    void OpenUserPointsLoader() override;

    FormSlot<FrmInitialWelcome> welcome;
    FormSlot<FrmDataTypeOptions> data_type;
    FormSlot<FrmHomeRangeOptions> home_range;
    FormSlot<FrmInputDataOptions> input_data;
    FormSlot<FrmLoadTextFile> load_text;
    FormSlot<FrmCompareHROption> compare;
    FormSlot<FrmKernelOptions> kernel_options;
    FormSlot<FrmSaveAs> save_as;
    FormSlot<FrmHRComparison> comparison;
    FormSlot<FrmBBAnalysis> bb_analysis;
    FormSlot<FrmCVhLSCVhGraph> cv_graph;
    FormSlot<FrmLoadShapefile> load_shapefile;
    FormSlot<FrmHomeRangePicture> picture;
    FormSlot<FrmBBGridExtent> grid_extent;
    FormSlot<FrmLoadTelemetry> load_telemetry;
    FormSlot<FrmMotionVariance> motion_variance;
    FormSlot<FrmAkdeModels> akde_models;

private:
    Session& session_;
    EstimatorChain chain_;
    Dialogs& dialogs_;
};

// Starts the program: the application object, the shared record, the dialogs and the wizard
// on its welcome form. Returns when the last form has gone.
int RunWizard(int argc, char* argv[]);

} // namespace ranvik
