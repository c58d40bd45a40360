#include "services/Utils.h"
#include "model/MetaDataObject.h"
#include "platform/ImageProperties.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <clocale>
#include <cmath>
#include <gtest/gtest.h>

namespace {

const QString kPNG = QStringLiteral("{PNG}");

QVariant groupValue(const QVariantMap& dict, const QString& group, const QString& key)
{
    return group.isEmpty() ? dict.value(key) : dict.value(group).toMap().value(key);
}

// A dictionary in the shapes the property layer produces: numbers for rationals,
// lists for repeatable values. Every value survives the trip into a record and back.
QVariantMap sampleDict()
{
    using L = QVariantList;
    return {
        { QStringLiteral("Orientation"), qlonglong(6) },
        { ImageProperties::kTIFF,
            QVariantMap {
                { "Artist", "Ana Lind" },
                { "ImageDescription", "Harbour at dawn" },
                { "Copyright", "(c) Ana Lind" },
                { "Software", "Velloran" },
                { "Make", "NIKON" },
                { "Model", "COOLPIX P6000" },
                { "DateTime", "2008:10:22 16:29:49" },
                { "Orientation", qlonglong(6) },
                { "XResolution", 300.0 },
                { "YResolution", 300.0 },
                { "ResolutionUnit", qlonglong(2) },
            } },
        { ImageProperties::kExif,
            QVariantMap {
                { "UserComment", "Grüße aus Kyōto" },
                { "CameraOwnerName", "Ana" },
                { "BodySerialNumber", "40012345" },
                { "DateTimeOriginal", "2008:10:22 16:28:39" },
                { "DateTimeDigitized", "2008:10:22 16:28:40" },
                { "ISOSpeedRatings", L { qlonglong(64) } },
                { "FNumber", 5.9 },
                { "ApertureValue", 4.0 },
                { "ShutterSpeedValue", 7.0 },
                { "FocalLength", 24.0 },
                { "FocalLenIn35mmFilm", qlonglong(112) },
                { "ExposureBiasValue", -0.3 },
                { "Flash", qlonglong(16) },
                { "ComponentsConfiguration", L { qlonglong(1), qlonglong(2), qlonglong(3), qlonglong(0) } },
                { "ExposureMode", qlonglong(0) },
                { "ExposureTime", 0.0078125 },
                { "MeteringMode", qlonglong(5) },
                { "LensModel", "24-144mm" },
            } },
        { ImageProperties::kGPS,
            QVariantMap {
                { "Latitude", 43.467448333333 },
                { "LatitudeRef", "N" },
                { "Longitude", 11.885126666664 },
                { "LongitudeRef", "E" },
                { "Altitude", 152.5 },
                { "AltitudeRef", qlonglong(0) },
                { "ImgDirection", 271.25 },
                { "ImgDirectionRef", "T" },
            } },
        { ImageProperties::kIPTC,
            QVariantMap {
                { "Byline", L { "Ana Lind" } },
                { "Keywords", L { "sea", "sun" } },
                { "Headline", "Dawn" },
                { "City", "Arezzo" },
                { "Country/PrimaryLocationCode", "ITA" },
            } },
        { ImageProperties::kExifAux, QVariantMap { { "LensModel", "aux lens" } } },
    };
}

} // namespace

TEST(MetaDataObjectDictionary, aDictionaryRoundTripsThroughARecord)
{
    const QVariantMap original = sampleDict();
    auto record = MetaDataObject::initWithDict(original);
    ASSERT_TRUE(record);

    // The record holds an F-number and an exposure time where the dictionary holds APEX values.
    EXPECT_EQ(record->CamSetting_Aperture(), "4.00");
    EXPECT_EQ(record->CamSetting_ShutterSpeed(), "1/128");
    EXPECT_EQ(record->CamSetting_ISO(), "64");
    EXPECT_EQ(record->AdvCamSetting_ComponentsConfiguration(), "1,2,3,0");
    EXPECT_EQ(record->IPTC_Keywords(), "sea,sun");
    EXPECT_EQ(record->UserComment(), QStringLiteral("Grüße aus Kyōto"));

    const QVariantMap rebuilt = MetaDataObject::metadataDictFromObject(*record, {}, *record);
    for (const QString& group :
        { QString(), ImageProperties::kTIFF, ImageProperties::kExif, ImageProperties::kGPS, ImageProperties::kIPTC }) {
        const QVariantMap expected = group.isEmpty() ? original : original.value(group).toMap();
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            if (it.key().startsWith(QLatin1Char('{')))
                continue;
            EXPECT_EQ(groupValue(rebuilt, group, it.key()), it.value()) << qPrintable(group + " " + it.key());
        }
    }
    EXPECT_EQ(groupValue(rebuilt, kPNG, "Software"), "Velloran");
    // Nothing writes the auxiliary group; it is carried over from the old dictionary only.
    EXPECT_TRUE(rebuilt.value(ImageProperties::kExifAux).toMap().isEmpty());
    const QVariantMap overOld = MetaDataObject::metadataDictFromObject(*record, original, *record);
    EXPECT_EQ(overOld.value(ImageProperties::kExifAux), original.value(ImageProperties::kExifAux));
}

