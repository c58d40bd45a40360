// The viewer's map on the main thread: one frame of 1050 x 700 from cached tiles,
// one tile read back from the disk cache, and the offline map where every GeoNames
// place is looked at. Tiles come from a server of our own on 127.0.0.1.

#include "support/LocalHttpServer.h"
#include "viewer/TileFetcher.h"
#include "viewer/widgets/TileMapView.h"

#include <QApplication>
#include <QNetworkDiskCache>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>

namespace {

MetaDataViewerLocation at(double latitude, double longitude, double span)
{
    MetaDataViewerLocation location;
    location.kind = MetaDataViewerLocation::Kind::Pin;
    location.latitude = latitude;
    location.longitude = longitude;
    location.region = MapRegion { latitude, longitude, span, span };
    return location;
}

struct ServedTiles {
    LocalHttpServer server { [](const LocalHttpServer::Request&) {
        LocalHttpServer::Response response { 200, "image/png", LocalHttpServer::pngTile(0x88aa66), {}, 0 };
        response.headers.append(std::pair<QByteArray, QByteArray>("Cache-Control", "max-age=86400"));
        return response;
    } };
    QTemporaryDir cache;
    TileFetcher fetcher { server.baseUrl() + QStringLiteral("/{z}/{x}/{y}.png"), cache.path() };
};

void frameOfCachedTiles(benchmark::State& state)
{
    ServedTiles tiles;
    TileMapView map;
    map.resize(1050, 700);
    map.setTileFetcher(&tiles.fetcher);
    map.showLocation(at(48.8566, 2.3522, 0.55));
    QImage frame(1050, 700, QImage::Format_ARGB32_Premultiplied);
    const auto inView = map.viewport().tilesInView();
    const bool allHere = QTest::qWaitFor([&] {
        for (const auto& tile : inView)
            if (tiles.fetcher.tile(tile.key).isNull())
                return false;
        return true;
    }, 20000);
    for (auto _ : state) {
        QPainter painter(&frame);
        map.paintFrame(painter);
    }
    if (!allHere || map.showsOfflineMap())
        state.SkipWithError("a tile was missing");
    state.counters["tiles"] = double(inView.size());
}
BENCHMARK(frameOfCachedTiles)->Unit(benchmark::kMillisecond);

void tileFromTheDiskCache(benchmark::State& state)
{
    ServedTiles tiles;
    const TileKey key { 12, 2074, 1409 };
    tiles.fetcher.request({ key });
    if (!QTest::qWaitFor([&] { return !tiles.fetcher.tile(key).isNull(); }, 20000))
        state.SkipWithError("the tile did not come");
    QNetworkDiskCache disk;
    disk.setCacheDirectory(tiles.cache.path());
    const QUrl url(tiles.fetcher.tileUrl(key));
    for (auto _ : state) {
        std::unique_ptr<QIODevice> data(disk.data(url));
        QImage image;
        if (!data || !image.loadFromData(data->readAll())) {
            state.SkipWithError("the tile is not in the disk cache");
            break;
        }
        benchmark::DoNotOptimize(image);
    }
}
BENCHMARK(tileFromTheDiskCache)->Unit(benchmark::kMicrosecond);

// Zoom 9 and more weighs every place (each is placed and tested against the view). The
// outline tiles in view are made by the first frame and copied by the next.
void offlineMapWithEveryPlace(benchmark::State& state)
{
    TileMapView map;
    map.resize(1050, 700);
    map.showLocation(at(48.8566, 2.3522, state.range(0) / 100.0));
    QImage frame(1050, 700, QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&frame);
        map.paintFrame(painter); // the places once per process, the outline tiles once per map
    }
    for (auto _ : state) {
        QPainter painter(&frame);
        map.paintFrame(painter);
    }
    state.counters["zoom"] = map.viewport().zoom();
    state.counters["labelled"] = map.labelledPlaceCount();
}
// Spans in hundredths of a degree: the whole world, Europe, a region of every place.
BENCHMARK(offlineMapWithEveryPlace)->Arg(36000)->Arg(3000)->Arg(100)->Unit(benchmark::kMillisecond);

// The first frame of a new map: every outline tile in view is made (and the outlines
// projected once for the map), as when the view jumps to a zoom not seen before.
void offlineMapFirstFrame(benchmark::State& state)
{
    QImage frame(1050, 700, QImage::Format_ARGB32_Premultiplied);
    int zoom = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto map = std::make_unique<TileMapView>();
        map->resize(1050, 700);
        map->showLocation(at(48.8566, 2.3522, state.range(0) / 100.0));
        QPainter painter(&frame);
        state.ResumeTiming();
        map->paintFrame(painter);
        state.PauseTiming();
        zoom = map->viewport().zoom();
        painter.end();
        map.reset();
        state.ResumeTiming();
    }
    state.counters["zoom"] = zoom;
}
BENCHMARK(offlineMapFirstFrame)->Arg(3000)->Arg(100)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    return 0;
}
