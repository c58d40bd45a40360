#pragma once

#include "model/DateTimeConfiguration.h"
#include "model/MetadataFields.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTime>
#include <array>

// The six numbers a date shift is made of.
enum class IncDecPart : int { Day = 0, Month, Year, Hour, Minute, Second };
inline constexpr int kIncDecPartCount = 6;

struct IncDecRange {
    int minimum;
    int maximum;
};

// The date panel: the controls that edit one of the six date settings, as values.
// The panel loads a setting, the user changes the controls, and writeTo() builds
// the setting back; summaryText() is what the date field then shows.
class DatePanelModel {
public:
    static constexpr int kFirstYear = 1905;
    static const QString kFutureDateWarning; // "* Warning: You are trying to enter a future date. Please check."
    static const QString kNonExistingDateError; // "* This date does not exist. Please check."
    static constexpr const QString& kKeepOriginalSummary = DateTimeConfiguration::kKeepOriginalSummary;
    static constexpr const QString& kEmptyDateSummary = DateTimeConfiguration::kEmptyDateSummary;

    // The defaults of a freshly set-up panel: keep the original, day 1, month 1,
    // the first year of the list, midnight, every shift 1, and now as the chosen date.
    DatePanelModel();

    int option = DateTimeConfiguration::KeepOriginal;
    // Option 3: keep the photo's own day, month, year or time.
    bool keepDay = false;
    bool keepMonth = false;
    bool keepYear = false;
    bool keepTime = false;
    // Options 4 and 5: leave that part unshifted.
    std::array<bool, kIncDecPartCount> keepIncDec {};
    // Option 2: the chosen wall-clock date and time.
    QDateTime chosenDate;
    // Option 3: the texts of the day, month and year fields and the time picker.
    QString updateDay;
    QString updateMonth;
    QString updateYear;
    QTime updateTime;
    // Options 4 and 5: the signed shifts as the fields show them.
    std::array<QString, kIncDecPartCount> incDec;

    // resetDateTimeConfigView: the defaults above, with today's date and time.
    void reset();
    // setupControllsOnDatePickerView: the controls as the setting says; an absent
    // value shows the panel's default.
    void loadFrom(const DateTimeConfiguration& config);
    // The setting the controls describe.
    void writeTo(DateTimeConfiguration& config) const;

    // The text the date field shows for a setting (DateTimeConfiguration::summaryText).
    static QString summaryText(const DateTimeConfiguration& config);

    // The future-date warning for a chosen date later than now (a wall-clock time);
    // "" otherwise.
    static QString futureDateWarning(const DateTimeConfiguration& config, const QDateTime& nowWallClock);
    static QString futureDateWarning(const DateTimeConfiguration& config);
    // The error for a set day, month and year (none of them kept) that name no real
    // date, such as 31 February; "" otherwise.
    static QString nonExistingDateError(const DateTimeConfiguration& config);
    static bool dateExists(int year, int month, int day);

    // loadYearsArrayValues: "1905" up to the year of today, ascending.
    static QStringList yearsList(QDate today = QDate::currentDate());
    static QStringList daysList(); // "1" to "31"
    static QStringList monthsList(); // "1" to "12"

    // The range each shift field and its stepper keep to.
    static IncDecRange incDecRange(IncDecPart part);
    // "txtIncDecDay" ... and "stepperIncDecDay" ...
    static QString incDecFieldName(IncDecPart part);
    static QString incDecStepperName(IncDecPart part);
    // The warning label of each date field: "errorOrgDate" ...
    static QString warningLabelName(DateSetting setting);
    // The date setting that adjusts a field, if the field is one of the six dates.
    static std::optional<DateSetting> dateSettingOfField(MetadataField field);
};
