#include "form/MapPicker.h"

#include "services/ExifWriter.h"
#include "base/Numbers.h"
#include "model/FormRecordEditor.h"
#include "model/GpsHemisphere.h"
#include "model/MetaDataObject.h"

#include <algorithm>
#include <cmath>

namespace MapPicker {

namespace {

std::optional<double> coordinate(const MetaDataObject& form, const GpsAxis& axis, double limit)
{
    const std::optional<double> value = GpsHemisphere::number(form.field(axis.coordinate));
    if (!value || std::fabs(*value) > limit)
        return std::nullopt;
    const QString reference = form.field(axis.reference).trimmed().toUpper();
    const bool negative = *value < 0 || reference == QChar::fromLatin1(axis.negative);
    return negative ? -std::fabs(*value) : std::fabs(*value);
}

} // namespace

std::optional<PickedPosition> formPosition(const MetaDataObject& form)
{
    const std::optional<double> latitude = coordinate(form, kGpsAxes[0], 90);
    const std::optional<double> longitude = coordinate(form, kGpsAxes[1], 180);
    if (!latitude || !longitude)
        return std::nullopt;
    return PickedPosition { *latitude, *longitude };
}

Opening opening(const MetaDataObject& form, bool online)
{
    Opening made;
    if (const std::optional<PickedPosition> position = formPosition(form)) {
        made.pin = position;
        made.center = *position;
        made.spanDegrees = kPositionSpan;
    } else {
        made.asksUserPosition = online;
    }
    return made;
}

QList<std::pair<MetadataField, QString>> locationEdits(double latitude, double longitude)
{
    using F = MetadataField;
    return {
        { F::GPS_Lattitude, Numbers::fixed(std::fabs(latitude), 6) },
        { F::GPS_LattitudeRef, latitude < 0 ? QStringLiteral("S") : QStringLiteral("N") },
        { F::GPS_Longitude, Numbers::fixed(std::fabs(longitude), 6) },
        { F::GPS_LongitudeRef, longitude < 0 ? QStringLiteral("W") : QStringLiteral("E") },
    };
}

QList<std::pair<MetadataField, QString>> removalEdits()
{
    QList<std::pair<MetadataField, QString>> edits = locationEdits(0, 0);
    for (auto& edit : edits)
        edit.second = QString(QLatin1String(""));
    return edits;
}

void changeLocationToTitle(FormRecordEditor& editor, const QString& title, double latitude, double longitude)
{
    Q_UNUSED(title)
    for (const auto& [field, text] : locationEdits(latitude, longitude))
        editor.editField(field, text);
}

void removeLocationcordinates(FormRecordEditor& editor)
{
    for (const auto& [field, text] : removalEdits())
        editor.editField(field, text);
}

QString placeTitle(const QMap<QString, QString>& address)
{
    QStringList parts;
    for (const char* key : { "Name", "City", "State", "Country" }) {
        const QString part = address.value(QLatin1String(key)).trimmed();
        if (!part.isEmpty() && !parts.contains(part))
            parts << part;
    }
    return parts.join(QStringLiteral(", "));
}

QString coordinateText(double latitude, double longitude)
{
    const ExifWriter& writer = ExifWriter::sharedInstance();
    return writer.getformattedLatnLongFromDoubleValue(latitude) + QLatin1String(latitude < 0 ? " S, " : " N, ")
        + writer.getformattedLatnLongFromDoubleValue(longitude) + QLatin1String(longitude < 0 ? " W" : " E");
}

int delayBeforeAsking(qint64 msSinceLastQuestion)
{
    if (msSinceLastQuestion < 0)
        return kSettleMs;
    return int(std::max<qint64>(kSettleMs, kGeocoderPauseMs - msSinceLastQuestion));
}

} // namespace MapPicker
