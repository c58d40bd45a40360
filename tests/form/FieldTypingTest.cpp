#include "form/FieldTyping.h"

#include "form/DatePanelModel.h"

#include <gtest/gtest.h>

TEST(FieldTyping, cutsStoredFieldsTo150CharactersAtACharacterBoundary)
{
    EXPECT_EQ(FieldTyping::fieldText(QString(200, u'a')), QString(150, u'a'));
    EXPECT_EQ(FieldTyping::fieldText(QString(150, u'a')), QString(150, u'a'));

    // An emoji (two UTF-16 units) across the limit is dropped whole, never split.
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString pasted = QString(149, u'a') + emoji + QStringLiteral("tail");
    EXPECT_EQ(FieldTyping::fieldText(pasted), QString(149, u'a'));

    // A letter with its combining accent stays together.
    const QString accented = QString(149, u'b') + QStringLiteral("e\u0301");
    EXPECT_EQ(FieldTyping::fieldText(accented), QString(149, u'b'));

    const QString cyrillic = QString(160, QChar(0x0416));
    EXPECT_EQ(FieldTyping::fieldText(cyrillic).size(), 150);
}

TEST(FieldTyping, stripsSpacesAndSlashesFromRenamingTexts)
{
    EXPECT_EQ(FieldTyping::renamingAffixText(QStringLiteral("my photo")), "myphoto");
    EXPECT_EQ(FieldTyping::renamingAffixText(QStringLiteral("a/b")), "ab") << "a slash would make a folder";
    const QString sixty = QStringLiteral("ab cd ").repeated(10);
    EXPECT_EQ(FieldTyping::renamingAffixText(sixty), QStringLiteral("abcd").repeated(8) + "ab");

    EXPECT_EQ(FieldTyping::customNameText(QStringLiteral("  a/b ")), "ab ");
    EXPECT_EQ(FieldTyping::customNameText(QStringLiteral("    ")), "");
    EXPECT_EQ(FieldTyping::customNameText(QString(151, u'x')).size(), 150);
}

TEST(FieldTyping, letsAnOverlongTextViewShrinkAndCutsPastesAtTheLimit)
{
    const int limit = FieldTyping::kTextViewLimit;
    // Typing within the limit.
    EXPECT_EQ(FieldTyping::textViewChange(10, 0, QStringLiteral("x")).insertion, "x");
    // A text already over the limit can still lose characters or be replaced by no more.
    EXPECT_TRUE(FieldTyping::textViewChange(limit + 500, 1, QString()).accepted);
    EXPECT_TRUE(FieldTyping::textViewChange(limit + 500, 3, QStringLiteral("abc")).accepted);
    // ...but not grow.
    EXPECT_FALSE(FieldTyping::textViewChange(limit + 500, 0, QStringLiteral("a")).accepted);
    EXPECT_FALSE(FieldTyping::textViewChange(limit, 0, QStringLiteral("a")).accepted);

    // A paste is cut to what fits, at a character boundary.
    const TextViewChange paste = FieldTyping::textViewChange(limit - 5, 0, QString(20, u'p'));
    EXPECT_TRUE(paste.accepted);
    EXPECT_EQ(paste.insertion, QString(5, u'p'));
    const QString emojis = QString::fromUtf8("\xF0\x9F\x98\x80").repeated(5);
    EXPECT_EQ(FieldTyping::textViewChange(limit - 5, 0, emojis).insertion.size(), 4);
    EXPECT_FALSE(FieldTyping::textViewChange(limit - 1, 0, emojis).accepted) << "half an emoji never goes in";
}

TEST(FieldTyping, acceptsIntegersUpToTheFormatterMaximumAndZeroOnlyWhereExifMeansAuto)
{
    const int max = FieldTyping::integerFormatterMaximum();
    EXPECT_TRUE(FieldTyping::integerFormatterAccepts("", max, false));
    EXPECT_TRUE(FieldTyping::integerFormatterAccepts("70000", max, false));
    EXPECT_TRUE(FieldTyping::integerFormatterAccepts("9999999", max, false));
    EXPECT_FALSE(FieldTyping::integerFormatterAccepts("99999999", max, false));
    EXPECT_FALSE(FieldTyping::integerFormatterAccepts("0", max, false));
    EXPECT_FALSE(FieldTyping::integerFormatterAccepts("00", max, false));
    EXPECT_TRUE(FieldTyping::integerFormatterAccepts("-5", max, false));
    EXPECT_FALSE(FieldTyping::integerFormatterAccepts("-", max, false));
    EXPECT_FALSE(FieldTyping::integerFormatterAccepts("12a", max, false));
    EXPECT_FALSE(FieldTyping::integerFormatterAccepts("1.5", max, false));
    EXPECT_TRUE(FieldTyping::integerFormatterAccepts("0", max, true));

    EXPECT_TRUE(FieldTyping::integerFormatterAllowsZero(MetadataField::AdvCamSetting_WhiteBalance));
    EXPECT_TRUE(FieldTyping::integerFormatterAllowsZero(MetadataField::AdvCamSetting_Saturation));
    EXPECT_TRUE(FieldTyping::integerFormatterAllowsZero(MetadataField::AdvCamSetting_Sharpness));
    EXPECT_FALSE(FieldTyping::integerFormatterAllowsZero(MetadataField::CamSetting_ISO));

    EXPECT_TRUE(FieldTyping::integerFormatterAccepts("2050", 2050, false));
    EXPECT_FALSE(FieldTyping::integerFormatterAccepts("2051", 2050, false));
    EXPECT_FALSE(FieldTyping::integerFormatterAccepts("32", 31, false));
}

