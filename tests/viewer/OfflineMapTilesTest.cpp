#include "viewer/OfflineMapTiles.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

std::shared_ptr<const MapOutlines> shipped()
{
    static const auto outlines = std::make_shared<const MapOutlines>(
        *MapOutlines::fromFile(QStringLiteral(VELLORAN_RESOURCES_DIR "/map/world-outlines.bin")));
    return outlines;
}

const QColor kRoadLand(0xf2, 0xef, 0xe9);

// The colour the tile holding a coordinate shows there.
QColor colourAt(OfflineMapTiles& tiles, double latitude, double longitude, int zoom, MapType look = MapType::Road)
{
    const QPointF pixel = WebMercator::toWorldPixel(QPointF(longitude, latitude), zoom);
    const int size = WebMercator::kTileSize;
    const TileKey key { zoom, int(pixel.x()) / size, int(pixel.y()) / size };
    return tiles.tile(key, look).pixelColor(int(pixel.x()) % size, int(pixel.y()) % size);
}

bool near(const QColor& a, const QColor& b, int tolerance = 12)
{
    return std::abs(a.red() - b.red()) < tolerance && std::abs(a.green() - b.green()) < tolerance
        && std::abs(a.blue() - b.blue()) < tolerance;
}

} // namespace

TEST(OfflineMapTiles, landAndSeaAreWhereTheyAreInEachLook)
{
    OfflineMapTiles tiles(shipped());
    for (const int zoom : { 0, 3, 6 }) {
        EXPECT_TRUE(near(colourAt(tiles, -25, 134, zoom), kRoadLand)) << zoom; // Australia
        EXPECT_TRUE(near(colourAt(tiles, 30, -40, zoom), OfflineMapTiles::seaColour(MapType::Road))) << zoom;
    }
    const QColor satelliteSea = colourAt(tiles, 30, -40, 3, MapType::Satellite);
    EXPECT_TRUE(near(satelliteSea, OfflineMapTiles::seaColour(MapType::Satellite)));
    EXPECT_FALSE(near(colourAt(tiles, -25, 134, 3, MapType::Satellite), satelliteSea));
    EXPECT_FALSE(near(satelliteSea, OfflineMapTiles::seaColour(MapType::Road)));
}

TEST(OfflineMapTiles, landAcrossTheDateLineFillsTheTilesOnBothEdges)
{
    OfflineMapTiles tiles(shipped());
    for (const int zoom : { 2, 5, 8 }) {
        EXPECT_TRUE(near(colourAt(tiles, 66.0, -175.0, zoom), kRoadLand)) << zoom; // Chukotka
        EXPECT_TRUE(near(colourAt(tiles, 66.0, 175.0, zoom), kRoadLand)) << zoom;
        EXPECT_TRUE(near(colourAt(tiles, 71.2, -179.5, zoom), kRoadLand)) << zoom; // Wrangel Island
    }
}

// At street level the world is 67 million pixels wide: a tile inland is land and one
// at sea is sea, wholly, with no outline reaching past what the painter can hold.
TEST(OfflineMapTiles, streetLevelTilesAreWholeLandOrWholeSea)
{
    OfflineMapTiles tiles(shipped());
    for (const int zoom : { 14, WebMercator::kMaximumZoom }) {
        for (const auto& [latitude, longitude, colour] : { std::tuple { 48.8566, 2.3522, kRoadLand },
                 std::tuple { 30.0, -40.0, OfflineMapTiles::seaColour(MapType::Road) } }) {
            const QPointF pixel = WebMercator::toWorldPixel(QPointF(longitude, latitude), zoom);
            const QImage image = tiles.tile({ zoom, int(pixel.x() / 256), int(pixel.y() / 256) }, MapType::Road);
            EXPECT_EQ(image.size(), QSize(256, 256));
            int other = 0;
            for (int y = 0; y < 256; y += 5)
                for (int x = 0; x < 256; x += 5)
                    other += !near(image.pixelColor(x, y), colour, 2);
            EXPECT_EQ(other, 0) << zoom << " " << latitude;
        }
    }
}

