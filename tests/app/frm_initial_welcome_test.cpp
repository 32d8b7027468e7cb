#include "app/forms/frm_initial_welcome.h"
#include "app/forms/wizard.h"

#include "support/fake_dialogs.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <cmath>

namespace ranvik {

class FrmInitialWelcomeTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Start shows the welcome form; unloaded, it starts afresh when shown again.
    void welcomeFormTextsAndReload() {
        Session session;
        testing::FakeDialogs dialogs;
        Wizard wizard(session, dialogs);
        wizard.Start();

        FrmInitialWelcome* form = wizard.welcome.Get();
        QVERIFY(form != nullptr);
        QVERIFY(form->isVisible());
        QCOMPARE(form->objectName(), QStringLiteral("FrmInitialWelcome"));
        QCOMPARE(form->windowTitle(), QStringLiteral("Ranvik 1.3 Beta"));
        QCOMPARE(form->findChild<QLabel*>(QStringLiteral("Label1"))->text(),
                 QStringLiteral("Welcome to Ranvik"));
        QCOMPARE(form->findChild<QLabel*>(QStringLiteral("Label2"))->text(),
                 QStringLiteral("Ranvik is stand-alone software for estimating animal movements "
                                "and home ranges"));
        QVERIFY(form->findChild<QLabel*>(QStringLiteral("Picture1")) != nullptr);
        QCOMPARE(form->findChild<QPushButton*>(QStringLiteral("CmdNext"))->text(),
                 QStringLiteral("Next >>"));

        QPointer<FrmInitialWelcome> first = form;
        wizard.welcome.Unload();
        QVERIFY(wizard.welcome.Get() == nullptr);
        QVERIFY(!first->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(first.isNull());
        wizard.Start();
        QVERIFY(wizard.welcome.Get() != nullptr);
        QVERIFY(dialogs.messages.isEmpty());
    }
};

} // namespace ranvik

QTEST_MAIN(ranvik::FrmInitialWelcomeTest)
#include "frm_initial_welcome_test.moc"
