#include "input/forms/map_viewer.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

namespace ranvik {
namespace {

ShapeLayer Sample(const char* name) {
    auto layer = OpenShapeLayer(std::string(RANVIK_EXAMPLES_DIR) + "/shapefiles/" + name);
    Q_ASSERT(layer.Ok());
    return layer.value;
}

QAction* Tool(frmViewShapeFile& view, const char* key) {
    return view.tbrTools->findChild<QAction*>(QString::fromLatin1(key));
}

void Drag(QWidget* canvas, QPoint from, QPoint to) {
    QTest::mousePress(canvas, Qt::LeftButton, {}, from);
    QTest::mouseMove(canvas, to);
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, to);
}

} // namespace

class MapViewerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void zoomPanAndFullExtent() {
        frmViewShapeFile view(Sample("study_area.shp"));
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.windowTitle(), QStringLiteral("study_area"));
        MapCanvas* map = view.mapMain;
        const QRectF full = map->Extent();
        QVERIFY(full.contains(QPointF(557000, 5424000)) && full.contains(QPointF(559400, 5426200)));

        // A click with no tool pressed changes nothing.
        QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(map->Extent(), full);

        Tool(view, "ZoomIn")->trigger();
        const QPointF centre = map->ToMap(QPointF(150, 150));
        Drag(map, QPoint(100, 100), QPoint(200, 200));
        QVERIFY(map->Extent().width() < full.width() / 2);
        QVERIFY(std::abs(map->Extent().center().x() - centre.x()) < full.width() / 100);

        Tool(view, "Pan")->trigger();
        const QRectF before = map->Extent();
        const QPointF left = map->ToMap(QPointF(100, 100));
        const QPointF right = map->ToMap(QPointF(160, 100));
        Drag(map, QPoint(160, 100), QPoint(100, 100));
        QVERIFY(std::abs((map->Extent().center().x() - before.center().x()) -
                         (right.x() - left.x())) < 1e-6 * full.width());

        Tool(view, "FullExt")->trigger();
        QCOMPARE(map->Extent(), full);

        QDir folder(QDir::current().filePath(QStringLiteral("form-pictures")));
        QVERIFY(folder.mkpath(QStringLiteral(".")));
        QVERIFY(view.grab().save(folder.filePath(QStringLiteral("frmViewShapeFile.png"))));
    }

    void identifyListsTheFieldsOfTheFeatureFound() {
        frmViewShapeFile polygons(Sample("study_area.shp"));
        polygons.show();
        Tool(polygons, "Identify")->trigger();
        MapCanvas* map = polygons.mapMain;
        QTest::mouseClick(map, Qt::LeftButton, {},
                          map->ToPixel(QPointF(557500, 5425000)).toPoint());
        QVERIFY(polygons.Identify() != nullptr);
        QCOMPARE(polygons.Identify()->windowTitle(), QStringLiteral("Identification"));
        QTreeWidget* list = polygons.Identify()->lvwIdentifyResults;
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("West meadow"));
        QCOMPARE(list->topLevelItem(1)->text(1), QStringLiteral("1"));

        // Points are found within 100 screen pixels of the click, at the current zoom.
        frmViewShapeFile points(Sample("road_points.shp"));
        points.show();
        Tool(points, "Identify")->trigger();
        MapCanvas* pmap = points.mapMain;
        const QPointF first = pmap->ToPixel(QPointF(557400, 5424600));
        QTest::mouseClick(pmap, Qt::LeftButton, {}, (first + QPointF(0, 60)).toPoint());
        QVERIFY(points.Identify() != nullptr);
        QCOMPARE(points.Identify()->lvwIdentifyResults->topLevelItem(0)->text(1),
                 QStringLiteral("557400"));
        points.Identify()->lvwIdentifyResults->clear();
        QTest::mouseClick(pmap, Qt::LeftButton, {}, (first + QPointF(0, 150)).toPoint());
        QCOMPARE(points.Identify()->lvwIdentifyResults->topLevelItemCount(), 0);
    }
};

} // namespace ranvik

QTEST_MAIN(ranvik::MapViewerTest)
#include "map_viewer_test.moc"
