#include "form/MapPicker.h"

#include "FormFixtures.h"
#include "form/MetadataFormState.h"
#include "form/SelectionMerge.h"

#include <gtest/gtest.h>

using F = MetadataField;

namespace {

std::shared_ptr<MetaDataObject> recordWith(std::initializer_list<std::pair<MetadataField, QString>> fields)
{
    auto record = std::make_shared<MetaDataObject>();
    for (const auto& [field, text] : fields)
        record->setField(field, text);
    return record;
}

} // namespace

TEST(MapPicker, opensOnTheFormsPositionWithItsPinElseOnTheWorldAskingForTheUsersOwn)
{
    const auto paris = recordWith(
        { { F::GPS_Lattitude, "48.856600" }, { F::GPS_LattitudeRef, "N" }, { F::GPS_Longitude, "2.352200" } });
    const MapPicker::Opening onParis = MapPicker::opening(*paris, true);
    ASSERT_TRUE(onParis.pin.has_value());
    EXPECT_NEAR(onParis.pin->latitude, 48.8566, 1e-9);
    EXPECT_NEAR(onParis.pin->longitude, 2.3522, 1e-9);
    EXPECT_EQ(onParis.center, *onParis.pin);
    EXPECT_EQ(onParis.spanDegrees, MapPicker::kPositionSpan);
    EXPECT_FALSE(onParis.asksUserPosition) << "the form's position wins over the user's";

    // Photos that differ leave the fields empty; a text that is no position counts as none.
    for (const auto& none : { recordWith({}), recordWith({ { F::GPS_Lattitude, "48.8" } }),
             recordWith({ { F::GPS_Lattitude, "91" }, { F::GPS_Longitude, "10" } }),
             recordWith({ { F::GPS_Lattitude, "48.8 N" }, { F::GPS_Longitude, "10" } }) }) {
        const MapPicker::Opening world = MapPicker::opening(*none, true);
        EXPECT_FALSE(world.pin.has_value());
        EXPECT_EQ(world.spanDegrees, 360);
        EXPECT_TRUE(world.asksUserPosition);
        // Offline only: the desktop's position service is not asked either.
        EXPECT_FALSE(MapPicker::opening(*none, false).asksUserPosition);
    }
}

TEST(MapPicker, readsTheHemispheresAndATypedDecimalComma)
{
    const auto sydney = MapPicker::formPosition(*recordWith({ { F::GPS_Lattitude, "33,8688" },
        { F::GPS_LattitudeRef, "s" }, { F::GPS_Longitude, "151.2093" }, { F::GPS_LongitudeRef, "E" } }));
    ASSERT_TRUE(sydney.has_value());
    EXPECT_NEAR(sydney->latitude, -33.8688, 1e-9);
    EXPECT_NEAR(sydney->longitude, 151.2093, 1e-9);
    // A typed sign without a reference is the negative hemisphere, as the writer takes it.
    const auto lima = MapPicker::formPosition(*recordWith(
        { { F::GPS_Lattitude, "-12.0464" }, { F::GPS_Longitude, "77.0428" }, { F::GPS_LongitudeRef, "W" } }));
    ASSERT_TRUE(lima.has_value());
    EXPECT_NEAR(lima->latitude, -12.0464, 1e-9);
    EXPECT_NEAR(lima->longitude, -77.0428, 1e-9);
}

TEST(MapPicker, choosingFillsTheFourFieldsAsTheReaderMakesThemAndRemovingEmptiesThem)
{
    const auto edits = MapPicker::locationEdits(-33.86881234, -70.5);
    const QList<std::pair<MetadataField, QString>> expected = { { F::GPS_Lattitude, "33.868812" },
        { F::GPS_LattitudeRef, "S" }, { F::GPS_Longitude, "70.500000" }, { F::GPS_LongitudeRef, "W" } };
    EXPECT_EQ(edits, expected);
    EXPECT_EQ(MapPicker::locationEdits(0, 0)[1].second, "N");
    EXPECT_EQ(MapPicker::locationEdits(0, 0)[3].second, "E");
    for (const auto& [field, text] : MapPicker::removalEdits())
        EXPECT_TRUE(text.isEmpty()) << int(field);
    EXPECT_EQ(MapPicker::removalEdits().size(), 4);

    // What the form then hands to the writer: the four texts, each marked edited, and
    // after Remove the four emptied fields marked edited, which a write erases.
    MetadataFormState form;
    form.fill(SelectionMerge::updateMetaDataObjectForSelectedFiles(
        SelectionMerge::recordsOf({ photoWith({ { F::GPS_Lattitude, "1.000000" }, { F::GPS_LattitudeRef, "N" } }) })));
    MapPicker::changeLocationToTitle(form, "Plaza de Armas, Santiago", -33.4378, -70.6505);
    EXPECT_TRUE(form.isParamsChanged());
    form.createUpdatedChnagesOnly();
    const auto changes = form.metaDataObjectWithUpdatedChange();
    EXPECT_EQ(changes->GPS_Lattitude(), "33.437800");
    EXPECT_EQ(changes->GPS_LattitudeRef(), "S");
    EXPECT_EQ(changes->GPS_Longitude(), "70.650500");
    EXPECT_EQ(changes->GPS_LongitudeRef(), "W");
    EXPECT_TRUE(changes->isupdated_GPS_LongitudeRef());
    ASSERT_TRUE(MapPicker::formPosition(*form.metaDataObject()).has_value());
    EXPECT_NEAR(MapPicker::formPosition(*form.metaDataObject())->longitude, -70.6505, 1e-9);

    MapPicker::removeLocationcordinates(form);
    form.createUpdatedChnagesOnly();
    for (MetadataField field : { F::GPS_Lattitude, F::GPS_LattitudeRef, F::GPS_Longitude, F::GPS_LongitudeRef }) {
        EXPECT_TRUE(form.metaDataObjectWithUpdatedChange()->field(field).isEmpty());
        EXPECT_TRUE(form.metaDataObjectWithUpdatedChange()->isUpdated(field));
        EXPECT_TRUE(form.editedMetaDataObject()->isUpdated(field)) << "kept over the next selection";
    }
}

TEST(MapPicker, titlesThePinWithThePlaceNameAndItsDegrees)
{
    EXPECT_EQ(MapPicker::placeTitle({ { "Name", "Tour Eiffel" }, { "City", "Paris" }, { "State", "Île-de-France" },
                  { "Country", "France" } }),
        QString::fromUtf8("Tour Eiffel, Paris, Île-de-France, France"));
    // GeoNames knows no streets; a city-state names itself once.
    EXPECT_EQ(MapPicker::placeTitle({ { "City", "Singapore" }, { "State", " Singapore" }, { "Country", "Singapore" } }),
        "Singapore");
    EXPECT_EQ(MapPicker::placeTitle({}), "");
    EXPECT_EQ(MapPicker::coordinateText(-33.8688, 151.2093), QString::fromUtf8("33° 52' 8\" S, 151° 12' 33\" E"));
}

TEST(MapPicker, asksForAPlaceNameOnceThePinRestsAndNeverTwiceInASecond)
{
    EXPECT_EQ(MapPicker::delayBeforeAsking(-1), MapPicker::kSettleMs);
    EXPECT_EQ(MapPicker::delayBeforeAsking(100), MapPicker::kGeocoderPauseMs - 100);
    EXPECT_EQ(MapPicker::delayBeforeAsking(5000), MapPicker::kSettleMs);
}
