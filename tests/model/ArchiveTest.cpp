#include "model/KeyedCoder.h"
#include "model/MetaDataObject.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

QByteArray archive(const MetaDataObject& record)
{
    KeyedEncoder coder(MetaDataObject::kClassName);
    record.encodeWithCoder(coder);
    return coder.toJson();
}

std::shared_ptr<MetaDataObject> unarchive(const QByteArray& data)
{
    auto decoder = KeyedDecoder::fromJson(data, MetaDataObject::kClassName);
    if (!decoder)
        return nullptr;
    return MetaDataObject::initWithCoder(*decoder);
}

QJsonObject archiveObject(const MetaDataObject& record)
{
    return QJsonDocument::fromJson(archive(record)).object();
}

QByteArray toBytes(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

TEST(RecordArchive, roundTripsTextsModeFlagsNameAndSettings)
{
    MetaDataObject record;
    record.setArtist(QStringLiteral("Zoë Ångström 山田"));
    record.setIPTC_Keywords(QStringLiteral("Bär, Müll, \"quoted\" \\ slash"));
    record.setGPS_Lattitude(QStringLiteral("48.858333"));
    record.setCopyright(QString()); // absent stays absent
    record.editingOption = MetaDataObject::CleanMetadataInfo;
    record.clearGpsInfo = true;
    record.clearXMP = true;
    record.name = QStringLiteral("Préréglage");
    record.setIsupdated_Artist(true);
    record.isReset = true;
    auto& modify = *record.dateTimeConfigModifyDate();
    modify.tagConfigureOption = 5;
    modify.isIncDecHourKeepOriginal = true;
    modify.stringIncDecMinute = QStringLiteral("-30");
    modify.stringUpdateYear.reset();

    const auto back = unarchive(archive(record));
    ASSERT_TRUE(back);
    for (const auto& info : kMetadataFields) {
        EXPECT_EQ(back->field(info.field), record.field(info.field)) << info.name;
        EXPECT_EQ(back->field(info.field).isNull(), record.field(info.field).isNull()) << info.name;
        EXPECT_EQ(back->isUpdated(info.field), info.field == MetadataField::Artist) << info.name;
    }
    EXPECT_EQ(back->editingOption, 2);
    EXPECT_TRUE(back->clearGpsInfo);
    EXPECT_TRUE(back->clearXMP);
    EXPECT_FALSE(back->clearExif);
    EXPECT_FALSE(back->isReset);
    EXPECT_EQ(back->name, QStringLiteral("Préréglage"));
    for (const auto& info : kDateSettings)
        EXPECT_EQ(*back->dateTimeConfig(info.setting), *record.dateTimeConfig(info.setting)) << info.key;
    EXPECT_FALSE(back->dateTimeConfigModifyDate()->stringUpdateYear.has_value());
}

TEST(RecordArchive, aNewRecordComesBackWithEmptyNotAbsentTexts)
{
    MetaDataObject record;
    const auto back = unarchive(archive(record));
    ASSERT_TRUE(back);
    for (const auto& info : kMetadataFields)
        EXPECT_FALSE(back->field(info.field).isNull()) << info.name;
    EXPECT_FALSE(back->name.isNull());
}

TEST(RecordArchive, usesThePropertyNamesAsKeys)
{
    MetaDataObject record;
    record.clearXMP = true;
    const QJsonObject object = archiveObject(record);
    EXPECT_EQ(object.value(QStringLiteral("$class")).toString(), QStringLiteral("MetaDataObject"));
    for (const char* key : { "GPS_Lattitude", "AdvCamSetting_MateringMode", "editingOption", "clearExif", "clearIPTC",
             "clearComment", "clearGpsInfo", "clearXMP", "name", "dateTimeConfigPhotoshopCreationDate" })
        EXPECT_TRUE(object.contains(QLatin1String(key))) << key;
    EXPECT_EQ(object.value(QStringLiteral("clearXMP")).toInt(), 1);
    const QJsonObject nested = object.value(QStringLiteral("dateTimeConfigOriginalDate")).toObject();
    EXPECT_EQ(nested.value(QStringLiteral("$class")).toString(), QStringLiteral("DateTimeConfiguration"));
    EXPECT_EQ(nested.value(QStringLiteral("stringUpdateYear")).toString(), QStringLiteral("1905"));
    EXPECT_FALSE(object.contains(QStringLiteral("isupdated_Artist")));
}

// A preset field emptied on purpose clears its tag only while it is marked edited.
TEST(RecordArchive, keepsTheEditedFlagsByFieldNameAndReadsAnArchiveWithoutThemAsBefore)
{
    MetaDataObject record;
    record.setArtist(QStringLiteral("Studio"));
    record.setIsupdated_Artist(true);
    record.setIsupdated_IPTC_City(true); // emptied: "" and edited
    record.setIsupdated_GPS_Lattitude(true);
    record.setIsupdated_XMP_PhotoshopDateCreated(true);
    QJsonObject object = archiveObject(record);
    EXPECT_EQ(object.value(QStringLiteral("editedFields")).toArray(),
        QJsonArray({ QStringLiteral("Artist"), QStringLiteral("GPS_Lattitude"), QStringLiteral("IPTC_City"),
            QStringLiteral("XMP_PhotoshopDateCreated") }));

    const auto back = unarchive(toBytes(object));
    ASSERT_TRUE(back);
    for (const auto& info : kMetadataFields)
        EXPECT_EQ(back->isUpdated(info.field), record.isUpdated(info.field)) << info.name;
    EXPECT_EQ(back->IPTC_City(), QStringLiteral(""));

    // An archive written before the key existed: no flag, everything else the same.
    object.remove(QStringLiteral("editedFields"));
    const auto old = unarchive(toBytes(object));
    ASSERT_TRUE(old);
    for (const auto& info : kMetadataFields) {
        EXPECT_FALSE(old->isUpdated(info.field)) << info.name;
        EXPECT_EQ(old->field(info.field), back->field(info.field)) << info.name;
    }
    EXPECT_EQ(old->editingOption, back->editingOption);
    EXPECT_EQ(old->name, back->name);

    // A record without flags writes no key, so its archive is the one it always was.
    EXPECT_FALSE(archiveObject(MetaDataObject()).contains(QStringLiteral("editedFields")));

    // Names this version does not know and elements that are no text are skipped.
    object.insert(QStringLiteral("editedFields"),
        QJsonArray({ QStringLiteral("Copyright"), 7, QStringLiteral("NoSuchField"), QJsonObject() }));
    const auto odd = unarchive(toBytes(object));
    ASSERT_TRUE(odd);
    for (const auto& info : kMetadataFields)
        EXPECT_EQ(odd->isUpdated(info.field), info.field == MetadataField::Copyright) << info.name;
    object.insert(QStringLiteral("editedFields"), QStringLiteral("Artist"));
    const auto wrongKind = unarchive(toBytes(object));
    ASSERT_TRUE(wrongKind);
    EXPECT_FALSE(wrongKind->isupdated_Artist());
}

TEST(RecordArchive, missingKeysReadAsAbsentZeroOrAFreshSetting)
{
    MetaDataObject record;
    record.setXMP_Keyword(QStringLiteral("kw"));
    record.setArtist(QStringLiteral("a"));
    record.clearExif = true;
    record.dateTimeConfigModifyDate()->tagConfigureOption = 3;
    QJsonObject object = archiveObject(record);
    for (const char* key :
        { "XMP_Keyword", "clearExif", "clearXMP", "editingOption", "name", "dateTimeConfigModifyDate" })
        object.remove(QLatin1String(key));

    const auto back = unarchive(toBytes(object));
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->XMP_Keyword().isNull());
    EXPECT_EQ(back->Artist(), QStringLiteral("a"));
    EXPECT_FALSE(back->clearExif);
    EXPECT_FALSE(back->clearXMP); // archives written before the key existed read as false
    EXPECT_EQ(back->editingOption, 0);
    EXPECT_TRUE(back->name.isNull());
    ASSERT_TRUE(back->dateTimeConfigModifyDate());
    EXPECT_EQ(back->dateTimeConfigModifyDate()->option(), 0);
    EXPECT_EQ(back->dateTimeConfigModifyDate()->stringUpdateYear, QStringLiteral("1905"));
}

