#include "input/forms/map_viewer.h"

#include "app/forms/all_forms.h"
#include "input/shape_writer.h"

#include "support/temp_dir.h"
#include "support/wizard_session.h"

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include <cmath>
#include <limits>
#include <memory>

namespace ranvik {
namespace {

const QString kExamples = QStringLiteral(RANVIK_EXAMPLES_DIR);

ShapeLayer Sample(const char* name) {
    auto layer = OpenShapeLayer(std::string(RANVIK_EXAMPLES_DIR) + "/shapefiles/" + name);
    Q_ASSERT(layer.Ok());
    return layer.value;
}

// A map view of a sample layer at its full extent, shown, as the loader opens it.
std::unique_ptr<frmViewShapeFile> View(const char* name) {
    auto view = std::make_unique<frmViewShapeFile>();
    const Status added = view->map_canvas->AddLayer(Sample(name));
    Q_ASSERT(added.Ok());
    view->map_canvas->ShowFullExtent();
    view->show();
    return view;
}

QAction* Tool(frmViewShapeFile& view, const char* key) {
    return view.tool_bar->findChild<QAction*>(QString::fromLatin1(key));
}

void Drag(QWidget* canvas, QPoint from, QPoint to) {
    QTest::mousePress(canvas, Qt::LeftButton, {}, from);
    QTest::mouseMove(canvas, to);
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, to);
}

// A hand-made layer of three point records, the second with no shape at all.
ShapeLayer ThreePoints() {
    ShapeLayer layer;
    layer.name = "hand_made";
    layer.path = "hand_made.shp";
    layer.records = 3;
    layer.geometries = {{{{{1.0, 2.0}}}}, {}, {{{{3.0, 4.0}}}}};
    return layer;
}

} // namespace

class MapViewerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void zoomPanAndFullExtent() {
        std::unique_ptr<frmViewShapeFile> view = View("study_area.shp");
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        MapCanvas* map = view->map_canvas;
        const QRectF full = map->Extent();
        QVERIFY(full.contains(QPointF(557000, 5424000)) && full.contains(QPointF(559400, 5426200)));

        // A click with no tool pressed changes nothing.
        QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(map->Extent(), full);

        Tool(*view, "ZoomIn")->trigger();
        const QPointF centre = map->ToMap(QPointF(150, 150));
        Drag(map, QPoint(100, 100), QPoint(200, 200));
        QVERIFY(map->Extent().width() < full.width() / 2);
        QVERIFY(std::abs(map->Extent().center().x() - centre.x()) < full.width() / 100);

        Tool(*view, "Pan")->trigger();
        const QRectF before = map->Extent();
        const QPointF left = map->ToMap(QPointF(100, 100));
        const QPointF right = map->ToMap(QPointF(160, 100));
        Drag(map, QPoint(160, 100), QPoint(100, 100));
        QVERIFY(std::abs((map->Extent().center().x() - before.center().x()) -
                         (right.x() - left.x())) < 1e-6 * full.width());

        Tool(*view, "FullExt")->trigger();
        QCOMPARE(map->Extent(), full);

