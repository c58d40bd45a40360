#include "services/WriterFixtures.h"
#include "support/TestSupport.h"

#include <QFileInfo>
#include <gtest/gtest.h>

// What the writer stores, read back by an independent reader: exiftool runs once
// over every photo of the batch, and once more to validate them.

namespace {

using F = MetadataField;

struct WrittenPhoto {
    QString name;
    std::function<void(MetaDataObject&)> settings;
    bool withOldKeywords = false;
};

double numberOf(const QJsonObject& tags, const char* tag)
{
    return tags.value(QLatin1String(tag)).toDouble(-999);
}

QString textOf(const QJsonObject& tags, const char* tag)
{
    return tags.value(QLatin1String(tag)).toVariant().toString();
}

} // namespace

TEST(ExifWriterRoundTrip, exiftoolReadsBackWhatWasWritten)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is missing (CI installs libimage-exiftool-perl)";
    ScopedTimeZone zone("Europe/Berlin");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    const QString cityCut = QStringLiteral("a") + QString(20, QChar(0x0416)); // 41 bytes for a 32-byte dataset
    const std::vector<WrittenPhoto> photos = {
        { "texts.jpg",
            [](MetaDataObject& s) {
                edit(s,
                    { { F::Artist, QStringLiteral("Zoë 山田 Ёж 📷") }, { F::IPTC_City, QStringLiteral("Москва") },
                        { F::UserComment, QStringLiteral("Grüße 😀") }, { F::IPTC_Headline, "Plain" } });
            } },
        { "cut.jpg",
            [&](MetaDataObject& s) {
                edit(s, { { F::IPTC_City, cityCut } });
            } },
        { "gps.jpg",
            [](MetaDataObject& s) {
                edit(s,
                    { { F::GPS_Lattitude, "37,5" }, { F::GPS_LattitudeRef, "s" }, { F::GPS_Longitude, "122.4" },
                        { F::GPS_LongitudeRef, "W" }, { F::GPS_Altitude, "12,5" }, { F::GPS_AltitudeRef, "0" },
                        { F::GPS_ImgDirection, "123.5" }, { F::GPS_ImgDirectionRef, "T" },
                        { F::CamSetting_FNumber, "2,8" }, { F::CamSetting_FocalLength, "50" },
                        { F::AdvCamSetting_ExposureTime, "1/250" } });
            } },
        { "signed.jpg",
            [](MetaDataObject& s) {
                edit(s, { { F::GPS_Lattitude, "-33.25" }, { F::GPS_LattitudeRef, "S" }, { F::GPS_Longitude, "-0.5" } });
            } },
        { "keywords.jpg",
            [](MetaDataObject& s) {
                edit(s, { { F::IPTC_Keywords, " sea , ,sun,sea" } });
            },
            true },
        { "dates.jpg",
            [](MetaDataObject& s) {
                s.dateTimeConfigOriginalDate()->tagConfigureOption = DateTimeConfiguration::IncDecDate;
                s.dateTimeConfigOriginalDate()->stringIncDecDay = QStringLiteral("1");
                s.dateTimeConfigOriginalDate()->isIncDecMonthKeepOriginal = true;
                s.dateTimeConfigOriginalDate()->isIncDecYearKeepOriginal = true;
                s.dateTimeConfigModifyDate()->tagConfigureOption = DateTimeConfiguration::ChosenDate;
                s.dateTimeConfigModifyDate()->stringSelectedDate = QStringLiteral("2019:05:06 07:08:09");
                s.dateTimeConfigXMPCreationDate()->tagConfigureOption = DateTimeConfiguration::ChosenDate;
                s.dateTimeConfigXMPCreationDate()->stringSelectedDate = QStringLiteral("2021:06:07 08:09:10");
            } },
    };

    QStringList paths;
    for (const WrittenPhoto& written : photos) {
        SCOPED_TRACE(qPrintable(written.name));
        const QString path = makeJpeg(dir, written.name);
        editMetadata(path, [&](Exiv2::Image& image) {
            image.exifData()["Exif.Photo.DateTimeOriginal"] = "2020:01:02 03:04:05";
            image.exifData()["Exif.Image.DateTime"] = "2020:01:02 03:04:05";
            if (written.withOldKeywords) {
                addIptc(image.iptcData(), "Iptc.Application2.Keywords", "a");
                addIptc(image.iptcData(), "Iptc.Application2.Keywords", "b");
            }
        });
        PhotoFile photo = photoAt(path);
        MetaDataObject settings;
        written.settings(settings);
        ASSERT_EQ(writePhoto(photo, settings, path).errorFlag, 0);
        paths.append(path);
    }

    QMap<QString, QJsonObject> tags = exiftoolTags(paths);
    ASSERT_EQ(tags.size(), int(photos.size()));

    const QJsonObject& texts = tags["texts.jpg"];
    EXPECT_EQ(textOf(texts, "IFD0:Artist"), QStringLiteral("Zoë 山田 Ёж 📷"));
    EXPECT_EQ(textOf(texts, "IPTC:City"), QStringLiteral("Москва"));
    EXPECT_EQ(textOf(texts, "IPTC:CodedCharacterSet"), QStringLiteral("\x1b%G"));
    EXPECT_EQ(textOf(texts, "ExifIFD:UserComment"), QStringLiteral("Grüße 😀"));
    EXPECT_EQ(textOf(tags["cut.jpg"], "IPTC:City"), cityCut.left(16)) << "cut at a character boundary";

    const QJsonObject& gps = tags["gps.jpg"];
    EXPECT_DOUBLE_EQ(numberOf(gps, "Composite:GPSLatitude"), -37.5);
    EXPECT_DOUBLE_EQ(numberOf(gps, "Composite:GPSLongitude"), -122.4);
    EXPECT_DOUBLE_EQ(numberOf(gps, "GPS:GPSAltitude"), 12.5);
    EXPECT_DOUBLE_EQ(numberOf(gps, "GPS:GPSImgDirection"), 123.5);
    EXPECT_DOUBLE_EQ(numberOf(gps, "XMP-exif:GPSLatitude"), -37.5);
    EXPECT_DOUBLE_EQ(numberOf(gps, "XMP-exif:GPSLongitude"), -122.4);
    EXPECT_DOUBLE_EQ(numberOf(gps, "ExifIFD:FNumber"), 2.8);
    EXPECT_DOUBLE_EQ(numberOf(gps, "ExifIFD:FocalLength"), 50);
    EXPECT_DOUBLE_EQ(numberOf(gps, "ExifIFD:ExposureTime"), 0.004);

    const QJsonObject& signedGps = tags["signed.jpg"];
    EXPECT_DOUBLE_EQ(numberOf(signedGps, "GPS:GPSLatitude"), 33.25);
    EXPECT_DOUBLE_EQ(numberOf(signedGps, "XMP-exif:GPSLatitude"), -33.25);
    EXPECT_DOUBLE_EQ(numberOf(signedGps, "GPS:GPSLongitude"), 0.5);
    EXPECT_DOUBLE_EQ(numberOf(signedGps, "XMP-exif:GPSLongitude"), -0.5);

    EXPECT_EQ(tags["keywords.jpg"].value("IPTC:Keywords").toVariant().toStringList(), QStringList({ "sea", "sun" }));

    const QJsonObject& dates = tags["dates.jpg"];
    EXPECT_EQ(textOf(dates, "ExifIFD:DateTimeOriginal"), "2020:01:03 03:04:05");
    EXPECT_EQ(textOf(dates, "IFD0:ModifyDate"), "2019:05:06 07:08:09");
    EXPECT_EQ(readBack(dir.filePath("dates.jpg"))->XMP_CreationDate(), "2021-06-07T08:09:10");
    EXPECT_EQ(QFileInfo(dir.filePath("dates.jpg")).lastModified(), QDateTime(QDate(2019, 5, 6), QTime(7, 8, 9)));

    const QStringList warnings = exiftoolWarnings(paths);
    EXPECT_TRUE(warnings.filter(QStringLiteral("Non-standard")).isEmpty()) << qPrintable(warnings.join(u'\n'));
    EXPECT_TRUE(warnings.filter(QStringLiteral("format")).isEmpty()) << qPrintable(warnings.join(u'\n'));
}
