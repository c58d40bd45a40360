#include "form/DatePanelModel.h"

#include "base/DatePattern.h"
#include "base/Numbers.h"

namespace {

const QString kRecordPattern = QStringLiteral("yyyy:MM:dd HH:mm:ss");
const QString kTimePattern = QStringLiteral("HH:mm:ss");

constexpr auto& kIncDecTexts = DateTimeConfiguration::kIncDecTexts;
constexpr auto& kIncDecKeeps = DateTimeConfiguration::kIncDecKeeps;
constexpr auto& kPartNames = DateTimeConfiguration::kIncDecPartNames;

QDateTime nowWallClock()
{
    return WallClock::fromMoment(QDateTime::currentDateTime());
}

bool flag(const std::optional<bool>& value)
{
    return value.value_or(false);
}

} // namespace

const QString DatePanelModel::kFutureDateWarning
    = QStringLiteral("* Warning: You are trying to enter a future date. Please check.");
const QString DatePanelModel::kNonExistingDateError = QStringLiteral("* This date does not exist. Please check.");

DatePanelModel::DatePanelModel()
{
    reset();
}

void DatePanelModel::reset()
{
    option = DateTimeConfiguration::KeepOriginal;
    keepDay = keepMonth = keepYear = keepTime = false;
    keepIncDec.fill(false);
    chosenDate = nowWallClock();
    chosenDate.setTime(QTime(chosenDate.time().hour(), chosenDate.time().minute(), chosenDate.time().second()));
    updateDay = QStringLiteral("1");
    updateMonth = QStringLiteral("1");
    updateYear = QString::number(kFirstYear);
    updateTime = QTime(0, 0, 0);
    incDec.fill(QStringLiteral("1"));
}

void DatePanelModel::loadFrom(const DateTimeConfiguration& config)
{
    reset();
    option = config.option();
    keepDay = flag(config.isUpdateDayKeepOriginal);
    keepMonth = flag(config.isUpdateMonthKeepOriginal);
    keepYear = flag(config.isUpdateYearKeepOriginal);
    keepTime = flag(config.isUpdateTimeKeepOriginal);
    for (int i = 0; i < kIncDecPartCount; ++i) {
        keepIncDec[i] = flag(config.*kIncDecKeeps[i]);
        if (const auto& text = config.*kIncDecTexts[i])
            incDec[i] = QString::number(Numbers::intValue(*text));
    }
    if (config.stringSelectedDate) {
        if (auto date = DatePattern(kRecordPattern).read(*config.stringSelectedDate))
            chosenDate = *date;
    }
    if (config.stringUpdateDay)
        updateDay = *config.stringUpdateDay;
    if (config.stringUpdateMonth)
        updateMonth = *config.stringUpdateMonth;
    if (config.stringUpdateYear)
        updateYear = *config.stringUpdateYear;
    if (config.stringUpdateTime) {
        const QStringList parts = config.stringUpdateTime->split(u':');
        const auto part = [&](int i) { return i < parts.size() ? Numbers::intValue(parts[i]) : 0; };
        const QTime time(part(0), part(1), part(2));
        if (time.isValid())
            updateTime = time;
    }
}

void DatePanelModel::writeTo(DateTimeConfiguration& config) const
{
    config.tagConfigureOption = option;
    config.isUpdateDayKeepOriginal = keepDay;
    config.isUpdateMonthKeepOriginal = keepMonth;
    config.isUpdateYearKeepOriginal = keepYear;
    config.isUpdateTimeKeepOriginal = keepTime;
    for (int i = 0; i < kIncDecPartCount; ++i) {
        config.*kIncDecKeeps[i] = keepIncDec[i];
        config.*kIncDecTexts[i] = QString::number(Numbers::intValue(incDec[i]));
    }
    config.stringSelectedDate = DatePattern(kRecordPattern).print(chosenDate);
    config.stringUpdateDay = QString::number(Numbers::intValue(updateDay));
    config.stringUpdateMonth = QString::number(Numbers::intValue(updateMonth));
    config.stringUpdateYear = QString::number(Numbers::intValue(updateYear));
    config.stringUpdateTime = DatePattern(kTimePattern).print(WallClock::make(QDate(2000, 1, 1), updateTime));
}

