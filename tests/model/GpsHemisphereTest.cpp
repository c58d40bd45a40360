#include "model/GpsHemisphere.h"

#include "model/MetaDataObject.h"

#include <gtest/gtest.h>

using F = MetadataField;

namespace {

std::shared_ptr<MetaDataObject> position(
    const char* latitude, const char* latitudeRef, const char* longitude = "", const char* longitudeRef = "")
{
    auto record = std::make_shared<MetaDataObject>();
    record->setGPS_Lattitude(QString::fromUtf8(latitude));
    record->setGPS_LattitudeRef(QString::fromUtf8(latitudeRef));
    record->setGPS_Longitude(QString::fromUtf8(longitude));
    record->setGPS_LongitudeRef(QString::fromUtf8(longitudeRef));
    return record;
}

} // namespace

TEST(GpsHemisphere, aNegativeCoordinateWithoutAReferenceBecomesItsMagnitudeInTheNegativeHemisphere)
{
    struct Case {
        const char* latitude;
        const char* reference;
        const char* settledLatitude;
        const char* settledReference;
    };
    const Case cases[] = {
        { "-33.8688", "", "33.8688", "S" }, { " -33,8688 ", "", "33,8688", "S" }, // the comma is the writer's to mend
        { "-33.8688", "Leave Blank", "33.8688", "S" }, { "-33.8688", "S", "33.8688", "S" }, // the sign said it already
        { "-33.8688", "s", "33.8688", "s" }, { "33.8688", "", "33.8688", "" }, // no sign, nothing to settle
        { "-0", "", "-0", "" }, // no hemisphere to tell
        { "-abc", "", "-abc", "" }, // no number: the validation's to refuse
    };
    for (const Case& c : cases) {
        const auto record = position(c.latitude, c.reference);
        GpsHemisphere::resolveSigns(*record);
        EXPECT_EQ(record->GPS_Lattitude(), c.settledLatitude) << c.latitude << " " << c.reference;
        EXPECT_EQ(record->GPS_LattitudeRef(), c.settledReference) << c.latitude << " " << c.reference;
    }

    // The longitude by its own reference; a reference set for an edited coordinate
    // is edited too, so that clearing the others keeps it.
    const auto kept = position("10", "N", "-70.5", "");
    MetaDataObject& record = *kept;
    record.setIsupdated_GPS_Longitude(true);
    EXPECT_EQ(GpsHemisphere::resolveSigns(record), QList<F>({ F::GPS_Longitude, F::GPS_LongitudeRef }));
    EXPECT_EQ(record.GPS_Longitude(), "70.5");
    EXPECT_EQ(record.GPS_LongitudeRef(), "W");
    EXPECT_TRUE(record.isupdated_GPS_LongitudeRef());
    EXPECT_FALSE(record.isupdated_GPS_LattitudeRef());
}

TEST(GpsHemisphere, aSignAgainstTheChosenHemisphereIsAContradictionAndStaysAsTyped)
{
    const auto kept = position("-33.86", "N", "-70", "e");
    MetaDataObject& record = *kept;
    EXPECT_TRUE(GpsHemisphere::contradicts(record, kGpsAxes[0]));
    EXPECT_TRUE(GpsHemisphere::contradicts(record, kGpsAxes[1]));
    EXPECT_TRUE(GpsHemisphere::resolveSigns(record).isEmpty());
    EXPECT_EQ(record.GPS_Lattitude(), "-33.86");
    EXPECT_EQ(record.GPS_LattitudeRef(), "N");

    EXPECT_FALSE(GpsHemisphere::contradicts(*position("33.86", "N"), kGpsAxes[0]));
    EXPECT_FALSE(GpsHemisphere::contradicts(*position("-33.86", "S"), kGpsAxes[0]));
    EXPECT_EQ(GpsHemisphere::contradictionMessage(kGpsAxes[1]),
        "* A negative longitude cannot be East: remove the minus or choose West.");
}
