#include "base/IsoDate.h"

#include "base/DatePattern.h"

#include <QRegularExpression>

using namespace Qt::Literals::StringLiterals;

namespace {

QString zeroPadded(int value, int width)
{
    return QString::number(value).rightJustified(width, u'0');
}

} // namespace

std::optional<IsoDate> IsoDate::read(QStringView text)
{
    // Year, month, day, hour, minute, second, fraction, zone, zone hours, zone minutes.
    static const QRegularExpression form(uR"(^(\d{4})(?:-(\d\d)(?:-(\d\d)(?:T(\d\d):(\d\d)(?::(\d\d)(?:\.(\d+))?)?)"
                                         uR"((Z|[+-](\d\d):?(\d\d))?)?)?)?$)"_s);
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const auto number
        = [&](int n, int absent) { return match.hasCaptured(n) ? match.capturedView(n).toInt() : absent; };
    const QDate date(number(1, 0), number(2, 1), number(3, 1));
    const QTime time(number(4, 0), number(5, 0), number(6, 0));
    if (date.year() < 1 || !date.isValid() || !time.isValid() || number(9, 0) > 23 || number(10, 0) > 59)
        return std::nullopt;

    IsoDate iso;
    iso.m_precision = match.hasCaptured(6) ? Precision::Second
        : match.hasCaptured(4)             ? Precision::Minute
        : match.hasCaptured(3)             ? Precision::Day
        : match.hasCaptured(2)             ? Precision::Month
                                           : Precision::Year;
    iso.m_wallClock = WallClock::make(date, time);
    iso.m_fraction = match.captured(7);
    iso.m_zone = match.captured(8);
    return iso;
}

QString IsoDate::print(const QDateTime& wallClock, bool fractionZeroed) const
{
    const QDate date = wallClock.date();
    const QTime time = wallClock.time();
    if (!date.isValid() || date.year() < 1 || date.year() > 9999)
        return QString();
    QString text = zeroPadded(date.year(), 4);
    if (hasMonth())
        text += u'-' + zeroPadded(date.month(), 2);
    if (hasDay())
        text += u'-' + zeroPadded(date.day(), 2);
    if (!hasTime())
        return text;
    text += u'T' + zeroPadded(time.hour(), 2) + u':' + zeroPadded(time.minute(), 2);
    if (hasSeconds())
        text += u':' + zeroPadded(time.second(), 2);
    if (!m_fraction.isEmpty())
        text += u'.' + (fractionZeroed ? QString(m_fraction.size(), u'0') : m_fraction);
    return text + m_zone;
}
