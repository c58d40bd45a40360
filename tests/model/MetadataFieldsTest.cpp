#include "model/MetadataFields.h"

#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>

TEST(MetadataFields, declaresEightyUniqueNames)
{
    std::set<std::string_view> names;
    for (const auto& info : kMetadataFields)
        names.insert(info.name);
    EXPECT_EQ(names.size(), 80u);
}

TEST(MetadataFields, tableOrderMatchesTheEnum)
{
    for (std::size_t i = 0; i < kMetadataFields.size(); ++i)
        EXPECT_EQ(fieldIndex(kMetadataFields[i].field), i) << kMetadataFields[i].name;
}

TEST(MetadataFields, groupSizesAndClearFlags)
{
    std::map<FieldGroup, int> groups;
    std::map<ClearFlag, int> clears;
    int dropDowns = 0;
    for (const auto& info : kMetadataFields) {
        ++groups[info.group];
        ++clears[info.clearFlag];
        dropDowns += info.isDropDown ? 1 : 0;
    }
    EXPECT_EQ(groups[FieldGroup::General], 5);
    EXPECT_EQ(groups[FieldGroup::Cam], 4);
    EXPECT_EQ(groups[FieldGroup::Date], 3);
    EXPECT_EQ(groups[FieldGroup::CamSetting], 9);
    EXPECT_EQ(groups[FieldGroup::AdvCamSetting], 12);
    EXPECT_EQ(groups[FieldGroup::Lens], 4);
    EXPECT_EQ(groups[FieldGroup::DimResolution], 5);
    EXPECT_EQ(groups[FieldGroup::GPS], 9);
    EXPECT_EQ(groups[FieldGroup::IPTC], 21);
    EXPECT_EQ(groups[FieldGroup::XMP], 8);
    EXPECT_EQ(clears[ClearFlag::Exif], 41);
    EXPECT_EQ(clears[ClearFlag::Comment], 1);
    EXPECT_EQ(clears[ClearFlag::GpsInfo], 9);
    EXPECT_EQ(clears[ClearFlag::IPTC], 21);
    EXPECT_EQ(clears[ClearFlag::XMP], 8);
    EXPECT_EQ(dropDowns, 15);
}

TEST(MetadataFields, keepsTheIrregularSpellingsThatStoredPresetsUse)
{
    for (const char* name : { "GPS_Lattitude", "GPS_LattitudeRef", "AdvCamSetting_MateringMode", "Lens_Lens" })
        EXPECT_TRUE(metadataFieldNamed(name).has_value()) << name;
    EXPECT_FALSE(metadataFieldNamed("GPS_Latitude").has_value());
    EXPECT_FALSE(metadataFieldNamed("AdvCamSetting_MeteringMode").has_value());
    EXPECT_EQ(kMetadataFields.front().name, "Artist");
    EXPECT_EQ(kMetadataFields.back().name, "XMP_PhotoshopDateCreated");
}

TEST(MetadataFields, eachDateSettingAdjustsADateField)
{
    EXPECT_EQ(kDateSettings.size(), 6u);
    for (const auto& info : kDateSettings) {
        const auto group = fieldInfo(info.field).group;
        EXPECT_TRUE(group == FieldGroup::Date || group == FieldGroup::XMP) << info.key;
    }
}
