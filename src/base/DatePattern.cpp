#include "base/DatePattern.h"

#include <QDate>
#include <QTime>
#include <array>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr std::array<const char*, 12> kMonthNames = { "January", "February", "March", "April", "May", "June", "July",
    "August", "September", "October", "November", "December" };

constexpr int kSecondsPerDay = 24 * 60 * 60;

bool isNumericLetter(char16_t letter, int count)
{
    switch (letter) {
    case u'y':
    case u'd':
    case u'H':
    case u'h':
    case u'm':
    case u's':
    case u'S':
        return true;
    case u'M':
        return count <= 2;
    default:
        return false;
    }
}

bool isSupportedLetter(char16_t letter)
{
    return QStringView(u"yMdHhmsSaZ").contains(QChar(letter));
}

QString zeroPadded(qint64 value, int width)
{
    return QString::number(value).rightJustified(width, u'0');
}

// "+HHmm", or "+HH:mm" when `separator` is set.
QString offsetText(int offsetSeconds, bool separator)
{
    const int minutes = qAbs(offsetSeconds) / 60;
    return (offsetSeconds < 0 ? u"-"_s : u"+"_s) + zeroPadded(minutes / 60, 2) + (separator ? u":"_s : QString())
        + zeroPadded(minutes % 60, 2);
}

// What a reading has found so far; the defaults fill the fields a pattern lacks.
struct Fields {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int hour12 = -1; // from "h", waiting for "a"
    bool readTwentyFourHour = false; // an "H" was read, which "h" and "a" give way to
    bool pm = false;
    int minute = 0;
    int second = 0;
    int msec = 0;
    std::optional<int> offsetSeconds;
};

// A cursor over the text being read.
struct Reader {
    QStringView text;
    qsizetype pos = 0;

    bool atEnd() const { return pos >= text.size(); }

    bool take(QStringView expected, Qt::CaseSensitivity cs = Qt::CaseSensitive)
    {
        if (!text.mid(pos).startsWith(expected, cs))
            return false;
        pos += expected.size();
        return true;
    }

    // Between `minDigits` and `maxDigits` ASCII digits; their count in *digits.
    std::optional<qint64> number(int minDigits, int maxDigits, int* digits = nullptr)
    {
        qint64 value = 0;
        int taken = 0;
        while (taken < maxDigits && !atEnd() && text[pos] >= u'0' && text[pos] <= u'9') {
            value = value * 10 + (text[pos].unicode() - u'0');
            ++pos;
            ++taken;
        }
        if (taken < minDigits)
            return std::nullopt;
        if (digits)
            *digits = taken;
        return value;
    }

    // "Z", "GMT", "UTC", or an optional "GMT"/"UTC" followed by +HH, +HHmm or +HH:mm.
    std::optional<int> offset()
    {
        if (take(u"Z"))
            return 0;
        const bool named = take(u"GMT", Qt::CaseInsensitive) || take(u"UTC", Qt::CaseInsensitive);
        if (atEnd() || (text[pos] != u'+' && text[pos] != u'-'))
            return named ? std::optional<int>(0) : std::nullopt;
        const int sign = text[pos] == u'-' ? -1 : 1;
        ++pos;
        const auto hours = number(2, 2);
        if (!hours || *hours > 23)
            return std::nullopt;
        qint64 minutes = 0;
        const qsizetype beforeMinutes = pos;
        const bool separated = take(u":");
        if (const auto read = number(2, 2)) {
            minutes = *read;
        } else {
            if (separated)
                return std::nullopt;
            pos = beforeMinutes;
        }
        if (minutes > 59)
            return std::nullopt;
        return sign * int(*hours * 3600 + minutes * 60);
    }
};

// Puts a number read for a pattern letter into its field.
void storeNumber(Fields& fields, char16_t letter, int count, qint64 value, int digits)
{
    const int number = int(value);
    switch (letter) {
    case u'y':
        if (count == 2) {
            // Two-digit years fall within 80 years before and 20 after today.
            const int start = QDate::currentDate().year() - 80;
            fields.year = start + ((number - start) % 100 + 100) % 100;
        } else {
            fields.year = number;
        }
        break;
    case u'M':
        fields.month = number;
        break;
    case u'd':
        fields.day = number;
        break;
    case u'H':
        fields.hour = number;
        fields.readTwentyFourHour = true;
        break;
    case u'h':
        fields.hour12 = number;
        break;
    case u'm':
        fields.minute = number;
        break;
    case u's':
        fields.second = number;
        break;
    case u'S': {
        // A fraction of a second: its first three digits are the milliseconds.
        qint64 msec = value;
        for (int d = digits; d < 3; ++d)
            msec *= 10;
        for (int d = digits; d > 3; --d)
            msec /= 10;
        fields.msec = int(msec);
        break;
    }
    }
}

