#include "model/MetaDataObject.h"

#include <gtest/gtest.h>

namespace {

void fillAll(MetaDataObject& record, const QString& prefix)
{
    for (const auto& info : kMetadataFields)
        record.setField(info.field, prefix + QString::fromLatin1(info.name.data(), qsizetype(info.name.size())));
}

} // namespace

TEST(MetaDataObject, aNewRecordIsEmptyButNotAbsent)
{
    MetaDataObject record;
    for (const auto& info : kMetadataFields) {
        EXPECT_FALSE(record.field(info.field).isNull()) << info.name;
        EXPECT_TRUE(record.field(info.field).isEmpty()) << info.name;
        EXPECT_FALSE(record.isUpdated(info.field)) << info.name;
    }
    EXPECT_FALSE(record.name.isNull());
    EXPECT_EQ(record.editingOption, 0);
    EXPECT_FALSE(record.clearExif || record.clearIPTC || record.clearComment || record.clearGpsInfo || record.clearXMP);
}

TEST(MetaDataObject, aNewRecordOwnsSixDistinctSettings)
{
    MetaDataObject a;
    MetaDataObject b;
    for (const auto& info : kDateSettings) {
        ASSERT_TRUE(a.dateTimeConfig(info.setting));
        EXPECT_NE(a.dateTimeConfig(info.setting), b.dateTimeConfig(info.setting));
        for (const auto& other : kDateSettings) {
            if (other.setting != info.setting) {
                EXPECT_NE(a.dateTimeConfig(info.setting), a.dateTimeConfig(other.setting));
            }
        }
    }
}

TEST(MetaDataObject, settersLeaveTheEditedFlagAlone)
{
    MetaDataObject record;
    record.setArtist(QStringLiteral("Anna"));
    EXPECT_FALSE(record.isupdated_Artist());
    record.setIsupdated_GPS_Lattitude(true);
    EXPECT_TRUE(record.isUpdated(MetadataField::GPS_Lattitude));
    EXPECT_EQ(record.field(MetadataField::Artist), QStringLiteral("Anna"));
}

TEST(MetaDataObjectCopy, copiesTextsModeNameAndAllFiveClearFlagsButNoEditedFlags)
{
    MetaDataObject source;
    fillAll(source, QStringLiteral("v-"));
    source.setIsupdated_Artist(true);
    source.editingOption = MetaDataObject::CleanMetadataInfo;
    source.clearExif = true;
    source.clearGpsInfo = true;
    source.clearXMP = true;
    source.name = QStringLiteral("Holiday preset");
    source.isReset = true;

    const auto copy = MetaDataObject::initWithObject(source);
    for (const auto& info : kMetadataFields) {
        EXPECT_EQ(copy->field(info.field), source.field(info.field)) << info.name;
        EXPECT_FALSE(copy->isUpdated(info.field)) << info.name;
    }
    EXPECT_EQ(copy->editingOption, MetaDataObject::CleanMetadataInfo);
    EXPECT_TRUE(copy->clearExif);
    EXPECT_FALSE(copy->clearIPTC);
    EXPECT_FALSE(copy->clearComment);
    EXPECT_TRUE(copy->clearGpsInfo);
    EXPECT_TRUE(copy->clearXMP); // a copy in the clean mode still cleans XMP
    EXPECT_EQ(copy->name, QStringLiteral("Holiday preset"));
    EXPECT_FALSE(copy->isReset);
}

TEST(MetaDataObjectCopy, sharesTheDateSettingsWithItsSource)
{
    MetaDataObject source;
    const auto copy = MetaDataObject::initWithObject(source);
    copy->dateTimeConfigOriginalDate()->stringIncDecDay = QStringLiteral("-3");
    EXPECT_EQ(source.dateTimeConfigOriginalDate()->stringIncDecDay, QStringLiteral("-3"));
    for (const auto& info : kDateSettings)
        EXPECT_EQ(copy->dateTimeConfig(info.setting), source.dateTimeConfig(info.setting));
}

