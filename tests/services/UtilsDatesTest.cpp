#include "services/Utils.h"
#include "base/DatePattern.h"
#include "model/DateTimeConfiguration.h"
#include "support/TestSupport.h"

#include <QTimeZone>
#include <functional>
#include <gtest/gtest.h>

// Every test here runs in Europe/Berlin (summer time from 2019-03-31 02:00 to
// 2019-10-27 03:00).

namespace {

const QString kIso = QStringLiteral("2019-05-04T10:11:12");
const QString kRecord = QStringLiteral("2019:05:04 10:11:12");

using Setup = std::function<void(DateTimeConfiguration&)>;

struct EngineCase {
    const char* name;
    Setup setup;
    QString input;
    QString expected;
};

void PrintTo(const EngineCase& c, std::ostream* os)
{
    *os << c.name << " / \"" << c.input.toStdString() << "\"";
}

Setup mode(int option, Setup more = {})
{
    return [=](DateTimeConfiguration& config) {
        config.tagConfigureOption = option;
        if (more)
            more(config);
    };
}

class DateEngine : public ::testing::TestWithParam<EngineCase> {
    const ScopedTimeZone m_berlin { "Europe/Berlin" };
};

TEST_P(DateEngine, answersTheTextToWrite)
{
    const EngineCase& c = GetParam();
    DateTimeConfiguration config;
    config.stringSelectedDate = QStringLiteral("2001:02:03 04:05:06");
    if (c.setup)
        c.setup(config);
    const DateTimeConfiguration before = config;
    EXPECT_EQ(Utils::sharedUtils().getUpdatedOutputDateTimeStringWithConfig(config, c.input), c.expected);
    EXPECT_EQ(config, before) << "the engine must not change the setting";
}

// Each mode with the default setting (day 1, month 1, year 1905, time 00:00:00, every
// offset 1, nothing kept) on the empty, ISO and record forms.
INSTANTIATE_TEST_SUITE_P(Modes, DateEngine,
    ::testing::Values(EngineCase { "keep", mode(0), "", "" }, EngineCase { "keep", mode(0), kIso, kIso },
        EngineCase { "keep", mode(0), kRecord, kRecord }, EngineCase { "empty", mode(1), "", "" },
        EngineCase { "empty", mode(1), kIso, "" }, EngineCase { "empty", mode(1), kRecord, "" },
        EngineCase { "chosen", mode(2), "", "2001:02:03 04:05:06" },
        EngineCase { "chosen", mode(2), kIso, "2001:02:03 04:05:06" },
        EngineCase { "chosen, absent", mode(2, [](auto& c) { c.stringSelectedDate.reset(); }), kIso, "" },
        EngineCase { "set", mode(3), "", "" }, EngineCase { "set", mode(3), kIso, "1905:01:01 00:00:00" },
        EngineCase { "set", mode(3), kRecord, "1905:01:01 00:00:00" }, EngineCase { "shift date", mode(4), "", "" },
        EngineCase { "shift date", mode(4), kIso, "2020:06:05 10:11:12" },
        EngineCase { "shift date", mode(4), kRecord, "2020:06:05 10:11:12" },
        EngineCase { "shift time", mode(5), "", "" },
        EngineCase { "shift time", mode(5), kRecord, "2019:05:04 11:12:13" },
        EngineCase { "shift time", mode(5), "2019:05:04 23:59:59", "2019:05:05 01:01:00" },
        EngineCase { "unknown mode normalises", mode(7), kIso, kRecord },
        EngineCase { "absent mode keeps", [](auto& c) { c.tagConfigureOption.reset(); }, kIso, kIso }));

void keepAllUpdateParts(DateTimeConfiguration& c)
{
    c.isUpdateDayKeepOriginal = c.isUpdateMonthKeepOriginal = c.isUpdateYearKeepOriginal = true;
    c.isUpdateTimeKeepOriginal = true;
}

INSTANTIATE_TEST_SUITE_P(SetParts, DateEngine,
    ::testing::Values(EngineCase { "all kept", mode(3, [](auto& c) { keepAllUpdateParts(c); }), kIso, kIso },
        EngineCase { "all kept", mode(3, [](auto& c) { keepAllUpdateParts(c); }), kRecord, kRecord },
        EngineCase { "31 February rolls over",
            mode(3,
                [](auto& c) {
                    c.isUpdateTimeKeepOriginal = true;
                    c.stringUpdateDay = "31";
                    c.stringUpdateMonth = "2";
                }),
            kRecord, "1905:03:03 10:11:12" },
        EngineCase { "31 February in a leap year",
            mode(3,
                [](auto& c) {
                    c.isUpdateTimeKeepOriginal = true;
                    c.stringUpdateDay = "31";
                    c.stringUpdateMonth = "2";
                    c.stringUpdateYear = "2020";
                }),
            kRecord, "2020:03:02 10:11:12" },
        EngineCase { "month 13",
            mode(3,
                [](auto& c) {
                    c.isUpdateDayKeepOriginal = c.isUpdateYearKeepOriginal = true;
                    c.isUpdateTimeKeepOriginal = true;
                    c.stringUpdateMonth = "13";
                }),
            kRecord, "2020:01:04 10:11:12" },
        EngineCase { "a day that is no number keeps the day",
            mode(3,
                [](auto& c) {
                    c.isUpdateMonthKeepOriginal = c.isUpdateYearKeepOriginal = true;
                    c.stringUpdateDay = "first";
                }),
            kRecord, "2019:05:04 00:00:00" },
        EngineCase { "hour 24 is the next day",
            mode(3,
                [](auto& c) {
                    keepAllUpdateParts(c);
                    c.isUpdateTimeKeepOriginal = false;
                    c.stringUpdateTime = "24:00:00";
                }),
            kRecord, "2019:05:05 00:00:00" },
        EngineCase { "a time with one part",
            mode(3,
                [](auto& c) {
                    keepAllUpdateParts(c);
                    c.isUpdateTimeKeepOriginal = false;
                    c.stringUpdateTime = "7";
                }),
            kRecord, "2019:05:04 07:00:00" },
        EngineCase { "an absent time is midnight",
            mode(3,
                [](auto& c) {
                    keepAllUpdateParts(c);
                    c.isUpdateTimeKeepOriginal = false;
                    c.stringUpdateTime.reset();
                }),
            kRecord, "2019:05:04 00:00:00" },
        EngineCase { "only the year, in the spring-forward gap",
            mode(3,
                [](auto& c) {
                    keepAllUpdateParts(c);
                    c.isUpdateYearKeepOriginal = false;
                    c.stringUpdateYear = "2019";
                }),
            "2018:03:31 02:30:00", "2019:03:31 02:30:00" }));

Setup shiftDate(const char* days, const char* months, const char* years)
{
    return mode(4, [=](DateTimeConfiguration& c) {
        c.isIncDecDayKeepOriginal = days == nullptr;
        c.isIncDecMonthKeepOriginal = months == nullptr;
        c.isIncDecYearKeepOriginal = years == nullptr;
        c.stringIncDecDay = days ? days : "99";
        c.stringIncDecMonth = months ? months : "99";
        c.stringIncDecYear = years ? years : "99";
    });
}

Setup shiftTime(const char* hours, const char* minutes, const char* seconds)
{
    return mode(5, [=](DateTimeConfiguration& c) {
        c.isIncDecHourKeepOriginal = hours == nullptr;
        c.isIncDecMinuteKeepOriginal = minutes == nullptr;
        c.isIncDecSecondKeepOriginal = seconds == nullptr;
        c.stringIncDecHour = hours ? hours : "99";
        c.stringIncDecMinute = minutes ? minutes : "99";
        c.stringIncDecSecond = seconds ? seconds : "99";
    });
}

INSTANTIATE_TEST_SUITE_P(Shifts, DateEngine,
    ::testing::Values(EngineCase { "5 days back", shiftDate("-5", nullptr, nullptr), kRecord, "2019:04:29 10:11:12" },
        EngineCase { "a month to a shorter one", shiftDate(nullptr, "1", nullptr), "2019:01:31 08:00:00",
            "2019:02:28 08:00:00" },
        EngineCase { "a month to a leap February", shiftDate(nullptr, "1", nullptr), "2020:01:31 08:00:00",
            "2020:02:29 08:00:00" },
        EngineCase {
            "a year from a leap day", shiftDate(nullptr, nullptr, "1"), "2020:02:29 08:00:00", "2021:02:28 08:00:00" },
        EngineCase { "months before days", shiftDate("1", "1", nullptr), "2019:01:30 08:00:00", "2019:03:01 08:00:00" },
        EngineCase {
            "years before months", shiftDate(nullptr, "1", "1"), "2020:02:29 08:00:00", "2021:03:28 08:00:00" },
        EngineCase { "twelve months back", shiftDate(nullptr, "-12", nullptr), kRecord, "2018:05:04 10:11:12" },
        EngineCase { "zero offsets reprint", shiftDate("0", "0", "0"), kIso, kRecord },
        EngineCase { "text offsets", shiftDate(" 2 days", "abc", "+1"), kRecord, "2020:05:06 10:11:12" },
        EngineCase { "all date parts kept", shiftDate(nullptr, nullptr, nullptr), kIso, kIso },
        EngineCase { "13 seconds back", shiftTime(nullptr, nullptr, "-13"), kRecord, "2019:05:04 10:10:59" },
        EngineCase { "all time parts kept", shiftTime(nullptr, nullptr, nullptr), kIso, kIso },
        EngineCase { "90 minutes over midnight", shiftTime(nullptr, "90", nullptr), "2019:12:31 23:00:00",
            "2020:01:01 00:30:00" },
        // Wall-clock arithmetic: the spring-forward gap and the repeated hour both exist,
        // and an hour added is an hour on the clock.
        EngineCase { "an hour from inside the gap", shiftTime("1", nullptr, nullptr), "2019:03:31 02:30:00",
            "2019:03:31 03:30:00" },
        EngineCase { "a day from inside the gap", shiftDate("1", nullptr, nullptr), "2019:03:31 02:30:00",
            "2019:04:01 02:30:00" },
        EngineCase {
            "an hour into the gap", shiftTime("1", nullptr, nullptr), "2019:03:31 01:30:00", "2019:03:31 02:30:00" },
        EngineCase { "24 hours over spring forward", shiftTime("24", nullptr, nullptr), "2019:03:30 12:00:00",
            "2019:03:31 12:00:00" },
        EngineCase { "an hour into the repeated hour", shiftTime("1", nullptr, nullptr), "2019:10:27 01:30:00",
            "2019:10:27 02:30:00" },
        EngineCase { "an hour out of the repeated hour", shiftTime("1", nullptr, nullptr), "2019:10:27 02:30:00",
            "2019:10:27 03:30:00" }));

// Every ISO 8601 form of an XMP date answers in its own form: its precision, its
// zone as written (the clock moves on that zone, which is not converted), its
// fraction's digits. A part the date lacks is neither set nor shifted.
INSTANTIATE_TEST_SUITE_P(IsoForms, DateEngine,
    ::testing::Values(EngineCase { "an hour, with zone", shiftTime("1", nullptr, nullptr), "2015-07-16T15:38:54+01:00",
                          "2015-07-16T16:38:54+01:00" },
        EngineCase { "an hour, UTC", shiftTime("1", nullptr, nullptr), "2015-07-16T15:38:54Z", "2015-07-16T16:38:54Z" },
        EngineCase {
            "an hour, fraction", shiftTime("1", nullptr, nullptr), "2015-07-16T15:38:54.25", "2015-07-16T16:38:54.25" },
        EngineCase { "an hour, fraction and negative zone", shiftTime("1", nullptr, nullptr),
            "2015-07-16T15:38:54.5-07:00", "2015-07-16T16:38:54.5-07:00" },
        EngineCase { "an hour, zone without colon", shiftTime("1", nullptr, nullptr), "2015-07-16T23:38:54-0700",
            "2015-07-17T00:38:54-0700" },
        EngineCase { "an hour, minutes", shiftTime("1", nullptr, nullptr), "2015-07-16T15:38", "2015-07-16T16:38" },
        EngineCase { "seconds on minutes", shiftTime(nullptr, nullptr, "90"), "2015-07-16T15:38+02:00",
            "2015-07-16T15:38+02:00" },
        EngineCase { "an hour on a day", shiftTime("-1", nullptr, nullptr), "2015-07-16", "2015-07-16" },
        EngineCase { "a day", shiftDate("1", nullptr, nullptr), "2015-07-31", "2015-08-01" },
        EngineCase { "a day, a month", shiftDate("1", "1", nullptr), "2015-07-16T15:38:54.5-07:00",
            "2015-08-17T15:38:54.5-07:00" },
        EngineCase { "days on a month", shiftDate("40", "1", nullptr), "2015-12", "2016-01" },
        EngineCase { "a year on a year", shiftDate("40", "1", "1"), "2015", "2016" },
        EngineCase { "set on a day", mode(3), "2015-07-16", "1905-01-01" },
        EngineCase { "set, fraction zeroed", mode(3), "2015-07-16T15:38:54.25Z", "1905-01-01T00:00:00.00Z" },
        EngineCase { "set the year of a year", mode(3), "2015", "1905" },
        EngineCase { "set the time only",
            mode(3,
                [](auto& c) {
                    keepAllUpdateParts(c);
                    c.isUpdateTimeKeepOriginal = false;
                    c.stringUpdateTime = "08:09:10";
                }),
            "2015-07-16T15:38:54.5+01:00", "2015-07-16T08:09:10.0+01:00" },
        EngineCase {
            "chosen, on the date's own zone", mode(2), "2015-07-16T15:38:54.5-07:00", "2001-02-03T04:05:06.0-07:00" },
        EngineCase { "chosen, on a day", mode(2), "2015-07-16", "2001-02-03" },
        EngineCase { "chosen, unreadable", mode(2), "2015-07-16T15:38:54+1:00", "2001:02:03 04:05:06" },
        EngineCase { "kept", mode(0), "2015-07-16T15:38:54+01:00", "2015-07-16T15:38:54+01:00" },
        EngineCase { "emptied", mode(1), "2015-07", "" }));

// Where the setting cannot be applied there is no answer, so that the writer can
// tell the user; the plain engine then answers the input unchanged.
TEST(DateEngineForms, answersNothingWhereTheSettingCannotBeApplied)
{
    const ScopedTimeZone berlin("Europe/Berlin");
    DateTimeConfiguration shift;
    shift.tagConfigureOption = DateTimeConfiguration::IncDecTime;
    const Utils& utils = Utils::sharedUtils();
    using Forms = Utils::DateForms;
    EXPECT_EQ(
        utils.updatedDateText(shift, QStringLiteral("2015-07-16T15:38:54+1:00"), Forms::ExifAndIso), std::nullopt);
    EXPECT_EQ(utils.updatedDateText(shift, QStringLiteral("noon"), Forms::ExifAndIso), std::nullopt);
    EXPECT_EQ(utils.updatedDateText(shift, QStringLiteral("9999:12:31 23:00:00"), Forms::Exif), std::nullopt);
    // Exif dates take the record form alone, and keep it.
    EXPECT_EQ(utils.updatedDateText(shift, QStringLiteral("2015-07-16T15:38:54Z"), Forms::Exif), std::nullopt);
    EXPECT_EQ(utils.updatedDateText(shift, QStringLiteral("2015-07-16T15:38:54"), Forms::Exif),
        QStringLiteral("2015:07:16 16:39:55"));
    EXPECT_EQ(utils.updatedDateText(shift, QStringLiteral("2015-07-16T15:38:54Z"), Forms::ExifAndIso),
        QStringLiteral("2015-07-16T16:39:55Z"));
    shift.tagConfigureOption = DateTimeConfiguration::ChosenDate;
    shift.stringSelectedDate = QStringLiteral("2001:02:03 04:05:06");
    EXPECT_EQ(utils.updatedDateText(shift, QStringLiteral("2015-07-16T15:38:54Z"), Forms::Exif),
        QStringLiteral("2001:02:03 04:05:06"));
}

// A non-empty text that does not read, or a result outside the years 1 to 9999,
// must come back unchanged: an empty answer would erase the tag.
INSTANTIATE_TEST_SUITE_P(KeepsTextsItCannotChange, DateEngine,
    ::testing::Values(EngineCase { "zero date, mode 3", mode(3), "0000:00:00 00:00:00", "0000:00:00 00:00:00" },
        EngineCase { "zero date, mode 4", mode(4), "0000:00:00 00:00:00", "0000:00:00 00:00:00" },
        EngineCase { "zero date, mode 5", mode(5), "0000:00:00 00:00:00", "0000:00:00 00:00:00" },
        EngineCase { "no time", mode(4), "2019:05:04", "2019:05:04" },
        EngineCase { "a zone of one hour digit", mode(5), "2019-05-04T10:11:12+1:00", "2019-05-04T10:11:12+1:00" },
        EngineCase { "a zone past 23 hours", mode(5), "2019-05-04T10:11:12+24:00", "2019-05-04T10:11:12+24:00" },
        EngineCase { "ISO 30 February", mode(4), "2019-02-30T10:11", "2019-02-30T10:11" },
        EngineCase { "ISO hour 24", mode(4), "2019-05-04T24:00:00Z", "2019-05-04T24:00:00Z" },
        EngineCase { "ISO hour without minute", mode(5), "2019-05-04T10", "2019-05-04T10" },
        EngineCase { "not a date", mode(4), "yesterday", "yesterday" },
        EngineCase { "30 February", mode(5), "2019:02:30 10:11:12", "2019:02:30 10:11:12" },
        EngineCase { "past 9999", shiftDate(nullptr, nullptr, "8000"), kRecord, kRecord },
        EngineCase { "before year 1", shiftDate(nullptr, nullptr, "-2019"), kRecord, kRecord },
        EngineCase {
            "a second past 9999", shiftTime(nullptr, nullptr, "1"), "9999:12:31 23:59:59", "9999:12:31 23:59:59" },
        EngineCase {
            "a second before year 1", shiftTime(nullptr, nullptr, "-1"), "0001:01:01 00:00:00", "0001:01:01 00:00:00" },
        EngineCase { "the largest day offset", shiftDate("99999999999", nullptr, nullptr), kRecord, kRecord },
        EngineCase { "the smallest month offset", shiftDate(nullptr, "-2147483648", nullptr), kRecord, kRecord },
        EngineCase { "the largest hour offset", shiftTime("2147483647", "2147483647", "2147483647"), kRecord, kRecord },
        EngineCase { "year 10000", mode(3, [](auto& c) { c.stringUpdateYear = "10000"; }), kRecord, kRecord },
        EngineCase { "a huge month", mode(3, [](auto& c) { c.stringUpdateMonth = "2147483647"; }), kRecord, kRecord }));

TEST(DateArithmetic, stepsFromYearOneAcrossYearZeroAndBack)
{
    // Intermediate years before 1 are fine as long as the result lands in range.
    EXPECT_EQ(Utils::sharedUtils().dateByIncOrDecDay(0, 12, -1, 0, 0, 0, "0001:06:15 00:00:00", "yyyy:MM:dd HH:mm:ss"),
        "0001:06:15 00:00:00");
    EXPECT_EQ(
        Utils::sharedUtils().dateByUpdatingDay(0, -11, 0, 0, 0, 0, "0002:06:15 00:00:00", "yyyy:MM:dd HH:mm:ss", false),
        "0001:01:15 00:00:00");
}

TEST(DateArithmetic, setsAndShiftsInAnyPattern)
{
    Utils& utils = Utils::sharedUtils();
    EXPECT_EQ(utils.dateByUpdatingDay(31, 2, 0, 0, 0, 0, "04-05-2019", "dd-MM-yyyy", false), "03-03-2019");
    EXPECT_EQ(utils.dateByUpdatingDay(0, 0, 0, 13, 0, 0, "May 04,2019 10:11:12 AM", "MMM dd,yyyy hh:mm:ss a", true),
        "May 04,2019 01:00:00 PM");
    EXPECT_EQ(utils.dateByIncOrDecDay(0, 0, 0, 0, 0, 1, "2019-05-04 10:11:12.345", "yyyy-MM-dd HH:mm:ss.SSS"),
        "2019-05-04 10:11:13.345");
    EXPECT_EQ(utils.dateByIncOrDecDay(1, 0, 0, 0, 0, 0, "not a date", "yyyy:MM:dd HH:mm:ss"), "not a date");
}

struct ConversionCase {
    QString text;
    QString inFormat;
    QString outFormat;
    QString expected;
};

void PrintTo(const ConversionCase& c, std::ostream* os)
{
    *os << "\"" << c.text.toStdString() << "\" " << c.inFormat.toStdString() << " -> " << c.outFormat.toStdString();
}

class DateConversion : public ::testing::TestWithParam<ConversionCase> {
    const ScopedTimeZone m_berlin { "Europe/Berlin" };
};

TEST_P(DateConversion, reprintsOrAnswersEmpty)
{
    const ConversionCase& c = GetParam();
    EXPECT_EQ(Utils::sharedUtils().convertedDate(c.text, c.inFormat, c.outFormat), c.expected);
}

const QString kRecordPattern = QStringLiteral("yyyy:MM:dd HH:mm:ss");

INSTANTIATE_TEST_SUITE_P(Table, DateConversion,
    ::testing::Values(ConversionCase { "2019:07:04 10:20:30", kRecordPattern, "dd-MM-yyyy", "04-07-2019" },
        ConversionCase { "", kRecordPattern, "dd-MM-yyyy", "" },
        ConversionCase { "12:00:00 AM", "hh:mm:ss a", "HH:mm:ss", "00:00:00" },
        ConversionCase { "2019:05:04 02:05:09 PM", "yyyy:MM:dd hh:mm:ss a", kRecordPattern, "2019:05:04 14:05:09" },
        ConversionCase { "20190504", "yyyyMMdd", "MMM dd,yyyy", "May 04,2019" },
        ConversionCase { "2019:05:04 10:11:12", kRecordPattern, "MMM dd,yyyy hh:mm:ss a", "May 04,2019 10:11:12 AM" },
        // Fallbacks for texts with "-": a "Z" is dropped and the rest is a local clock time.
        ConversionCase { "2019-05-04 10:11:12Z", kRecordPattern, kRecordPattern, "2019:05:04 10:11:12" },
        ConversionCase { "2019-05-04 10:11:12+0200", kRecordPattern, kRecordPattern, "2019:05:04 10:11:12" },
        ConversionCase { "2019-05-04 10:11:12+02:00", kRecordPattern, kRecordPattern, "2019:05:04 10:11:12" },
        ConversionCase { "2019-01-04 10:11:12+0200", kRecordPattern, kRecordPattern, "2019:01:04 09:11:12" },
        ConversionCase {
            "2019-05-04 10:11:12.345+0000", kRecordPattern, "yyyy:MM:dd HH:mm:ss.SSS", "2019:05:04 12:11:12.345" },
        ConversionCase { "2019-05-04 10:11:12.345", kRecordPattern, kRecordPattern, "2019:05:04 10:11:12" },
        ConversionCase { "2019-05-04 10:11:12.345Z", kRecordPattern, "HH:mm:ss.SSS", "10:11:12.345" },
        ConversionCase { "2019-05-04 10:11:12", kRecordPattern, kRecordPattern, "" },
        ConversionCase { "2019-05-04T10:11:12", kRecordPattern, kRecordPattern, "" },
        // The fallback for texts with ":" only.
        ConversionCase { "2019:05:04 10:11:12", "dd/MM/yyyy", "dd/MM/yyyy", "04/05/2019" },
        ConversionCase { "04.05.2019", kRecordPattern, kRecordPattern, "" },
        ConversionCase { "0000:00:00 00:00:00", kRecordPattern, kRecordPattern, "" }));

TEST(DateTexts, readPrintAndMeasure)
{
    const ScopedTimeZone berlin("Europe/Berlin");
    const QDateTime read = Utils::getDateFromString("2019:05:04 10:11:12", "yyyy:MM:dd HH:mm:ss");
    EXPECT_EQ(read, WallClock::make(QDate(2019, 5, 4), QTime(10, 11, 12)));
    EXPECT_FALSE(Utils::getDateFromString("2019:05:04", "yyyy:MM:dd HH:mm:ss").isValid());

    const QDateTime moment(QDate(2019, 5, 4), QTime(8, 11, 12), QTimeZone(0));
    EXPECT_EQ(Utils::getDateStringFromDate(moment, "yyyy:MM:dd HH:mm:ss"), "2019:05:04 10:11:12");

    EXPECT_EQ(Utils::getDurationBetweenDate(read, read.addMSecs(90900)), 90);
    EXPECT_EQ(Utils::getDurationBetweenDate(read.addMSecs(90900), read), -90);
    // Moments over the spring-forward night: two hours pass between 01:00 and 04:00.
    const QDateTime start(QDate(2019, 3, 31), QTime(1, 0), Qt::LocalTime);
    const QDateTime end(QDate(2019, 3, 31), QTime(4, 0), Qt::LocalTime);
    EXPECT_EQ(Utils::getDurationBetweenDate(start, end), 7200);
}

} // namespace