// Reads a month's name, AM or PM, or a zone for a pattern letter; false when the
// text does not hold it.
bool readWord(Reader& reader, Fields& fields, char16_t letter, int count)
{
    switch (letter) {
    case u'M':
        for (int m = 0; m < 12; ++m) {
            const QString name = QString::fromLatin1(kMonthNames[m]);
            if (reader.take(count == 3 ? name.left(3) : name, Qt::CaseInsensitive)) {
                fields.month = m + 1;
                return true;
            }
        }
        return false;
    case u'a':
        if (reader.take(u"AM", Qt::CaseInsensitive))
            fields.pm = false;
        else if (reader.take(u"PM", Qt::CaseInsensitive))
            fields.pm = true;
        else
            return false;
        return true;
    case u'Z':
        fields.offsetSeconds = reader.offset();
        return fields.offsetSeconds.has_value();
    }
    return true;
}

// The date and time the fields name, on the local clock when a zone was read;
// nothing when they name none.
std::optional<QDateTime> dateTimeOf(Fields fields)
{
    if (fields.hour12 >= 0 && !fields.readTwentyFourHour) {
        if (fields.hour12 < 1 || fields.hour12 > 12)
            return std::nullopt;
        fields.hour = fields.hour12 % 12 + (fields.pm ? 12 : 0);
    }
    if (fields.year < 1 || fields.year > 9999 || fields.month < 1 || fields.month > 12 || fields.day < 1
        || fields.day > QDate(fields.year, fields.month, 1).daysInMonth() || fields.hour > 23 || fields.minute > 59
        || fields.second > 59)
        return std::nullopt;

    QDateTime wallClock = WallClock::make(
        QDate(fields.year, fields.month, fields.day), QTime(fields.hour, fields.minute, fields.second, fields.msec));
    if (fields.offsetSeconds) {
        // That moment, shown on the local clock.
        const qint64 msecsSinceEpoch = wallClock.toMSecsSinceEpoch() - qint64(*fields.offsetSeconds) * 1000;
        wallClock = WallClock::fromMoment(QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch, Qt::LocalTime));
        if (wallClock.date().year() < 1 || wallClock.date().year() > 9999)
            return std::nullopt;
    }
    return wallClock;
}

} // namespace

namespace WallClock {

QDateTime make(QDate date, QTime time)
{
    return QDateTime(date, time, Qt::UTC);
}

QDateTime fromMoment(const QDateTime& dateTime)
{
    if (dateTime.timeSpec() == Qt::UTC || !dateTime.isValid())
        return dateTime;
    const QDateTime local = dateTime.toLocalTime();
    return make(local.date(), local.time());
}

int localOffsetAt(const QDateTime& wallClock)
{
    // The zone's offsets a day before and a day after bracket any transition near
    // this time. An offset fits when the moment it gives shows this wall-clock time
    // again; of two that fit (the repeated hour) the larger gives the earlier moment.
    // When none fits (the gap) the offset before the transition moves the time
    // forward by the gap.
    const qint64 clockMSecs = wallClock.toMSecsSinceEpoch();
    const auto offsetOfMoment
        = [](qint64 msecs) { return QDateTime::fromMSecsSinceEpoch(msecs, Qt::LocalTime).offsetFromUtc(); };
    const int before = offsetOfMoment(clockMSecs - qint64(kSecondsPerDay) * 1000);
    const int after = offsetOfMoment(clockMSecs + qint64(kSecondsPerDay) * 1000);
    const auto fits = [&](int offset) {
        const QDateTime local = QDateTime::fromMSecsSinceEpoch(clockMSecs - qint64(offset) * 1000, Qt::LocalTime);
        return local.date() == wallClock.date() && local.time() == wallClock.time();
    };
    const bool beforeFits = fits(before);
    const bool afterFits = fits(after);
    if (beforeFits && afterFits)
        return qMax(before, after);
    if (afterFits)
        return after;
    return before;
}

QDateTime toMoment(const QDateTime& dateTime)
{
    if (dateTime.timeSpec() != Qt::UTC || !dateTime.isValid())
        return dateTime;
    return QDateTime::fromMSecsSinceEpoch(
        dateTime.toMSecsSinceEpoch() - qint64(localOffsetAt(dateTime)) * 1000, Qt::LocalTime);
}

} // namespace WallClock

