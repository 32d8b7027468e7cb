#include "ui/progress_runner.h"

#include "ui/captions.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>
#include <new>

namespace ranvik {
namespace {

constexpr int kSteps = 1000;

QString Elapsed(qint64 ms) {
    const qint64 seconds = ms / 1000;
    return QStringLiteral("Elapsed: %1:%2")
        .arg(seconds / 60)
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// Hands the work's messages to the window's thread and waits for them to be acknowledged.
class WindowNotifier final : public Notifier {
public:
    WindowNotifier(Dialogs& dialogs, QWidget* window) : dialogs_(dialogs), window_(window) {}

    void Inform(std::string_view message) override {
        const QString text =
            QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size()));
        QMetaObject::invokeMethod(
            window_, [this, text] { dialogs_.Message(window_, text); },
            Qt::BlockingQueuedConnection);
    }

private:
    Dialogs& dialogs_;
    QWidget* window_;
};

} // namespace

FrmProgress::FrmProgress(QWidget* parent, const QString& what) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmProgress"));
    setWindowTitle(QString::fromLatin1(kFormCaption));
    setModal(true);
    LabelWhat = new QLabel(what, this);
    LabelWhat->setObjectName(QStringLiteral("LabelWhat"));
    LabelStep = new QLabel(this);
    LabelStep->setObjectName(QStringLiteral("LabelStep"));
    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, 0); // busy until the first fraction arrives
    LabelElapsed = new QLabel(Elapsed(0), this);
    LabelElapsed->setObjectName(QStringLiteral("LabelElapsed"));
    CmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    CmdCancel->setObjectName(QStringLiteral("CmdCancel"));
    connect(CmdCancel, &QPushButton::clicked, this, [this] { reject(); });
    auto* row = new QHBoxLayout;
    row->addWidget(LabelElapsed);
    row->addStretch();
    row->addWidget(CmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LabelWhat);
    layout->addWidget(LabelStep);
    layout->addWidget(ProgressBar);
    layout->addLayout(row);
    setMinimumWidth(420);
    clock_.start();
    ticker_ = new QTimer(this);
    connect(ticker_, &QTimer::timeout, this,
            [this] { LabelElapsed->setText(Elapsed(clock_.elapsed())); });
    ticker_->start(250);
}

void FrmProgress::ShowProgress(double fraction) {
    if (fraction < 0) {
        ProgressBar->setRange(0, 0);
        return;
    }
    ProgressBar->setRange(0, kSteps);
    ProgressBar->setValue(static_cast<int>(fraction * kSteps));
}

void FrmProgress::ShowStep(const QString& step) {
    LabelStep->setText(step);
}

void FrmProgress::reject() {
    if (!cancelled_.exchange(true)) {
        LabelWhat->setText(LabelWhat->text() + QStringLiteral(" (stopping...)"));
        CmdCancel->setEnabled(false);
    }
}

Status RunWithProgress(QWidget* parent, Dialogs& dialogs, const QString& what,
                       const LongWork& work) {
    FrmProgress window(parent, what);
    WindowNotifier notifier(dialogs, &window);
    const RunControl control{
        [&window](double fraction) {
            QMetaObject::invokeMethod(
                &window, [&window, fraction] { window.ShowProgress(fraction); },
                Qt::QueuedConnection);
            return !window.CancelRequested();
        },
        true,
        [&window](const std::string& step) {
            const QString text = QString::fromStdString(step);
            QMetaObject::invokeMethod(
                &window, [&window, text] { window.ShowStep(text); }, Qt::QueuedConnection);
        }};
    Status status;
    bool out_of_memory = false;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            status = work(control, notifier);
        } catch (const std::bad_alloc&) {
            out_of_memory = true;
        }
        QMetaObject::invokeMethod(
            &window, [&window] { window.done(QDialog::Accepted); }, Qt::QueuedConnection);
    }));
    worker->start();
    // Only the end of the work closes the window; Cancel just asks the work to stop.
    window.exec();
    worker->wait();
    QCoreApplication::sendPostedEvents(&window);
    if (out_of_memory) {
        return Status::Failure("There is not enough memory to finish: " + what.toStdString() +
                               ". Nothing was changed.");
    }
    if (window.CancelRequested() || status.cancelled) {
        return Status::Cancelled();
    }
    return status;
}

} // namespace ranvik
