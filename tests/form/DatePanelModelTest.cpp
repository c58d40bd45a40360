#include "form/DatePanelModel.h"

#include "base/DatePattern.h"
#include "form/FormDisplay.h"

#include <gtest/gtest.h>

namespace {

DateTimeConfiguration configured(const DatePanelModel& panel)
{
    DateTimeConfiguration config;
    panel.writeTo(config);
    return config;
}

QString summary(const DatePanelModel& panel)
{
    return DatePanelModel::summaryText(configured(panel));
}

} // namespace

TEST(DatePanelModel, summarisesKeepEmptyAndAChosenDate)
{
    DatePanelModel panel;
    EXPECT_EQ(summary(panel), "Keep original");
    panel.option = DateTimeConfiguration::EmptyValue;
    EXPECT_EQ(summary(panel), "Empty date");
    panel.option = DateTimeConfiguration::ChosenDate;
    panel.chosenDate = WallClock::make(QDate(2019, 5, 4), QTime(14, 5, 9));
    EXPECT_EQ(summary(panel), "2019:05:04 14:05:09");
    EXPECT_EQ(FormDisplay::dateText(summary(panel)), "May 04,2019 02:05:09 PM");
}

TEST(DatePanelModel, summarisesSetPartsLeavingOutEachKeptOne)
{
    DatePanelModel panel;
    panel.option = DateTimeConfiguration::UpdateDayMonthYearTime;
    panel.updateDay = "5";
    panel.updateMonth = "2";
    panel.updateYear = "2020";
    panel.updateTime = QTime(10, 11, 12);
    EXPECT_EQ(summary(panel), "Set day 5, month 2, year 2020, time 10:11:12");
    panel.keepDay = true;
    EXPECT_EQ(summary(panel), "Set month 2, year 2020, time 10:11:12");
    panel.keepMonth = true;
    EXPECT_EQ(summary(panel), "Set year 2020, time 10:11:12");
    panel.keepYear = true;
    EXPECT_EQ(summary(panel), "Set time 10:11:12");
    panel.keepTime = true;
    EXPECT_EQ(summary(panel), "Keep original");
}

TEST(DatePanelModel, summarisesShiftsWithTheirSignsAndKeptParts)
{
    DatePanelModel panel;
    panel.option = DateTimeConfiguration::IncDecDate;
    panel.incDec[0] = "1";
    panel.incDec[1] = "-2";
    panel.incDec[2] = "+3";
    EXPECT_EQ(summary(panel), QString::fromUtf8("Shift date by +1 day, \u22122 months, +3 years"));
    panel.keepIncDec[1] = true;
    EXPECT_EQ(summary(panel), "Shift date by +1 day, +3 years");
    panel.keepIncDec[0] = panel.keepIncDec[2] = true;
    EXPECT_EQ(summary(panel), "Keep original");

    panel.option = DateTimeConfiguration::IncDecTime;
    panel.incDec[3] = "1";
    panel.incDec[4] = "0";
    panel.incDec[5] = "-13";
    EXPECT_EQ(summary(panel), QString::fromUtf8("Shift time by +1 hour, +0 minutes, \u221213 seconds"));
    panel.keepIncDec[3] = panel.keepIncDec[4] = true;
    EXPECT_EQ(summary(panel), QString::fromUtf8("Shift time by \u221213 seconds"));
    panel.keepIncDec[5] = true;
    EXPECT_EQ(summary(panel), "Keep original");
}

TEST(DatePanelModel, writesSummariesThatTheDateFieldShowsUnchanged)
{
    DatePanelModel panel;
    panel.option = DateTimeConfiguration::IncDecTime;
    panel.incDec[5] = "-13";
    EXPECT_EQ(FormDisplay::dateText(summary(panel)), summary(panel));
    panel.option = DateTimeConfiguration::UpdateDayMonthYearTime;
    EXPECT_EQ(FormDisplay::dateText(summary(panel)), summary(panel));
}