TEST(MetaDataObjectDictionary, readingTurnsApexValuesIntoFNumbersAndExposureTimes)
{
    struct Case {
        QVariant aperture;
        QVariant shutter;
        QString fNumber;
        QString exposure;
    };
    const Case cases[] = {
        { 3.0, 7.0, "2.83", "1/128" }, { 5.0, -1.0, "5.66", "2.00" },
        { 0.0, 0.0, "0", "1" }, // an aperture value of 0 is no F-number and stays as read
        { 6.906891, 6.906891, "10.95", "1/120" }, { "abc", "abc", "abc", "1" }, // a text that isn't a number reads as 0
        // Values whose conversion has no finite result stay as read.
        { 1e300, 2000.0, "1e+300", "2000" },
        { 3.0, 40.0, "2.83", "40" }, // 1/2^40 s is past any whole denominator we print
    };
    for (const Case& c : cases) {
        auto record = MetaDataObject::initWithDict({ { ImageProperties::kExif,
            QVariantMap { { "ApertureValue", c.aperture }, { "ShutterSpeedValue", c.shutter } } } });
        EXPECT_EQ(record->CamSetting_Aperture(), c.fNumber) << qPrintable(c.aperture.toString());
        EXPECT_EQ(record->CamSetting_ShutterSpeed(), c.exposure) << qPrintable(c.shutter.toString());
    }
}

TEST(MetaDataObjectDictionary, readingLeavesFieldsOfMissingGroupsAndListsAsTheyWere)
{
    MetaDataObject record;
    record.setArtist("kept");
    record.setCamSetting_ISO("400");
    record.setIPTC_Keywords("kept");
    record.setXMP_Keyword("kw");
    record.setXMP_Lens("lens");
    record.setCamSetting_FNumber("8");
    record.setGPS_DateStamp("kept");
    record.resetAllWithDict({
        { ImageProperties::kExif, QVariantMap { { "Flash", " 16\n" }, { "LensMake", "(null)" } } },
        { ImageProperties::kGPS, QVariantMap { { "Latitude", 1.5 } } },
        { ImageProperties::kIPTC, QVariantMap { { "Byline", QVariantList { " a ", "b" } } } },
    });
    EXPECT_EQ(record.Artist(), "kept"); // no "{TIFF}"
    EXPECT_EQ(record.CamSetting_ISO(), "400"); // a joined list keeps the field when its key is missing
    EXPECT_EQ(record.IPTC_Keywords(), "kept");
    EXPECT_EQ(record.GPS_DateStamp(), "kept");
    EXPECT_EQ(record.CamSetting_FNumber(), ""); // a text key that is missing empties the field
    EXPECT_EQ(record.CamSetting_Flash(), "16"); // texts are trimmed
    EXPECT_EQ(record.Lens_LensMake(), "");
    EXPECT_EQ(record.IPTC_ByLine(), " a ,b"); // joined lists are not
    EXPECT_EQ(record.XMP_Keyword(), "kw");
    EXPECT_EQ(record.XMP_Lens(), "");

    record.resetAllWithDict({});
    EXPECT_EQ(record.Artist(), "kept");
}

