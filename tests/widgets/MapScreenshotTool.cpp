// Renders the map picker and the viewer's map offscreen into PNGs: the picker over
// tiles from a server of our own on 127.0.0.1 (drawn here: a grid with each tile's
// number) with its pin named by that server's Nominatim-shaped answer, the picker
// offline (outlines, GeoNames places and names), and the viewer over the same tiles,
// road and hybrid (over made imagery tiles, enlarged beyond their deepest level):
//   velloran_map_screenshots OUTDIR SAMPLESDIR
#include "WidgetTestSupport.h"
#include "batch/naming/GeoNamesGeocoder.h"
#include "batch/naming/NominatimGeocoder.h"
#include "form/widgets/MapPickerWindow.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"
#include "support/LocalHttpServer.h"
#include "viewer/TileFetcher.h"
#include "viewer/widgets/MetaDataPopupView.h"
#include "viewer/widgets/TileMapView.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

namespace {

// A made tile: a pale ground with a grid and the tile's number, so that nobody takes
// the picture for a real map.
QByteArray madeTile(const QByteArray& path)
{
    QImage image(256, 256, QImage::Format_RGB32);
    // The imagery's made tiles are dark, as the Earth seen from above.
    image.fill(path.startsWith("/imagery/") ? QColor(0x2e, 0x4a, 0x3a) : QColor(0xee, 0xea, 0xdf));
    QPainter painter(&image);
    painter.setPen(QColor(0xd2, 0xcc, 0xbb));
    for (int i = 0; i <= 256; i += 32) {
        painter.drawLine(i, 0, i, 256);
        painter.drawLine(0, i, 256, i);
    }
    painter.setPen(QColor(0x9c, 0x94, 0x80));
    painter.drawRect(0, 0, 255, 255);
    painter.drawText(QRect(0, 0, 256, 256), Qt::AlignCenter, QString::fromLatin1(path).section(u'.', 0, 0));
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

LocalHttpServer::Response answer(const LocalHttpServer::Request& request)
{
    if (request.path.startsWith("/reverse"))
        return { 200, "application/json",
            R"({"place_id":1,"name":"Piazza Grande","address":{"road":"Piazza Grande","city":"Arezzo",)"
            R"("state":"Toscana","country":"Italia"}})",
            {}, 0 };
    return { 200, "image/png", madeTile(request.path), {}, 0 };
}

void waitForTiles(TileFetcher* tiles)
{
    if (!tiles)
        return;
    if (!QTest::qWaitFor([tiles] { return tiles->requestsInFlight() == 0; }, 10000))
        qWarning("tiles still coming after ten seconds");
    settleEvents();
}

bool shootPicker(
    const MetaDataObject& form, TileFetcher* tiles, MapPickerWindow::GeocoderSource geocoder, const QString& path)
{
    MapPickerWindow picker(form, tiles, std::move(geocoder));
    picker.show();
    if (!QTest::qWaitForWindowExposed(&picker)
        || !QTest::qWaitFor([&] { return !picker.placeName().isEmpty(); }, 10000))
        return false;
    waitForTiles(tiles);
    return picker.grab().save(path);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const ScreenshotFolders folders(argc, argv, "velloran_map_screenshots");
    if (!folders.ok())
        return 2;
    const QDir& out = folders.out;
    const QDir& samples = folders.samples;
    int result = 0;

    LocalHttpServer server(&answer);
    QTemporaryDir cache;
    TileFetcher tiles(server.baseUrl() + QStringLiteral("/{z}/{x}/{y}.png"), cache.path());

    // The ticked photos share a position in Arezzo.
    MetaDataObject form;
    form.setGPS_Lattitude(QStringLiteral("43.463300"));
    form.setGPS_LattitudeRef(QStringLiteral("N"));
    form.setGPS_Longitude(QStringLiteral("11.879600"));
    form.setGPS_LongitudeRef(QStringLiteral("E"));
    const QString geocoderUrl = server.baseUrl() + QStringLiteral("/reverse");
    if (!shootPicker(
            form, &tiles, [geocoderUrl] { return std::make_shared<NominatimGeocoder>(geocoderUrl, QByteArray("en")); },
            out.filePath(QStringLiteral("map-picker.png"))))
        result = 1;
    if (!shootPicker(
            form, nullptr, [] { return std::make_shared<GeoNamesGeocoder>(); },
            out.filePath(QStringLiteral("map-picker-offline.png"))))
        result = 1;

    QList<std::shared_ptr<PhotoFile>> photos { std::make_shared<PhotoFile>(
        samples.filePath(QStringLiteral("gps/DSCN0010.jpg")), false) };
    MetaDataPopupView viewer(photos);
    viewer.mapView().setTileFetcher(&tiles);
    if (!shootViewer(
            viewer, 0, out.filePath(QStringLiteral("viewer-gps-tiles.png")), [&tiles] { waitForTiles(&tiles); }))
        result = 1;
    // Hybrid, closer in than the imagery's deepest level: its tiles enlarged, the
    // borders and places over them, the credit saying so.
    TileFetcher imagery(server.baseUrl() + QStringLiteral("/imagery/{z}/{y}/{x}.png"), {});
    imagery.setDeepestZoom(OnlineServices::kSatelliteDeepestZoom);
    viewer.mapView().setSatelliteTileFetcher(&imagery);
    if (auto* hybrid = viewer.findChild<QPushButton*>(QStringLiteral("btnHybrid")))
        hybrid->click();
    viewer.mapView().zoomIn();
    waitForTiles(&imagery);
    if (!viewer.grab().save(out.filePath(QStringLiteral("viewer-gps-hybrid.png"))))
        result = 1;
    QThreadPool::globalInstance()->waitForDone();
    return result;
}
