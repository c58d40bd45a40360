#include "viewer/widgets/TileMapView.h"

#include "model/MetaDataObject.h"
#include "support/LocalHttpServer.h"
#include "viewer/MapOutlines.h"
#include "viewer/OfflineMapTiles.h"
#include "viewer/TileFetcher.h"

#include <QLabel>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

MetaDataViewerLocation paris()
{
    MetaDataViewerLocation location;
    location.kind = MetaDataViewerLocation::Kind::Pin;
    location.latitude = 48.8566;
    location.longitude = 2.3522;
    location.region = MapRegion { 48.8566, 2.3522, 0.55, 0.55 };
    return location;
}

// The colour the map shows at a coordinate.
QColor colourAt(TileMapView& map, double latitude, double longitude)
{
    const QPoint point = map.viewport().toView(QPointF(longitude, latitude)).toPoint();
    return map.grab().toImage().pixelColor(point);
}

bool near(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) < 12 && std::abs(a.green() - b.green()) < 12
        && std::abs(a.blue() - b.blue()) < 12;
}

// A press, a move and a release, as a drag with the mouse sends them.
void drag(QWidget& widget, QPoint from, QPoint to)
{
    QTest::mousePress(&widget, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), QPointF(to), QPointF(to), Qt::NoButton, Qt::LeftButton,
        Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &move);
    QTest::mouseRelease(&widget, Qt::LeftButton, {}, to);
}

} // namespace

