#include "viewer/MetaDataViewerLocation.h"

#include "model/MetaDataObject.h"

#include <gtest/gtest.h>

namespace {

MetaDataViewerLocation locationOf(
    const char* latitude, const char* longitude, const char* latitudeRef = "N", const char* longitudeRef = "E")
{
    MetaDataObject record;
    record.setGPS_Lattitude(QString::fromUtf8(latitude));
    record.setGPS_Longitude(QString::fromUtf8(longitude));
    record.setGPS_LattitudeRef(QString::fromUtf8(latitudeRef));
    record.setGPS_LongitudeRef(QString::fromUtf8(longitudeRef));
    return MetaDataViewerLocation::fromRecord(record);
}

void expectWorldWithTitledPin(const MetaDataViewerLocation& location, const char* title)
{
    EXPECT_TRUE(location.isNolocationFound());
    EXPECT_EQ(location.title, QString::fromUtf8(title));
    EXPECT_DOUBLE_EQ(location.latitude, 28.0);
    EXPECT_DOUBLE_EQ(location.longitude, -142.0);
    EXPECT_EQ(location.region, (MapRegion { 37.77, -122.4701, 180, 360 }));
    EXPECT_FALSE(location.animated);
}

} // namespace

TEST(MetaDataViewerLocation, aPositionGetsAnUntitledPinWithTheRegionAroundIt)
{
    const auto north = locationOf("43.467448", "11.885127");
    EXPECT_EQ(north.kind, MetaDataViewerLocation::Kind::Pin);
    EXPECT_FALSE(north.isNolocationFound());
    EXPECT_TRUE(north.title.isEmpty());
    EXPECT_DOUBLE_EQ(north.latitude, 43.467448);
    EXPECT_EQ(north.region, (MapRegion { 43.467448, 11.885127, 0.55, 0.55 }));
    EXPECT_TRUE(north.animated);

    const auto south = locationOf("33.86", "151.21", "S", "E");
    EXPECT_DOUBLE_EQ(south.latitude, -33.86);
    EXPECT_DOUBLE_EQ(south.longitude, 151.21);
    const auto west = locationOf("40.7", "74.0", "N", "W");
    EXPECT_DOUBLE_EQ(west.longitude, -74.0);
    EXPECT_EQ(west.region.centerLongitude, -74.0);

    const auto edges = locationOf("90", "180", "S", "W");
    EXPECT_EQ(edges.kind, MetaDataViewerLocation::Kind::Pin);
    EXPECT_DOUBLE_EQ(edges.latitude, -90);
}

TEST(MetaDataViewerLocation, aMissingTextMeansNoLocationFound)
{
    expectWorldWithTitledPin(locationOf("", ""), "No location found");
    expectWorldWithTitledPin(locationOf("43.4", ""), "No location found");
    expectWorldWithTitledPin(locationOf("", "11.8"), "No location found");
}

TEST(MetaDataViewerLocation, textsThatAreNoPositionMeanInvalidLocation)
{
    expectWorldWithTitledPin(locationOf("91", "10"), "Invalid location");
    expectWorldWithTitledPin(locationOf("10", "180.5"), "Invalid location");
    expectWorldWithTitledPin(locationOf("-90.01", "10"), "Invalid location");
    // Texts without a number would read as 0 and put the photo on the equator.
    expectWorldWithTitledPin(locationOf("nan", "10"), "Invalid location");
    expectWorldWithTitledPin(locationOf("10", "inf"), "Invalid location");
    expectWorldWithTitledPin(locationOf("-inf", "10"), "Invalid location");
    expectWorldWithTitledPin(locationOf("north", "east"), "Invalid location");
    expectWorldWithTitledPin(locationOf("1e999", "10"), "Invalid location"); // beyond a double
}

TEST(MetaDataViewerLocation, numbersAreReadLocaleFreeFromTheirLeadingDigits)
{
    const auto location = locationOf(" 48.5 deg", ".5");
    EXPECT_EQ(location.kind, MetaDataViewerLocation::Kind::Pin);
    EXPECT_DOUBLE_EQ(location.latitude, 48.5);
    EXPECT_DOUBLE_EQ(location.longitude, 0.5);
    EXPECT_DOUBLE_EQ(locationOf("48,5", "2").latitude, 48); // a comma is no decimal separator
}
