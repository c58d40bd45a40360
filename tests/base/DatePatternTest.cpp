#include "base/DatePattern.h"

#include "support/TestSupport.h"

#include <QTimeZone>
#include <gtest/gtest.h>

// Every test here runs in Europe/Berlin: summer time (+0200) from the last Sunday of
// March, 02:00 -> 03:00, to the last Sunday of October, 03:00 -> 02:00.

namespace {

QDateTime wall(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    return WallClock::make(QDate(y, mo, d), QTime(h, mi, s, ms));
}

struct ReadCase {
    const char16_t* pattern;
    const char16_t* text;
    QDateTime expected; // invalid: does not read
};

void PrintTo(const ReadCase& c, std::ostream* os)
{
    *os << printableText(QStringView(c.pattern)) << " / \"" << printableText(QStringView(c.text)) << '"';
}

class DatePatternRead : public ::testing::TestWithParam<ReadCase> {
    const ScopedTimeZone m_berlin { "Europe/Berlin" };
};

TEST_P(DatePatternRead, readsWholeTextsThatNameRealDates)
{
    const ReadCase& c = GetParam();
    const auto read = DatePattern(QString::fromUtf16(c.pattern)).read(QStringView(c.text));
    const std::string label
        = QString::fromUtf16(c.pattern).toStdString() + " / " + QString::fromUtf16(c.text).toStdString();
    if (!c.expected.isValid()) {
        EXPECT_FALSE(read.has_value()) << label << " read as " << read->toString(Qt::ISODateWithMs).toStdString();
        return;
    }
    ASSERT_TRUE(read.has_value()) << label;
    EXPECT_EQ(read->timeSpec(), Qt::UTC) << label;
    EXPECT_EQ(*read, c.expected) << label << " read as " << read->toString(Qt::ISODateWithMs).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Table, DatePatternRead,
    ::testing::Values(ReadCase { u"yyyy:MM:dd HH:mm:ss", u"2019:05:04 10:11:12", wall(2019, 5, 4, 10, 11, 12) },
        ReadCase { u"yyyy:MM:dd HH:mm:ss", u"2019:5:4 1:2:3", wall(2019, 5, 4, 1, 2, 3) },
        ReadCase { u"yyyy:MM:dd HH:mm:ss", u"2020:02:29 00:00:00", wall(2020, 2, 29) },
        // In the spring-forward gap and in the repeated hour: wall-clock times still exist.
        ReadCase { u"yyyy:MM:dd HH:mm:ss", u"2019:03:31 02:30:00", wall(2019, 3, 31, 2, 30) },
        ReadCase { u"yyyy:MM:dd HH:mm:ss", u"2019:10:27 02:30:00", wall(2019, 10, 27, 2, 30) },
        ReadCase { u"yyyy:MM:dd HH:mm:ss", u"2019:02:29 00:00:00", QDateTime() },
        ReadCase { u"yyyy:MM:dd HH:mm:ss", u"0000:00:00 00:00:00", QDateTime() },
        ReadCase { u"yyyy:MM:dd HH:mm:ss", u"2019:05:04 24:00:00", QDateTime() },
        ReadCase { u"yyyy:MM:dd HH:mm:ss", u"2019:05:04", QDateTime() },
        ReadCase { u"yyyy:MM:dd HH:mm:ss", u"2019:05:04 10:11:12 ", QDateTime() },
        ReadCase { u"yyyy:MM:dd HH:mm:ss", u"2019:05:04 10:11:1x", QDateTime() },
        ReadCase { u"yyyy:MM:dd HH:mm:ss", u"\u0662\u0660\u0661\u0669:05:04 10:11:12", QDateTime() },
        ReadCase { u"yyyy-MM-dd HH:mm:ss.SSS", u"2019-05-04 10:11:12.345", wall(2019, 5, 4, 10, 11, 12, 345) },
        ReadCase { u"yyyy-MM-dd HH:mm:ss.SSS", u"2019-05-04 10:11:12.5", wall(2019, 5, 4, 10, 11, 12, 500) },
        ReadCase { u"yyyy-MM-dd HH:mm:ss.SSS", u"2019-05-04 10:11:12.123456", wall(2019, 5, 4, 10, 11, 12, 123) },
        // A text with an offset is that moment, shown on the local (Berlin) clock.
        ReadCase { u"yyyy-MM-dd HH:mm:ssZZZ", u"2019-05-04 10:11:12+0200", wall(2019, 5, 4, 10, 11, 12) },
        ReadCase { u"yyyy-MM-dd HH:mm:ssZZZ", u"2019-05-04 10:11:12+02:00", wall(2019, 5, 4, 10, 11, 12) },
        ReadCase { u"yyyy-MM-dd HH:mm:ssZZZ", u"2019-05-04 10:11:12-0500", wall(2019, 5, 4, 17, 11, 12) },
        ReadCase { u"yyyy-MM-dd HH:mm:ssZZZ", u"2019-01-04 10:11:12Z", wall(2019, 1, 4, 11, 11, 12) },
        ReadCase { u"yyyy-MM-dd HH:mm:ssZZZ", u"2019-05-04 10:11:12+05:30", wall(2019, 5, 4, 6, 41, 12) },
        ReadCase { u"yyyy-MM-dd HH:mm:ssZZZ", u"2019-05-04 10:11:12+2400", QDateTime() },
        ReadCase { u"yyyy-MM-dd HH:mm:ssZZZ", u"2019-05-04 10:11:12", QDateTime() },
        ReadCase { u"yyyy-MM-dd HH:mm:ss.SSSZZ", u"2019-05-04 10:11:12.345+0000", wall(2019, 5, 4, 12, 11, 12, 345) },
        ReadCase { u"yyyy:MM:dd hh:mm:ss a", u"2019:05:04 02:05:09 PM", wall(2019, 5, 4, 14, 5, 9) },
        ReadCase { u"yyyy:MM:dd hh:mm:ss a", u"2019:05:04 12:05:09 am", wall(2019, 5, 4, 0, 5, 9) },
        ReadCase { u"yyyy:MM:dd hh:mm:ss a", u"2019:05:04 12:05:09 PM", wall(2019, 5, 4, 12, 5, 9) },
        ReadCase { u"yyyy:MM:dd hh:mm:ss a", u"2019:05:04 13:05:09 PM", QDateTime() },
        ReadCase { u"hh:mm:ss a", u"12:00:00 AM", wall(1970, 1, 1) },
        ReadCase { u"yyyyMMdd", u"20190504", wall(2019, 5, 4) }, ReadCase { u"yyyyMMdd", u"201954", QDateTime() },
        ReadCase { u"MMM dd,yyyy", u"May 04,2019", wall(2019, 5, 4) },
        ReadCase { u"MMM dd,yyyy", u"sep 30,2019", wall(2019, 9, 30) },
        ReadCase { u"MMMM d, yyyy", u"September 3, 2019", wall(2019, 9, 3) },
        ReadCase { u"yyyy-MM-dd'T'HH:mm:ss", u"2019-05-04T10:11:12", wall(2019, 5, 4, 10, 11, 12) },
        ReadCase { u"yyyy:MM:dd HH:mm:ss", u"", QDateTime() },
        ReadCase { u"yyyy:MM:dd EEE", u"2019:05:04 Sat", QDateTime() }));

struct PrintCase {
    const char16_t* pattern;
    QDateTime dateTime;
    const char16_t* expected;
};

void PrintTo(const PrintCase& c, std::ostream* os)
{
    *os << printableText(QStringView(c.pattern)) << " @ "
        << (c.dateTime.isValid() ? c.dateTime.toString(Qt::ISODateWithMs).toStdString() : std::string("no date"));
}

class DatePatternPrint : public ::testing::TestWithParam<PrintCase> {
    const ScopedTimeZone m_berlin { "Europe/Berlin" };
};

TEST_P(DatePatternPrint, printsWithAsciiDigitsAndEnglishNames)
{
    const PrintCase& c = GetParam();
    EXPECT_EQ(DatePattern(QString::fromUtf16(c.pattern)).print(c.dateTime), QString::fromUtf16(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Table, DatePatternPrint,
    ::testing::Values(PrintCase { u"yyyy:MM:dd HH:mm:ss", wall(2019, 5, 4, 10, 11, 12), u"2019:05:04 10:11:12" },
        PrintCase { u"yyyy:MM:dd HH:mm:ss", wall(12, 1, 2, 3, 4, 5), u"0012:01:02 03:04:05" },
        PrintCase { u"yyyy:MM:dd hh:mm:ss a", wall(2019, 5, 4, 0, 5, 9), u"2019:05:04 12:05:09 AM" },
        PrintCase { u"yyyy:MM:dd hh:mm:ss a", wall(2019, 5, 4, 14, 5, 9), u"2019:05:04 02:05:09 PM" },
        PrintCase { u"MMM dd,yyyy hh:mm:ss a", wall(2019, 9, 4, 12, 0, 0), u"Sep 04,2019 12:00:00 PM" },
        PrintCase { u"MMMM d yy", wall(2019, 12, 4), u"December 4 19" },
        PrintCase { u"dd-MM-yyyy_HH-mm-ss", wall(2019, 7, 4, 10, 20, 30), u"04-07-2019_10-20-30" },
        PrintCase { u"yyyy-MM-dd'T'HH:mm:ss.SSS", wall(2019, 5, 4, 10, 11, 12, 7), u"2019-05-04T10:11:12.007" },
        PrintCase { u"ss.S", wall(2019, 5, 4, 10, 11, 12, 789), u"12.7" },
        PrintCase { u"'o''clock' HH", wall(2019, 5, 4, 9), u"o'clock 09" },
        PrintCase { u"HHZZZ|ZZZZ|ZZZZZ", wall(2019, 5, 4, 10), u"10+0200|GMT+02:00|+02:00" },
        PrintCase { u"HHZ", wall(2019, 1, 4, 10), u"10+0100" }, PrintCase { u"yyyy:MM:dd EEE", wall(2019, 5, 4), u"" },
        PrintCase { u"yyyy", QDateTime(), u"" }));

TEST(DatePattern, printsAMomentOnTheLocalClock)
{
    const ScopedTimeZone berlin("Europe/Berlin");
    const QDateTime moment = QDateTime(QDate(2019, 5, 4), QTime(8, 11, 12), QTimeZone(0));
    EXPECT_EQ(DatePattern(QStringLiteral("yyyy:MM:dd HH:mm:ss ZZZ")).print(moment), u"2019:05:04 10:11:12 +0200");
}

TEST(WallClock, movesTimesInTheGapForwardAndTakesTheFirstRepeatedHour)
{
    const ScopedTimeZone berlin("Europe/Berlin");
    // 02:30 on the spring-forward day does not exist on the clock: 03:30 summer time.
    const QDateTime gap = WallClock::toMoment(wall(2019, 3, 31, 2, 30));
    EXPECT_EQ(gap.toUTC(), QDateTime(QDate(2019, 3, 31), QTime(1, 30), QTimeZone(0)).toUTC());
    // 02:30 on the fall-back day exists twice: the first is still summer time.
    const QDateTime repeated = WallClock::toMoment(wall(2019, 10, 27, 2, 30));
    EXPECT_EQ(repeated.toUTC(), QDateTime(QDate(2019, 10, 27), QTime(0, 30), QTimeZone(0)).toUTC());
    EXPECT_EQ(WallClock::localOffsetAt(wall(2019, 10, 27, 3, 30)), 3600);
    EXPECT_EQ(WallClock::localOffsetAt(wall(2019, 7, 1)), 7200);
    // Round trip away from transitions.
    EXPECT_EQ(WallClock::fromMoment(WallClock::toMoment(wall(2019, 7, 1, 12))), wall(2019, 7, 1, 12));
}

} // namespace