TEST(MetaDataObjectDictionary, buildingLeavesTheRecordAloneAndDoesNotDrift)
{
    MetaDataObject record;
    record.setCamSetting_Aperture("2.8");
    record.setCamSetting_ShutterSpeed("1/0");
    const QVariantMap old { { ImageProperties::kExif, QVariantMap { { "ShutterSpeedValue", 5.0 } } } };

    const QVariantMap first = MetaDataObject::metadataDictFromObject(record, old, record);
    for (int call = 0; call < 3; ++call)
        EXPECT_EQ(MetaDataObject::metadataDictFromObject(record, old, record), first);
    EXPECT_EQ(record.CamSetting_Aperture(), "2.8");
    EXPECT_EQ(record.CamSetting_ShutterSpeed(), "1/0");
    EXPECT_DOUBLE_EQ(groupValue(first, ImageProperties::kExif, "ApertureValue").toDouble(), 2 * std::log2(2.8));
    EXPECT_EQ(groupValue(first, ImageProperties::kExif, "ShutterSpeedValue"), 5.0);
}

TEST(MetaDataObjectDictionary, buildingWritesApexValuesOrKeepsTheOldOne)
{
    struct Case {
        QString aperture;
        QString shutter;
        QVariant apertureValue;
        QVariant shutterValue;
    };
    const QVariant oldValue = 9.0;
    const Case cases[] = {
        { "4", "1/4", 4.0, 2.0 }, { "1", "2", 0.0, -1.0 },
        { "0", "1/x", oldValue, oldValue }, // log of 0; a fraction that isn't 1/digits
        { "-2", "0", oldValue, oldValue }, // log of a negative number; a time of 0
        { "abc", "1/", oldValue, oldValue }, { "2.8abc", "0.5", 2 * std::log2(2.8), 1.0 },
        { "8", "1,5", 6.0, oldValue }, // no decimal comma, whatever the locale
    };
    const QVariantMap old { { ImageProperties::kExif,
        QVariantMap { { "ApertureValue", oldValue }, { "ShutterSpeedValue", oldValue } } } };
    for (const Case& c : cases) {
        MetaDataObject record;
        record.setCamSetting_Aperture(c.aperture);
        record.setCamSetting_ShutterSpeed(c.shutter);
        const QVariantMap dict = MetaDataObject::metadataDictFromObject(record, old, record);
        EXPECT_EQ(groupValue(dict, ImageProperties::kExif, "ApertureValue"), c.apertureValue) << qPrintable(c.aperture);
        EXPECT_EQ(groupValue(dict, ImageProperties::kExif, "ShutterSpeedValue"), c.shutterValue)
            << qPrintable(c.shutter);
        EXPECT_EQ(record.CamSetting_Aperture(), c.aperture);
        EXPECT_EQ(record.CamSetting_ShutterSpeed(), c.shutter);
    }
}

TEST(MetaDataObjectDictionary, numbersAreReadTheSameUnderADecimalCommaLocale)
{
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    const QLocale previousDefault;
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    MetaDataObject record;
    record.setCamSetting_FNumber("5.9");
    record.setCamSetting_ShutterSpeed("0.5");
    const QVariantMap dict = MetaDataObject::metadataDictFromObject(record, {}, record);
    auto read = MetaDataObject::initWithDict({ { ImageProperties::kExif, QVariantMap { { "ApertureValue", 3.0 } } } });
    QLocale::setDefault(previousDefault);
    std::setlocale(LC_ALL, previous.c_str());

    EXPECT_EQ(groupValue(dict, ImageProperties::kExif, "FNumber"), 5.9);
    EXPECT_EQ(groupValue(dict, ImageProperties::kExif, "ShutterSpeedValue"), 1.0);
    EXPECT_EQ(read->CamSetting_Aperture(), "2.83");
}

