#include "batch/naming/NominatimGeocoder.h"

#include "support/LocalHttpServer.h"

#include <QUrlQuery>
#include <gtest/gtest.h>

namespace {

ReverseGeocodeResult lookUp(NominatimGeocoder& geocoder, double latitude, double longitude)
{
    ReverseGeocodeResult result { QStringLiteral("no answer"), std::nullopt };
    geocoder.reverseGeocodeLocation(latitude, longitude, [&](ReverseGeocodeResult answer) { result = answer; });
    return result;
}

const QByteArray kEiffelTower = R"({"place_id":1,"lat":"48.8583","lon":"2.2945","category":"tourism",
    "type":"attraction","name":"Tour Eiffel","display_name":"Tour Eiffel, 5, Avenue Anatole France, Paris",
    "address":{"tourism":"Tour Eiffel","road":"Avenue Anatole France","suburb":"Gros-Caillou","city":"Paris",
    "state":"Île-de-France","country":"France","country_code":"fr"}})";

} // namespace

TEST(NominatimGeocoder, ReadsTheAddressOfAnAnswer)
{
    const auto tower = NominatimGeocoder::addressFromAnswer(kEiffelTower);
    ASSERT_FALSE(tower.failed());
    ASSERT_TRUE(tower.address);
    EXPECT_EQ(tower.address->value("Name"), QStringLiteral("Tour Eiffel"));
    EXPECT_EQ(tower.address->value("City"), QStringLiteral("Paris"));
    EXPECT_EQ(tower.address->value("State"), QStringLiteral("Île-de-France"));
    EXPECT_EQ(tower.address->value("Country"), QStringLiteral("France"));

    // A position with no named place is named by its road; a village stands for the city.
    const auto lane = NominatimGeocoder::addressFromAnswer(
        R"({"name":"","address":{"road":"Dorfstraße","village":"Kleinau","state":"Sachsen-Anhalt","country":"Deutschland"}})");
    ASSERT_TRUE(lane.address);
    EXPECT_EQ(lane.address->value("Name"), QStringLiteral("Dorfstraße"));
    EXPECT_EQ(lane.address->value("City"), QStringLiteral("Kleinau"));

    // Nothing at the position (open sea) is no failure; bytes that are no answer are.
    const auto sea = NominatimGeocoder::addressFromAnswer(R"({"error":"Unable to geocode"})");
    EXPECT_FALSE(sea.failed());
    EXPECT_FALSE(sea.address);
    EXPECT_TRUE(NominatimGeocoder::addressFromAnswer("<html>busy</html>").failed());
}

TEST(NominatimGeocoder, AsksForThePositionOnlyInTheUsersLanguage)
{
    LocalHttpServer server([](const LocalHttpServer::Request&) {
        return LocalHttpServer::Response { 200, "application/json", kEiffelTower, {}, 0 };
    });
    NominatimGeocoder geocoder(server.baseUrl() + QStringLiteral("/reverse"), "fr-FR,fr;q=0.9");
    const auto result = lookUp(geocoder, 48.8583, 2.2945);
    ASSERT_TRUE(result.address);
    EXPECT_EQ(result.address->value("Name"), QStringLiteral("Tour Eiffel"));

    ASSERT_EQ(server.requestCount(), 1);
    const auto request = server.requests().first();
    EXPECT_TRUE(request.path.startsWith("/reverse?"));
    const QUrlQuery query(QString::fromLatin1(request.path.mid(request.path.indexOf('?') + 1)));
    EXPECT_EQ(query.queryItemValue("format"), QStringLiteral("jsonv2"));
    EXPECT_EQ(query.queryItemValue("lat"), QStringLiteral("48.858300"));
    EXPECT_EQ(query.queryItemValue("lon"), QStringLiteral("2.294500"));
    const QStringList keys = [&] {
        QStringList names;
        for (const auto& item : query.queryItems())
            names << item.first;
        return names;
    }();
    EXPECT_EQ(keys, QStringList({ "format", "lat", "lon", "zoom", "addressdetails" }));
    EXPECT_EQ(request.headers.value("accept-language"), QByteArray("fr-FR,fr;q=0.9"));
    EXPECT_TRUE(request.headers.value("user-agent").startsWith("Velloran/"));
    EXPECT_FALSE(request.headers.contains("cookie"));
}

TEST(NominatimGeocoder, FallsBackToTheOfflinePlacesWhenTheServiceFails)
{
    // Down, failing and too slow: each time the nearest GeoNames place answers.
    const auto expectParis = [](const ReverseGeocodeResult& result) {
        ASSERT_FALSE(result.failed());
        ASSERT_TRUE(result.address);
        EXPECT_FALSE(result.address->contains("Name"));
        EXPECT_EQ(result.address->value("City"), QStringLiteral("Paris"));
    };
    NominatimGeocoder down(QStringLiteral("http://127.0.0.1:1/reverse"), "en");
    expectParis(lookUp(down, 48.8566, 2.3522));

    LocalHttpServer failing([](const LocalHttpServer::Request&) {
        return LocalHttpServer::Response { 500, "text/plain", "oops", {}, 0 };
    });
    NominatimGeocoder broken(failing.baseUrl() + QStringLiteral("/reverse"), "en");
    expectParis(lookUp(broken, 48.8566, 2.3522));

    LocalHttpServer slow([](const LocalHttpServer::Request&) {
        return LocalHttpServer::Response { 200, "application/json", kEiffelTower, {}, 3000 };
    });
    NominatimGeocoder late(slow.baseUrl() + QStringLiteral("/reverse"), "en");
    late.setTimeLimit(std::chrono::milliseconds(200));
    expectParis(lookUp(late, 48.8566, 2.3522));
}
