#include "viewer/MapProjection.h"

#include <gtest/gtest.h>

namespace {

void expectNear(QPointF actual, QPointF expected, double tolerance = 1e-9)
{
    EXPECT_NEAR(actual.x(), expected.x(), tolerance);
    EXPECT_NEAR(actual.y(), expected.y(), tolerance);
}

} // namespace

TEST(MapProjection, theWorldRegionShowsTheWholeWorldWhateverItsCentre)
{
    // The world's span asked around a point in California still shows the world, centred.
    const MapProjection map(QSizeF(720, 360), MapRegion { 37.77, -122.4701, 180, 360 });
    EXPECT_DOUBLE_EQ(map.pixelsPerDegree(), 2);
    expectNear(map.toView(QPointF(-180, 90)), QPointF(0, 0));
    expectNear(map.toView(QPointF(180, -90)), QPointF(720, 360));

    // A view of another shape fits the world and centres it.
    const MapProjection tall(QSizeF(360, 600), MapRegion::world());
    EXPECT_DOUBLE_EQ(tall.pixelsPerDegree(), 1);
    expectNear(tall.toView(QPointF(0, 0)), QPointF(180, 300));
}

TEST(MapProjection, aPinRegionShowsAtLeastItsSpanAroundThePin)
{
    const MapProjection map(QSizeF(400, 300), MapRegion { 43.4674, 11.8851, 0.55, 0.55 });
    const MapRegion visible = map.visibleRegion();
    EXPECT_NEAR(visible.latitudeDelta, 0.55, 1e-9); // the shorter side decides
    EXPECT_GT(visible.longitudeDelta, 0.55);
    expectNear(map.toView(QPointF(11.8851, 43.4674)), QPointF(200, 150));
}

TEST(MapProjection, theViewStaysInsideTheWorldNearItsEdges)
{
    MapProjection map(QSizeF(400, 400), MapRegion { 89.9, 179.9, 10, 10 });
    const MapRegion visible = map.visibleRegion();
    EXPECT_NEAR(visible.centerLatitude + visible.latitudeDelta / 2, 90, 1e-9);
    EXPECT_NEAR(visible.centerLongitude + visible.longitudeDelta / 2, 180, 1e-9);

    map.panBy(QPointF(-100000, 100000)); // drag far towards the south-east
    EXPECT_NEAR(map.toCoordinate(QPointF(400, 400)).x(), 180, 1e-9);
    EXPECT_NEAR(map.toCoordinate(QPointF(400, 400)).y(), 90 - 10, 1e-9);
}

TEST(MapProjection, damagedRegionsShowTheWorld)
{
    const MapProjection map(QSizeF(360, 180), MapRegion { std::nan(""), 1e308, -1, 0 });
    EXPECT_DOUBLE_EQ(map.pixelsPerDegree(), 1);
    expectNear(map.center(), QPointF(0, 0));
}

TEST(MapProjection, viewPointsAndCoordinatesConvertBothWays)
{
    const MapProjection map(QSizeF(640, 480), MapRegion { -33.86, 151.21, 2, 2 });
    for (const QPointF coordinate : { QPointF(151.21, -33.86), QPointF(150.5, -34.5), QPointF(151.9, -33.2) }) {
        expectNear(map.toCoordinate(map.toView(coordinate)), coordinate);
        expectNear(map.transform().map(coordinate), map.toView(coordinate));
    }
}

TEST(MapProjection, zoomKeepsTheAnchoredPlaceAndStopsAtItsLimits)
{
    MapProjection map(QSizeF(720, 360), MapRegion::world());
    const QPointF anchor(500, 100);
    const QPointF under = map.toCoordinate(anchor);
    map.zoomBy(4, anchor);
    EXPECT_DOUBLE_EQ(map.pixelsPerDegree(), 8);
    expectNear(map.toCoordinate(anchor), under);

    map.zoomBy(1e12, anchor);
    EXPECT_NEAR(map.visibleRegion().longitudeDelta, MapProjection::kMinimumSpan, 1e-9);
    map.zoomBy(1e-12, anchor);
    EXPECT_DOUBLE_EQ(map.pixelsPerDegree(), 2); // no further out than the whole world
    expectNear(map.center(), QPointF(0, 0));

    map.zoomBy(0, anchor); // no factor: nothing happens
    map.zoomBy(std::nan(""), anchor);
    EXPECT_DOUBLE_EQ(map.pixelsPerDegree(), 2);
}

TEST(MapProjection, aResizeFitsTheRegionAgainUntilTheUserMovesTheMap)
{
    MapProjection map; // no size yet, as a widget before it is shown
    map.setRegion(MapRegion { 10, 20, 1, 1 });
    map.setViewSize(QSizeF(300, 200));
    EXPECT_NEAR(map.visibleRegion().latitudeDelta, 1, 1e-9);
    expectNear(map.center(), QPointF(20, 10));

    map.panBy(QPointF(30, 0));
    const QPointF moved = map.center();
    EXPECT_NEAR(moved.x(), 20 - 30 / map.pixelsPerDegree(), 1e-9);
    map.setViewSize(QSizeF(600, 400));
    expectNear(map.center(), moved); // the user's view stays
    EXPECT_DOUBLE_EQ(map.pixelsPerDegree(), 200);
}
