#pragma once

#include "state/session.h"
#include "state/workspaces.h"
#include "ui/dialogs.h"

#include <QWidget>

namespace ranvik {

// The forms of the wizard, by name.
enum class FormId {
    Welcome,
    DataType,
    HomeRange,
    InputData,
    LoadText,
    Compare,
    KernelOptions,
    SaveAs,
    Comparison,
    BBAnalysis,
    CVGraph,
    LoadShapefile,
    Picture,
    GridExtent,
    LoadTelemetry,
    MotionVariance,
    AkdeModels,
};

// What a form needs of the wizard: the session, the dialogs, the other forms by name,
// and the few answers and steps that concern a form of another subsystem. A form knows the
// types of its own subsystem's forms only; the wizard, which knows them all, answers the rest,
// so the subsystems' forms never include each other.
class Navigator {
public:
    virtual ~Navigator() = default;

    [[nodiscard]] virtual Session& session() = 0;
    // What one computation of the session hands on to the next: the simplex fits' workspace
    // and the one-dimensional searches'.
    [[nodiscard]] virtual EstimatorChain& chain() = 0;
    [[nodiscard]] virtual Dialogs& dialogs() = 0;

    // Creates the form if it is not loaded (without showing it) and returns it.
    virtual QWidget& Load(FormId form) = 0;
    // Creates the form if it is not loaded, shows it and brings it to the front.
    virtual QWidget& Show(FormId form) = 0;
    // Hides the form, keeping its control values.
    virtual void Hide(FormId form) = 0;
    // Hides the form and destroys it once control has returned to the event loop, so the next
    // show starts afresh.
    virtual void Unload(FormId form) = 0;

    // The form as its own type, for the forms of the same subsystem.
    template <class Form> Form& LoadAs(FormId form) { return static_cast<Form&>(Load(form)); }
    template <class Form> Form& ShowAs(FormId form) { return static_cast<Form&>(Show(form)); }

    // The choices made on the front forms.
    [[nodiscard]] virtual bool BridgeDataChosen() = 0;      // serially correlated data
    [[nodiscard]] virtual bool IndependentDataChosen() = 0; // temporally independent locations
    [[nodiscard]] virtual bool PlainHomeRangeChosen() = 0;  // "Estimate Home Range "
    // The loader of the input data type chosen: LoadShapefile, LoadText or LoadTelemetry.
    [[nodiscard]] virtual FormId ChosenLoader() = 0;

    // Shows the Brownian bridge analysis form with the locations file loaded.
    virtual void ShowBridgeAnalysis() = 0;
    // Shows the user-specified points file on the Brownian bridge analysis form.
    virtual void ShowUserPointsFile() = 0;
    // Opens the loader of the input type chosen earlier, set up for user-specified points.
    virtual void OpenUserPointsLoader() = 0;
};

} // namespace ranvik
