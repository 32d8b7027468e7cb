#include "ui/progress_runner.h"

#include "app/forms/wizard.h"
#include "input/forms/loaded_files.h"
#include "output/comparison.h"
#include "output/forms/comparison_results.h"
#include "support/fake_dialogs.h"
#include "support/wizard_session.h"
#include "ui/form_kit.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <new>
#include <thread>
#include <vector>

namespace ranvik {
namespace {

Session DeerLoaded() {
    Session session;
    const auto outcome =
        LoadTextFile(session, std::string(RANVIK_EXAMPLES_DIR) + "/deer_independent.txt",
                     TextFilePurpose::IndependentLocations);
    Q_ASSERT(outcome.Ok());
    return session;
}

// A control that, at the first report of at least `at`, has the window's thread run `act` on
// the progress window (and wait for it), then passes the report on. This makes a cancel land
// mid-way whatever the speed of the machine.
RunControl ActAt(const RunControl& control, double at, QWidget& parent,
                 std::function<void(FrmProgress&)> act) {
    auto done = std::make_shared<bool>(false);
    return {[control, at, &parent, act = std::move(act), done](double f) {
                if (!*done && f >= at) {
                    *done = true;
                    QMetaObject::invokeMethod(
                        &parent,
                        [&parent, &act] {
                            if (auto* window = parent.findChild<FrmProgress*>()) {
                                act(*window);
                            }
                        },
                        Qt::BlockingQueuedConnection);
                }
                return control.Report(f);
            },
            control.parallel, control.describe};
}

// A form whose long work the tests start themselves.
class LongWorkForm final : public WizardForm {
public:
    explicit LongWorkForm(Navigator& wizard) : WizardForm(wizard, "FrmLongWork") {}

    using WizardForm::RunLong;
};

// Presses Cancel on `form`'s progress window from the work, waiting until it is pressed.
void PressCancel(QWidget& form) {
    QMetaObject::invokeMethod(
        &form, [&form] { form.findChild<FrmProgress*>()->CmdCancel->click(); },
        Qt::BlockingQueuedConnection);
}

} // namespace

class ProgressRunnerTest : public QObject {
    Q_OBJECT

    testing::FakeDialogs dialogs;
    QWidget parent;
    Session record;
    Wizard wizard{record, dialogs};

private Q_SLOTS:
    void progressRisesAndTheResultIsTheDirectRunsResult() {
        const ComparisonChoice choice{.bvn = true, .circle_mixture = true, .fixed_kernel = true};
        const Session loaded = DeerLoaded();
        class Silent final : public Notifier {
        public:
            void Inform(std::string_view) override {}
        } silent;
        Session direct = loaded;
        EstimatorChain direct_chain;
        const IndependentLocations& locations = loaded.locations();
        auto direct_results =
            RunComparison(locations.xy, locations.count, choice, {}, silent, {{}, false});
        QVERIFY(direct_results.Ok());
        QVERIFY(CommitComparison(direct, direct_chain, std::move(direct_results.value)).Ok());

        Session shown = loaded;
        EstimatorChain shown_chain;
        StatusOr<ComparisonResults> results;
        std::vector<double> fractions;
        const Status status =
            RunWithProgress(&parent, dialogs, QStringLiteral("Comparing"),
                            [&](const RunControl& control, Notifier& notifier) {
                                const RunControl recording{[&](double f) {
                                                               fractions.push_back(f);
                                                               return control.Report(f);
                                                           },
                                                           true};
                                results =
                                    RunComparison(shown.locations().xy, shown.locations().count,
                                                  choice, {}, notifier, recording);
                                return results.status;
                            });
        QVERIFY(status.Ok());
        QVERIFY(shown == loaded); // the work never writes the session
        QVERIFY(CommitComparison(shown, shown_chain, std::move(results.value)).Ok());
        QVERIFY(shown == direct);
        QVERIFY(shown_chain == direct_chain);
        QVERIFY(fractions.size() > 10);
        double last = 0.0;
        for (const double f : fractions) {
            if (f >= 0) {
                QVERIFY(f >= last);
                QVERIFY(f <= 1.0);
                last = f;
            }
        }
    }

    void aMessageWaitsForTheUserAndTheWorkGoesOn() {
        int messages_seen_by_work = -1;
        bool finished = false;
        const Status status =
            RunWithProgress(&parent, dialogs, QStringLiteral("Fitting"),
                            [&](const RunControl&, Notifier& notifier) {
                                notifier.Inform("Amoeba exceeding maximum iterations.");
                                messages_seen_by_work = static_cast<int>(dialogs.messages.size());
                                finished = true;
                                return Status{};
                            });
        QVERIFY(status.Ok());
        QCOMPARE(messages_seen_by_work, 1);
        QCOMPARE(dialogs.messages.last(), QStringLiteral("Amoeba exceeding maximum iterations."));
        QVERIFY(finished);
    }

