#include "model/DateTimeConfiguration.h"

#include "base/DatePattern.h"
#include "base/Numbers.h"
#include "model/KeyedCoder.h"

#include <QDateTime>
#include <QStringList>

const QString DateTimeConfiguration::kClassName = QStringLiteral("DateTimeConfiguration");

const std::array<DateTimeConfiguration::FlagProperty, 10> DateTimeConfiguration::kFlagProperties = { {
    { "isUpdateDayKeepOriginal", &DateTimeConfiguration::isUpdateDayKeepOriginal },
    { "isUpdateMonthKeepOriginal", &DateTimeConfiguration::isUpdateMonthKeepOriginal },
    { "isUpdateYearKeepOriginal", &DateTimeConfiguration::isUpdateYearKeepOriginal },
    { "isUpdateTimeKeepOriginal", &DateTimeConfiguration::isUpdateTimeKeepOriginal },
    { "isIncDecDayKeepOriginal", &DateTimeConfiguration::isIncDecDayKeepOriginal },
    { "isIncDecMonthKeepOriginal", &DateTimeConfiguration::isIncDecMonthKeepOriginal },
    { "isIncDecYearKeepOriginal", &DateTimeConfiguration::isIncDecYearKeepOriginal },
    { "isIncDecHourKeepOriginal", &DateTimeConfiguration::isIncDecHourKeepOriginal },
    { "isIncDecMinuteKeepOriginal", &DateTimeConfiguration::isIncDecMinuteKeepOriginal },
    { "isIncDecSecondKeepOriginal", &DateTimeConfiguration::isIncDecSecondKeepOriginal },
} };

const std::array<DateTimeConfiguration::TextProperty, 11> DateTimeConfiguration::kTextProperties = { {
    { "stringSelectedDate", &DateTimeConfiguration::stringSelectedDate },
    { "stringUpdateDay", &DateTimeConfiguration::stringUpdateDay },
    { "stringUpdateMonth", &DateTimeConfiguration::stringUpdateMonth },
    { "stringUpdateYear", &DateTimeConfiguration::stringUpdateYear },
    { "stringUpdateTime", &DateTimeConfiguration::stringUpdateTime },
    { "stringIncDecDay", &DateTimeConfiguration::stringIncDecDay },
    { "stringIncDecMonth", &DateTimeConfiguration::stringIncDecMonth },
    { "stringIncDecYear", &DateTimeConfiguration::stringIncDecYear },
    { "stringIncDecHour", &DateTimeConfiguration::stringIncDecHour },
    { "stringIncDecMinute", &DateTimeConfiguration::stringIncDecMinute },
    { "stringIncDecSecond", &DateTimeConfiguration::stringIncDecSecond },
} };

const QString DateTimeConfiguration::kKeepOriginalSummary = QStringLiteral("Keep original");
const QString DateTimeConfiguration::kEmptyDateSummary = QStringLiteral("Empty date");

const std::array<std::optional<QString> DateTimeConfiguration::*, 6> DateTimeConfiguration::kIncDecTexts
    = { &DateTimeConfiguration::stringIncDecDay, &DateTimeConfiguration::stringIncDecMonth,
          &DateTimeConfiguration::stringIncDecYear, &DateTimeConfiguration::stringIncDecHour,
          &DateTimeConfiguration::stringIncDecMinute, &DateTimeConfiguration::stringIncDecSecond };

const std::array<std::optional<bool> DateTimeConfiguration::*, 6> DateTimeConfiguration::kIncDecKeeps
    = { &DateTimeConfiguration::isIncDecDayKeepOriginal, &DateTimeConfiguration::isIncDecMonthKeepOriginal,
          &DateTimeConfiguration::isIncDecYearKeepOriginal, &DateTimeConfiguration::isIncDecHourKeepOriginal,
          &DateTimeConfiguration::isIncDecMinuteKeepOriginal, &DateTimeConfiguration::isIncDecSecondKeepOriginal };

const std::array<const char*, 6> DateTimeConfiguration::kIncDecPartNames
    = { "Day", "Month", "Year", "Hour", "Minute", "Second" };

namespace {

bool flag(const std::optional<bool>& value)
{
    return value.value_or(false);
}

// "+1 day", "−2 months": the sign always shown, a true minus sign so that the
// form's date display (which turns "-" into ":") leaves the text alone.
QString shiftText(int value, const char* unit)
{
    const QString sign = value < 0 ? QStringLiteral("\u2212") : QStringLiteral("+");
    const qint64 magnitude = value < 0 ? -static_cast<qint64>(value) : value;
    return QStringLiteral("%1%2 %3%4")
        .arg(sign)
        .arg(magnitude)
        .arg(QString::fromLatin1(unit).toLower())
        .arg(magnitude == 1 ? QString() : QStringLiteral("s"));
}

} // namespace

