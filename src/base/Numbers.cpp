#include "base/Numbers.h"

#include "base/SWString.h"

#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <limits>
#include <numeric>
#include <string>

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Position after the leading whitespace and newlines.
qsizetype skipBlanks(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && SWString::isWhitespaceOrNewline(text[i].unicode()))
        ++i;
    return i;
}

// The leading integer as a sign and a magnitude that saturates at 2^63.
qint64 leadingInteger(QStringView text, qint64 minimum, qint64 maximum)
{
    qsizetype i = skipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    constexpr quint64 cap = quint64(1) << 63;
    quint64 magnitude = 0;
    for (; i < text.size() && isAsciiDigit(text[i]); ++i) {
        // Once past 2^63 the value stays saturated, whatever digits follow.
        const quint64 digit = text[i].unicode() - u'0';
        magnitude = magnitude > (cap - digit) / 10 ? cap : magnitude * 10 + digit;
    }
    if (negative) {
        if (magnitude >= quint64(-(minimum + 1)) + 1)
            return minimum;
        return -qint64(magnitude);
    }
    if (magnitude >= quint64(maximum))
        return maximum;
    return qint64(magnitude);
}

} // namespace

namespace Numbers {

int intValue(QStringView text)
{
    return int(leadingInteger(text, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

qint64 longLongValue(QStringView text)
{
    return leadingInteger(text, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max());
}

namespace {

// The leading decimal number and the length of text it takes (0 when there is none).
double leadingDouble(QStringView text, qsizetype& consumed)
{
    consumed = 0;
    qsizetype i = skipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }

    // Collect the numeric prefix as ASCII for std::from_chars, which never looks at a locale.
    std::string ascii;
    qsizetype integerDigits = 0;
    qsizetype fractionDigits = 0;
    for (; i < text.size() && isAsciiDigit(text[i]); ++i, ++integerDigits)
        ascii.push_back(char(text[i].unicode()));
    if (i < text.size() && text[i] == u'.') {
        qsizetype j = i + 1;
        std::string fraction;
        for (; j < text.size() && isAsciiDigit(text[j]); ++j, ++fractionDigits)
            fraction.push_back(char(text[j].unicode()));
        if (integerDigits > 0 || fractionDigits > 0) {
            ascii += '.';
            ascii += fraction;
            i = j;
        }
    }
    if (integerDigits == 0 && fractionDigits == 0)
        return 0.0;
    consumed = i;

    // The exponent counts only when at least one digit follows "e" and its sign.
    qint64 exponent = 0;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        std::string exponentText = "e";
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-'))
            exponentText.push_back(char(text[j++].unicode()));
        const qsizetype firstExponentDigit = j;
        for (; j < text.size() && isAsciiDigit(text[j]); ++j)
            exponentText.push_back(char(text[j].unicode()));
        if (j > firstExponentDigit) {
            ascii += exponentText;
            exponent = longLongValue(QStringView(text).mid(i + 1, j - i - 1));
            consumed = j;
        }
    }

    double value = 0.0;
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    Q_UNUSED(end);
    if (error == std::errc::result_out_of_range) {
        // Too large or too small for a double: find the decimal magnitude of the first
        // significant digit to tell which.
        const auto firstNonZero = ascii.find_first_not_of("0.");
        qint64 magnitude = 0;
        const auto point = ascii.find('.');
        const auto integerEnd = point == std::string::npos ? std::min(ascii.find('e'), ascii.size()) : point;
        if (firstNonZero < integerEnd)
            magnitude = qint64(integerEnd - firstNonZero) - 1;
        else
            magnitude = -qint64(firstNonZero - integerEnd);
        exponent = std::clamp<qint64>(exponent, -(qint64(1) << 40), qint64(1) << 40);
        const bool overflow = magnitude + exponent > 0;
        value = overflow ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (error != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

} // namespace

double doubleValue(QStringView text)
{
    qsizetype consumed = 0;
    return leadingDouble(text, consumed);
}

std::optional<double> exactDouble(QStringView text)
{
    qsizetype consumed = 0;
    const double value = leadingDouble(text, consumed);
    if (consumed == 0 || !std::isfinite(value))
        return std::nullopt;
    for (qsizetype i = consumed; i < text.size(); ++i) {
        if (!SWString::isWhitespaceOrNewline(text[i].unicode()))
            return std::nullopt;
    }
    return value;
}

QString format(const char* printfFormat, ...)
{
    va_list arguments;
    va_start(arguments, printfFormat);
    // QString::vasprintf formats numbers with the C locale whatever the user's locale is.
    QString text = QString::vasprintf(printfFormat, arguments);
    va_end(arguments);
    return text;
}

QString fixed(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

QString shortest(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString rationalText(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("0/1");
    qint64 denominator = 1;
    while (denominator < 1000000
        && std::abs(value * double(denominator) - std::round(value * double(denominator))) > 1e-9
        && std::abs(value * double(denominator * 10)) < 2e9)
        denominator *= 10;
    qint64 numerator = std::llround(value * double(denominator));
    const qint64 divisor = std::gcd(numerator, denominator);
    if (divisor > 1) {
        numerator /= divisor;
        denominator /= divisor;
    }
    return QString::number(numerator) + u'/' + QString::number(denominator);
}

std::optional<double> decimalDegrees(const QList<double>& parts)
{
    if (parts.isEmpty() || parts.size() > 3)
        return std::nullopt;
    double magnitude = 0.0;
    double scale = 1.0;
    bool negative = false;
    for (double part : parts) {
        if (!std::isfinite(part))
            return std::nullopt;
        negative = negative || part < 0;
        magnitude += std::abs(part) / scale;
        scale *= 60.0;
    }
    return negative ? -magnitude : magnitude;
}

QString degreesText(double value)
{
    // Whole ten-thousandths of a second, split with integers so that rounding can
    // never give 60 seconds or 60 minutes.
    constexpr qint64 secondParts = 10000;
    const qint64 total = std::llround(std::abs(value) * 3600.0 * double(secondParts));
    const qint64 degrees = total / (3600 * secondParts);
    const qint64 minutes = total / (60 * secondParts) % 60;
    qint64 seconds = total % (60 * secondParts);
    qint64 denominator = secondParts;
    const qint64 divisor = std::gcd(seconds, denominator);
    if (divisor > 1) {
        seconds /= divisor;
        denominator /= divisor;
    }
    return QString::number(degrees) + QStringLiteral("/1 ") + QString::number(minutes) + QStringLiteral("/1 ")
        + QString::number(seconds) + u'/' + QString::number(denominator);
}

} // namespace Numbers