    void windowsKeepRepaintingWhileWorkRuns() {
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(10);
        const Status status = RunWithProgress(
            &parent, dialogs, QStringLiteral("Waiting"), [](const RunControl& control, Notifier&) {
                for (int i = 0; i < 30; ++i) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                    (void)control.Report(i / 30.0);
                }
                return Status{};
            });
        QVERIFY(status.Ok());
        QVERIFY2(ticks >= 5, "the event loop stood still while the work ran");
    }

    // Cancel pressed mid-way through a real comparison (after the window's picture is taken):
    // the comparison itself stops and says so, so its form commits nothing.
    void cancelStopsAComparisonMidWay() {
        const Session session = DeerLoaded();
        const QString file = testing::FormPicture(QStringLiteral("FrmProgress.png"));
        QFile::remove(file);
        const ComparisonChoice all{true, true, true, true, true, true};
        Status compared;
        const Status status =
            RunWithProgress(&parent, dialogs,
                            QStringLiteral("Comparing the models and their leave-one-out criteria"),
                            [&](const RunControl& control, Notifier& notifier) {
                                compared =
                                    RunComparison(session.locations().xy, session.locations().count,
                                                  all, {}, notifier,
                                                  ActAt(control, 0.3, parent,
                                                        [&file](FrmProgress& w) {
                                                            QCoreApplication::processEvents();
                                                            w.grab().save(file);
                                                            w.CmdCancel->click();
                                                        }))
                                        .status;
                                return compared;
                            });
        QVERIFY(QFileInfo(file).size() > 0);
        QVERIFY(status.cancelled);
        QVERIFY(compared.cancelled);
    }

    void workThatSucceedsIsCommittedOnTheGuiThread() {
        LongWorkForm form(wizard);
        const qsizetype messages = dialogs.messages.size();
        int result = 0;
        int committed = 0;
        QThread* committed_on = nullptr;
        const bool done = form.RunLong(
            QStringLiteral("Counting"),
            [&](const RunControl&, Notifier&) {
                result = 42;
                return Status{};
            },
            [&] {
                committed = result;
                committed_on = QThread::currentThread();
            });
        QVERIFY(done);
        QCOMPARE(committed, 42);
        QCOMPARE(committed_on, form.thread());
        QCOMPARE(dialogs.messages.size(), messages);
    }

    void workThatFailsShowsItsSentenceAndCommitsNothing() {
        LongWorkForm form(wizard);
        const qsizetype messages = dialogs.messages.size();
        bool committed = false;
        const bool done = form.RunLong(
            QStringLiteral("Gridding"),
            [](const RunControl&, Notifier&) {
                return Status::Failure("The grid would have more than 2^31 cells.");
            },
            [&] { committed = true; });
        QVERIFY(!done);
        QVERIFY(!committed);
        QCOMPARE(dialogs.messages.size(), messages + 1);
        QCOMPARE(dialogs.messages.last(),
                 QStringLiteral("The grid would have more than 2^31 cells."));
        QCOMPARE(dialogs.titles.last(), QString());
        QCOMPARE(dialogs.last_icon, Dialogs::Icon::None);

        // Work that runs out of memory fails the same way, with the runner's sentence (the
        // wizard's forms run all long work through the runner).
        const bool out_of_memory = form.RunLong(
            QStringLiteral("Gridding"),
            [](const RunControl&, Notifier&) -> Status { throw std::bad_alloc(); },
            [&] { committed = true; });
        QVERIFY(!out_of_memory);
        QVERIFY(!committed);
        QCOMPARE(dialogs.messages.last(),
                 QStringLiteral("There is not enough memory to finish: Gridding. Nothing was "
                                "changed."));
    }

    void workThatIsCancelledShowsNothingAndCommitsNothing() {
        LongWorkForm form(wizard);
        const qsizetype messages = dialogs.messages.size();
        bool committed = false;
        bool told_to_stop = false;
        const bool stopped = form.RunLong(
            QStringLiteral("Busy"),
            [&](const RunControl& control, Notifier&) {
                PressCancel(form);
                told_to_stop = !control.Report(0.5);
                return Status::Cancelled();
            },
            [&] { committed = true; });
        QVERIFY(!stopped);
        QVERIFY(told_to_stop);

        // Work that finishes as Cancel is pressed is not committed either: the user has been
        // told that nothing changed.
        const bool finished = form.RunLong(
            QStringLiteral("Busy"),
            [&](const RunControl&, Notifier&) {
                PressCancel(form);
                return Status{};
            },
            [&] { committed = true; });
        QVERIFY(!finished);
        QVERIFY(!committed);
        QCOMPARE(dialogs.messages.size(), messages);
        QCOMPARE(form.findChild<QLabel*>(QStringLiteral("LblStatus"))->text(),
                 QStringLiteral("Cancelled: nothing was changed."));
    }
};

} // namespace ranvik

QTEST_MAIN(ranvik::ProgressRunnerTest)
#include "progress_runner_test.moc"
