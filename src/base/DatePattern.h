#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

// Wall-clock times.
//
// A date text without a time-zone offset (such as the Exif form
// "2019:05:04 10:11:12") names a time on the clock, not a moment: it is read,
// joined and shifted as a wall-clock time, so that 02:30 on the day the clocks
// spring forward still exists and adding an hour adds an hour on the clock.
//
// Convention: a QDateTime whose timeSpec() is Qt::UTC holds a wall-clock time
// (its date and time are the clock's fields; no zone is implied). Any other
// QDateTime is an absolute moment and is shown in the machine's local time.
// An absolute moment in UTC must therefore carry an offset of zero
// (QTimeZone(0)) or be converted with toLocalTime(), never be passed as Qt::UTC.
namespace WallClock {

// The wall-clock time with these fields.
QDateTime make(QDate date, QTime time);

// The local wall-clock time of a moment; a wall-clock time is returned as it is.
QDateTime fromMoment(const QDateTime& dateTime);

// The local moment a wall-clock time names. A time in a daylight-saving gap moves
// forward by the length of the gap (02:30 becomes 03:30); a time in the repeated
// hour of the fall back is its first occurrence. A moment is returned as it is.
QDateTime toMoment(const QDateTime& dateTime);

// Seconds east of UTC of the machine's local zone at that wall-clock time, chosen as
// toMoment() chooses.
int localOffsetAt(const QDateTime& wallClock);

} // namespace WallClock

// Reads and prints the fixed date patterns the system uses. The letters are those of
// Unicode Technical Standard #35, which Qt's own date formats do not share, so
// patterns never go to QDateTime::toString or fromString.
//
// Supported letters:
//   yyyy year (y: as many digits as needed; yy: two digits, read within 80 years
//        before and 20 after today)
//   M, MM month number; MMM "Jan" to "Dec"; MMMM "January" to "December"
//   d, dd day        H, HH hour 0-23     h, hh hour 1-12     a "AM" or "PM"
//   m, mm minute     s, ss second        S... fraction of a second (SSS milliseconds)
//   Z, ZZ, ZZZ offset "+0200"; ZZZZ "GMT+02:00"; ZZZZZ "+02:00" or "Z"
// Text in single quotes is literal ('' is one quote); every other character that
// is not an ASCII letter stands for itself. A pattern with any other letter is
// invalid: it reads nothing and prints "".
//
// Reading and printing are the same whatever the user's language, region or
// calendar: ASCII digits, the Gregorian calendar, English month names, "AM"/"PM".
//
// Reading succeeds only when the whole text matches the pattern and names a real
// date from year 1 to 9999 (no 30 February, no hour 24). Names and "AM"/"PM" are
// matched without regard to case; a numeric field takes one or more digits, or
// exactly as many as the pattern has letters when another numeric field follows it
// directly ("yyyyMMdd"). A field the pattern lacks takes its value from
// 1970-01-01 00:00:00. Every offset form above is accepted wherever the pattern has
// a "Z" field. A text without an offset reads as a wall-clock time; a text with an
// offset is that moment, answered as the local wall-clock time it falls on.
//
// Printing shows a wall-clock time as it is and a moment in local time; an offset
// field shows the local zone's offset at that time.
class DatePattern {
public:
    explicit DatePattern(const QString& pattern);

    bool isValid() const { return m_valid; }
    const QString& pattern() const { return m_pattern; }

    // The wall-clock time the text names, or no value when it does not read.
    std::optional<QDateTime> read(QStringView text) const;

    // The date printed in the pattern; "" for an invalid date or pattern.
    QString print(const QDateTime& dateTime) const;

private:
    struct Token {
        char16_t letter = 0; // 0 for literal text
        int count = 0;
        QString literal;
    };

    QString m_pattern;
    QList<Token> m_tokens;
    bool m_valid = true;
};
