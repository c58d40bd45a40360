#include "services/ExifWriter.h"

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>
#include <limits>

namespace {

struct TextCase {
    const char* in;
    const char* out;
};

const ExifWriter& writer()
{
    return ExifWriter::sharedInstance();
}

QString gpsText(QList<double> numbers)
{
    return writer().extractGPSDataStringFromString(MetadataValue(std::move(numbers))).valueText();
}

} // namespace

TEST(ExifWriterGps, turnsDegreesMinutesSecondsIntoFullPrecisionDecimalDegrees)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        QList<double> numbers;
        const char* text;
    };
    const Case cases[] = {
        { { 48, 51, 23.76 }, "48.856600" },
        { { 48, 51, 12 }, "48.853333" },
        // Fractional minutes and degrees are kept, not cut to whole numbers.
        { { 48, 51.5, 0 }, "48.858333" },
        { { 48.8566, 0, 0 }, "48.856600" },
        { { 2, 30 }, "2.500000" },
        { { 7 }, "7.000000" },
        { {}, "" },
        { { 1, 2, 3, 4 }, "" },
        { { 48, inf, 0 }, "" },
        { { nan, 1, 0 }, "" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(gpsText(c.numbers), QString::fromLatin1(c.text)) << c.text;
}

TEST(ExifWriterGps, passesAValueThatIsNoListThrough)
{
    const MetadataValue text(QStringLiteral("48.5"));
    EXPECT_EQ(writer().extractGPSDataStringFromString(text), text);
    EXPECT_EQ(writer().extractStringFromArrVal(text), text);
}

TEST(ExifWriterGps, takesTheFirstNumberOfAList)
{
    EXPECT_EQ(writer().extractStringFromArrVal(MetadataValue(QList<double> { 123.5, 7 })).valueText(), "123.500000");
    EXPECT_EQ(writer().extractStringFromArrVal(MetadataValue(QList<double> {})).valueText(), "");
    EXPECT_EQ(writer().extractStringFromArrVal(MetadataValue(QList<double> { 1.0 / 0.0 })).valueText(), "");
}

TEST(ExifWriterGps, readsDegreeTextsWithTheirHemisphere)
{
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {
        { "48°51'23.76\"S", -48.8566 },
        { "48°51'23.76\"s", -48.8566 },
        { "48°51'23.76\"", 48.8566 },
        { "2°20.1234'0\"W", -2.33539 },
        { "48°51'23.76", 0 }, // no seconds mark
        { "48'51°23.76\"", 0 }, // marks out of order
        { "", 0 },
    };
    for (const Case& c : cases)
        EXPECT_NEAR(writer().getDegreesStringToDecimal(QString::fromUtf8(c.text)), c.value, 1e-9) << c.text;
}

TEST(ExifWriterGps, formatsDecimalDegreesAsRoundedDegreesMinutesSeconds)
{
    EXPECT_EQ(writer().getformattedLatnLongFromDoubleValue(-48.8566), QString::fromUtf8("48° 51' 24\""));
    // Seconds that round up to a whole minute carry into the minutes and degrees.
    EXPECT_EQ(writer().getformattedLatnLongFromDoubleValue(10.99999), QString::fromUtf8("11° 0' 0\""));
    EXPECT_EQ(writer().getformattedLatnLongFromDoubleValue(0), QString::fromUtf8("0° 0' 0\""));
}

TEST(ExifWriterValueText, readsOnlyNumericFractionsAsNumbers)
{
    const TextCase cases[] = {
        { "28/10", "2.800000" },
        { "3/4", "0.750000" },
        { "0/5", "0.000000" },
        { "10/2/5", "10.000000" },
        { "5/0", "5/0" },
        { "AC/DC", "AC/DC" },
        { "f3/4", "f3/4" },
        { "-1/3", "-1/3" },
        { "200", "200" },
    };
    for (const TextCase& c : cases)
        EXPECT_EQ(ExifWriter::exifFractionText(QString::fromLatin1(c.in)), QString::fromLatin1(c.out)) << c.in;
}

TEST(ExifWriterValueText, numericOnlyAllowsDigitsAndSlashes)
{
    EXPECT_TRUE(ExifWriter::isStringContansNumericValuesOnly(QStringLiteral(" 10/2/5\n")));
    EXPECT_TRUE(ExifWriter::isStringContansNumericValuesOnly(QStringLiteral("/")));
    EXPECT_TRUE(ExifWriter::isStringContansNumericValuesOnly(QStringLiteral("٣/٤"))); // Arabic-Indic digits
    EXPECT_FALSE(ExifWriter::isStringContansNumericValuesOnly(QStringLiteral("1.5/2")));
    EXPECT_FALSE(ExifWriter::isStringContansNumericValuesOnly(QStringLiteral("-1/3")));
}

TEST(ExifWriterValueText, convertsXmpCoordinatesToSignedDecimalDegrees)
{
    const TextCase cases[] = {
        { "48,51.5N", "48.858333" },
        { "48,51,30N", "48.858333" },
        { "2,20.1234W", "-2.335390" },
        { "33,52.2s", "-33.870000" },
        { "48,51.5", "48.858333" }, // no hemisphere letter: nothing is cut off
        { "48.853333", "48.853333" },
        { "-2.5", "-2.5" },
        { "", "" },
    };
    for (const TextCase& c : cases)
        EXPECT_EQ(ExifWriter::xmpCoordinateText(QString::fromLatin1(c.in)), QString::fromLatin1(c.out)) << c.in;
}

TEST(ExifWriterValueText, findsAnXmpKeyByItsTextWithoutBuildingIt)
{
    const FLTImageMetadata formatter;
    Exiv2::XmpData xmp;
    EXPECT_FALSE(writer().isPrismKeyExist(xmp, formatter, QStringLiteral("Xmp.prism.keyword")));
    xmp["Xmp.aux.Lens"] = "EF 70-200mm";
    EXPECT_FALSE(writer().isPrismKeyExist(xmp, formatter, QStringLiteral("Xmp.prism.keyword")));
    EXPECT_TRUE(writer().isPrismKeyExist(xmp, formatter, QStringLiteral("Xmp.aux.Lens")));
    EXPECT_FALSE(writer().isPrismKeyExist(xmp, formatter, QStringLiteral("Xmp.aux")));
}
