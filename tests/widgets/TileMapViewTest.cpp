#include "viewer/widgets/TileMapView.h"

#include "support/LocalHttpServer.h"
#include "viewer/TileFetcher.h"

#include <QTemporaryDir>
#include <QTest>

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

    void dragAndKeysMoveAndZoomTheMap()
    {
        TileMapView map;
        map.resize(600, 400);
        map.showLocation(paris());
        map.show();
        const int zoom = map.viewport().zoom();
        const QPointF before = map.viewport().toView(map.pinCoordinate());
        QTest::mousePress(&map, Qt::LeftButton, {}, QPoint(300, 200));
        QMouseEvent move(QEvent::MouseMove, QPointF(340, 230), QPointF(340, 230), QPointF(340, 230), Qt::NoButton,
            Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&map, &move);
        QTest::mouseRelease(&map, Qt::LeftButton, {}, QPoint(340, 230));
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