TEST(MetaDataObjectCopy, keepsAbsentTextsAbsentExceptTheXmpKeyword)
{
    MetaDataObject source;
    source.setArtist(QString());
    source.setXMP_Keyword(QString());
    const auto copy = MetaDataObject::initWithObject(source);
    EXPECT_TRUE(copy->Artist().isNull());
    EXPECT_FALSE(copy->XMP_Keyword().isNull());
    EXPECT_TRUE(copy->XMP_Keyword().isEmpty());
}

TEST(MetaDataObjectCopy, changingACopysTextLeavesTheSourceAlone)
{
    MetaDataObject source;
    source.setCopyright(QStringLiteral("© 2019"));
    const auto copy = MetaDataObject::initWithObject(source);
    copy->setCopyright(QStringLiteral("other"));
    EXPECT_EQ(source.Copyright(), QStringLiteral("© 2019"));
}

TEST(MetaDataObjectCopy, theEditedFieldsOnlyTwinKeepsOnlyEditedTextsAndLeavesTheRecordAlone)
{
    MetaDataObject merged; // what the photos share: every text of the record
    fillAll(merged, QStringLiteral("v-"));
    MetaDataObject record;
    fillAll(record, QStringLiteral("v-"));
    record.setUpdated(MetadataField::Artist, true);
    record.setUpdated(MetadataField::IPTC_Keywords, true);
    record.setField(MetadataField::IPTC_Keywords, QString());
    record.editingOption = MetaDataObject::ModifyEditedClearOthers;
    record.clearGpsInfo = true;
    record.name = QStringLiteral("Studio");

    const auto twin = MetaDataObject::editedFieldsOnlyCopy(record, merged);
    for (const auto& info : kMetadataFields) {
        if (info.field == MetadataField::Artist) {
            EXPECT_EQ(twin->field(info.field), QStringLiteral("v-Artist"));
            EXPECT_TRUE(twin->isUpdated(info.field));
        } else if (info.field == MetadataField::IPTC_Keywords) {
            EXPECT_TRUE(twin->field(info.field).isNull()) << "an edited absent text stays absent";
            EXPECT_TRUE(twin->isUpdated(info.field)) << "emptied on purpose, unlike a field left out";
        } else {
            EXPECT_EQ(twin->field(info.field), QStringLiteral("")) << info.name;
            EXPECT_FALSE(twin->field(info.field).isNull()) << info.name;
            EXPECT_FALSE(twin->isUpdated(info.field)) << info.name;
        }
    }
    // The twin is the same settings: mode, clear flags, name and date settings travel.
    EXPECT_EQ(twin->editingOption, MetaDataObject::ModifyEditedClearOthers);
    EXPECT_TRUE(twin->clearGpsInfo);
    EXPECT_EQ(twin->name, QStringLiteral("Studio"));
    EXPECT_EQ(twin->dateTimeConfigOriginalDate(), record.dateTimeConfigOriginalDate());
    EXPECT_EQ(record.Copyright(), QStringLiteral("v-Copyright"));
    EXPECT_FALSE(record.isupdated_Copyright());
}