// Four tiles side by side fill the land as one drawing of the whole outlines does: the
// rings cut to each tile leave no seam and lose no lake.
TEST(OfflineMapTiles, tilesSideBySideDrawTheLandAsAWhole)
{
    const int zoom = 4, firstX = 8, firstY = 5; // the eastern Mediterranean and the Black Sea
    OfflineMapTiles tiles(shipped());
    QImage joined(512, 512, QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&joined);
        for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx)
                painter.drawImage(dx * 256, dy * 256, tiles.tile({ zoom, firstX + dx, firstY + dy }, MapType::Satellite));
    }
    QImage whole(512, 512, QImage::Format_ARGB32_Premultiplied);
    whole.fill(OfflineMapTiles::seaColour(MapType::Satellite));
    {
        QPainterPath land;
        land.setFillRule(Qt::WindingFill);
        const QPointF origin(firstX * 256.0, firstY * 256.0);
        for (const QPolygonF& ring : shipped()->landRings()) {
            QPolygonF projected;
            for (const QPointF& point : ring)
                projected.append(WebMercator::toWorldPixel(point, zoom) - origin);
            land.addPolygon(projected);
        }
        QPainter painter(&whole);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(land, QColor(0x4a, 0x63, 0x3a));
    }
    int landPixels = 0, differing = 0;
    for (int y = 0; y < 512; ++y) {
        for (int x = 0; x < 512; ++x) {
            landPixels += whole.pixelColor(x, y) == QColor(0x4a, 0x63, 0x3a);
            differing += !near(joined.pixelColor(x, y), whole.pixelColor(x, y), 6);
        }
    }
    EXPECT_GT(landPixels, 512 * 512 / 4);
    EXPECT_LT(differing, 20);
}

TEST(OfflineMapTiles, withoutOutlinesEveryTileIsSea)
{
    OfflineMapTiles tiles(nullptr);
    const QImage image = tiles.tile({ 2, 3, 1 }, MapType::Road);
    EXPECT_EQ(image.pixelColor(0, 0), OfflineMapTiles::seaColour(MapType::Road));
    EXPECT_EQ(image.pixelColor(255, 255), OfflineMapTiles::seaColour(MapType::Road));
}

TEST(OfflineMapTiles, theBordersOverlayHidesNothingButTheBorders)
{
    OfflineMapTiles tiles(shipped());
    const auto overlayAt = [&tiles](double latitude, double longitude, int zoom) {
        const QPointF pixel = WebMercator::toWorldPixel(QPointF(longitude, latitude), zoom);
        const TileKey key { zoom, int(pixel.x()) / 256, int(pixel.y()) / 256 };
        const QImage overlay = tiles.bordersOverlay(key);
        EXPECT_EQ(overlay.size(), QSize(256, 256));
        return std::pair(overlay, QPoint(int(pixel.x()) % 256, int(pixel.y()) % 256));
    };
    // The straight Egypt-Sudan border at 22 degrees north is drawn.
    const auto [border, at] = overlayAt(22, 30, 6);
    int covered = 0;
    for (int dy = -2; dy <= 2; ++dy)
        covered += border.pixelColor(at.x(), std::clamp(at.y() + dy, 0, 255)).alpha() > 0;
    EXPECT_GT(covered, 0);
    // Land and sea away from any border stay clear, so the imagery shows through.
    for (const QPointF place : { QPointF(30, 24), QPointF(-40, 30), QPointF(134, -25) }) {
        const auto [overlay, point] = overlayAt(place.y(), place.x(), 6);
        EXPECT_EQ(overlay.pixelColor(point).alpha(), 0) << place.x();
    }
    // The hybrid tile of the border's key, asked after its overlay, is still whole.
    EXPECT_EQ(tiles.tile({ 6, 37, 27 }, MapType::Hybrid).pixelColor(0, 0).alpha(), 255);
}
