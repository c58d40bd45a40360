#include "platform/FLTImageMetadata.h"

#include <cmath>
#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>
#include <memory>

namespace {

Exiv2::Exifdatum exifDatum(const char* key, Exiv2::TypeId type, const std::string& text)
{
    std::unique_ptr<Exiv2::Value> value(Exiv2::Value::create(type).release());
    value->read(text);
    return Exiv2::Exifdatum(Exiv2::ExifKey(key), value.get());
}

} // namespace

TEST(FLTImageMetadata, formatsEachExifTypeByItsName)
{
    const FLTImageMetadata formatter;
    EXPECT_EQ(formatter.valueForExifMetadata(exifDatum("Exif.Image.Make", Exiv2::asciiString, "Canon")),
        MetadataValue(QStringLiteral("Canon")));
    EXPECT_EQ(formatter.valueForExifMetadata(exifDatum("Exif.Image.Orientation", Exiv2::unsignedShort, "6")),
        MetadataValue(qint64(6)));
    EXPECT_EQ(formatter.valueForExifMetadata(exifDatum("Exif.Photo.ISOSpeedRatings", Exiv2::unsignedShort, "1 2 3")),
        MetadataValue(qint64(1)));
    EXPECT_EQ(formatter.valueForExifMetadata(exifDatum("Exif.Photo.ISOSpeedRatings", Exiv2::unsignedShort, "")),
        MetadataValue());
    EXPECT_EQ(formatter.valueForExifMetadata(
                  exifDatum("Exif.GPSInfo.GPSLatitude", Exiv2::unsignedRational, "48/1 51/1 2376/100")),
        MetadataValue(QList<double> { 48.0, 51.0, 23.76 }));
    EXPECT_EQ(formatter.valueForExifMetadata(exifDatum("Exif.Photo.ExifVersion", Exiv2::undefined, "48 50 51 48")),
        MetadataValue(QStringList { "48", "50", "51", "48" }));
    EXPECT_EQ(formatter.valueForExifMetadata(exifDatum("Exif.Photo.ExposureBiasValue", Exiv2::signedRational, "-1/3")),
        MetadataValue(QStringLiteral("-1/3")));
}

TEST(FLTImageMetadata, aZeroDenominatorGivesANumberThatIsNotFinite)
{
    const MetadataValue value
        = FLTImageMetadata().valueForExifMetadata(exifDatum("Exif.Photo.FNumber", Exiv2::unsignedRational, "1/0"));
    ASSERT_EQ(value.numbers().size(), 1);
    EXPECT_TRUE(std::isinf(value.numbers().first()));
}

TEST(FLTImageMetadata, readsALongCommentAsOneTextWithoutItsCharset)
{
    const std::string words(64 * 1024, 'w');
    Exiv2::ExifData exif;
    exif["Exif.Photo.UserComment"] = "charset=Ascii " + words;
    const MetadataValue value = FLTImageMetadata().valueForExifMetadata(*exif.begin());
    ASSERT_EQ(value.texts().size(), 1);
    EXPECT_EQ(value.texts().first(), QString::fromStdString(words));
}

TEST(FLTImageMetadata, decodesUtf8AndFallsBackToLatin1)
{
    EXPECT_EQ(FLTImageMetadata::textFromBytes("Gr\xc3\xbc\xc3\x9f"
                                              "e"),
        QStringLiteral("Grüße"));
    EXPECT_EQ(FLTImageMetadata::textFromBytes("M\xfcller"), QStringLiteral("Müller"));
    EXPECT_EQ(FLTImageMetadata::textFromBytes(""), QStringLiteral(""));
}

TEST(FLTImageMetadata, valueTextIsLocaleFreeAndTrimmed)
{
    EXPECT_EQ(MetadataValue().valueText(), QStringLiteral(""));
    EXPECT_EQ(MetadataValue(QStringLiteral("  Canon \n")).valueText(), QStringLiteral("Canon"));
    EXPECT_EQ(MetadataValue(qint64(200)).valueText(), QStringLiteral("200"));
    EXPECT_EQ(MetadataValue(QList<double> { 2.5, 48 }).valueText(), QStringLiteral("2.5, 48"));
    EXPECT_EQ(MetadataValue(QStringList { "a", "b" }).valueText(), QStringLiteral("a, b"));
}