DatePattern::DatePattern(const QString& pattern)
    : m_pattern(pattern)
{
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern[i];
        if (c == u'\'') {
            // Quoted literal text; '' stands for one quote, inside or outside quotes.
            QString literal;
            qsizetype j = i + 1;
            if (j < pattern.size() && pattern[j] == u'\'') {
                literal = u"'"_s;
                j += 1;
            } else {
                for (; j < pattern.size(); ++j) {
                    if (pattern[j] == u'\'') {
                        if (j + 1 < pattern.size() && pattern[j + 1] == u'\'') {
                            literal += u'\'';
                            ++j;
                            continue;
                        }
                        break;
                    }
                    literal += pattern[j];
                }
                if (j >= pattern.size()) {
                    m_valid = false; // an unclosed quote
                    break;
                }
                ++j;
            }
            m_tokens.append({ 0, 0, literal });
            i = j;
        } else if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) {
            qsizetype j = i;
            while (j < pattern.size() && pattern[j] == c)
                ++j;
            const int count = int(j - i);
            if (!isSupportedLetter(c.unicode()) || (c == u'M' && count > 4) || (c == u'Z' && count > 5))
                m_valid = false;
            m_tokens.append({ c.unicode(), count, QString() });
            i = j;
        } else {
            if (!m_tokens.isEmpty() && m_tokens.last().letter == 0)
                m_tokens.last().literal += c;
            else
                m_tokens.append({ 0, 0, QString(c) });
            ++i;
        }
    }
    if (!m_valid)
        m_tokens.clear();
}

std::optional<QDateTime> DatePattern::read(QStringView text) const
{
    if (!m_valid)
        return std::nullopt;
    Reader reader { text };
    Fields fields;
    for (qsizetype t = 0; t < m_tokens.size(); ++t) {
        const Token& token = m_tokens[t];
        if (token.letter == 0) {
            if (!reader.take(token.literal))
                return std::nullopt;
            continue;
        }
        if (isNumericLetter(token.letter, token.count)) {
            const bool abutting = t + 1 < m_tokens.size() && m_tokens[t + 1].letter != 0
                && isNumericLetter(m_tokens[t + 1].letter, m_tokens[t + 1].count);
            int minDigits = 1;
            int maxDigits = token.letter == u'y' || token.letter == u'S' ? 9 : qMax(token.count, 2);
            if (abutting || (token.letter == u'y' && token.count == 2))
                minDigits = maxDigits = token.count;
            int digits = 0;
            const auto value = reader.number(minDigits, maxDigits, &digits);
            if (!value)
                return std::nullopt;
            storeNumber(fields, token.letter, token.count, *value, digits);
            continue;
        }
        if (!readWord(reader, fields, token.letter, token.count))
            return std::nullopt;
    }
    if (!reader.atEnd())
        return std::nullopt;
    return dateTimeOf(fields);
}

QString DatePattern::print(const QDateTime& dateTime) const
{
    if (!m_valid || !dateTime.isValid())
        return QString();
    const QDateTime wallClock = WallClock::fromMoment(dateTime);
    const QDate date = wallClock.date();
    const QTime time = wallClock.time();

    QString text;
    for (const Token& token : m_tokens) {
        switch (token.letter) {
        case 0:
            text += token.literal;
            break;
        case u'y':
            text += token.count == 2 ? zeroPadded(date.year() % 100, 2) : zeroPadded(date.year(), token.count);
            break;
        case u'M':
            if (token.count <= 2)
                text += zeroPadded(date.month(), token.count);
            else
                text += QString::fromLatin1(kMonthNames[date.month() - 1]).left(token.count == 3 ? 3 : -1);
            break;
        case u'd':
            text += zeroPadded(date.day(), token.count);
            break;
        case u'H':
            text += zeroPadded(time.hour(), token.count);
            break;
        case u'h':
            text += zeroPadded(time.hour() % 12 == 0 ? 12 : time.hour() % 12, token.count);
            break;
        case u'm':
            text += zeroPadded(time.minute(), token.count);
            break;
        case u's':
            text += zeroPadded(time.second(), token.count);
            break;
        case u'S':
            text += zeroPadded(time.msec(), 3).leftJustified(token.count, u'0', true);
            break;
        case u'a':
            text += time.hour() < 12 ? u"AM"_s : u"PM"_s;
            break;
        case u'Z': {
            const int offset = WallClock::localOffsetAt(wallClock);
            if (token.count <= 3)
                text += offsetText(offset, false);
            else if (token.count == 4)
                text += offset == 0 ? u"GMT"_s : u"GMT"_s + offsetText(offset, true);
            else
                text += offset == 0 ? u"Z"_s : offsetText(offset, true);
            break;
        }
        }
    }
    return text;
}