TEST(MetaDataObjectDictionary, buildingShapesListsAndNumbers)
{
    struct Case {
        MetadataField field;
        QString text;
        QString group;
        QString key;
        QVariant expected;
    };
    using L = QVariantList;
    const Case cases[] = {
        { MetadataField::IPTC_Keywords, "sea,sun", ImageProperties::kIPTC, "Keywords", L { "sea", "sun" } },
        { MetadataField::IPTC_Keywords, "sea", ImageProperties::kIPTC, "Keywords", L { "sea" } },
        { MetadataField::IPTC_Keywords, "a, b", ImageProperties::kIPTC, "Keywords", L { "a", " b" } },
        { MetadataField::AdvCamSetting_ComponentsConfiguration, "1,2,3,0", ImageProperties::kExif,
            "ComponentsConfiguration", L { qlonglong(1), qlonglong(2), qlonglong(3), qlonglong(0) } },
        { MetadataField::AdvCamSetting_ComponentsConfiguration, "1,2,9", ImageProperties::kExif,
            "ComponentsConfiguration", L { qlonglong(1), qlonglong(2) } },
        { MetadataField::CamSetting_ISO, "200 ISO", ImageProperties::kExif, "ISOSpeedRatings", L { qlonglong(200) } },
        { MetadataField::IPTC_ByLine, "a,b", ImageProperties::kIPTC, "Byline", L { "a,b" } },
        { MetadataField::GPS_DateStamp, "2008:10:22", ImageProperties::kGPS, "DateStamp", L { "2008:10:22" } },
        { MetadataField::CamSetting_Flash, "x", ImageProperties::kExif, "Flash", qlonglong(0) },
        { MetadataField::CamSetting_FocalLength, " 24.5mm", ImageProperties::kExif, "FocalLength", 24.5 },
        { MetadataField::GPS_Altitude, "-.5", ImageProperties::kGPS, "Altitude", -0.5 },
        { MetadataField::CamSetting_Orientation, "8", QString(), "Orientation", qlonglong(8) },
        { MetadataField::CamSetting_Orientation, "8", ImageProperties::kTIFF, "Orientation", qlonglong(8) },
        { MetadataField::Software, "v", kPNG, "Software", "v" },
    };
    for (const Case& c : cases) {
        MetaDataObject record;
        record.setField(c.field, c.text);
        const QVariantMap dict = MetaDataObject::metadataDictFromObject(record, {}, record);
        EXPECT_EQ(groupValue(dict, c.group, c.key), c.expected) << qPrintable(c.text);
    }
}

TEST(MetaDataObjectDictionary, leaveBlankRemovesTheOldKey)
{
    const QVariantMap old { { "Orientation", qlonglong(3) },
        { ImageProperties::kTIFF, QVariantMap { { "Orientation", qlonglong(3) } } },
        { ImageProperties::kExif, QVariantMap { { "Flash", qlonglong(16) }, { "ColorSpace", "1" } } } };
    MetaDataObject record;
    record.setCamSetting_Flash("Leave Blank");
    record.setCamSetting_Orientation("Leave Blank");
    const QVariantMap dict = MetaDataObject::metadataDictFromObject(record, old, record);
    EXPECT_FALSE(dict.value(ImageProperties::kExif).toMap().contains("Flash"));
    EXPECT_FALSE(dict.value(ImageProperties::kTIFF).toMap().contains("Orientation"));
    EXPECT_FALSE(dict.contains("Orientation"));
    EXPECT_EQ(groupValue(dict, ImageProperties::kExif, "ColorSpace"), "1");
}

TEST(MetaDataObjectDictionary, theCleanModeRemovesOnlyTheChosenGroups)
{
    const QVariantMap old = sampleDict();
    MetaDataObject record;
    record.editingOption = MetaDataObject::CleanMetadataInfo;
    record.clearGpsInfo = true;
    record.setArtist("not written in the clean mode");
    const QVariantMap dict = MetaDataObject::metadataDictFromObject(record, old, record);
    EXPECT_TRUE(dict.value(ImageProperties::kGPS).toMap().isEmpty());
    for (const QString& group : { ImageProperties::kTIFF, ImageProperties::kExif, ImageProperties::kIPTC })
        EXPECT_EQ(dict.value(group), old.value(group)) << qPrintable(group);

    record.clearGpsInfo = false;
    record.clearExif = true;
    record.clearComment = true;
    const QVariantMap exifCleared = MetaDataObject::metadataDictFromObject(record, old, record);
    // Resolution and pixel sizes have no clear flag; the auxiliary group is never touched.
    EXPECT_EQ(exifCleared.value(ImageProperties::kTIFF).toMap().keys(),
        (QStringList { "ResolutionUnit", "XResolution", "YResolution" }));
    EXPECT_TRUE(exifCleared.value(ImageProperties::kExif).toMap().isEmpty());
    EXPECT_FALSE(exifCleared.contains("Orientation"));
    EXPECT_EQ(exifCleared.value(ImageProperties::kExifAux), old.value(ImageProperties::kExifAux));
}