QString DatePanelModel::summaryText(const DateTimeConfiguration& config)
{
    return config.summaryText();
}

QString DatePanelModel::futureDateWarning(const DateTimeConfiguration& config, const QDateTime& now)
{
    if (config.option() != DateTimeConfiguration::ChosenDate || !config.stringSelectedDate)
        return QString();
    const auto chosen = DatePattern(kRecordPattern).read(*config.stringSelectedDate);
    return chosen && *chosen > now ? kFutureDateWarning : QString();
}

QString DatePanelModel::futureDateWarning(const DateTimeConfiguration& config)
{
    return futureDateWarning(config, nowWallClock());
}

QString DatePanelModel::nonExistingDateError(const DateTimeConfiguration& config)
{
    if (config.option() != DateTimeConfiguration::UpdateDayMonthYearTime)
        return QString();
    if (flag(config.isUpdateDayKeepOriginal) || flag(config.isUpdateMonthKeepOriginal)
        || flag(config.isUpdateYearKeepOriginal))
        return QString();
    const auto number = [](const std::optional<QString>& text) { return Numbers::intValue(text.value_or(QString())); };
    const bool exists
        = dateExists(number(config.stringUpdateYear), number(config.stringUpdateMonth), number(config.stringUpdateDay));
    return exists ? QString() : kNonExistingDateError;
}

bool DatePanelModel::dateExists(int year, int month, int day)
{
    return year >= 1 && QDate::isValid(year, month, day);
}

QStringList DatePanelModel::yearsList(QDate today)
{
    QStringList years;
    for (int year = kFirstYear; year <= today.year(); ++year)
        years << QString::number(year);
    return years;
}

QStringList DatePanelModel::daysList()
{
    QStringList days;
    for (int day = 1; day <= 31; ++day)
        days << QString::number(day);
    return days;
}

QStringList DatePanelModel::monthsList()
{
    QStringList months;
    for (int month = 1; month <= 12; ++month)
        months << QString::number(month);
    return months;
}

IncDecRange DatePanelModel::incDecRange(IncDecPart part)
{
    // Wide enough for any real correction (a camera a century off, a clock set a
    // day wrong in seconds), narrow enough that no shift leaves the calendar.
    switch (part) {
    case IncDecPart::Day:
        return { -36500, 36500 };
    case IncDecPart::Month:
        return { -1200, 1200 };
    case IncDecPart::Year:
        return { -100, 100 };
    case IncDecPart::Hour:
        return { -876000, 876000 };
    case IncDecPart::Minute:
    case IncDecPart::Second:
        break;
    }
    return { -999999, 999999 };
}

QString DatePanelModel::incDecFieldName(IncDecPart part)
{
    return QStringLiteral("txtIncDec") + QString::fromLatin1(kPartNames[static_cast<int>(part)]);
}

QString DatePanelModel::incDecStepperName(IncDecPart part)
{
    return QStringLiteral("stepperIncDec") + QString::fromLatin1(kPartNames[static_cast<int>(part)]);
}

QString DatePanelModel::warningLabelName(DateSetting setting)
{
    switch (setting) {
    case DateSetting::OriginalDate:
        return QStringLiteral("errorOrgDate");
    case DateSetting::CreationDate:
        return QStringLiteral("errorCreationDate");
    case DateSetting::ModifyDate:
        return QStringLiteral("errorModifyDate");
    case DateSetting::XMPCreationDate:
        return QStringLiteral("errorXmpCreationDate");
    case DateSetting::XMPModifyDate:
        return QStringLiteral("errorXmpModifyDate");
    case DateSetting::PhotoshopCreationDate:
        break;
    }
    return QStringLiteral("errorPhotoshopDate");
}

std::optional<DateSetting> DatePanelModel::dateSettingOfField(MetadataField field)
{
    for (const DateSettingInfo& info : kDateSettings) {
        if (info.field == field)
            return info.setting;
    }
    return std::nullopt;
}
