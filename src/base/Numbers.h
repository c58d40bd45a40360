#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <optional>

// Numbers in metadata and in stored settings are locale-free: the user's locale may
// write 1,5 where metadata always writes 1.5. Every number that is stored, written
// into a photo or read back from a text goes through these functions, never through
// QLocale::system(), strtod, printf("%f") or std::to_string.
namespace Numbers {

// ---- Reading: the "leading number" of a text ----
//
// All readers share one grammar. Leading whitespace and newlines (Unicode separators
// and U+0009 to U+000D, U+0085) are skipped; an optional "+" or "-" is taken; then
// the longest numeric prefix is read and the rest of the text is ignored. A text
// without a numeric prefix, and an empty text, read as 0. Digits are ASCII only.
//
//   intValue(" 5 days") == 5     intValue("3.9") == 3     intValue("-2") == -2
//   intValue("+4") == 4          intValue("abc") == 0     intValue("1e3") == 1
//   doubleValue("3.9kg") == 3.9  doubleValue("1e3") == 1000   doubleValue(".5") == 0.5
//   doubleValue("1,5") == 1      (a comma is never a decimal separator)

// The leading integer (digits only, no fraction), clamped to the 32-bit range:
// a value beyond it gives INT_MAX or INT_MIN.
int intValue(QStringView text);

// The same, clamped to the 64-bit range.
qint64 longLongValue(QStringView text);

// The leading decimal number: digits with an optional "." and fraction, then an
// optional exponent ("e" or "E", optional sign, digits) when digits follow it.
// "inf", "nan" and hexadecimal forms are not numbers here (they read as 0).
// A value too large for a double gives +/-infinity; one too small gives 0.
double doubleValue(QStringView text);

// The number when the whole text, apart from blanks around it, is one decimal
// number in the grammar of doubleValue() and finite; else no value. For texts that
// must be a number before anything is stored ("2.8" yes, "2.8 mm", "" and "abc" no).
std::optional<double> exactDouble(QStringView text);

// ---- Writing: always with the C locale ----

// printf-style formatting with the C locale (decimal point "."), through
// QString::asprintf. "%s" takes UTF-8 bytes; pass a QString with qUtf8Printable().
QString format(const char* printfFormat, ...) Q_ATTRIBUTE_FORMAT_PRINTF(1, 2);

// A fixed-point text with the given number of decimals, like "%.*f": fixed(1.5, 2) == "1.50".
QString fixed(double value, int decimals);

// The shortest text that reads back as the same double: 0.1 gives "0.1", 2.0 gives "2",
// 1e21 gives "1e+21".
QString shortest(double value);

// ---- Exif rationals, as exiv2's rational values read them ----

// A fraction "n/d" equal to the value to at least six decimals, in lowest terms, with
// both parts within 32 bits for values up to 2e9 ("0.004" gives "1/250").
QString rationalText(double value);

// Degrees, minutes and seconds (one to three parts) as signed decimal degrees. The
// parts are magnitudes; a position stored with signed rationals carries its sign on
// one of them ("-33/1 52/1 7/1", or "0/1 -30/1 0/1" south of the equator by less than
// a degree), and that sign applies to the whole. No value for no parts, more than
// three, or a part that is not finite.
std::optional<double> decimalDegrees(const QList<double>& parts);

// Decimal degrees as three rationals "d/1 m/1 s/den" of the magnitude, the seconds to
// a ten-thousandth; the sign is left to the hemisphere reference.
QString degreesText(double value);

} // namespace Numbers
