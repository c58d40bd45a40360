#include "services/ExifInfo.h"

#include <QTimeZone>
#include <gtest/gtest.h>

TEST(ExifInfo, turnsTheShownSizeByTheTopLevelOrientationOnly)
{
    struct Case {
        QVariant orientation;
        bool withTiff;
        const char* shown;
        int summaryOrientation;
    };
    for (const Case& c : { Case { 6, true, "3000 x 4000", 6 }, Case { 6, false, "3000 x 4000", 0 },
             Case { QVariant(), true, "4000 x 3000", 0 }, Case { 4, true, "4000 x 3000", 4 },
             Case { 9, true, "4000 x 3000", 9 } }) {
        QVariantMap dict { { QStringLiteral("PixelWidth"), 4000 }, { QStringLiteral("PixelHeight"), 3000 } };
        if (c.orientation.isValid())
            dict.insert(QStringLiteral("Orientation"), c.orientation);
        if (c.withTiff)
            dict.insert(QStringLiteral("{TIFF}"), QVariantMap { { QStringLiteral("Orientation"), c.orientation } });
        const ExifInfo info(dict);
        EXPECT_EQ(info.imageSize, QStringLiteral("4000 x 3000"));
        EXPECT_EQ(info.imageSizeToDisplay, QString::fromLatin1(c.shown));
        EXPECT_EQ(info.orientation, c.summaryOrientation);
        EXPECT_EQ(info.pixelWidth, 4000);
        EXPECT_EQ(info.pixelHeight, 3000);
    }
    const ExifInfo sizeless(QVariantMap { { QStringLiteral("ColorModel"), QStringLiteral("Gray") } });
    EXPECT_EQ(sizeless.imageSize, QStringLiteral("(null) x (null)"));
    EXPECT_EQ(sizeless.imageSizeToDisplay, QStringLiteral("0 x 0"));
    EXPECT_EQ(sizeless.colorModel.toString(), QStringLiteral("Gray"));
}

TEST(ExifInfo, formatsExposureValuesAndKeepsWhatIsMissing)
{
    ExifInfo info;
    info.isoSpeedRating = QStringLiteral("kept");
    info.resetAllWithDict({ { QStringLiteral("DPIWidth"), 300 }, { QStringLiteral("DPIHeight"), 72 },
        { QStringLiteral("{Exif}"),
            QVariantMap { { QStringLiteral("ExposureBiasValue"), -0.6666 }, { QStringLiteral("FocalLength"), 50 },
                { QStringLiteral("Flash"), 16 }, { QStringLiteral("DateTimeOriginal"), "2020:02:29 23:59:59" } } },
        { QStringLiteral("{IPTC}"), QVariantMap { { QStringLiteral("Keywords"), QVariantList { "sea", "sun" } } } },
        { QStringLiteral("{GPS}"), QVariantMap { { QStringLiteral("Latitude"), 43.5 } } } });
    EXPECT_EQ(info.imageDPI, QStringLiteral("300.0 x 72.0"));
    EXPECT_EQ(info.exposureBias, QStringLiteral("-0.67 EV"));
    EXPECT_EQ(info.folcalLength, QStringLiteral("50 mm"));
    EXPECT_EQ(info.flashFired, 1);
    EXPECT_EQ(info.isoSpeedRating, QStringLiteral("kept"));
    EXPECT_EQ(info.keywords, QStringLiteral("sea,sun"));
    EXPECT_EQ(info.gpsLatitude, 43.5);
    EXPECT_EQ(info.captureDate, QDateTime(QDate(2020, 2, 29), QTime(23, 59, 59), QTimeZone::utc()));

    info.resetAllWithDict({ { QStringLiteral("DPIWidth"), 96 },
        { QStringLiteral("{Exif}"),
            QVariantMap { { QStringLiteral("ISOSpeedRatings"), QVariantList { 100, 400 } } } } });
    EXPECT_EQ(info.dpiWidth, 0.0);
    EXPECT_EQ(info.imageDPI, QStringLiteral("300.0 x 72.0"));
    EXPECT_EQ(info.isoSpeedRating, QStringLiteral("100,400"));
    EXPECT_TRUE(info.folcalLength.isEmpty());
    EXPECT_EQ(info.flashFired, 0);
    EXPECT_FALSE(info.captureDate.isValid());
}

TEST(ExifInfo, readsOnlyTheExifDatePattern)
{
    EXPECT_TRUE(ExifInfo::getDateFromString(QStringLiteral("2021:03:28 02:30:00")).isValid());
    EXPECT_FALSE(ExifInfo::getDateFromString(QStringLiteral("2020-02-29T23:59:59")).isValid());
    EXPECT_FALSE(ExifInfo::getDateFromString(QStringLiteral("2020:02:30 10:00:00")).isValid());
    EXPECT_FALSE(ExifInfo::getDateFromString(QString()).isValid());
}
