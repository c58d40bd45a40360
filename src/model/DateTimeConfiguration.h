#pragma once

#include <QString>
#include <array>
#include <memory>
#include <optional>

class KeyedEncoder;
class KeyedDecoder;

// How one of the six adjustable date fields is changed when a batch is written:
// kept, emptied, replaced by a chosen date, given fixed parts, or shifted.
// The object only holds settings; the date engine applies them.
//
// Every value may be absent (an archive without its key, or a caller that stores
// nothing). Readers treat an absent mode as 0, an absent flag as false, an absent
// number text as 0 and an absent chosen date as no value. Values are kept as text
// exactly as the date panel stored them.
//
// Records share their settings by reference (std::shared_ptr), so a change made
// through one record is seen through every record that holds the same setting.
class DateTimeConfiguration {
public:
    // The modes of tagConfigureOption.
    enum DateConfigureOption : int {
        KeepOriginal = 0,
        EmptyValue = 1,
        ChosenDate = 2,
        UpdateDayMonthYearTime = 3,
        IncDecDate = 4,
        IncDecTime = 5,
    };

    // A new setting with the defaults: keep the original, no part kept, day 1,
    // month 1, year 1905, time 00:00:00, every shift "1", and the current local
    // date and time (to the second) as the chosen date.
    DateTimeConfiguration();

    std::optional<int> tagConfigureOption;
    std::optional<bool> isUpdateDayKeepOriginal;
    std::optional<bool> isUpdateMonthKeepOriginal;
    std::optional<bool> isUpdateYearKeepOriginal;
    std::optional<bool> isUpdateTimeKeepOriginal;
    std::optional<bool> isIncDecDayKeepOriginal;
    std::optional<bool> isIncDecMonthKeepOriginal;
    std::optional<bool> isIncDecYearKeepOriginal;
    std::optional<bool> isIncDecHourKeepOriginal;
    std::optional<bool> isIncDecMinuteKeepOriginal;
    std::optional<bool> isIncDecSecondKeepOriginal;
    std::optional<QString> stringSelectedDate;
    std::optional<QString> stringUpdateDay;
    std::optional<QString> stringUpdateMonth;
    std::optional<QString> stringUpdateYear;
    std::optional<QString> stringUpdateTime;
    std::optional<QString> stringIncDecDay;
    std::optional<QString> stringIncDecMonth;
    std::optional<QString> stringIncDecYear;
    std::optional<QString> stringIncDecHour;
    std::optional<QString> stringIncDecMinute;
    std::optional<QString> stringIncDecSecond;

    // The mode with an absent value read as "keep original".
    int option() const { return tagConfigureOption.value_or(KeepOriginal); }

    // The text a date field shows for this setting: "Keep original", "Empty date",
    // the chosen date in the record's form "yyyy:MM:dd HH:mm:ss", or what is set or
    // shifted, e.g. "Set day 5, year 2020" and "Shift date by +1 day, −2 months". A
    // mode whose every part is kept reads "Keep original", as the engine then keeps
    // the photo's date. The texts hold no "T" and no "-", so the form's date display
    // shows them as they are. Only a chosen date reads as a date: the writer knows
    // every other summary as a description of the setting, never a value to write.
    QString summaryText() const;
    static const QString kKeepOriginalSummary; // "Keep original"
    static const QString kEmptyDateSummary; // "Empty date"

    // The six parts of a shift (day, month, year, hour, minute, second): their
    // texts, their keep flags and their names.
    static const std::array<std::optional<QString> DateTimeConfiguration::*, 6> kIncDecTexts;
    static const std::array<std::optional<bool> DateTimeConfiguration::*, 6> kIncDecKeeps;
    static const std::array<const char*, 6> kIncDecPartNames;

    // Keyed archive under the class name "DateTimeConfiguration". Reading sets no
    // defaults: a missing key, or one holding a value of the wrong kind, leaves
    // its property absent.
    static const QString kClassName;
    void encodeWithCoder(KeyedEncoder& coder) const;
    static std::shared_ptr<DateTimeConfiguration> initWithCoder(const KeyedDecoder& coder);

    bool operator==(const DateTimeConfiguration&) const = default;

    // The keys of the archive, which are also the property names, in order.
    struct FlagProperty {
        const char* key;
        std::optional<bool> DateTimeConfiguration::*member;
    };
    struct TextProperty {
        const char* key;
        std::optional<QString> DateTimeConfiguration::*member;
    };
    static const std::array<FlagProperty, 10> kFlagProperties;
    static const std::array<TextProperty, 11> kTextProperties;

private:
    struct NoDefaults { };
    explicit DateTimeConfiguration(NoDefaults) { }
    void commmonInit();
};
