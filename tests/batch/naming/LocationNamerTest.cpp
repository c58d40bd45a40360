#include "batch/naming/LocationNamer.h"

#include "FakeGeocoder.h"

#include <QElapsedTimer>
#include <QLocale>
#include <clocale>
#include <gtest/gtest.h>
#include <string>

namespace {

const AddressDictionary kParis {
    { QStringLiteral("Name"), QStringLiteral("Rue X") },
    { QStringLiteral("City"), QStringLiteral("Paris") },
    { QStringLiteral("State"), QStringLiteral("IDF") },
    { QStringLiteral("Country"), QStringLiteral("France") },
};

AddEXIFLocation ticks(int place, int city, int state, int country)
{
    AddEXIFLocation location;
    location.placeTick = place;
    location.cityTick = city;
    location.stateTick = state;
    location.countryTick = country;
    return location;
}

std::shared_ptr<FakeGeocoder> answering(const AddressDictionary& address)
{
    auto geocoder = std::make_shared<FakeGeocoder>();
    geocoder->answer = [address](double, double) { return FakeGeocoder::address(address); };
    return geocoder;
}

} // namespace

TEST(LocationNamer, joinsTheTickedPartsInTheFixedOrder)
{
    struct Case {
        AddEXIFLocation ticks;
        AddressDictionary address;
        const char* text;
        bool place, city, state, country;
    };
    const Case cases[] = {
        { ticks(1, 1, 1, 1), kParis, "Rue-X_Paris_IDF_France", true, true, true, true },
        { ticks(1, 0, 0, 1), kParis, "Rue-X_France", true, false, false, true },
        { ticks(0, 1, 0, 1), kParis, "Paris_France", false, true, false, true },
        // A tick of any value but 1 is off.
        { ticks(2, -1, 0, 1), kParis, "France", false, false, false, true },
        // Missing and empty parts are skipped without a stray separator.
        { ticks(1, 1, 1, 1),
            { { QStringLiteral("City"), QStringLiteral("New York City") }, { QStringLiteral("State"), QString() } },
            "New-York-City", false, true, false, false },
        { ticks(1, 0, 1, 0), { { QStringLiteral("City"), QStringLiteral("Paris") } }, "", false, false, false, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const LocationName name = LocationNamer::createLocationNameWithSelectedSettingsWithDict(c.address, c.ticks);
        EXPECT_EQ(name.text, QString::fromUtf8(c.text));
        EXPECT_EQ(name.placeFound, c.place);
        EXPECT_EQ(name.cityFound, c.city);
        EXPECT_EQ(name.stateFound, c.state);
        EXPECT_EQ(name.countryFound, c.country);
    }
}

TEST(LocationNamer, keysPositionsBySixDecimalsWithADecimalPointInAnyLocale)
{
    const std::string savedNumeric = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8"); // may be missing; the key must not depend on it either way
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

    EXPECT_EQ(LocationNamer::locationKey(48.85, 2.35), QStringLiteral("48.850000_2.350000"));
    EXPECT_EQ(LocationNamer::locationKey(-33.8688, -151.2093), QStringLiteral("-33.868800_-151.209300"));
    EXPECT_EQ(LocationNamer::locationKey(48.8500001, 2.35), LocationNamer::locationKey(48.8500004, 2.35));

    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_NUMERIC, savedNumeric.c_str());
}

TEST(LocationNamer, asksOncePerPositionAndAnswersRepeatsFromTheCacheWithTheirOwnTicks)
{
    auto geocoder = answering(kParis);
    LocationNamer namer(geocoder);

    EXPECT_EQ(namer.findLocation(48.8500001, 2.35, ticks(1, 1, 1, 1)).text, QStringLiteral("Rue-X_Paris_IDF_France"));
    const LocationName second = namer.findLocation(48.8500004, 2.35, ticks(0, 1, 0, 0));
    EXPECT_EQ(second.text, QStringLiteral("Paris"));
    EXPECT_FALSE(second.placeFound);
    EXPECT_TRUE(second.cityFound);
    EXPECT_EQ(geocoder->requests, 1);
    EXPECT_EQ(namer.getAlreadyStoredLocation(48.85, 2.35, ticks(0, 0, 0, 1)).text, QStringLiteral("France"));

    namer.findLocation(43.4675, 11.885, ticks(1, 1, 1, 1));
    EXPECT_EQ(geocoder->requests, 2);
    EXPECT_EQ(namer.cachedLocationCount(), 2);
}

