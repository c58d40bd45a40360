#pragma once

#include <QDateTime>
#include <QImage>
#include <QSize>
#include <QString>
#include <QVariantMap>

#include <memory>

class DateTimeConfiguration;

// The shared utility object. It holds no state: every operation works on its
// arguments alone, so one instance serves every thread. Each group of operations
// lives in its own source file (named beside each section) so that dates, texts
// and images can grow without touching one another.
class Utils {
public:
    static Utils& sharedUtils();

    // ---- Dates: the date-adjustment engine and date texts (UtilsDates.cpp) ----
    // Date texts are read and printed with DatePattern (Helper/DatePattern.h); a text
    // without an offset is a wall-clock time (see WallClock there).

    // The date text to write for one date field: the setting applied to the field's
    // text as first read. Mode 0 answers the input as it came, 1 "", 2 the chosen
    // date, 3 the input with day, month, year and time set, 4 and 5 the input shifted
    // by days, months, years or by hours, minutes, seconds, in "yyyy:MM:dd HH:mm:ss"
    // (an ISO input with "T" and "-" is normalised first). Modes 3 to 5 answer "" for
    // an empty input, and the input unchanged when it does not read as a date or the
    // result would leave the years 1 to 9999: an empty answer would erase the tag.
    QString getUpdatedOutputDateTimeStringWithConfig(
        const DateTimeConfiguration& config, const QString& inputDateString) const;

    // The date text re-printed from one pattern into another; "" for an empty text or
    // one that reads neither with the pattern nor with the fallbacks for texts with "-"
    // (a final "Z" dropped, an offset "+0200"/"+02:00", milliseconds) or ":".
    QString convertedDate(const QString& date, const QString& inFormat, const QString& convertedFormat) const;

    // The date with the non-zero day, month and year set, and hour, minute and second
    // set (0 included) when isUpdateTime is true. Values out of range roll over into
    // the next field (31 February is 3 March; month 13 is January of the next year).
    // The text comes back unchanged when it does not read or the result leaves the
    // years 1 to 9999.
    QString dateByUpdatingDay(int day, int month, int year, int hour, int minute, int second, const QString& inDate,
        const QString& dateFormat, bool isUpdateTime) const;

    // The date shifted by signed offsets: years, then months (a day past the end of
    // the new month becomes its last day), then days, then hours, minutes and seconds
    // on the clock. Unchanged when the text does not read or the result leaves the
    // years 1 to 9999.
    QString dateByIncOrDecDay(int day, int month, int year, int hour, int minute, int second, const QString& inDate,
        const QString& dateFormat) const;

    // The wall-clock time a text names in a pattern; an invalid QDateTime when it does not read.
    static QDateTime getDateFromString(const QString& text, const QString& format);
    // A date (a moment or a wall-clock time) printed in a pattern.
    static QString getDateStringFromDate(const QDateTime& date, const QString& format);
    // Whole seconds from the first date to the later one, the fraction cut toward zero.
    static qint64 getDurationBetweenDate(const QDateTime& date, const QDateTime& afterDate);

    // ---- Thumbnails, pixel sizes, image-property dictionary (UtilsImages.cpp) ----

    // ---- Image saving and orientation (UtilsImageSaving.cpp) ----

    // ---- Texts (UtilsText.cpp) ----
    // The text helpers on single strings (trims, XML, URL, regular expressions) are in
    // Helper/SWString.h.

    // A byte count as a short size text in steps of 1000: "512 bytes", "1.53 KB",
    // "0.97 MB" (993.01 to 999.99 of a unit show as 0.97 of the next). Units end at
    // "TB". The flags are not read.
    QString unitStringFromBytes(double bytes, quint8 flags) const;

    // Elapsed seconds as "1 hour 2 minutes 5 seconds"; under an hour the text begins
    // with a blank (" 2 minutes 0 seconds", " 45 seconds"); "" for 0 or fewer.
    QString timeFormattedString(qint64 seconds) const;

    // Whether the whole text looks like an e-mail address.
    static bool validateEmail(const QString& text);

    // The local date and time as "yyyyMMddTHHmm".
    static QString getDateInFormatNEW(const QDateTime& date);

    // A flat JSON object of the map: numbers bare, everything else as JSON strings
    // (nested containers as their compact JSON text), keys in the map's order.
    static QString getJSONFromDict(const QVariantMap& dict);

    // The path itself when nothing exists there, else the first free "name (n).ext"
    // in the same folder, n = 1, 2, ...
    static QString stringToAvoidNameCollisionForPath(const QString& path);

private:
    Utils() = default;
};