        QVERIFY(view->grab().save(testing::FormPicture(QStringLiteral("frmViewShapeFile.png"))));
    }

    void identifyListsTheFieldsOfThePolygonClicked() {
        std::unique_ptr<frmViewShapeFile> polygons = View("study_area.shp");
        Tool(*polygons, "Identify")->trigger();
        MapCanvas* map = polygons->map_canvas;
        QTest::mouseClick(map, Qt::LeftButton, {},
                          map->ToPixel(QPointF(557500, 5425000)).toPoint());
        QVERIFY(polygons->Identify() != nullptr);
        QCOMPARE(polygons->Identify()->windowTitle(), QStringLiteral("Identification"));
        QTreeWidget* list = polygons->Identify()->results_list;
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("West meadow"));
        QCOMPARE(list->topLevelItem(1)->text(1), QStringLiteral("1"));
        // Each column is 2500 twips wide.
        QCOMPARE(list->columnWidth(0), qRound(2500.0 * list->logicalDpiX() / 1440.0));
    }

    // Points are found within 100 twips (1/1440 inch) of the click on the screen, whatever
    // the zoom: a click a pixel inside that distance finds the point, a pixel outside does not.
    void identifyFindsPointsWithinOneHundredTwipsOfTheClick() {
        std::unique_ptr<frmViewShapeFile> points = View("road_points.shp");
        Tool(*points, "Identify")->trigger();
        MapCanvas* map = points->map_canvas;
        const double tolerance = 100.0 * map->logicalDpiX() / 1440.0; // in pixels
        QVERIFY(tolerance > 2.0);

        // The point's pixel, and the clicks straight below it nearest to the tolerance on
        // either side (clicks land on whole pixels).
        const QPointF at = map->ToPixel(QPointF(557400, 5424600));
        const QPoint base(qRound(at.x()), qRound(at.y()));
        const auto distance = [&](int down) {
            return std::hypot(base.x() - at.x(), base.y() + down - at.y());
        };
        int inside = 0;
        while (distance(inside + 1) < tolerance) {
            ++inside;
        }
        const int outside = inside + 1;
        QVERIFY(distance(inside) < tolerance && distance(outside) > tolerance);
        QVERIFY(distance(outside) < 100.0); // the old 100-pixel reach would still find it

        QTest::mouseClick(map, Qt::LeftButton, {}, base + QPoint(0, inside));
        QVERIFY(points->Identify() != nullptr);
        QTreeWidget* list = points->Identify()->results_list;
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("557400"));

        list->clear();
        QTest::mouseClick(map, Qt::LeftButton, {}, base + QPoint(0, outside));
        QCOMPARE(list->topLevelItemCount(), 0);

        // Zoomed in four times around the point, the reach on the screen stays the same.
        const QRectF full = map->Extent();
        map->SetExtent(QRectF(QPointF(557400, 5424600) - QPointF(full.width(), full.height()) / 8,
                              full.size() / 4));
        const QPointF zoomed = map->ToPixel(QPointF(557400, 5424600));
        QTest::mouseClick(map, Qt::LeftButton, {},
                          QPoint(qRound(zoomed.x()), qRound(zoomed.y() + tolerance + 1.5)));
        QCOMPARE(list->topLevelItemCount(), 0);
        QTest::mouseClick(map, Qt::LeftButton, {},
                          QPoint(qRound(zoomed.x()), qRound(zoomed.y() + tolerance - 1.5)));
        QVERIFY(list->topLevelItemCount() > 0);
    }

    void mapRefusesALayerWithNothingToDraw() {
        MapCanvas map(nullptr);
        QVERIFY(map.Layer() == nullptr);

        ShapeLayer empty = ThreePoints();
        empty.records = 0;
        empty.geometries.clear();
        Status added = map.AddLayer(empty);
        QVERIFY(!added.Ok());
        QVERIFY(QString::fromStdString(added.error).contains(QStringLiteral("hand_made")));

        ShapeLayer null_shapes = ThreePoints();
        null_shapes.geometries = {{}, {}, {}};
        QVERIFY(!map.AddLayer(null_shapes).Ok());
        QVERIFY(map.Layer() == nullptr);

        // One record without a shape among drawable ones is fine.
        QVERIFY(map.AddLayer(ThreePoints()).Ok());
        QVERIFY(map.Layer() != nullptr);
        QCOMPARE(map.Layer()->records, 3);

        // A coordinate the map cannot place is refused, and the map keeps what it showed.
        ShapeLayer bad = ThreePoints();
        bad.name = "bad";
        bad.geometries[2].parts[0][0].second = std::numeric_limits<double>::infinity();
        added = map.AddLayer(bad);
        QVERIFY(!added.Ok());
        QVERIFY(QString::fromStdString(added.error).contains(QStringLiteral("Record 3")));
        QCOMPARE(QString::fromStdString(map.Layer()->name), QStringLiteral("hand_made"));
    }

    // View Shapefile on a layer the map refuses: the message names the layer, no map opens,
    // and a good layer opened afterwards shows as usual.
    void viewShapefileReportsALayerTheMapRefuses() {
        testing::TempDir dir;
        ShapefileContent content;
        content.fields = {{"Easting", kDoubleField}, {"Northing", kDoubleField}};
        const auto empty = dir.path() / "no_fixes.shp";
        QVERIFY(WriteShapefile(empty, content).Ok());

        testing::WizardSession s;
        s.ToLoader(false, &FrmInputDataOptions::shapefile_option);
        testing::FakeDialogs& dialogs = s.dialogs;
        FrmLoadShapefile& loader = *s.wizard->load_shapefile.Get();
        testing::OpenOn(dialogs, loader, QString::fromStdString(empty.string()));
        QVERIFY(loader.Layer().has_value());
        const qsizetype before = dialogs.messages.size();
        loader.Command2_Click();
        QCOMPARE(dialogs.messages.size(), before + 1);
        QCOMPARE(dialogs.messages.last(), QStringLiteral("Error adding MapLayer no_fixes"));
        QVERIFY(!dialogs.details.last().isEmpty());
        QVERIFY(loader.Viewer() == nullptr);
        for (QWidget* window : QApplication::topLevelWidgets()) {
            QVERIFY(!(window->objectName() == QStringLiteral("frmViewShapeFile") &&
                      window->isVisible()));
        }

        testing::OpenOn(dialogs, loader, kExamples + QStringLiteral("/shapefiles/road_points.shp"));
        loader.Command2_Click();
        QPointer<frmViewShapeFile> viewer = loader.Viewer();
        QVERIFY(viewer != nullptr && viewer->isVisible());
        QCOMPARE(viewer->windowTitle(), QStringLiteral("road_points"));
        QCOMPARE(dialogs.messages.size(), before + 1);
    }
};

} // namespace ranvik

QTEST_MAIN(ranvik::MapViewerTest)
#include "map_viewer_test.moc"
