#include "services/Utils.h"
#include "base/DatePattern.h"
#include "base/IsoDate.h"
#include "base/Numbers.h"
#include "model/DateTimeConfiguration.h"

#include <array>
#include <optional>

using namespace Qt::Literals::StringLiterals;

// Calendar arithmetic here works on 64-bit integers over the proleptic Gregorian
// calendar rather than on QDate::addMonths and friends: offsets come from text typed
// by the user and may be as large as a 32-bit value, which must neither overflow nor
// wrap, and a result outside the years 1 to 9999 must be recognised as such.

namespace {

const QString kRecordDatePattern = u"yyyy:MM:dd HH:mm:ss"_s;

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

qint64 floorMod(qint64 a, qint64 b)
{
    return a - floorDiv(a, b) * b;
}

bool isLeapYear(qint64 year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

qint64 daysInMonth(qint64 year, qint64 month)
{
    static constexpr int days[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// Days since 1970-01-01 of a Gregorian date (year 0 is 1 BC).
qint64 daysFromCivil(qint64 year, qint64 month, qint64 day)
{
    year -= month <= 2;
    const qint64 era = floorDiv(year, 400);
    const qint64 yearOfEra = year - era * 400;
    const qint64 dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// A point on the clock as fields that may lie outside their usual ranges while
// arithmetic is under way.
struct Civil {
    qint64 year = 1970;
    qint64 month = 1;
    qint64 day = 1;
    qint64 secondOfDay = 0;
    int msec = 0;

    static Civil of(const QDateTime& wallClock)
    {
        const QDate date = wallClock.date();
        const QTime time = wallClock.time();
        return { date.year(), date.month(), date.day(), time.hour() * 3600 + time.minute() * 60 + time.second(),
            time.msec() };
    }

    // Brings month into 1 to 12, carrying into the year.
    void normaliseMonth()
    {
        const qint64 months = year * 12 + (month - 1);
        year = floorDiv(months, 12);
        month = floorMod(months, 12) + 1;
    }

    void clampDayToMonth() { day = qMin(day, daysInMonth(year, month)); }

    // Rolls day and second of day over into the larger fields: the wall-clock time,
    // or no value outside the years 1 to 9999. The month must be normalised.
    std::optional<QDateTime> rolledOver() const
    {
        const qint64 seconds = (daysFromCivil(year, month, 1) + day - 1) * 86400 + secondOfDay;
        const qint64 days = floorDiv(seconds, 86400);
        const qint64 second = floorMod(seconds, 86400);
        // Inverse of daysFromCivil: days counted from 1 March of year 0, months from March.
        const qint64 shiftedDays = days + 719468;
        const qint64 era = floorDiv(shiftedDays, 146097);
        const qint64 dayOfEra = shiftedDays - era * 146097;
        const qint64 yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
        const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
        const qint64 marchMonth = (5 * dayOfYear + 2) / 153;
        const qint64 dayOfMonth = dayOfYear - (153 * marchMonth + 2) / 5 + 1;
        const qint64 monthOfYear = marchMonth < 10 ? marchMonth + 3 : marchMonth - 9;
        const qint64 civilYear = yearOfEra + era * 400 + (monthOfYear <= 2);
        if (civilYear < 1 || civilYear > 9999)
            return std::nullopt;
        return WallClock::make(QDate(int(civilYear), int(monthOfYear), int(dayOfMonth)),
            QTime(int(second / 3600), int(second / 60 % 60), int(second % 60), msec));
    }
};

// Fields set where given, rolled over like a calendar joining its components.
std::optional<QDateTime> joined(
    const QDateTime& wallClock, int day, int month, int year, std::optional<qint64> secondOfDay)
{
    Civil civil = Civil::of(wallClock);
    if (day != 0)
        civil.day = day;
    if (month != 0)
        civil.month = month;
    if (year != 0)
        civil.year = year;
    if (secondOfDay)
        civil.secondOfDay = *secondOfDay;
    civil.normaliseMonth();
    return civil.rolledOver();
}

// Years, then months (keeping the day unless the month is shorter), then days, then
// elapsed clock time.
std::optional<QDateTime> shifted(const QDateTime& wallClock, int days, int months, int years, qint64 seconds)
{
    Civil civil = Civil::of(wallClock);
    civil.year += years;
    civil.clampDayToMonth();
    civil.month += months;
    civil.normaliseMonth();
    civil.clampDayToMonth();
    civil.day += days;
    civil.secondOfDay += seconds;
    return civil.rolledOver();
}

qint64 clockSeconds(int hours, int minutes, int seconds)
{
    return qint64(hours) * 3600 + qint64(minutes) * 60 + seconds;
}

int leadingInt(const std::optional<QString>& text)
{
    return text ? Numbers::intValue(*text) : 0;
}

// Hour, minute and second of an "HH:mm:ss" text, each a leading integer; missing parts are 0.
qint64 secondOfDayFromTimeText(const std::optional<QString>& text)
{
    const QStringList parts = text.value_or(QString()).split(u':');
    const auto part = [&](int i) { return i < parts.size() ? Numbers::intValue(parts[i]) : 0; };
    return clockSeconds(part(0), part(1), part(2));
}

} // namespace

namespace {

// A date the engine has read: its wall-clock time, and the ISO form to answer in
// when it is not the record's.
struct ReadDate {
    QDateTime wallClock;
    std::optional<IsoDate> iso;

    bool hasMonth() const { return !iso || iso->hasMonth(); }
    bool hasDay() const { return !iso || iso->hasDay(); }
    bool hasTime() const { return !iso || iso->hasTime(); }
    bool hasSeconds() const { return !iso || iso->hasSeconds(); }

    // Another wall-clock time in the same form; "" outside the years 1 to 9999.
    QString print(const QDateTime& result, bool timeSet) const
    {
        return iso ? iso->print(result, timeSet) : DatePattern(kRecordDatePattern).print(result);
    }
};

std::optional<ReadDate> readDate(const QString& input, Utils::DateForms forms)
{
    QString normalised = input;
    normalised.replace(u'T', u' ').replace(u'-', u':');
    if (const std::optional<QDateTime> wallClock = DatePattern(kRecordDatePattern).read(normalised))
        return ReadDate { *wallClock, std::nullopt };
    if (forms == Utils::DateForms::ExifAndIso) {
        if (std::optional<IsoDate> iso = IsoDate::read(input))
            return ReadDate { iso->wallClock(), std::move(iso) };
    }
    return std::nullopt;
}

// The chosen date, on the clock and in the form of an ISO input; as stored for any other.
QString chosenDateText(const DateTimeConfiguration& config, const QString& input, Utils::DateForms forms)
{
    const QString chosen = config.stringSelectedDate.value_or(u""_s);
    if (input.isEmpty() || forms != Utils::DateForms::ExifAndIso)
        return chosen;
    const std::optional<ReadDate> date = readDate(input, forms);
    const std::optional<QDateTime> chosenClock = DatePattern(kRecordDatePattern).read(chosen);
    if (!date || !date->iso || !chosenClock)
        return chosen;
    const QString printed = date->print(*chosenClock, true);
    return printed.isEmpty() ? chosen : printed;
}

} // namespace

QString Utils::getUpdatedOutputDateTimeStringWithConfig(
    const DateTimeConfiguration& config, const QString& inputDateString) const
{
    return updatedDateText(config, inputDateString, DateForms::ExifAndIso).value_or(inputDateString);
}

std::optional<QString> Utils::updatedDateText(
    const DateTimeConfiguration& config, const QString& inputDateString, DateForms forms) const
{
    const int option = config.tagConfigureOption.value_or(DateTimeConfiguration::KeepOriginal);
    switch (option) {
    case DateTimeConfiguration::KeepOriginal:
        return inputDateString;
    case DateTimeConfiguration::EmptyValue:
        return QString(u""_s);
    case DateTimeConfiguration::ChosenDate:
        return chosenDateText(config, inputDateString, forms);
    case DateTimeConfiguration::UpdateDayMonthYearTime:
    case DateTimeConfiguration::IncDecDate:
    case DateTimeConfiguration::IncDecTime:
        break;
    default:
        return QString(inputDateString).replace(u'T', u' ').replace(u'-', u':');
    }

    if (inputDateString.isEmpty())
        return QString(u""_s);

    const auto kept = [](const std::optional<bool>& flag) { return flag.value_or(false); };
    const auto value = [](bool keep, const std::optional<QString>& text) { return keep ? 0 : leadingInt(text); };
    const bool isUpdate = option == DateTimeConfiguration::UpdateDayMonthYearTime;
    const bool isDate = option == DateTimeConfiguration::IncDecDate;
    // Whether each of the mode's parts keeps the original; the shifts have three parts.
    std::array<bool, 4> keep {};
    if (isUpdate) {
        keep = { kept(config.isUpdateDayKeepOriginal), kept(config.isUpdateMonthKeepOriginal),
            kept(config.isUpdateYearKeepOriginal), kept(config.isUpdateTimeKeepOriginal) };
    } else if (isDate) {
        keep = { kept(config.isIncDecDayKeepOriginal), kept(config.isIncDecMonthKeepOriginal),
            kept(config.isIncDecYearKeepOriginal), true };
    } else {
        keep = { kept(config.isIncDecHourKeepOriginal), kept(config.isIncDecMinuteKeepOriginal),
            kept(config.isIncDecSecondKeepOriginal), true };
    }
    if (keep[0] && keep[1] && keep[2] && keep[3])
        return inputDateString;

    const std::optional<ReadDate> date = readDate(inputDateString, forms);
    if (!date)
        return std::nullopt;
    // A part the date does not have is neither set nor shifted: "2015-07-16" stays
    // that day whatever the time, and its precision stays.
    if (isUpdate) {
        keep[0] = keep[0] || !date->hasDay();
        keep[1] = keep[1] || !date->hasMonth();
        keep[3] = keep[3] || !date->hasTime();
    } else if (isDate) {
        keep[0] = keep[0] || !date->hasDay();
        keep[1] = keep[1] || !date->hasMonth();
    } else {
        keep[0] = keep[0] || !date->hasTime();
        keep[1] = keep[1] || !date->hasTime();
        keep[2] = keep[2] || !date->hasSeconds();
    }

    std::optional<QDateTime> result;
    if (isUpdate) {
        result = joined(date->wallClock, value(keep[0], config.stringUpdateDay),
            value(keep[1], config.stringUpdateMonth), value(keep[2], config.stringUpdateYear),
            keep[3] ? std::nullopt : std::optional(secondOfDayFromTimeText(config.stringUpdateTime)));
    } else if (isDate) {
        result = shifted(date->wallClock, value(keep[0], config.stringIncDecDay),
            value(keep[1], config.stringIncDecMonth), value(keep[2], config.stringIncDecYear), 0);
    } else {
        result = shifted(date->wallClock, 0, 0, 0,
            clockSeconds(value(keep[0], config.stringIncDecHour), value(keep[1], config.stringIncDecMinute),
                value(keep[2], config.stringIncDecSecond)));
    }
    if (!result)
        return std::nullopt;
    const QString printed = date->print(*result, isUpdate && !keep[3]);
    return printed.isEmpty() ? std::nullopt : std::optional(printed);
}

QString Utils::convertedDate(const QString& date, const QString& inFormat, const QString& convertedFormat) const
{
    if (date.isEmpty())
        return QString(u""_s);

    std::optional<QDateTime> read = DatePattern(inFormat).read(date);
    if (!read && date.contains(u'-')) {
        QString text = date;
        if (text.contains(u'Z')) {
            // A "Z" is dropped and the rest read as a local clock time.
            text.remove(u'Z');
            read = DatePattern(u"yyyy-MM-dd HH:mm:ss"_s).read(text);
        }
        for (const QString& fallback :
            { u"yyyy-MM-dd HH:mm:ssZZZ"_s, u"yyyy-MM-dd HH:mm:ss.SSSZZ"_s, u"yyyy-MM-dd HH:mm:ss.SSS"_s }) {
            if (read)
                break;
            read = DatePattern(fallback).read(text);
        }
    } else if (!read && date.contains(u':')) {
        read = DatePattern(kRecordDatePattern).read(date);
    }
    return read ? DatePattern(convertedFormat).print(*read) : QString(u""_s);
}

QString Utils::dateByUpdatingDay(int day, int month, int year, int hour, int minute, int second, const QString& inDate,
    const QString& dateFormat, bool isUpdateTime) const
{
    const DatePattern pattern(dateFormat);
    const auto wallClock = pattern.read(inDate);
    if (!wallClock)
        return inDate;
    const auto result = joined(
        *wallClock, day, month, year, isUpdateTime ? std::optional(clockSeconds(hour, minute, second)) : std::nullopt);
    return result ? pattern.print(*result) : inDate;
}

QString Utils::dateByIncOrDecDay(int day, int month, int year, int hour, int minute, int second, const QString& inDate,
    const QString& dateFormat) const
{
    const DatePattern pattern(dateFormat);
    const auto wallClock = pattern.read(inDate);
    if (!wallClock)
        return inDate;
    const auto result = shifted(*wallClock, day, month, year, clockSeconds(hour, minute, second));
    return result ? pattern.print(*result) : inDate;
}

QDateTime Utils::getDateFromString(const QString& text, const QString& format)
{
    return DatePattern(format).read(text).value_or(QDateTime());
}

QString Utils::getDateStringFromDate(const QDateTime& date, const QString& format)
{
    return DatePattern(format).print(date);
}

qint64 Utils::getDurationBetweenDate(const QDateTime& date, const QDateTime& afterDate)
{
    // Integer division cuts toward zero, as the fraction of a second must be.
    return date.msecsTo(afterDate) / 1000;
}