QString DateTimeConfiguration::summaryText() const
{
    const auto number = [](const std::optional<QString>& text) { return Numbers::intValue(text.value_or(QString())); };
    switch (option()) {
    case EmptyValue:
        return kEmptyDateSummary;
    case ChosenDate:
        return stringSelectedDate.value_or(QString());
    case UpdateDayMonthYearTime: {
        QStringList parts;
        if (!flag(isUpdateDayKeepOriginal))
            parts << QStringLiteral("day %1").arg(number(stringUpdateDay));
        if (!flag(isUpdateMonthKeepOriginal))
            parts << QStringLiteral("month %1").arg(number(stringUpdateMonth));
        if (!flag(isUpdateYearKeepOriginal))
            parts << QStringLiteral("year %1").arg(number(stringUpdateYear));
        if (!flag(isUpdateTimeKeepOriginal))
            parts << QStringLiteral("time %1").arg(stringUpdateTime.value_or(QStringLiteral("00:00:00")));
        return parts.isEmpty() ? kKeepOriginalSummary : QStringLiteral("Set ") + parts.join(QStringLiteral(", "));
    }
    case IncDecDate:
    case IncDecTime: {
        const bool date = option() == IncDecDate;
        const std::size_t first = date ? 0 : 3;
        QStringList parts;
        for (std::size_t i = first; i < first + 3; ++i) {
            if (!flag(this->*kIncDecKeeps[i]))
                parts << shiftText(number(this->*kIncDecTexts[i]), kIncDecPartNames[i]);
        }
        if (parts.isEmpty())
            return kKeepOriginalSummary;
        return (date ? QStringLiteral("Shift date by ") : QStringLiteral("Shift time by "))
            + parts.join(QStringLiteral(", "));
    }
    default:
        return kKeepOriginalSummary;
    }
}

namespace {

const QString kOptionKey = QStringLiteral("tagConfigureOption");

// The property keys as texts, made once: reading thousands of presets looks each
// of them up six times a preset.
template <std::size_t N, class Property> std::array<QString, N> keysOf(const std::array<Property, N>& properties)
{
    std::array<QString, N> keys;
    for (std::size_t i = 0; i < N; ++i)
        keys[i] = QString::fromLatin1(properties[i].key);
    return keys;
}

const std::array<QString, DateTimeConfiguration::kFlagProperties.size()>& flagKeys()
{
    static const auto keys = keysOf(DateTimeConfiguration::kFlagProperties);
    return keys;
}

const std::array<QString, DateTimeConfiguration::kTextProperties.size()>& textKeys()
{
    static const auto keys = keysOf(DateTimeConfiguration::kTextProperties);
    return keys;
}

// The current local date and time in the record's date form, the fraction of a
// second dropped.
// Every new setting holds the current time: reading many presets makes
// thousands in one second, so the text is made once a second.
QString currentLocalDateText()
{
    static const DatePattern pattern(QStringLiteral("yyyy:MM:dd HH:mm:ss"));
    thread_local qint64 second = -1;
    thread_local QString text;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    if (now != second) {
        text = pattern.print(QDateTime::fromSecsSinceEpoch(now));
        second = now;
    }
    return text;
}

} // namespace

DateTimeConfiguration::DateTimeConfiguration()
{
    commmonInit();
}

void DateTimeConfiguration::commmonInit()
{
    tagConfigureOption = KeepOriginal;
    for (const FlagProperty& flag : kFlagProperties)
        this->*flag.member = false;
    stringUpdateDay = QStringLiteral("1");
    stringUpdateMonth = QStringLiteral("1");
    stringUpdateYear = QStringLiteral("1905");
    for (auto member : { &DateTimeConfiguration::stringIncDecDay, &DateTimeConfiguration::stringIncDecMonth,
             &DateTimeConfiguration::stringIncDecYear, &DateTimeConfiguration::stringIncDecHour,
             &DateTimeConfiguration::stringIncDecMinute, &DateTimeConfiguration::stringIncDecSecond })
        this->*member = QStringLiteral("1");
    stringSelectedDate = currentLocalDateText();
    stringUpdateTime = QStringLiteral("00:00:00");
}

void DateTimeConfiguration::encodeWithCoder(KeyedEncoder& coder) const
{
    if (tagConfigureOption)
        coder.encodeInt(kOptionKey, *tagConfigureOption);
    for (std::size_t i = 0; i < kFlagProperties.size(); ++i) {
        if (const auto& value = this->*kFlagProperties[i].member)
            coder.encodeBool(flagKeys()[i], *value);
    }
    for (std::size_t i = 0; i < kTextProperties.size(); ++i) {
        // A held null QString is still a held value: write it as "".
        if (const auto& value = this->*kTextProperties[i].member)
            coder.encodeString(textKeys()[i], value->isNull() ? QStringLiteral("") : *value);
    }
}

std::shared_ptr<DateTimeConfiguration> DateTimeConfiguration::initWithCoder(const KeyedDecoder& coder)
{
    auto config = std::shared_ptr<DateTimeConfiguration>(new DateTimeConfiguration(NoDefaults {}));
    config->tagConfigureOption = coder.decodeInt(kOptionKey);
    for (std::size_t i = 0; i < kFlagProperties.size(); ++i)
        (*config).*kFlagProperties[i].member = coder.decodeBool(flagKeys()[i]);
    for (std::size_t i = 0; i < kTextProperties.size(); ++i)
        (*config).*kTextProperties[i].member = coder.decodeString(textKeys()[i]);
    return config;
}
