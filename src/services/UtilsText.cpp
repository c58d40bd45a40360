#include "services/Utils.h"
#include "base/DatePattern.h"
#include "base/Numbers.h"
#include "base/SWString.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <array>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

// Whether something, even a dangling symbolic link, occupies the path.
bool pathIsTaken(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString jsonString(const QString& text)
{
    QString quoted = u"\""_s;
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'"':
            quoted += u"\\\""_s;
            break;
        case u'\\':
            quoted += u"\\\\"_s;
            break;
        case u'\n':
            quoted += u"\\n"_s;
            break;
        case u'\r':
            quoted += u"\\r"_s;
            break;
        case u'\t':
            quoted += u"\\t"_s;
            break;
        default:
            if (c.unicode() < 0x20)
                quoted += Numbers::format("\\u%04x", unsigned(c.unicode()));
            else
                quoted += c;
        }
    }
    return quoted + u'"';
}

QString jsonValue(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? u"true"_s : u"false"_s;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
        return QString::number(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UChar:
        return QString::number(value.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble();
        return std::isfinite(number) ? Numbers::shortest(number) : u"null"_s;
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
    case QMetaType::QVariantHash:
        return jsonString(QString::fromUtf8(QJsonDocument::fromVariant(value).toJson(QJsonDocument::Compact)));
    default:
        return jsonString(value.toString());
    }
}

} // namespace

QString Utils::unitStringFromBytes(double bytes, quint8 /*flags*/) const
{
    static constexpr std::array<const char*, 5> units = { "bytes", "KB", "MB", "GB", "TB" };
    constexpr int lastUnit = int(units.size()) - 1;

    double value = bytes;
    int unit = 0;
    while (value >= 1000 && unit < lastUnit) {
        value /= 1000;
        ++unit;
    }
    if (value == 0)
        return u"0 "_s + QLatin1StringView(units[unit]);

    double shown = std::floor(value * 100) / 100;
    // 993.01 to 999.99 read better as 0.97 of the next unit; there is none after "TB".
    if (shown > 993 && unit < lastUnit) {
        shown = 0.97;
        ++unit;
    }
    return SWString::trim(Numbers::format(unit == 0 ? "%4.0f %s" : "%4.2f %s", shown, units[unit]));
}

QString Utils::timeFormattedString(qint64 seconds) const
{
    const qint64 hours = seconds / 3600;
    const qint64 minutes = seconds / 60 % 60;
    const qint64 rest = seconds % 60;
    const auto counted = [](qint64 count, const QString& unit) {
        return QString::number(count) + u' ' + unit + (count == 1 ? u""_s : u"s"_s);
    };

    QString text;
    if (hours >= 1)
        text = counted(hours, u"hour"_s);
    if (hours >= 1 || minutes >= 1)
        text += u' ' + counted(minutes, u"minute"_s);
    if (hours >= 1 || minutes >= 1 || rest >= 1)
        text += u' ' + counted(rest, u"second"_s);
    return text;
}

bool Utils::validateEmail(const QString& text)
{
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(u"^.+@([A-Za-z0-9-]+\\.)+[A-Za-z]{2}[A-Za-z]*$"_s));
    return pattern.match(text).hasMatch();
}

QString Utils::getDateInFormatNEW(const QDateTime& date)
{
    const QDateTime local = WallClock::fromMoment(date);
    return Numbers::format("%04d%02d%02dT%02d%02d", local.date().year(), local.date().month(), local.date().day(),
        local.time().hour(), local.time().minute());
}

QString Utils::getJSONFromDict(const QVariantMap& dict)
{
    QStringList entries;
    for (auto it = dict.cbegin(); it != dict.cend(); ++it)
        entries.append(jsonString(it.key()) + u':' + jsonValue(it.value()));
    return u'{' + entries.join(u',') + u'}';
}

QString Utils::stringToAvoidNameCollisionForPath(const QString& path)
{
    if (!pathIsTaken(path))
        return path;

    // The folder part is kept exactly as given, so a relative path stays relative.
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString folder = path.left(slash + 1);
    const QString fileName = path.mid(slash + 1);
    // The extension follows the last full stop, unless that begins the name (".profile").
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const QString baseName = dot > 0 ? fileName.left(dot) : fileName;
    const QString extension = dot > 0 ? fileName.mid(dot + 1) : QString();

    for (int n = 1;; ++n) {
        const QString candidate = folder + baseName + u" ("_s + QString::number(n) + u")."_s + extension;
        if (!pathIsTaken(candidate))
            return candidate;
    }
}
