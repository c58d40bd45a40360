#include "viewer/widgets/WorldMapView.h"

#include "model/MetaDataObject.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

QString outlinesPath()
{
    return QStringLiteral(VELLORAN_RESOURCES_DIR "/map/world-outlines.bin");
}

// The colour the map shows at a coordinate.
QColor colourAt(WorldMapView& map, double latitude, double longitude)
{
    const QPoint point = map.projection().toView(QPointF(longitude, latitude)).toPoint();
    return map.grab().toImage().pixelColor(point);
}

bool near(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) < 12 && std::abs(a.green() - b.green()) < 12
        && std::abs(a.blue() - b.blue()) < 12;
}

} // namespace

class WorldMapViewTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_map = std::make_unique<WorldMapView>();
        m_map->resize(720, 360);
        QVERIFY(m_map->loadOutlines(outlinesPath()));
        m_map->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_map.get()));
    }

    void cleanup() { m_map.reset(); }

    void aPinShowsItsRegionAndNoPositionShowsTheWorld()
    {
        MetaDataViewerLocation pin;
        pin.kind = MetaDataViewerLocation::Kind::Pin;
        pin.latitude = 43.4674;
        pin.longitude = 11.8851;
        pin.region = MapRegion { 43.4674, 11.8851, 0.55, 0.55 };
        m_map->showLocation(pin); // not animated: at once
        QCOMPARE(m_map->pinCoordinate(), QPointF(11.8851, 43.4674));
        QVERIFY(m_map->pinTitle().isEmpty());
        QCOMPARE(m_map->region(), pin.region);
        QVERIFY(qAbs(m_map->visibleRegion().latitudeDelta - 0.55) < 1e-9);
        QCOMPARE(m_map->visibleRegion().centerLongitude, 11.8851);

        MetaDataObject none;
        m_map->showLocation(MetaDataViewerLocation::fromRecord(none));
        QCOMPARE(m_map->pinTitle(), QStringLiteral("No location found"));
        QCOMPARE(m_map->pinCoordinate(), QPointF(-142, 28));
        QCOMPARE(m_map->visibleRegion().longitudeDelta, 360.0);
        QCOMPARE(m_map->visibleRegion().centerLatitude, 0.0);
    }

    void theTitleOfNoPositionStaysWholeAndCentredAtEverySize()
    {
        MetaDataObject none;
        m_map->showLocation(MetaDataViewerLocation::fromRecord(none));
        QLabel* title = m_map->titleLabel();
        QCOMPARE(title->objectName(), QStringLiteral("lblPinTitle"));
        for (const QSize size : { QSize(720, 360), QSize(330, 230), QSize(160, 90), m_map->minimumSizeHint() }) {
            m_map->resize(size);
            QVERIFY(title->isVisible());
            QCOMPARE(title->text(), QStringLiteral("No location found"));
            const QRect box = title->geometry();
            QVERIFY2(
                m_map->rect().contains(box), qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())));
            QVERIFY(std::abs(box.center().x() - m_map->width() / 2) <= 1);
            // Every word shows: on one line where there is room, else wrapped.
            QVERIFY(box.height() >= title->heightForWidth(box.width()));
        }
        m_map->resize(720, 360);
        QVERIFY(title->height() < 2 * title->fontMetrics().height() + 12); // one line
        QVERIFY(std::abs(title->geometry().center().y() - m_map->height() / 2) <= 1);

        // A position has no title; another photo without one gets it back.
        m_map->setPin(43.4674, 11.8851);
        QVERIFY(title->isHidden());
        m_map->setPin(28, -142, QStringLiteral("Invalid location"));
        QVERIFY(title->isVisible());
        QCOMPARE(title->text(), QStringLiteral("Invalid location"));
        m_map->removePins();
        QVERIFY(title->isHidden());
    }

    void anAnimatedMoveEndsOnTheRegion()
    {
        QSignalSpy moved(m_map.get(), &WorldMapView::visibleRegionChanged);
        const MapRegion paris { 48.86, 2.35, 0.55, 0.55 };
        m_map->setRegion(paris, true);
        QTRY_COMPARE(m_map->visibleRegion().centerLongitude, 2.35);
        QVERIFY(moved.count() > 1);
        QCOMPARE(m_map->region(), paris);
    }

    void theThreeLooksDrawLandAndSeaApart()
    {
        m_map->setMapTypeForTag(1);
        QCOMPARE(m_map->mapType(), WorldMapView::MapType::Road);
        const QColor roadSea = colourAt(*m_map, 30, -40);
        const QColor roadLand = colourAt(*m_map, -25, 134);
        QVERIFY(near(roadSea, QColor(0xaa, 0xd3, 0xdf)));
        QVERIFY(near(roadLand, QColor(0xf2, 0xef, 0xe9)));

        m_map->setMapTypeForTag(2);
        QCOMPARE(m_map->mapType(), WorldMapView::MapType::Satellite);
        const QColor satelliteSea = colourAt(*m_map, 30, -40);
        const QColor satelliteLand = colourAt(*m_map, -25, 134);
        QVERIFY(!near(satelliteSea, roadSea));
        QVERIFY(!near(satelliteLand, satelliteSea));
        QVERIFY(satelliteSea.blue() > satelliteSea.red());

        m_map->setMapTypeForTag(3);
        QCOMPARE(m_map->mapType(), WorldMapView::MapType::Hybrid);
        m_map->setMapTypeForTag(7); // any other tag
        QCOMPARE(m_map->mapType(), WorldMapView::MapType::Hybrid);
    }

    void bordersShowOnRoadAndHybridOnly()
    {
        // Zoomed onto a stretch of the straight Egypt-Sudan border at 22 degrees north.
        m_map->setRegion(MapRegion { 22, 30, 2, 2 });
        auto borderRow = [this] {
            const QImage image = m_map->grab().toImage();
            const int y = m_map->projection().toView(QPointF(30, 22)).toPoint().y();
            QColor plain = image.pixelColor(image.width() / 2, y - 40);
            int differing = 0;
            for (int dy = -2; dy <= 2; ++dy)
                differing += !near(image.pixelColor(image.width() / 2, y + dy), plain);
            return differing;
        };
        m_map->setMapType(WorldMapView::MapType::Road);
        QVERIFY(borderRow() > 0);
        m_map->setMapType(WorldMapView::MapType::Hybrid);
        QVERIFY(borderRow() > 0);
        m_map->setMapType(WorldMapView::MapType::Satellite);
        QCOMPARE(borderRow(), 0);
    }

    void buttonsKeysAndDragMoveTheMap()
    {
        auto* zoomIn = m_map->findChild<QToolButton*>(QStringLiteral("btnZoomIn"));
        auto* zoomOut = m_map->findChild<QToolButton*>(QStringLiteral("btnZoomOut"));
        QVERIFY(zoomIn && zoomOut);
        const double world = m_map->projection().pixelsPerDegree();
        QTest::mouseClick(zoomIn, Qt::LeftButton);
        QCOMPARE(m_map->projection().pixelsPerDegree(), 2 * world);
        QTest::mouseClick(zoomOut, Qt::LeftButton);
        QTest::mouseClick(zoomOut, Qt::LeftButton); // no further out than the world
        QCOMPARE(m_map->projection().pixelsPerDegree(), world);

        QTest::mouseClick(zoomIn, Qt::LeftButton);
        QTest::mouseClick(zoomIn, Qt::LeftButton);
        const QPointF before = m_map->projection().center();
        QTest::mousePress(m_map.get(), Qt::LeftButton, {}, QPoint(300, 200));
        QTest::mouseMove(m_map.get(), QPoint(340, 180));
        QTest::mouseRelease(m_map.get(), Qt::LeftButton, {}, QPoint(340, 180));
        const double perDegree = m_map->projection().pixelsPerDegree();
        QCOMPARE(m_map->projection().center(), before + QPointF(-40 / perDegree, -20 / perDegree));

        QTest::keyClick(m_map.get(), Qt::Key_Plus);
        QCOMPARE(m_map->projection().pixelsPerDegree(), 2 * perDegree);
    }

    void everyMapStartsWithTheBundledOutlines()
    {
        QVERIFY(WorldMapView::bundledOutlines());
        QCOMPARE(WorldMapView::bundledOutlines(), WorldMapView::bundledOutlines()); // read once
        WorldMapView map;
        QVERIFY(map.hasOutlines());
    }

    void damagedOutlinesAreRefusedAndTheMapStillDraws()
    {
        WorldMapView map;
        map.resize(200, 100);
        QVERIFY(!map.loadOutlines(QStringLiteral("/nonexistent/outlines.bin")));
        QVERIFY(map.hasOutlines()); // the outlines it had stay
        map.setOutlines(nullptr);
        QVERIFY(!map.hasOutlines());
        QVERIFY(!map.grab().isNull());
    }

private:
    std::unique_ptr<WorldMapView> m_map;
};

QTEST_MAIN(WorldMapViewTest)
#include "WorldMapViewTest.moc"