// Mode 1 erases every tag whose field the twin leaves empty, so a field is left out
// only when it is neither edited nor changed.
TEST(MetaDataObjectCopy, theTwinKeepsEditedFieldsEqualToThePhotosAndChangedFieldsWithoutAFlag)
{
    MetaDataObject merged;
    merged.setArtist(QStringLiteral("Ann"));
    merged.setCopyright(QStringLiteral("(c) Ann"));
    merged.setSoftware(QString());
    MetaDataObject record;
    record.setArtist(QStringLiteral("Ann")); // typed again, the photos' own text
    record.setIsupdated_Artist(true);
    record.setCopyright(QStringLiteral("(c) Studio")); // a preset without edited flags
    record.setSoftware(QStringLiteral("")); // absent and empty are one value
    record.setGPS_DateStamp(QStringLiteral("2020:01:01")); // no field of the form, still written

    const auto twin = MetaDataObject::editedFieldsOnlyCopy(record, merged);
    EXPECT_EQ(twin->Artist(), QStringLiteral("Ann"));
    EXPECT_TRUE(twin->isupdated_Artist());
    EXPECT_EQ(twin->Copyright(), QStringLiteral("(c) Studio"));
    EXPECT_TRUE(twin->isupdated_Copyright());
    EXPECT_FALSE(twin->isupdated_Software());
    EXPECT_EQ(twin->GPS_DateStamp(), QStringLiteral("2020:01:01"));

    // Without a selection every text of the record counts.
    const auto alone = MetaDataObject::editedFieldsOnlyCopy(record);
    for (const auto& info : kMetadataFields) {
        EXPECT_EQ(alone->field(info.field), record.field(info.field)) << info.name;
        EXPECT_EQ(alone->isUpdated(info.field), !record.field(info.field).isEmpty()) << info.name;
    }
}

TEST(MetaDataObjectOverlay, takesFilledOrEditedFieldsAndAlwaysTheUpperFlags)
{
    MetaDataObject target;
    target.setArtist(QStringLiteral("old artist"));
    target.setCopyright(QStringLiteral("old copyright"));
    target.setImageDescription(QStringLiteral("kept"));
    target.setIsupdated_ImageDescription(true);
    target.name = QStringLiteral("target name");

    MetaDataObject upper;
    upper.setArtist(QStringLiteral("")); // emptied on purpose
    upper.setIsupdated_Artist(true);
    upper.setCopyright(QStringLiteral("new copyright")); // filled, not flagged
    upper.name = QStringLiteral("upper name");

    MetaDataObject& result = MetaDataObject::appendPresetObjectToMetaDataObject(target, upper);
    EXPECT_EQ(&result, &target);
    EXPECT_EQ(target.Artist(), QStringLiteral(""));
    EXPECT_TRUE(target.isupdated_Artist());
    EXPECT_EQ(target.Copyright(), QStringLiteral("new copyright"));
    EXPECT_FALSE(target.isupdated_Copyright());
    EXPECT_EQ(target.ImageDescription(), QStringLiteral("kept"));
    EXPECT_FALSE(target.isupdated_ImageDescription()); // the edit mark follows the upper record
    EXPECT_EQ(target.name, QStringLiteral("target name"));
}

TEST(MetaDataObjectOverlay, leavesDimensionFieldsButTakesTheirFlags)
{
    MetaDataObject target;
    target.setDimResolution_ExifImageWidth(QStringLiteral("4000"));
    MetaDataObject upper;
    upper.setDimResolution_ExifImageWidth(QStringLiteral("10"));
    upper.setIsupdated_DimResolution_ExifImageWidth(true);
    MetaDataObject::appendPresetObjectToMetaDataObject(target, upper);
    EXPECT_EQ(target.DimResolution_ExifImageWidth(), QStringLiteral("4000"));
    EXPECT_TRUE(target.isupdated_DimResolution_ExifImageWidth());
}

TEST(MetaDataObjectOverlay, takesModeClearFlagsAndSharedSettings)
{
    MetaDataObject target;
    MetaDataObject upper;
    upper.editingOption = MetaDataObject::CleanMetadataInfo;
    upper.clearXMP = true;
    upper.clearComment = true;
    MetaDataObject::appendPresetObjectToMetaDataObject(target, upper);
    EXPECT_EQ(target.editingOption, MetaDataObject::CleanMetadataInfo);
    EXPECT_TRUE(target.clearXMP);
    EXPECT_TRUE(target.clearComment);
    EXPECT_FALSE(target.clearExif);
    target.dateTimeConfigOriginalDate()->tagConfigureOption = 4;
    EXPECT_EQ(upper.dateTimeConfigOriginalDate()->tagConfigureOption, 4);
}

