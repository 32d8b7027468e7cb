#pragma once

#include "state/notifier.h"
#include "state/run_control.h"
#include "state/status.h"
#include "ui/dialogs.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QString>

#include <atomic>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace ranvik {

// Work that a button starts: it computes into results of its own (it may read the session,
// which nothing writes while the modal window is up, but never writes it), reports progress
// through the control and sends its messages to the notifier. The button puts the results into
// the session once the work has returned.
using LongWork = std::function<Status(const RunControl& control, Notifier& notifier)>;

// The modal window shown while long work runs: what is computed, a progress bar, the time
// taken so far, and Cancel.
class FrmProgress : public QDialog {
    Q_OBJECT

public:
    FrmProgress(QWidget* parent, const QString& what);

    // Called on the window's own thread with the fraction done (or kUnknownProgress).
    void ShowProgress(double fraction);
    // Called on the window's own thread with the step under way.
    void ShowStep(const QString& step);
    [[nodiscard]] bool CancelRequested() const { return cancelled_.load(); }

    QLabel* LabelWhat = nullptr;
    QLabel* LabelStep = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QLabel* LabelElapsed = nullptr;
    QPushButton* CmdCancel = nullptr;

protected:
    void reject() override; // Escape and the close box cancel too

private:
    std::atomic<bool> cancelled_{false};
    QElapsedTimer clock_;
    QTimer* ticker_ = nullptr;
};

// Runs `work` on a worker thread behind a modal FrmProgress, so the windows keep repainting
// while the user cannot act on them. Progress reaches the window as it comes; a message the
// work raises is shown on the window's thread and the work waits until it is acknowledged.
// When the user cancels, the work is asked to stop; work that runs out of memory ends in a
// sentence instead of a crash. Returns the work's status (Cancelled after a cancel).
[[nodiscard]] Status RunWithProgress(QWidget* parent, Dialogs& dialogs, const QString& what,
                                     const LongWork& work);

} // namespace ranvik