TEST(LocationNamer, asksAgainWhenTheCachedAddressHasNoneOfTheTickedParts)
{
    auto geocoder = answering({ { QStringLiteral("City"), QStringLiteral("Paris") } });
    LocationNamer namer(geocoder);

    const LocationName first = namer.findLocation(48.85, 2.35, ticks(1, 0, 0, 0));
    EXPECT_EQ(first.text, QString());
    EXPECT_FALSE(first.placeFound || first.cityFound || first.stateFound || first.countryFound);
    namer.findLocation(48.85, 2.35, ticks(1, 0, 0, 0));
    EXPECT_EQ(geocoder->requests, 2);
    EXPECT_EQ(namer.cachedLocationCount(), 1);
    // The address is cached all the same: other ticks find it without a request.
    EXPECT_EQ(namer.findLocation(48.85, 2.35, ticks(0, 1, 0, 0)).text, QStringLiteral("Paris"));
    EXPECT_EQ(geocoder->requests, 2);
}

TEST(LocationNamer, cachesNeitherErrorsNorEmptyAnswers)
{
    struct Case {
        const char* what;
        ReverseGeocodeResult result;
    };
    const Case cases[] = {
        { "an error", { QStringLiteral("network down"), std::nullopt } },
        { "an error that still carries an address", { QStringLiteral("partial"), kParis } },
        { "no place found", {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto geocoder = std::make_shared<FakeGeocoder>();
        geocoder->answer = [&](double, double) { return c.result; };
        LocationNamer namer(geocoder);

        const LocationName name = namer.findLocation(48.85, 2.35, ticks(1, 1, 1, 1));
        EXPECT_EQ(name.text, QString());
        EXPECT_FALSE(name.placeFound || name.cityFound || name.stateFound || name.countryFound);
        namer.findLocation(48.85, 2.35, ticks(1, 1, 1, 1));
        EXPECT_EQ(geocoder->requests, 2);
        EXPECT_EQ(namer.cachedLocationCount(), 0);
    }
}

TEST(LocationNamer, takesAnAnswerGivenOnAnotherThread)
{
    auto geocoder = answering(kParis);
    geocoder->mode = FakeGeocoder::Mode::FromAnotherThread;
    LocationNamer namer(geocoder);
    EXPECT_EQ(namer.findLocation(48.85, 2.35, ticks(0, 1, 0, 1)).text, QStringLiteral("Paris_France"));
    EXPECT_EQ(namer.cachedLocationCount(), 1);
}

TEST(LocationNamer, givesUpOnAGeocoderThatNeverAnswersAndIgnoresItsLateAnswer)
{
    auto geocoder = answering(kParis);
    geocoder->mode = FakeGeocoder::Mode::Never;
    LocationNamer namer(geocoder);
    namer.setTimeLimit(std::chrono::milliseconds(50));

    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(namer.findLocation(48.85, 2.35, ticks(1, 1, 1, 1)).text, QString());
    EXPECT_LT(timer.elapsed(), 5000);

    // The answer arrives after the namer gave up: it changes nothing.
    ASSERT_EQ(geocoder->unanswered.size(), 1);
    geocoder->unanswered.first()(FakeGeocoder::address(kParis));
    EXPECT_EQ(namer.cachedLocationCount(), 0);

    // The next photo at that position asks again.
    geocoder->mode = FakeGeocoder::Mode::Immediately;
    EXPECT_EQ(namer.findLocation(48.85, 2.35, ticks(1, 1, 1, 1)).text, QStringLiteral("Rue-X_Paris_IDF_France"));
    EXPECT_EQ(geocoder->requests, 2);
}