struct BlankingCase {
    ClearFlag flag;
    int emptied;
    const char* label;
};

void PrintTo(const BlankingCase& c, std::ostream* os)
{
    *os << c.label;
}

class MetaDataObjectBlanking : public ::testing::TestWithParam<BlankingCase> { };

TEST_P(MetaDataObjectBlanking, emptiesExactlyTheGroupOfEachFlagAndKeepsEditedFlags)
{
    MetaDataObject record;
    fillAll(record, QStringLiteral("x"));
    record.setIsupdated_Artist(true);
    record.editingOption = MetaDataObject::CleanMetadataInfo;
    record.setClearFlag(GetParam().flag, true);
    MetaDataObject::metadataObjectWithCleanInfoUpdation(record);

    int emptied = 0;
    for (const auto& info : kMetadataFields) {
        const bool shouldEmpty = info.clearFlag == GetParam().flag;
        EXPECT_EQ(record.field(info.field).isEmpty(), shouldEmpty) << info.name;
        emptied += record.field(info.field).isEmpty() ? 1 : 0;
    }
    EXPECT_EQ(emptied, GetParam().emptied);
    EXPECT_TRUE(record.isupdated_Artist());
}

INSTANTIATE_TEST_SUITE_P(EachClearFlag, MetaDataObjectBlanking,
    ::testing::Values(BlankingCase { ClearFlag::Exif, 41, "clearExif" },
        BlankingCase { ClearFlag::Comment, 1, "clearComment" }, BlankingCase { ClearFlag::GpsInfo, 9, "clearGpsInfo" },
        BlankingCase { ClearFlag::IPTC, 21, "clearIPTC" }, BlankingCase { ClearFlag::XMP, 8, "clearXMP" }),
    [](const auto& info) { return std::string(info.param.label); });

TEST(MetaDataObjectBlanking, changesNothingOutsideTheCleanModeOrWithoutFlags)
{
    for (int mode : { 0, 1, 2 }) {
        MetaDataObject record;
        fillAll(record, QStringLiteral("x"));
        record.editingOption = mode;
        if (mode != 2) {
            for (ClearFlag flag :
                { ClearFlag::Exif, ClearFlag::Comment, ClearFlag::GpsInfo, ClearFlag::IPTC, ClearFlag::XMP })
                record.setClearFlag(flag, true);
        }
        MetaDataObject::metadataObjectWithCleanInfoUpdation(record);
        for (const auto& info : kMetadataFields)
            EXPECT_FALSE(record.field(info.field).isEmpty()) << "mode " << mode << " " << info.name;
    }
}

TEST(MetaDataObject, aRunChangesADatumOnlyForAnEditAClearFlagModeOneOrADateRule)
{
    MetaDataObject none;
    EXPECT_FALSE(none.changesAnyDatum());
    none.editingOption = MetaDataObject::CleanMetadataInfo;
    none.setArtist(QStringLiteral("text alone, not marked"));
    EXPECT_FALSE(none.changesAnyDatum()) << "the clean mode without a flag blanks nothing";

    MetaDataObject edited;
    edited.setIsupdated_Artist(true);
    EXPECT_TRUE(edited.changesAnyDatum());
    MetaDataObject cleared;
    cleared.setClearFlag(ClearFlag::XMP, true);
    EXPECT_TRUE(cleared.changesAnyDatum());
    MetaDataObject clearOthers;
    clearOthers.editingOption = MetaDataObject::ModifyEditedClearOthers;
    EXPECT_TRUE(clearOthers.changesAnyDatum()) << "mode 1 erases every field left empty";
    MetaDataObject dated;
    auto rule = std::make_shared<DateTimeConfiguration>();
    rule->tagConfigureOption = DateTimeConfiguration::KeepOriginal + 1;
    dated.setDateTimeConfig(DateSetting::ModifyDate, rule);
    EXPECT_TRUE(dated.changesAnyDatum());
}
