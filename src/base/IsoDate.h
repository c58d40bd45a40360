#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <optional>

// A date in ISO 8601 as XMP holds its dates, at any precision XMP allows:
//   "2019"  "2019-05"  "2019-05-04"  "2019-05-04T10:11"  "2019-05-04T10:11:12"
//   "2019-05-04T10:11:12.5" (any number of fraction digits)
// where a text with a time may end in its zone: "Z", "+02:00" or "-0800".
//
// It keeps how its text was written: the precision, the fraction's digits and the
// zone as they stand. A date changed on its own clock is printed back in the same
// form, so that an hour added to "2015-07-16T15:38:54.5-07:00" gives
// "2015-07-16T16:38:54.5-07:00": the zone is not converted, only the clock moves.
class IsoDate {
public:
    enum class Precision { Year, Month, Day, Minute, Second };

    // The date the whole text names, or no value when the text is in none of the
    // forms above or names a date, time or zone that does not exist (30 February,
    // 24:00, "+1:00", year 0).
    static std::optional<IsoDate> read(QStringView text);

    Precision precision() const { return m_precision; }
    bool hasDay() const { return m_precision >= Precision::Day; }
    bool hasMonth() const { return m_precision >= Precision::Month; }
    bool hasTime() const { return m_precision >= Precision::Minute; }
    bool hasSeconds() const { return m_precision >= Precision::Second; }

    // The fields as a wall-clock time (WallClock convention): the parts the text
    // lacks are January, the first and 00:00:00; the fraction is not part of it.
    const QDateTime& wallClock() const { return m_wallClock; }

    // Another wall-clock time in this date's form: its precision, its zone as
    // written, and its fraction's digits, or as many zeros when fractionZeroed (a
    // time that was set rather than moved). "" outside the years 1 to 9999.
    QString print(const QDateTime& wallClock, bool fractionZeroed = false) const;

private:
    Precision m_precision = Precision::Year;
    QDateTime m_wallClock;
    QString m_fraction; // the digits after ".", "" for none
    QString m_zone; // "", "Z", "+02:00", "-0800"
};
