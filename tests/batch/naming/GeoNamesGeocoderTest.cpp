#include "batch/naming/GeoNamesGeocoder.h"

#pragma push_macro("signals")
#undef signals
#include <geonames/geonames.h>
#pragma pop_macro("signals")

#include <clocale>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <numbers>
#include <random>
#include <string>

namespace {

// The library translates names by the messages locale; these tests expect its English names.
class GeoNamesGeocoderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_savedLocale = std::setlocale(LC_MESSAGES, nullptr);
        std::setlocale(LC_MESSAGES, "C");
    }
    void TearDown() override { std::setlocale(LC_MESSAGES, m_savedLocale.c_str()); }

private:
    std::string m_savedLocale;
};

struct KnownPlace {
    const char* what;
    double latitude;
    double longitude;
    const char* city; // nullptr: nothing within reach
    const char* state;
    const char* country;
};

const KnownPlace kKnownPlaces[] = {
    { "central Paris", 48.85, 2.35, "Paris", "Île-de-France Region", "France" },
    { "the sample photo near Arezzo", 43.4675, 11.885, "Arezzo", "Tuscany", "Italy" },
    { "a city whose name holds a slash", 47.1368, 7.2468, "Biel/Bienne", "Canton of Bern", "Switzerland" },
    { "far north, where longitudes crowd", 78.5, 15.6, "Longyearbyen", "Svalbard", "Svalbard and Jan Mayen" },
    { "a longitude given past -180", -16.4332, -180.3, "Labasa", "Northern", "Fiji" },
    { "mid-ocean", 0.0, -30.0, nullptr, nullptr, nullptr },
    { "the north pole", 90.0, 0.0, nullptr, nullptr, nullptr },
    { "a latitude beyond the pole", 95.0, 2.35, nullptr, nullptr, nullptr },
    { "no number at all", std::numeric_limits<double>::quiet_NaN(), 2.35, nullptr, nullptr, nullptr },
};

} // namespace

TEST_F(GeoNamesGeocoderTest, answersTheNearestPlaceWithinReachAndNothingElsewhere)
{
    GeoNamesGeocoder geocoder;
    for (const KnownPlace& place : kKnownPlaces) {
        SCOPED_TRACE(place.what);
        int calls = 0;
        ReverseGeocodeResult answer;
        geocoder.reverseGeocodeLocation(place.latitude, place.longitude, [&](ReverseGeocodeResult result) {
            ++calls;
            answer = std::move(result);
        });
        ASSERT_EQ(calls, 1);
        EXPECT_FALSE(answer.failed());
        if (!place.city) {
            EXPECT_FALSE(answer.address.has_value());
            continue;
        }
        ASSERT_TRUE(answer.address.has_value());
        EXPECT_EQ(answer.address->value(QStringLiteral("City")), QString::fromUtf8(place.city));
        EXPECT_EQ(answer.address->value(QStringLiteral("State")), QString::fromUtf8(place.state));
        EXPECT_EQ(answer.address->value(QStringLiteral("Country")), QString::fromUtf8(place.country));
        // No street data offline: the place name stays empty.
        EXPECT_TRUE(answer.address->value(QStringLiteral("Name")).isEmpty());
    }
}

// The index must find what a look at every place finds.
TEST_F(GeoNamesGeocoderTest, theIndexAgreesWithASearchOfEveryPlace)
{
    struct Point {
        double latitude, longitude;
    };
    std::vector<Point> places;
    const int count = geonames_get_n_cities();
    for (int i = 0; i < count; ++i) {
        GeonamesCity* city = geonames_get_city(i);
        places.push_back({ geonames_city_get_latitude(city), geonames_city_get_longitude(city) });
        geonames_city_free(city);
    }
    const auto distanceKm = [](const Point& a, const Point& b) {
        const double r = std::numbers::pi / 180.0;
        const double h = std::pow(std::sin((b.latitude - a.latitude) * r / 2), 2)
            + std::cos(a.latitude * r) * std::cos(b.latitude * r)
                * std::pow(std::sin((b.longitude - a.longitude) * r / 2), 2);
        return 2 * 6371.0088 * std::asin(std::min(1.0, std::sqrt(h)));
    };

    std::mt19937 random(8);
    std::uniform_int_distribution<int> pick(0, count - 1);
    std::uniform_real_distribution<double> jitter(-0.7, 0.7);
    for (int n = 0; n < 300; ++n) {
        // Near a real place, so that both answers and misses occur.
        const Point base = places[static_cast<std::size_t>(pick(random))];
        const Point query { std::clamp(base.latitude + jitter(random), -90.0, 90.0),
            std::remainder(base.longitude + jitter(random) * 2, 360.0) };
        int expected = -1;
        double expectedKm = GeoNamesGeocoder::kMaximumDistanceKm;
        for (int i = 0; i < count; ++i) {
            const double km = distanceKm(query, places[static_cast<std::size_t>(i)]);
            if (km < expectedKm || (km == expectedKm && expected < 0)) {
                expected = i;
                expectedKm = km;
            }
        }
        SCOPED_TRACE(testing::Message() << query.latitude << ", " << query.longitude);
        const int found = GeoNamesGeocoder::nearestCityIndex(query.latitude, query.longitude);
        if (expected < 0 || found < 0) {
            EXPECT_EQ(found, expected);
        } else {
            EXPECT_NEAR(distanceKm(query, places[static_cast<std::size_t>(found)]), expectedKm, 1e-9);
        }
    }
}
