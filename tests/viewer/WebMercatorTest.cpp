#include "viewer/WebMercator.h"

#include <QSet>
#include <gtest/gtest.h>

TEST(WebMercator, ProjectsKnownPlacesAndBack)
{
    EXPECT_NEAR(WebMercator::toWorldPixel({ 0, 0 }, 0).x(), 128, 1e-9);
    EXPECT_NEAR(WebMercator::toWorldPixel({ 0, 0 }, 0).y(), 128, 1e-9);
    // The top left of the world and the tile of Paris at zoom 10.
    EXPECT_NEAR(WebMercator::toWorldPixel({ -180, WebMercator::kMaximumLatitude }, 3).y(), 0, 1e-6);
    const QPointF paris = WebMercator::toWorldPixel({ 2.3522, 48.8566 }, 10);
    EXPECT_EQ(int(paris.x()) / 256, 518);
    EXPECT_EQ(int(paris.y()) / 256, 352);
    for (const QPointF place : { QPointF(2.3522, 48.8566), QPointF(-151.2, -33.9), QPointF(179.9, 84.9) }) {
        const QPointF back = WebMercator::toCoordinate(WebMercator::toWorldPixel(place, 13.0), 13.0);
        EXPECT_NEAR(back.x(), place.x(), 1e-9);
        EXPECT_NEAR(back.y(), place.y(), 1e-9);
    }
    // Beyond the projection's edge a latitude is held, never infinite.
    EXPECT_NEAR(WebMercator::toWorldPixel({ 0, 90 }, 0).y(), 0, 1e-6);
}

TEST(WebMercator, ZoomForSpanShowsTheWholeSpan)
{
    const QSizeF view(1050, 700);
    const int zoom = WebMercator::zoomForSpan(48.8566, 0.55, view);
    MapViewport viewport({ 2.3522, 48.8566 }, zoom, view);
    const QPointF north = viewport.toView({ 2.3522 + 0.275, 48.8566 + 0.275 });
    const QPointF south = viewport.toView({ 2.3522 - 0.275, 48.8566 - 0.275 });
    EXPECT_GE(north.y(), 0);
    EXPECT_LE(south.y(), 700);
    EXPECT_LE(north.x(), 1050);
    // One zoom further would no longer show it.
    MapViewport closer({ 2.3522, 48.8566 }, zoom + 1, view);
    EXPECT_LT(closer.toView({ 2.3522, 48.8566 + 0.275 }).y(), 0);
    EXPECT_EQ(WebMercator::zoomForSpan(0, 360, view), 1);
    EXPECT_EQ(WebMercator::zoomForSpan(0, 0, view), 0);
}

TEST(MapViewport, ViewPointsAndCoordinatesAgree)
{
    MapViewport viewport({ 13.4, 52.5 }, 12, { 1050, 700 });
    EXPECT_NEAR(viewport.toView({ 13.4, 52.5 }).x(), 525, 1e-6);
    EXPECT_NEAR(viewport.toView({ 13.4, 52.5 }).y(), 350, 1e-6);
    const QPointF corner = viewport.toCoordinate({ 10, 690 });
    EXPECT_NEAR(viewport.toView(corner).x(), 10, 1e-6);
    EXPECT_NEAR(viewport.toView(corner).y(), 690, 1e-6);

    // Zooming keeps the place under the pointer.
    const QPointF anchor(200, 100);
    const QPointF under = viewport.toCoordinate(anchor);
    viewport.setZoom(14, anchor);
    EXPECT_NEAR(viewport.toView(under).x(), 200, 1e-6);
    EXPECT_NEAR(viewport.toView(under).y(), 100, 1e-6);

    // A drag moves the map with the pointer.
    viewport.panBy({ 30, -20 });
    EXPECT_NEAR(viewport.toView(under).x(), 230, 1e-6);
    EXPECT_NEAR(viewport.toView(under).y(), 80, 1e-6);
}

