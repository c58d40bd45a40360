#include "services/ExifWriter.h"

#include "base/Logging.h"
#include "base/Numbers.h"
#include "platform/Exiv2Adapter.h"

#include <cmath>
#include <exiv2/exiv2.hpp>

namespace {

QString decimalText(double value)
{
    return Numbers::fixed(value, 6);
}

// The numbers of a formatter list: rationals as they are, texts read as numbers.
QList<double> numbersOf(const MetadataValue& value)
{
    if (value.isNumbers())
        return value.numbers();
    QList<double> numbers;
    for (const QString& text : value.texts())
        numbers.append(Numbers::doubleValue(text));
    return numbers;
}

bool containsAsciiLetter(const QString& text)
{
    for (QChar c : text) {
        if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))
            return true;
    }
    return false;
}

} // namespace

ExifWriter& ExifWriter::sharedInstance()
{
    static ExifWriter instance;
    return instance;
}

MetadataValue ExifWriter::extractGPSDataStringFromString(const MetadataValue& value) const
{
    if (!value.isList())
        return value;
    // One to three parts are degrees, minutes, seconds; anything else is no
    // coordinate, and a zero denominator gives no position at all rather than a
    // wrong one. The text is the magnitude: the hemisphere is the reference's.
    const std::optional<double> degrees = Numbers::decimalDegrees(numbersOf(value));
    if (!degrees)
        return MetadataValue(QStringLiteral(""));
    return MetadataValue(decimalText(std::abs(*degrees)));
}

MetadataValue ExifWriter::extractStringFromArrVal(const MetadataValue& value) const
{
    if (!value.isList())
        return value;
    const QList<double> parts = numbersOf(value);
    if (parts.isEmpty() || !std::isfinite(parts.first()))
        return MetadataValue(QStringLiteral(""));
    return MetadataValue(decimalText(parts.first()));
}

double ExifWriter::getDegreesStringToDecimal(const QString& text) const
{
    const QStringList byDegree = text.split(u'°');
    if (byDegree.size() < 2)
        return 0.0;
    const QStringList byMinute = byDegree[1].split(u'\'');
    if (byMinute.size() < 2)
        return 0.0;
    const QStringList bySecond = byMinute[1].split(u'"');
    if (bySecond.size() < 2)
        return 0.0;
    double value = Numbers::doubleValue(byDegree[0]) + Numbers::doubleValue(byMinute[0]) / 60.0
        + Numbers::doubleValue(bySecond[0]) / 3600.0;
    const QString direction = bySecond[1].toUpper();
    if (direction == u"W" || direction == u"S")
        value = -value;
    return value;
}

QString ExifWriter::getformattedLatnLongFromDoubleValue(double value) const
{
    if (!std::isfinite(value))
        return QStringLiteral("0° 0' 0\"");
    const auto total = static_cast<long long>(std::llround(std::fabs(value) * 3600.0));
    return QString::number(total / 3600) + QStringLiteral("° ") + QString::number((total % 3600) / 60)
        + QStringLiteral("' ") + QString::number(total % 60) + QLatin1Char('"');
}

bool ExifWriter::isPrismKeyExist(
    const Exiv2::XmpData& xmpData, const FLTImageMetadata& formatter, const QString& key) const
{
    const std::string wanted = key.toStdString();
    return Exiv2Adapter::check(QStringLiteral("look up the XMP key"), key, [&] {
        for (const Exiv2::Xmpdatum& datum : xmpData) {
            const std::string datumKey = datum.key();
            qCDebug(lcMetadata).noquote()
                << QString::fromStdString(datumKey) << "==" << formatter.valueForXmpMetadata(datum).valueText();
            if (datumKey == wanted)
                return true;
        }
        return false;
    });
}

bool ExifWriter::isStringContansNumericValuesOnly(const QString& text)
{
    QString rest = text.trimmed();
    rest.remove(u'/');
    for (QChar c : rest) {
        if (!c.isDigit())
            return false;
    }
    return true;
}

QString ExifWriter::exifFractionText(const QString& text)
{
    if (!text.contains(u'/'))
        return text;
    const QStringList parts = text.split(u'/');
    const double numerator = Numbers::doubleValue(parts[0]);
    const double denominator = Numbers::doubleValue(parts[1]);
    if (parts.size() == 2 && numerator > 0 && denominator > 0 && !containsAsciiLetter(parts[0]))
        return decimalText(numerator / denominator);
    if (denominator > 0 && isStringContansNumericValuesOnly(text))
        return decimalText(numerator);
    return text;
}

QString ExifWriter::xmpCoordinateText(const QString& text)
{
    if (!text.contains(u','))
        return text;
    // The direction letter closes the text; without one the text is all numbers.
    QString numbers = text;
    QString direction;
    if (text.back().isLetter()) {
        direction = text.back();
        numbers.chop(1);
    }
    const QStringList parts = numbers.split(u',');
    const QString seconds = parts.size() > 2 ? parts[2] : QStringLiteral("0");
    const QString degreesText = parts[0] + u'°' + parts[1] + u'\'' + seconds + u'"' + direction;
    return decimalText(sharedInstance().getDegreesStringToDecimal(degreesText));
}