TEST(FieldTyping, filtersDecimalFieldsToNumbersBeingTyped)
{
    using F = MetadataField;
    EXPECT_TRUE(FieldTyping::decimalFilterAccepts(F::CamSetting_FNumber, "2.8"));
    EXPECT_TRUE(FieldTyping::decimalFilterAccepts(F::CamSetting_FNumber, "2,8"));
    EXPECT_TRUE(FieldTyping::decimalFilterAccepts(F::CamSetting_FNumber, "."));
    EXPECT_FALSE(FieldTyping::decimalFilterAccepts(F::CamSetting_FNumber, "2.8.1"));
    EXPECT_FALSE(FieldTyping::decimalFilterAccepts(F::CamSetting_FNumber, "f2.8"));
    EXPECT_FALSE(FieldTyping::decimalFilterAccepts(F::CamSetting_FNumber, "-2"));
    EXPECT_TRUE(FieldTyping::decimalFilterAccepts(F::AdvCamSetting_ExposureTime, "1/"));
    EXPECT_TRUE(FieldTyping::decimalFilterAccepts(F::AdvCamSetting_ExposureTime, "1/250"));
    EXPECT_FALSE(FieldTyping::decimalFilterAccepts(F::XMP_Latitude, "1/2"));
    EXPECT_TRUE(FieldTyping::decimalFilterAccepts(F::XMP_Latitude, "-"));
    EXPECT_TRUE(FieldTyping::decimalFilterAccepts(F::GPS_Longitude, "-12.5"));
}

TEST(FieldTyping, keepsDateShiftFieldsSignedIntegersWithinTheirRange)
{
    const IncDecRange day = DatePanelModel::incDecRange(IncDecPart::Day);
    auto shown = [&](const QString& typed) { return FieldTyping::incDecText(typed, day.minimum, day.maximum).text; };
    EXPECT_EQ(shown("12-3"), "123");
    EXPECT_EQ(shown("--5"), "-5");
    EXPECT_EQ(shown("+5"), "5");
    EXPECT_EQ(shown("a"), "0");
    EXPECT_EQ(shown(""), "0");
    const IncDecText minus = FieldTyping::incDecText("-", day.minimum, day.maximum);
    EXPECT_TRUE(minus.isLoneMinus);
    EXPECT_EQ(minus.text, "-");

    // Beyond the range the value is clamped, never wrapped or cut to another number.
    const IncDecText big = FieldTyping::incDecText(QStringLiteral("99999999999"), day.minimum, day.maximum);
    EXPECT_EQ(big.value, day.maximum);
    EXPECT_EQ(big.text, QString::number(day.maximum));
    EXPECT_EQ(FieldTyping::incDecText(QStringLiteral("-99999999999"), day.minimum, day.maximum).value, day.minimum);
    EXPECT_EQ(FieldTyping::incDecText(QStringLiteral("150"), -100, 100).value, 100);

    EXPECT_EQ(FieldTyping::incDecTextOnEndEditing("-", day.minimum, day.maximum).text, "0");
    EXPECT_EQ(FieldTyping::incDecTextOnEndEditing("", day.minimum, day.maximum).value, 0);
}

TEST(FieldTyping, storesATypedIptcDateInTheFormTheWriterTakes)
{
    EXPECT_EQ(FieldTyping::storedText(MetadataField::IPTC_DateCreated, "May 05,2019"), "2019-05-05");
    EXPECT_EQ(FieldTyping::storedText(MetadataField::IPTC_DateCreated, "May 5, 2019"), "2019-05-05");
    EXPECT_EQ(FieldTyping::storedText(MetadataField::IPTC_DateCreated, "5/5/2019"), "5/5/2019")
        << "a text that reads in none of the forms stays as typed";
    EXPECT_EQ(FieldTyping::storedText(MetadataField::IPTC_DateCreated, "20190505"), "2019-05-05");
    EXPECT_EQ(FieldTyping::storedText(MetadataField::IPTC_DateCreated, "May 0"), "May 0");
    EXPECT_EQ(FieldTyping::storedText(MetadataField::Artist, "May 05,2019"), "May 05,2019");
}