TEST(RecordArchive, valuesOfTheWrongKindReadAsMissing)
{
    MetaDataObject record;
    QJsonObject object = archiveObject(record);
    object.insert(QStringLiteral("Artist"), 42);
    object.insert(QStringLiteral("Copyright"), QJsonObject());
    object.insert(QStringLiteral("editingOption"), QStringLiteral("2"));
    object.insert(QStringLiteral("clearIPTC"), QStringLiteral("yes"));
    object.insert(QStringLiteral("clearGpsInfo"), 7); // any non-zero number is set
    object.insert(QStringLiteral("dateTimeConfigOriginalDate"), QStringLiteral("not an object"));
    QJsonObject wrongClass = object.value(QStringLiteral("dateTimeConfigCreationDate")).toObject();
    wrongClass.insert(QStringLiteral("$class"), QStringLiteral("Something"));
    object.insert(QStringLiteral("dateTimeConfigCreationDate"), wrongClass);
    QJsonObject badSetting = object.value(QStringLiteral("dateTimeConfigXMPModifyDate")).toObject();
    badSetting.insert(QStringLiteral("tagConfigureOption"), QStringLiteral("4"));
    badSetting.insert(QStringLiteral("stringIncDecDay"), 5);
    object.insert(QStringLiteral("dateTimeConfigXMPModifyDate"), badSetting);

    const auto back = unarchive(toBytes(object));
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->Artist().isNull());
    EXPECT_TRUE(back->Copyright().isNull());
    EXPECT_EQ(back->editingOption, 0);
    EXPECT_FALSE(back->clearIPTC);
    EXPECT_TRUE(back->clearGpsInfo);
    ASSERT_TRUE(back->dateTimeConfigOriginalDate());
    ASSERT_TRUE(back->dateTimeConfigCreationDate());
    EXPECT_FALSE(back->dateTimeConfigXMPModifyDate()->tagConfigureOption.has_value());
    EXPECT_FALSE(back->dateTimeConfigXMPModifyDate()->stringIncDecDay.has_value());
}

