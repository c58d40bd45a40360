#pragma once

#include "platform/ExifOrientation.h"

#include <QDateTime>
#include <QImage>
#include <QSize>
#include <QString>
#include <QVariantMap>
#include <memory>
#include <optional>

class DateTimeConfiguration;

// The shared utility object. It holds no state: every operation works on its
// arguments alone, so one instance serves every thread. Each group of operations
// lives in its own source file (named beside each section) so that dates, texts
// and images can grow without touching one another.
class Utils {
public:
    static Utils& sharedUtils();

    // ---- Dates: the date-adjustment engine and date texts (UtilsDates.cpp) ----
    // Date texts are read and printed with DatePattern (base/DatePattern.h); a text
    // without an offset is a wall-clock time (see WallClock there).

    // Which forms a date text may take: a date of an Exif tag is in the record's form
    // "yyyy:MM:dd HH:mm:ss" (which an input with "T" and "-" in place of the blank
    // and colons is first normalised to); one of an XMP tag also in any ISO 8601 form
    // of base/IsoDate.h, from a year alone to a time with fraction and zone.
    enum class DateForms { Exif, ExifAndIso };

    // The date text to write for one date field: the setting applied to the field's
    // text as first read. Mode 0 answers the input as it came, 1 "", 2 the chosen
    // date, 3 the input with day, month, year and time set, 4 and 5 the input shifted
    // by days, months, years or by hours, minutes, seconds. A date in the record's
    // form (after normalising) answers in that form. A date that only reads in ISO
    // form answers in its own form: its precision and its zone as written, the clock
    // moved on that zone (a part the date lacks is neither set nor shifted); mode 2
    // puts the chosen date and time there too. Modes 3 to 5 answer "" for an empty
    // input. No value when the setting must read the date and cannot (modes 3 to 5:
    // a text in no allowed form) or the result would leave the years 1 to 9999.
    std::optional<QString> updatedDateText(
        const DateTimeConfiguration& config, const QString& inputDateString, DateForms forms) const;

    // updatedDateText in any form, with the input unchanged where the setting cannot
    // be applied: an empty answer would erase the tag.
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
    // A thumbnail fitted to the requested width with its aspect kept, upright, on
    // white. Null for an empty path, a zero size, or a file with no readable image:
    // the caller then shows the file's type icon (FileTypeIcon), drawn on the main
    // thread, since the desktop's icon theme serves that thread only.
    QImage getThumbnailImageAtFilePath(const QString& path, QSizeF size) const;
    // The upright image decoded at a size scaled to minWidth (never the full size
    // unless that is what was asked); null when nothing can be decoded.
    QImage getImageFromFile(const QString& path, float minWidth, float minHeight) const;
    // The pixel size as the photo is shown (turned for orientations 5 to 8); EPS and
    // PICT files take their size in points. 0 x 0 when nothing can be read.
    QSizeF getImageOriginalSizeAtFilePathUrl(const QString& path) const;
    // The image-property dictionary of the file's first image; empty when nothing can be read.
    QVariantMap exifForFile(const QString& path) const;
    QImage addBackgroundToImage(const QImage& image, const QColor& color) const;
    // The image stretched to the new size; itself when invalid or already that size.
    QImage scaleImage(const QImage& image, QSizeF newSize) const;
    // Aspect-fit arithmetic in single precision.
    QSizeF aspectFitSizeWithMaxSize(QSizeF size, double scaledWidth) const;
    QSizeF aspectFitSizeWithMaxHeight(QSizeF size, double scaledHeight) const;
    QSizeF getAspectFitModeSizeWithsize(QSizeF size, QSizeF toSize) const;
    // Fills the box and crops the overflow: mode 0 keeps the top, 2 the bottom, any
    // other the centre.
    QImage getAspectFillImageFormImage(const QImage& image, QSizeF size, int cropMode) const;
    QImage cropImage(const QImage& image, QRectF cropRect) const;
    // Null for a width or height of 0 or less.
    QImage resizeImage(const QImage& image, int width, int height) const;
    static QRectF centerRect(QRectF rect, QRectF inRect);
    // Exif orientations 5 to 8 turn the picture a quarter: its width and height change places.
    static bool isQuarterTurn(int orientation) { return ExifOrientation::isQuarterTurn(orientation); }

    // ---- Image saving and orientation (UtilsImageSaving.cpp) ----
    // Output formats of saveImageInSelectedFormat: 0 TIFF, 1 BMP, 2 GIF, 3 and 4 JPEG,
    // 5 PNG, 6 JPEG 2000 (lossless). The pixels are written with the quality (0 to 1, for
    // JPEG) and the dictionary's groups as metadata, through a temporary file that replaces
    // the target only when complete. A BMP keeps only the pixel density of the properties
    // and a GIF none of them: those formats have no place for the rest.
    bool saveImageInSelectedFormat(int format, const QString& filePath, const QImage& image,
        const QVariantMap& exifDict, float qualityFactor, QString* errorMessage = nullptr) const;
    // Rewrites the file in its own format with the image and the dictionary; a path that
    // holds no image gets a JPEG beside it named with ".jpeg", unless a file of that name
    // exists already. False when nothing was written.
    bool updateImageExifDataAtPath(const QString& path, const QVariantMap& exifDict, float qualityFactor,
        const QImage& image, QString* errorMessage = nullptr) const;
    // The options with the dictionary's property groups and image keys copied in.
    QVariantMap setImageExifInfo(QVariantMap options, const QVariantMap& exifDict) const;
    QVariantMap getImageeExifDict(const QString& path) const { return exifForFile(path); }
    // The file's image turned upright by its Exif orientation and stretched to the size.
    QImage fixOrientation(const QString& imageUrl, QSizeF size) const;
    // The image turned upright from Exif orientation 1 to 8; any other value gives it back.
    static QImage RotateWithEXIF(const QImage& image, int orientation);
    QImage getImageWithFixedOrientionFromUrl(const QString& path) const;
    QImage convertGraycolorModelToRgb(const QImage& image) const;
    QImage getTransparentImageFromImage(const QImage& image, float factor) const;

    // ---- Texts (UtilsText.cpp) ----
    // The text helpers on single strings (trims, XML, URL, regular expressions) are in
    // base/SWString.h.

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
