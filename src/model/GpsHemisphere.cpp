#include "model/GpsHemisphere.h"

#include "base/Numbers.h"
#include "model/MetaDataObject.h"

namespace {

QString referenceLetter(const QString& reference)
{
    return reference.trimmed().toUpper();
}

} // namespace

namespace GpsHemisphere {

std::optional<double> number(const QString& text)
{
    QString plain = text.trimmed();
    plain.replace(u',', u'.');
    return Numbers::exactDouble(plain);
}

bool isNegative(const QString& text)
{
    const std::optional<double> value = number(text);
    return value && *value < 0;
}

bool contradicts(const GpsAxis& axis, const QString& coordinate, const QString& reference)
{
    return isNegative(coordinate) && referenceLetter(reference) == QChar::fromLatin1(axis.positive);
}

bool contradicts(const MetaDataObject& record, const GpsAxis& axis)
{
    return contradicts(axis, record.field(axis.coordinate), record.field(axis.reference));
}

QList<MetadataField> resolveSigns(MetaDataObject& record)
{
    QList<MetadataField> changed;
    for (const GpsAxis& axis : kGpsAxes) {
        const QString& text = record.field(axis.coordinate);
        if (!isNegative(text) || contradicts(record, axis))
            continue;
        QString magnitude = text.trimmed();
        magnitude.remove(0, 1); // the minus sign
        record.setField(axis.coordinate, magnitude);
        changed.append(axis.coordinate);
        const QString negative(QChar::fromLatin1(axis.negative));
        // No reference, "Leave Blank" or a text that names no hemisphere.
        if (referenceLetter(record.field(axis.reference)) != negative) {
            record.setField(axis.reference, negative);
            record.setUpdated(axis.reference, record.isUpdated(axis.reference) || record.isUpdated(axis.coordinate));
            changed.append(axis.reference);
        }
    }
    return changed;
}

QString contradictionMessage(const GpsAxis& axis)
{
    return QStringLiteral("* A negative %1 cannot be %2: remove the minus or choose %3.")
        .arg(QLatin1StringView(axis.name), QLatin1StringView(axis.positiveName), QLatin1StringView(axis.negativeName));
}

const GpsAxis* axisOfCoordinate(MetadataField field)
{
    for (const GpsAxis& axis : kGpsAxes) {
        if (axis.coordinate == field)
            return &axis;
    }
    return nullptr;
}

const GpsAxis* axisOfReference(MetadataField field)
{
    for (const GpsAxis& axis : kGpsAxes) {
        if (axis.reference == field)
            return &axis;
    }
    return nullptr;
}

} // namespace GpsHemisphere
