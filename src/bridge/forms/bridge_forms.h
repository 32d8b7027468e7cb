#pragma once

#include "bridge/bridge_probability.h"
#include "bridge/motion_variance.h"
#include "kernel/forms/frm_akde.h"
#include "ui/form_kit.h"

#include <optional>

namespace ranvik {

// The Brownian bridge analysis: variance, maximum time gap, grid or user points.
class FrmBBAnalysis : public WizardForm {
    Q_OBJECT

public:
    explicit FrmBBAnalysis(Navigator& wizard);
    void CmdEstimateVar_Click();
    void CmdNext_Click();
    void Command3_Click();

    // The probability at the user-specified points, then the save form.
    void CalcBBAtUserPts();

    QLabel* location_file_label = nullptr;
    QLabel* user_points_caption_label = nullptr;
    QLabel* user_points_file_label = nullptr;
    QLabel* time_unit_label = nullptr; // the unit of times, when the loader converted timestamps
    QLineEdit* variance_box = nullptr;
    QLineEdit* max_time_box = nullptr;
    QRadioButton* user_points_option = nullptr;
    QRadioButton* grid_option = nullptr;
    QRadioButton* dynamic_option = nullptr; // the dynamic Brownian bridge over a grid
    QLineEdit* window_box = nullptr;        // its window, in fixes
    QLineEdit* margin_box = nullptr;        // its margin, in fixes
    QRadioButton* akde_option = nullptr;    // the autocorrelated kernel home range
    // The motion variance along the track, once the dynamic bridge's windows are scored.
    std::optional<MotionVariance> motion_variance;

private:
    // Reads the variance and the maximum time into the session; false after a message.
    bool ReadBoxes();
    // The maximum time as the box gives it; none after a message.
    std::optional<double> ReadMaxTime();
    // Reads the maximum time, the window and the margin and scores the windows; false after a
    // message or a cancel.
    bool EstimateMotion();
};

// The extent and spacing of the Brownian bridge output grid.
class FrmBBGridExtent : public WizardForm {
    Q_OBJECT

public:
    explicit FrmBBGridExtent(Navigator& wizard);
    void CmdCalcGridExtent_Click();
    void CmdCalcBB_Click();
    void Command3_Click();

    QLineEdit* min_x_box = nullptr;
    QLineEdit* max_x_box = nullptr;
    QLineEdit* min_y_box = nullptr;
    QLineEdit* max_y_box = nullptr;
    QLineEdit* grid_spacing_box = nullptr;

private:
    // The motion variance when the analysis form chose the dynamic bridge, else none.
    const MotionVariance* DynamicMotion();
    // The dynamic bridge over `grid`, then the motion variance graph and the save form.
    void CalcDynamicBridge(const BridgeGridSpec& grid);
    // The autocorrelated kernel form when the analysis form chose it and it has chosen a
    // model, else none.
    const FrmAkdeModels* AkdeChoice();
    // The autocorrelated kernel over `grid` under the chosen model, then the save form.
    void CalcAutocorrelatedKernel(const FrmAkdeModels& akde, const BridgeGridSpec& grid);
};

// The motion variance along the track after a dynamic Brownian bridge: time on x, the
// variance on a logarithmic scale, each fix where a window put a break marked.
class MotionVarianceGraph : public QWidget {
    Q_OBJECT

public:
    explicit MotionVarianceGraph(QWidget* parent);
    // The variances of the segments starting at `times` (none where no window gave one) and
    // the breaks (fix counts of windows that put one there).
    void SetContent(std::vector<double> times, std::vector<std::optional<double>> variances,
                    std::vector<std::int32_t> breaks);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<double> times_;
    std::vector<std::optional<double>> variances_;
    std::vector<std::int32_t> breaks_;
};

// Shows the motion variance of the last dynamic Brownian bridge beside the save form.
class FrmMotionVariance : public WizardForm {
    Q_OBJECT

public:
    explicit FrmMotionVariance(Navigator& wizard);

    MotionVarianceGraph* graph_picture = nullptr;
    QLabel* summary_label = nullptr;
};

// Says on the analysis form which unit the times, the variance and the maximum time are in.
void ShowBridgeTimeUnit(Navigator& wizard);

// Shows the user-specified points file on the analysis form when that option is chosen.
void ShowUserPtsFile(Navigator& wizard);

} // namespace ranvik