TEST(DatePanelModel, loadsASettingAndWritesTheSameSettingBack)
{
    DateTimeConfiguration config;
    config.tagConfigureOption = DateTimeConfiguration::IncDecDate;
    config.isUpdateMonthKeepOriginal = true;
    config.isIncDecSecondKeepOriginal = true;
    config.stringSelectedDate = "2001:02:03 04:05:06";
    config.stringUpdateDay = "7";
    config.stringUpdateYear = "1999";
    config.stringUpdateTime = "13:14:15";
    config.stringIncDecHour = "-4";

    DatePanelModel panel;
    panel.loadFrom(config);
    EXPECT_EQ(panel.option, DateTimeConfiguration::IncDecDate);
    EXPECT_TRUE(panel.keepMonth);
    EXPECT_EQ(panel.updateTime, QTime(13, 14, 15));
    EXPECT_EQ(panel.chosenDate, WallClock::make(QDate(2001, 2, 3), QTime(4, 5, 6)));
    EXPECT_EQ(configured(panel), config);

    // An archive without values shows the panel's defaults.
    DateTimeConfiguration sparse = config;
    sparse.stringUpdateYear.reset();
    sparse.tagConfigureOption.reset();
    panel.loadFrom(sparse);
    EXPECT_EQ(panel.updateYear, "1905");
    EXPECT_EQ(panel.option, 0);
}

TEST(DatePanelModel, warnsOfAChosenDateAfterNow)
{
    const QDateTime now = WallClock::make(QDate(2026, 3, 1), QTime(12, 0, 0));
    DateTimeConfiguration config;
    config.tagConfigureOption = DateTimeConfiguration::ChosenDate;
    config.stringSelectedDate = "2026:03:01 12:00:01";
    EXPECT_EQ(DatePanelModel::futureDateWarning(config, now),
        "* Warning: You are trying to enter a future date. Please check.");
    config.stringSelectedDate = "2026:03:01 12:00:00";
    EXPECT_EQ(DatePanelModel::futureDateWarning(config, now), "");
    config.stringSelectedDate = "2030:01:01 00:00:00";
    config.tagConfigureOption = DateTimeConfiguration::IncDecDate;
    EXPECT_EQ(DatePanelModel::futureDateWarning(config, now), "") << "only a chosen date is checked";
}

TEST(DatePanelModel, reportsSetDatesThatDoNotExist)
{
    DateTimeConfiguration config;
    config.tagConfigureOption = DateTimeConfiguration::UpdateDayMonthYearTime;
    config.stringUpdateDay = "29";
    config.stringUpdateMonth = "2";
    config.stringUpdateYear = "2021";
    EXPECT_EQ(DatePanelModel::nonExistingDateError(config), "* This date does not exist. Please check.");
    config.stringUpdateYear = "2020";
    EXPECT_EQ(DatePanelModel::nonExistingDateError(config), "");
    config.stringUpdateDay = "31";
    config.stringUpdateMonth = "4";
    EXPECT_NE(DatePanelModel::nonExistingDateError(config), "");
    config.isUpdateYearKeepOriginal = true; // the photo's own year decides
    EXPECT_EQ(DatePanelModel::nonExistingDateError(config), "");
}

TEST(DatePanelModel, listsTheYearsFrom1905ToThisYear)
{
    const QStringList years = DatePanelModel::yearsList(QDate(2026, 6, 1));
    EXPECT_EQ(years.size(), 122);
    EXPECT_EQ(years.first(), "1905");
    EXPECT_EQ(years.last(), "2026");
    EXPECT_EQ(DatePanelModel::yearsList().last(), QString::number(QDate::currentDate().year()));
    EXPECT_EQ(DatePanelModel::daysList().size(), 31);
    EXPECT_EQ(DatePanelModel::monthsList().last(), "12");
    EXPECT_EQ(DatePanelModel::incDecFieldName(IncDecPart::Minute), "txtIncDecMinute");
    EXPECT_EQ(DatePanelModel::incDecStepperName(IncDecPart::Year), "stepperIncDecYear");
    EXPECT_EQ(DatePanelModel::warningLabelName(DateSetting::OriginalDate), "errorOrgDate");
}
