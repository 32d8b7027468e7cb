#include "app/forms/all_forms.h"

#include "support/wizard_session.h"

#include <QImage>
#include <QLabel>
#include <QSet>
#include <QTest>

namespace ranvik {

class FrontFormsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The analysis form carries a picture of a home range, not an empty frame.
    void analysisFormShowsAHomeRangePicture() {
        testing::WizardSession s;
        s.wizard->Start();
        s.wizard->welcome.Get()->CmdNext_Click();
        s.wizard->data_type.Get()->CmdNext_Click();
        FrmHomeRangeOptions* analysis = s.wizard->home_range.Get();
        QVERIFY(analysis != nullptr && analysis->isVisible());

        const auto* image1 = analysis->findChild<QLabel*>(QStringLiteral("Image1"));
        QVERIFY(image1 != nullptr);
        const QPixmap picture = image1->pixmap();
        QVERIFY(!picture.isNull());
        QVERIFY(picture.width() >= 100 && picture.height() >= 60);

        // Drawn, not a plain fill: the ground, two outlines and their fills, the locations.
        const QImage image = picture.toImage();
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 2) {
            for (int x = 0; x < image.width(); x += 2) {
                colours.insert(image.pixel(x, y));
            }
        }
        QVERIFY(colours.size() >= 5);
        QVERIFY(s.dialogs.messages.isEmpty());
        QVERIFY(
            analysis->grab().save(testing::FormPicture(QStringLiteral("FrmHomeRangeOptions.png"))));
    }
};

} // namespace ranvik

QTEST_MAIN(ranvik::FrontFormsTest)
#include "front_forms_test.moc"