TEST(RecordArchive, anEditingOptionOutOfRangeReadsAsZero)
{
    for (int option : { -1, 3, 1000 }) {
        MetaDataObject record;
        record.editingOption = option;
        const auto back = unarchive(archive(record));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->editingOption, 0) << option;
    }
}

TEST(RecordArchive, damagedArchivesGiveNothingWithoutACrash)
{
    MetaDataObject record;
    record.setArtist(QStringLiteral("Zoë"));
    const QByteArray whole = archive(record);
    for (qsizetype length = 0; length < whole.size(); length += 7)
        EXPECT_FALSE(unarchive(whole.left(length))) << length;
    EXPECT_FALSE(unarchive(QByteArrayLiteral("\"a preset that is a string\"")));
    EXPECT_FALSE(unarchive(QByteArrayLiteral("[1,2,3]")));
    EXPECT_FALSE(unarchive(QByteArrayLiteral("{\"$class\":\"ProjectSession\"}")));
    EXPECT_FALSE(unarchive(QByteArray("\xff\xfe\x00garbage", 10)));
}

TEST(KeyedCoder, arraysSkipElementsOfTheWrongKind)
{
    KeyedEncoder root(QStringLiteral("Root"));
    KeyedEncoder a(QStringLiteral("Item"));
    a.encodeString(QStringLiteral("n"), QStringLiteral("first"));
    root.encodeArray(QStringLiteral("items"), { a, KeyedEncoder(QStringLiteral("Other")), a });
    QJsonObject object = root.jsonObject();
    QJsonArray items = object.value(QStringLiteral("items")).toArray();
    items.append(QStringLiteral("a string"));
    items.append(17);
    object.insert(QStringLiteral("items"), items);

    const auto decoder = KeyedDecoder::fromObject(object, QStringLiteral("Root"));
    ASSERT_TRUE(decoder);
    const auto list = decoder->decodeArray(QStringLiteral("items"), QStringLiteral("Item"));
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0].decodeString(QStringLiteral("n")), QStringLiteral("first"));
    EXPECT_TRUE(decoder->decodeArray(QStringLiteral("missing"), QStringLiteral("Item")).isEmpty());
}

TEST(KeyedCoder, integersMustBeWholeAndFitThirtyTwoBits)
{
    QJsonObject object { { QStringLiteral("$class"), QStringLiteral("C") }, { QStringLiteral("half"), 1.5 },
        { QStringLiteral("huge"), 1e12 }, { QStringLiteral("neg"), -7 }, { QStringLiteral("flag"), true } };
    const auto decoder = KeyedDecoder::fromObject(object, QStringLiteral("C"));
    ASSERT_TRUE(decoder);
    EXPECT_FALSE(decoder->decodeInt(QStringLiteral("half")));
    EXPECT_FALSE(decoder->decodeInt(QStringLiteral("huge")));
    EXPECT_EQ(decoder->decodeInt(QStringLiteral("neg")), -7);
    EXPECT_EQ(decoder->decodeInt(QStringLiteral("flag")), 1);
    EXPECT_EQ(decoder->decodeBool(QStringLiteral("half")), true);
}