TEST(MetaDataObjectDictionary, modeOneRemovesUneditedKeysExceptThoseItMustKeep)
{
    QVariantMap old = sampleDict();
    QVariantMap gps = old.value(ImageProperties::kGPS).toMap();
    gps.insert("DateStamp", QVariantList { "2008:10:22" });
    old.insert(ImageProperties::kGPS, gps);
    MetaDataObject record;
    record.editingOption = MetaDataObject::ModifyEditedClearOthers;
    record.setIPTC_City("Siena");
    record.setArtist("Bo");
    MetaDataObject updated;
    updated.setIPTC_City("Siena");

    const QVariantMap dict = MetaDataObject::metadataDictFromObject(record, old, updated);
    EXPECT_EQ(groupValue(dict, ImageProperties::kIPTC, "City"), "Siena");
    EXPECT_FALSE(dict.value(ImageProperties::kTIFF).toMap().contains("Artist"));
    EXPECT_FALSE(dict.value(ImageProperties::kExif).toMap().contains("Flash"));
    EXPECT_FALSE(dict.contains("Orientation"));
    for (const char* key : { "XResolution", "YResolution", "ResolutionUnit" })
        EXPECT_TRUE(dict.value(ImageProperties::kTIFF).toMap().contains(key)) << key;
    for (const char* key : { "ImgDirection", "ImgDirectionRef", "DateStamp" })
        EXPECT_TRUE(dict.value(ImageProperties::kGPS).toMap().contains(key)) << key;
}

TEST(MetaDataObjectDictionary, aRealPhotoFillsTheRecordAsExiftoolReadsIt)
{
    const QString path = samplesDir() + "/gps/DSCN0010.jpg";
    auto record = MetaDataObject::initWithDict(Utils::sharedUtils().exifForFile(path));

    QProcess process;
    process.start("exiftool",
        { "-j", "-n", "-Make", "-Model", "-FNumber", "-ExposureTime", "-ISO", "-FocalLength", "-Flash", "-GPSLatitude",
            "-GPSLatitudeRef", "-GPSLongitude", "-GPSLongitudeRef", "-DateTimeOriginal", path });
    ASSERT_TRUE(process.waitForFinished());
    const QJsonObject tool = QJsonDocument::fromJson(process.readAllStandardOutput()).array().at(0).toObject();
    ASSERT_FALSE(tool.isEmpty());

    EXPECT_EQ(record->Cam_Make(), tool["Make"].toString());
    EXPECT_EQ(record->Cam_ModelName(), tool["Model"].toString());
    EXPECT_EQ(record->Date_Original(), tool["DateTimeOriginal"].toString());
    EXPECT_EQ(record->GPS_LattitudeRef(), tool["GPSLatitudeRef"].toString());
    EXPECT_EQ(record->GPS_LongitudeRef(), tool["GPSLongitudeRef"].toString());
    EXPECT_EQ(record->CamSetting_ISO(), QString::number(tool["ISO"].toInt()));
    EXPECT_EQ(record->CamSetting_Flash(), QString::number(tool["Flash"].toInt()));
    EXPECT_DOUBLE_EQ(record->CamSetting_FNumber().toDouble(), tool["FNumber"].toDouble());
    EXPECT_DOUBLE_EQ(record->CamSetting_FocalLength().toDouble(), tool["FocalLength"].toDouble());
    EXPECT_NEAR(record->AdvCamSetting_ExposureTime().toDouble(), tool["ExposureTime"].toDouble(), 1e-9);
    EXPECT_NEAR(record->GPS_Lattitude().toDouble(), tool["GPSLatitude"].toDouble(), 1e-9);
    EXPECT_NEAR(record->GPS_Longitude().toDouble(), tool["GPSLongitude"].toDouble(), 1e-9);
    EXPECT_EQ(record->AdvCamSetting_ComponentsConfiguration(), "1,2,3,0");
    EXPECT_EQ(record->CamSetting_Aperture(), ""); // the photo has no aperture value
}