class TileMapViewTest : public QObject {
    Q_OBJECT

private slots:
    void tilesFromTheServerFillTheViewAroundThePosition()
    {
        LocalHttpServer server([](const LocalHttpServer::Request&) {
            return LocalHttpServer::Response { 200, "image/png", LocalHttpServer::pngTile(0x336699), {}, 0 };
        });
        QTemporaryDir cache;
        TileFetcher fetcher(server.baseUrl() + QStringLiteral("/{z}/{x}/{y}.png"), cache.path());
        TileMapView map;
        map.resize(1050, 700);
        map.setTileFetcher(&fetcher);
        map.showLocation(paris());
        map.show();
        const int tiles = int(map.viewport().tilesInView().size());
        QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(), tiles, 10000);
        QTRY_VERIFY(!map.grab().isNull() && !map.showsOfflineMap());
        const QImage frame = map.grab().toImage();
        QCOMPARE(frame.pixelColor(40, 40), QColor(0x33, 0x66, 0x99));
        // Only the view's zoom is asked, around the position.
        const int zoom = map.viewport().zoom();
        for (const auto& request : server.requests())
            QVERIFY2(request.path.startsWith("/" + QByteArray::number(zoom) + "/"), request.path.constData());
        const QPointF pin = map.viewport().toView(map.pinCoordinate());
        QVERIFY(qAbs(pin.x() - 525) < 1 && qAbs(pin.y() - 350) < 1);
        // The region of 0.55 degrees is in view.
        QVERIFY(map.viewport().toView({ 2.3522 - 0.275, 48.8566 + 0.275 }).y() >= 0);
    }

    // Satellite and hybrid draw the imagery server's tiles, asked no deeper than its
    // deepest level and enlarged beyond it, with the credit and the enlargement said
    // on the map; the road look keeps its own server.
    void theImageryLooksDrawTheirOwnTilesAndEnlargeTheDeepestLevel()
    {
        LocalHttpServer server([](const LocalHttpServer::Request& request) {
            const unsigned colour = request.path.startsWith("/sat/") ? 0x224466 : 0x336699;
            return LocalHttpServer::Response { 200, "image/png", LocalHttpServer::pngTile(colour), {}, 0 };
        });
        QTemporaryDir cache;
        QTemporaryDir imageryCache;
        TileFetcher road(server.baseUrl() + QStringLiteral("/road/{z}/{x}/{y}.png"), cache.path());
        TileFetcher imagery(server.baseUrl() + QStringLiteral("/sat/{z}/{y}/{x}.jpg"), imageryCache.path());
        imagery.setDeepestZoom(OnlineServices::kSatelliteDeepestZoom);
        TileMapView map;
        map.resize(1050, 700);
        map.setTileFetcher(&road);
        map.setSatelliteTileFetcher(&imagery);
        map.showLocation(paris());
        map.show();
        QTRY_VERIFY_WITH_TIMEOUT(!map.grab().isNull() && !map.showsOfflineMap(), 10000);
        QVERIFY(!map.attributionText().contains(QStringLiteral("NASA")));

        const int roadRequests = server.requestCount();
        map.setMapType(MapType::Satellite);
        QVERIFY(map.viewport().zoom() > OnlineServices::kSatelliteDeepestZoom);
        QTRY_VERIFY_WITH_TIMEOUT(!map.grab().isNull() && !map.showsOfflineMap(), 10000);
        QVERIFY(map.showsImagery() && map.showsEnlargedImagery());
        QCOMPARE(map.grab().toImage().pixelColor(40, 40), QColor(0x22, 0x44, 0x66));
        QVERIFY(map.attributionText().contains(TileMapView::kImageryAttribution));
        QVERIFY(map.attributionText().contains(QStringLiteral("level 8 enlarged")));
        const QList<LocalHttpServer::Request> asked = server.requests().mid(roadRequests);
        QVERIFY(!asked.isEmpty());
        // A few tiles of the deepest level cover the whole view, each asked once.
        QVERIFY(asked.size() < map.viewport().tilesInView().size());
        QSet<QByteArray> paths;
        for (const auto& request : asked) {
            QVERIFY2(request.path.startsWith("/sat/8/"), request.path.constData());
            QVERIFY(request.headers.value("user-agent").startsWith("Velloran/"));
            paths.insert(request.path);
        }
        QCOMPARE(paths.size(), asked.size());
        // Paris is row 88, column 129 of the deepest level: row before column.
        QVERIFY(paths.contains("/sat/8/88/129.jpg"));

        // Hybrid puts the place names over the imagery.
        map.setMapType(MapType::Hybrid);
        map.grab();
        QVERIFY(map.showsImagery() && !map.showsOfflineMap());
        QVERIFY(map.labelledPlaceCount() > 0);
        QVERIFY(map.grab().toImage().pixelColor(40, 40) == QColor(0x22, 0x44, 0x66));

        // At its own levels the imagery is drawn as it comes, and said so.
        map.setRegion(MapRegion { 48.8566, 2.3522, 20, 20 });
        QVERIFY(map.viewport().zoom() <= OnlineServices::kSatelliteDeepestZoom);
        QTRY_VERIFY_WITH_TIMEOUT(!map.grab().isNull() && map.showsImagery() && !map.showsOfflineMap(), 10000);
        QVERIFY(!map.showsEnlargedImagery());
        QVERIFY(!map.attributionText().contains(QStringLiteral("enlarged")));
    }

    void offlineTheImageryLooksKeepTheShadedMap()
    {
        LocalHttpServer server([](const LocalHttpServer::Request&) {
            return LocalHttpServer::Response { 200, "image/png", LocalHttpServer::pngTile(0x224466), {}, 0 };
        });
        QTemporaryDir imageryCache;
        TileFetcher imagery(server.baseUrl() + QStringLiteral("/sat/{z}/{y}/{x}.jpg"), imageryCache.path());
        imagery.setDeepestZoom(OnlineServices::kSatelliteDeepestZoom);
        imagery.setOnline(false);
        TileMapView map;
        map.resize(720, 360);
        map.setSatelliteTileFetcher(&imagery);
        map.setRegion(MapRegion::world());
        map.setMapType(MapType::Satellite);
        map.show();
        QTRY_COMPARE(imagery.requestsInFlight(), 0);
        map.grab();
        QVERIFY(map.showsOfflineMap() && !map.showsImagery());
        QCOMPARE(server.requestCount(), 0);
        QVERIFY(near(colourAt(map, 30, -40), OfflineMapTiles::seaColour(MapType::Satellite)));
        // What the credit names is drawn.
        QVERIFY(map.attributionText().contains(QStringLiteral("GeoNames places")));
        QVERIFY(map.labelledPlaceCount() > 0);
    }

    void withoutTheServerTheOfflineMapShowsPlaces()
    {
        TileFetcher fetcher(QStringLiteral("http://127.0.0.1:1/{z}/{x}/{y}.png"), {});
        TileMapView map;
        map.resize(1050, 700);
        map.setTileFetcher(&fetcher);
        map.showLocation(paris());
        map.show();
        QTRY_VERIFY(map.showsOfflineMap());
        map.grab();
        QVERIFY(map.labelledPlaceCount() > 0);
        // Zoomed out to the world, only the biggest cities keep a label.
        const int near = map.labelledPlaceCount();
        map.setRegion(MapRegion::world());
        map.grab();
        QVERIFY(map.labelledPlaceCount() > 0);
        QVERIFY(map.labelledPlaceCount() <= near + 200);
    }

    void aPinShowsItsRegionAndNoPositionShowsTheWorld()
    {
        TileMapView map;
        map.resize(720, 360);
        MetaDataViewerLocation pin = paris();
        pin.latitude = 43.4674;
        pin.longitude = 11.8851;
        pin.region = MapRegion { 43.4674, 11.8851, 0.55, 0.55 };
        map.showLocation(pin);
        QCOMPARE(map.pinCoordinate(), QPointF(11.8851, 43.4674));
        QVERIFY(map.pinTitle().isEmpty());
        QCOMPARE(map.region(), pin.region);
        const QPointF centre = map.viewport().toView(map.pinCoordinate());
        QVERIFY(qAbs(centre.x() - 360) < 1 && qAbs(centre.y() - 180) < 1);

        MetaDataObject none;
        map.showLocation(MetaDataViewerLocation::fromRecord(none));
        QCOMPARE(map.pinTitle(), QStringLiteral("No location found"));
        QCOMPARE(map.pinCoordinate(), QPointF(-142, 28));
        QCOMPARE(map.region().longitudeDelta, 360.0);
        QVERIFY((WebMercator::kTileSize << map.viewport().zoom()) <= map.width()); // the whole world
    }

    void theTitleOfNoPositionStaysWholeAndCentredAtEverySize()
    {
        TileMapView map;
        map.resize(720, 360);
        map.show();
        MetaDataObject none;
        map.showLocation(MetaDataViewerLocation::fromRecord(none));
        QLabel* title = map.titleLabel();
        QCOMPARE(title->objectName(), QStringLiteral("lblPinTitle"));
        for (const QSize size : { QSize(720, 360), QSize(330, 230), QSize(160, 90), map.minimumSizeHint() }) {
            map.resize(size);
            QVERIFY(title->isVisible());
            QCOMPARE(title->text(), QStringLiteral("No location found"));
            const QRect box = title->geometry();
            QVERIFY2(map.rect().contains(box), qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())));
            QVERIFY(std::abs(box.center().x() - map.width() / 2) <= 1);
            // Every word shows: on one line where there is room, else wrapped.
            QVERIFY(box.height() >= title->heightForWidth(box.width()));
        }
        map.resize(720, 360);
        QVERIFY(title->height() < 2 * title->fontMetrics().height() + 12); // one line
        QVERIFY(std::abs(title->geometry().center().y() - map.height() / 2) <= 1);

        // A position has no title; another photo without one gets it back.
        map.setPin(43.4674, 11.8851);
        QVERIFY(title->isHidden());
        map.setPin(28, -142, QStringLiteral("Invalid location"));
        QVERIFY(title->isVisible());
        QCOMPARE(title->text(), QStringLiteral("Invalid location"));
        map.removePins();
        QVERIFY(title->isHidden());
    }

    void theThreeLooksOfTheOfflineMapDrawLandAndSeaApart()
    {
        TileMapView map; // no tiles: the offline map
        map.resize(720, 360);
        map.setRegion(MapRegion::world());
        map.setMapTypeForTag(1);
        QCOMPARE(map.mapType(), MapType::Road);
        const QColor roadSea = colourAt(map, 30, -40);
        const QColor roadLand = colourAt(map, -25, 134);
        QVERIFY(near(roadSea, QColor(0xaa, 0xd3, 0xdf)));
        QVERIFY(near(roadLand, QColor(0xf2, 0xef, 0xe9)));

        map.setMapTypeForTag(2);
        QCOMPARE(map.mapType(), MapType::Satellite);
        const QColor satelliteSea = colourAt(map, 30, -40);
        const QColor satelliteLand = colourAt(map, -25, 134);
        QVERIFY(!near(satelliteSea, roadSea));
        QVERIFY(!near(satelliteLand, satelliteSea));
        QVERIFY(satelliteSea.blue() > satelliteSea.red());

        map.setMapTypeForTag(3);
        QCOMPARE(map.mapType(), MapType::Hybrid);
        map.setMapTypeForTag(7); // any other tag
        QCOMPARE(map.mapType(), MapType::Hybrid);

        // Zoomed onto a stretch of the straight Egypt-Sudan border at 22 degrees north:
        // every look draws the borders.
        map.setRegion(MapRegion { 22, 30, 2, 2 });
        auto borderRow = [&map] {
            const QImage image = map.grab().toImage();
            const int y = map.viewport().toView(QPointF(30, 22)).toPoint().y();
            const QColor plain = image.pixelColor(image.width() / 2, y - 40);
            int differing = 0; // over a few columns: a dashed line has gaps
            for (int dx = 0; dx < 12; ++dx)
                for (int dy = -2; dy <= 2; ++dy)
                    differing += !near(image.pixelColor(image.width() / 2 + dx, y + dy), plain);
            return differing;
        };
        map.setMapType(MapType::Road);
        QVERIFY(borderRow() > 0);
        map.setMapType(MapType::Hybrid);
        QVERIFY(borderRow() > 0);
        map.setMapType(MapType::Satellite);
        QVERIFY(borderRow() > 0);
    }

    void everyMapDrawsTheBundledOutlinesReadOnce()
    {
        TileMapView map;
        QVERIFY(MapOutlines::bundled());
        QCOMPARE(MapOutlines::bundled(), MapOutlines::bundled());
    }

    void buttonsZoomWithinTheWorld()
    {
        TileMapView map;
        map.resize(720, 360);
        map.setRegion(MapRegion::world());
        map.show();
        auto* zoomIn = map.findChild<QToolButton*>(QStringLiteral("btnZoomIn"));
        auto* zoomOut = map.findChild<QToolButton*>(QStringLiteral("btnZoomOut"));
        QVERIFY(zoomIn && zoomOut);
        const int world = map.viewport().zoom();
        QTest::mouseClick(zoomIn, Qt::LeftButton);
        QCOMPARE(map.viewport().zoom(), world + 1);
        for (int i = 0; i <= world + 1; ++i)
            QTest::mouseClick(zoomOut, Qt::LeftButton);
        QCOMPARE(map.viewport().zoom(), WebMercator::kMinimumZoom);
    }

    void thePinIsTheUsersOnlyWhereTheOwnerAllowsIt()
    {
        TileMapView map;
        map.resize(600, 400);
        map.showLocation(paris());
        map.show();
        QSignalSpy moved(&map, &TileMapView::pinMoved);
        const QPoint head = map.viewport().toView(map.pinCoordinate()).toPoint() - QPoint(0, 18);

        // The viewer's map: a drag on the pin pans, a click places nothing.
        QVERIFY(!map.pinDraggable());
        drag(map, head, head + QPoint(50, 20));
        QTest::mouseClick(&map, Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(map.pinCoordinate(), QPointF(2.3522, 48.8566));
        QCOMPARE(moved.count(), 0);

        map.setPinDraggable(true);
        const QPoint start = map.viewport().toView(map.pinCoordinate()).toPoint();
        drag(map, start - QPoint(0, 18), start + QPoint(-70, 30) - QPoint(0, 18));
        QCOMPARE(moved.count(), 1);
        const QPointF dropped = map.viewport().toView(map.pinCoordinate());
        QVERIFY(qAbs(dropped.x() - (start.x() - 70)) < 1e-6 && qAbs(dropped.y() - (start.y() + 30)) < 1e-6);
        QCOMPARE(moved.last().at(0).toDouble(), map.pinCoordinate().y());
        QCOMPARE(moved.last().at(1).toDouble(), map.pinCoordinate().x());

        // A click on the pin leaves it; a click elsewhere puts it there.
        const QPointF before = map.pinCoordinate();
        QTest::mouseClick(&map, Qt::LeftButton, {}, dropped.toPoint() - QPoint(0, 18));
        QCOMPARE(map.pinCoordinate(), before);
        QCOMPARE(moved.count(), 1);
        QTest::mouseClick(&map, Qt::LeftButton, {}, QPoint(420, 90));
        QCOMPARE(moved.count(), 2);
        QVERIFY((map.viewport().toView(map.pinCoordinate()) - QPointF(420, 90)).manhattanLength() < 1e-6);

        // A drag away from the pin still pans, the pin staying on its place.
        const QPointF placed = map.pinCoordinate();
        drag(map, QPoint(100, 300), QPoint(160, 320));
        QCOMPARE(map.pinCoordinate(), placed);
        QCOMPARE(moved.count(), 2);
        QVERIFY((map.viewport().toView(placed) - QPointF(480, 110)).manhattanLength() < 1e-6);
    }

    void dragAndKeysMoveAndZoomTheMap()
    {
        TileMapView map;
        map.resize(600, 400);
        map.showLocation(paris());
        map.show();
        const int zoom = map.viewport().zoom();
        const QPointF before = map.viewport().toView(map.pinCoordinate());
        drag(map, QPoint(300, 200), QPoint(340, 230));
        const QPointF after = map.viewport().toView(map.pinCoordinate());
        QVERIFY(qAbs(after.x() - before.x() - 40) < 1e-6 && qAbs(after.y() - before.y() - 30) < 1e-6);
        QTest::keyClick(&map, Qt::Key_Plus);
        QCOMPARE(map.viewport().zoom(), zoom + 1);
        QTest::keyClick(&map, Qt::Key_Minus);
        QTest::keyClick(&map, Qt::Key_Minus);
        QCOMPARE(map.viewport().zoom(), zoom - 1);
    }
};

QTEST_MAIN(TileMapViewTest)
#include "TileMapViewTest.moc"