TEST(MapViewport, WrapsAcrossTheDateLineAndStaysInsideTheWorld)
{
    MapViewport viewport({ 179.99, 0 }, 5, { 1050, 700 });
    viewport.panBy({ -200, 0 });
    EXPECT_GT(viewport.center().x(), -180);
    EXPECT_LT(viewport.center().x(), -170);
    // Across the line a place east of it lands to the right of the centre.
    EXPECT_GT(viewport.toView({ -170, 0 }).x(), 525);
    EXPECT_GE(viewport.toCoordinate({ 1049, 350 }).x(), -180);

    // Dragged far north, the top of the world stops at the top of the view.
    viewport.panBy({ 0, 100000 });
    EXPECT_NEAR(viewport.toView({ 0, WebMercator::kMaximumLatitude }).y(), 0, 1e-6);
    // A world lower than the view sits in its middle.
    MapViewport world({ 0, 70 }, 1, { 1050, 700 });
    EXPECT_NEAR(world.toView({ 0, 0 }).y(), 350, 1e-6);
}

TEST(MapViewport, TilesInViewCoverEveryPixelOnce)
{
    MapViewport viewport({ 2.35, 48.85 }, 11, { 1050, 700 });
    const auto tiles = viewport.tilesInView();
    ASSERT_FALSE(tiles.isEmpty());
    // The tile under the centre comes first.
    const QPointF first = tiles.first().topLeft;
    EXPECT_TRUE(QRectF(first, QSizeF(256, 256)).contains(QPointF(525, 350)));
    QSet<TileKey> keys;
    for (const auto& tile : tiles) {
        EXPECT_EQ(tile.key.zoom, 11);
        keys.insert(tile.key);
        EXPECT_TRUE(QRectF(tile.topLeft, QSizeF(256, 256)).intersects(QRectF(0, 0, 1050, 700)));
    }
    EXPECT_EQ(keys.size(), tiles.size());
    for (const QPointF pixel : { QPointF(0, 0), QPointF(1049, 699), QPointF(525, 350), QPointF(1049, 0) }) {
        int covering = 0;
        for (const auto& tile : tiles)
            covering += QRectF(tile.topLeft, QSizeF(256, 256)).contains(pixel) ? 1 : 0;
        EXPECT_EQ(covering, 1);
    }
    // Near the date line the keys wrap into the world.
    for (const auto& tile : MapViewport({ 180, 0 }, 3, { 1050, 700 }).tilesInView()) {
        EXPECT_GE(tile.key.x, 0);
        EXPECT_LT(tile.key.x, 8);
    }
    EXPECT_TRUE(MapViewport({ 0, 0 }, 3, { 0, 0 }).tilesInView().isEmpty());
}

TEST(WebMercator, TilesBeyondTheSourcesDeepestLevelEnlargeAPartOfItsTile)
{
    // At or above the deepest level a tile is its own source, whole.
    const WebMercator::TileSource own = WebMercator::sourceOf({ 8, 135, 90 }, 8);
    EXPECT_EQ(own.key, (TileKey { 8, 135, 90 }));
    EXPECT_EQ(own.part, QRectF(0, 0, 256, 256));
    EXPECT_FALSE(own.enlarged);
    EXPECT_FALSE(WebMercator::sourceOf({ 3, 4, 2 }, 8).enlarged);

    // One level beyond: a quarter of the parent, by the tile's place in it.
    const WebMercator::TileSource quarter = WebMercator::sourceOf({ 9, 271, 180 }, 8);
    EXPECT_EQ(quarter.key, (TileKey { 8, 135, 90 }));
    EXPECT_EQ(quarter.part, QRectF(128, 0, 128, 128));
    EXPECT_TRUE(quarter.enlarged);

    // Three levels beyond: an eighth of each side, from the ancestor that holds it.
    const WebMercator::TileSource eighth = WebMercator::sourceOf({ 11, 8 * 135 + 5, 8 * 90 + 7 }, 8);
    EXPECT_EQ(eighth.key, (TileKey { 8, 135, 90 }));
    EXPECT_EQ(eighth.part, QRectF(5 * 32, 7 * 32, 32, 32));
}
