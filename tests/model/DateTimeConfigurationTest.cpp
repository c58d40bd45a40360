#include "model/DateTimeConfiguration.h"

#include "model/KeyedCoder.h"

#include <QDateTime>
#include <QRegularExpression>
#include <gtest/gtest.h>

TEST(DateTimeConfiguration, aNewSettingHasTheDefaults)
{
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    DateTimeConfiguration config;
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);

    EXPECT_EQ(config.tagConfigureOption, 0);
    for (const auto& flag : DateTimeConfiguration::kFlagProperties)
        EXPECT_EQ(config.*flag.member, false) << flag.key;
    EXPECT_EQ(config.stringUpdateDay, QStringLiteral("1"));
    EXPECT_EQ(config.stringUpdateMonth, QStringLiteral("1"));
    EXPECT_EQ(config.stringUpdateYear, QStringLiteral("1905"));
    EXPECT_EQ(config.stringUpdateTime, QStringLiteral("00:00:00"));
    for (const auto& shift : { config.stringIncDecDay, config.stringIncDecMonth, config.stringIncDecYear,
             config.stringIncDecHour, config.stringIncDecMinute, config.stringIncDecSecond })
        EXPECT_EQ(shift, QStringLiteral("1"));

    ASSERT_TRUE(config.stringSelectedDate);
    static const QRegularExpression form(QStringLiteral("^\\d{4}:\\d{2}:\\d{2} \\d{2}:\\d{2}:\\d{2}$"));
    EXPECT_TRUE(form.match(*config.stringSelectedDate).hasMatch()) << config.stringSelectedDate->toStdString();
    const QDateTime chosen = QDateTime::fromString(*config.stringSelectedDate, QStringLiteral("yyyy:MM:dd HH:mm:ss"));
    EXPECT_GE(chosen, before.addMSecs(-before.time().msec()));
    EXPECT_LE(chosen, after);
}

TEST(DateTimeConfiguration, archiveRoundTripKeepsAbsentValuesAbsent)
{
    DateTimeConfiguration config;
    config.tagConfigureOption = 3;
    config.isUpdateMonthKeepOriginal = true;
    config.stringUpdateDay = QStringLiteral("31");
    config.stringUpdateYear.reset();
    config.isIncDecSecondKeepOriginal.reset();

    KeyedEncoder coder(DateTimeConfiguration::kClassName);
    config.encodeWithCoder(coder);
    const auto decoder = KeyedDecoder::fromJson(coder.toJson(), DateTimeConfiguration::kClassName);
    ASSERT_TRUE(decoder);
    const auto back = DateTimeConfiguration::initWithCoder(*decoder);
    EXPECT_EQ(*back, config);
    EXPECT_FALSE(back->stringUpdateYear.has_value());
    EXPECT_FALSE(back->isIncDecSecondKeepOriginal.has_value());
}

TEST(DateTimeConfiguration, anArchiveWithoutTheModeReadsAsKeepOriginal)
{
    const auto decoder = KeyedDecoder::fromJson(
        R"({"$class":"DateTimeConfiguration","stringIncDecDay":"2"})", DateTimeConfiguration::kClassName);
    ASSERT_TRUE(decoder);
    const auto config = DateTimeConfiguration::initWithCoder(*decoder);
    EXPECT_FALSE(config->tagConfigureOption.has_value());
    EXPECT_EQ(config->option(), DateTimeConfiguration::KeepOriginal);
    EXPECT_FALSE(config->stringUpdateYear.has_value());
    EXPECT_EQ(config->stringIncDecDay, QStringLiteral("2"));
}
