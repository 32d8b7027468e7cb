#pragma once

#include "kernel/akde.h"
#include "models/movement_model.h"
#include "ui/form_kit.h"

#include <QTreeWidget>

#include <optional>
#include <vector>

namespace ranvik {

// The empirical variogram of a track (semi-variance against lag, as dots sized by nothing)
// with a fitted model's curve over it.
class VariogramGraph : public QWidget {
    Q_OBJECT

public:
    explicit VariogramGraph(QWidget* parent);
    // The variogram and the model's semi-variance at each of its lags.
    void SetContent(Variogram variogram, std::vector<double> model);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Variogram variogram_;
    std::vector<double> model_;
};

// The autocorrelated kernel home range: on load the movement models are fitted to the track
// and ranked by AICc; the form shows them with the variogram, the user may pick another than
// the selected one, and Next chooses the bandwidth under it and opens the grid extent form,
// which makes the debiased estimate over the extent the user sets.
class FrmAkdeModels : public WizardForm {
    Q_OBJECT

public:
    explicit FrmAkdeModels(Navigator& wizard);
    void CmdNext_Click();
    void Command3_Click();

    VariogramGraph* variogram_picture = nullptr;
    QTreeWidget* models_list = nullptr; // one row per model, best first
    QLabel* note_label = nullptr;       // the selected model, or why there is none

    std::vector<MovementFit> fits; // as listed
    Variogram variogram;
    // After Next: the model the estimate is made under and the box that holds the estimate.
    std::optional<MovementFit> chosen;
    std::optional<AkdeBox> reach;

    // The model picked in the list, or none.
    [[nodiscard]] const MovementFit* Picked() const;
    // The fixes as the models were fitted to them.
    [[nodiscard]] const MovementData& Data() const { return data_; }

private:
    void FitModels();
    // Draws the curve of the model picked in the list and says what it means.
    void ShowPicked();

    MovementData data_;
};

} // namespace ranvik
