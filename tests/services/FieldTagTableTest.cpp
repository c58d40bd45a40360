#include "services/FieldTagTable.h"

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>
#include <set>
#include <string>

namespace {

int countRows(const std::function<bool(const FieldTagInfo&)>& test)
{
    int count = 0;
    for (const FieldTagInfo& row : fieldTagTable())
        count += test(row) ? 1 : 0;
    return count;
}

} // namespace

TEST(FieldTagTable, writesSixtySixFieldsAndOnlyReadsSevenMore)
{
    EXPECT_EQ(countRows([](const FieldTagInfo& row) { return row.isWritten(); }), 66);
    EXPECT_EQ(countRows([](const FieldTagInfo& row) { return row.access == TagAccess::ReadOnly; }), 7);
    EXPECT_EQ(countRows([](const FieldTagInfo& row) { return !row.isRead(); }), 7);
    EXPECT_EQ(countRows([](const FieldTagInfo& row) { return row.writeForm == WriteForm::Rational; }), 5);
    EXPECT_EQ(countRows([](const FieldTagInfo& row) { return row.writeForm == WriteForm::GpsCoordinate; }), 2);
    EXPECT_EQ(countRows([](const FieldTagInfo& row) { return row.commaToPoint; }), 13);
    EXPECT_EQ(countRows([](const FieldTagInfo& row) { return row.leaveBlankErases; }), 13);
    EXPECT_EQ(countRows([](const FieldTagInfo& row) { return row.dateSetting.has_value(); }), 6);
}

TEST(FieldTagTable, everyKeyIsAValidExiv2KeyReadIntoOneFieldOnly)
{
    std::set<std::string> readKeys;
    for (const FieldTagInfo& row : fieldTagTable()) {
        if (row.key != nullptr) {
            EXPECT_TRUE(readKeys.insert(row.key).second) << row.key;
        }
        for (const char* key : { row.key, row.xmpKey }) {
            if (key == nullptr)
                continue;
            switch (tagFamily(key)) {
            case TagFamily::Exif:
                EXPECT_NO_THROW(Exiv2::ExifKey { key }) << key;
                break;
            case TagFamily::Iptc:
                EXPECT_NO_THROW(Exiv2::IptcKey { key }) << key;
                break;
            case TagFamily::Xmp:
                // exiv2 does not know the prism namespace until a file brings it.
                if (std::string(key) != "Xmp.prism.keyword") {
                    EXPECT_NO_THROW(Exiv2::XmpKey { key }) << key;
                }
                break;
            case TagFamily::None:
                ADD_FAILURE() << "key of no family: " << key;
            }
        }
    }
}

TEST(FieldTagTable, mapsTheIrregularNamesToTheirStandardKeys)
{
    struct Case {
        MetadataField field;
        const char* key;
    };
    const Case cases[] = {
        { MetadataField::Date_Creation, "Exif.Photo.DateTimeDigitized" },
        { MetadataField::Date_Modify, "Exif.Image.DateTime" },
        { MetadataField::Cam_SerialNumber, "Exif.Photo.BodySerialNumber" },
        { MetadataField::XMP_SerialNumber, "Xmp.aux.SerialNumber" },
        { MetadataField::CamSetting_FocalLengthIn35mmFormat, "Exif.Photo.FocalLengthIn35mmFilm" },
        { MetadataField::IPTC_ByLine, "Iptc.Application2.Byline" },
        { MetadataField::IPTC_SupplementalCategories, "Iptc.Application2.SuppCategory" },
        { MetadataField::GPS_Lattitude, "Exif.GPSInfo.GPSLatitude" },
        { MetadataField::GPS_LattitudeRef, "Exif.GPSInfo.GPSLatitudeRef" },
        { MetadataField::AdvCamSetting_MateringMode, "Exif.Photo.MeteringMode" },
    };
    for (const Case& c : cases)
        EXPECT_STREQ(fieldTagInfo(c.field).key, c.key) << fieldInfo(c.field).name;
}

TEST(FieldTagTable, theXmpCoordinatesAreWrittenFromTheGpsFieldsOnly)
{
    const FieldTagInfo& latitude = fieldTagInfo(MetadataField::GPS_Lattitude);
    EXPECT_STREQ(latitude.xmpKey, "Xmp.exif.GPSLatitude");
    EXPECT_EQ(latitude.referenceField, MetadataField::GPS_LattitudeRef);
    EXPECT_EQ(latitude.negativeReference, 'S');
    const FieldTagInfo& longitude = fieldTagInfo(MetadataField::GPS_Longitude);
    EXPECT_STREQ(longitude.xmpKey, "Xmp.exif.GPSLongitude");
    EXPECT_EQ(longitude.referenceField, MetadataField::GPS_LongitudeRef);
    EXPECT_EQ(longitude.negativeReference, 'W');
    // The XMP fields read back exactly the keys the GPS fields write.
    EXPECT_STREQ(fieldTagInfo(MetadataField::XMP_Latitude).key, latitude.xmpKey);
    EXPECT_STREQ(fieldTagInfo(MetadataField::XMP_Longitude).key, longitude.xmpKey);
    EXPECT_FALSE(fieldTagInfo(MetadataField::XMP_Latitude).isWritten());
    EXPECT_FALSE(fieldTagInfo(MetadataField::XMP_Longitude).isWritten());
}

TEST(FieldTagTable, leaveBlankHasNoTagToEraseForColorSpaceAndResolutionUnit)
{
    for (const MetadataFieldInfo& info : kMetadataFields) {
        if (!info.isDropDown)
            continue;
        const bool noTag = info.field == MetadataField::AdvCamSetting_ColorSpace
            || info.field == MetadataField::DimResolution_ResolutionUnit;
        EXPECT_EQ(fieldTagInfo(info.field).leaveBlankErases, !noTag) << info.name;
        EXPECT_EQ(fieldTagInfo(info.field).isWritten(), !noTag) << info.name;
    }
}

TEST(FieldTagTable, findsARowByItsKeyText)
{
    ASSERT_NE(fieldTagInfoForKey("Iptc.Application2.Keywords"), nullptr);
    EXPECT_EQ(fieldTagInfoForKey("Iptc.Application2.Keywords")->field, MetadataField::IPTC_Keywords);
    EXPECT_EQ(fieldTagInfoForKey("Exif.Photo.ColorSpace"), nullptr);
    EXPECT_EQ(fieldTagInfoForKey(""), nullptr);
}
