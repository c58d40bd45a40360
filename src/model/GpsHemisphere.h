#pragma once

#include "model/MetadataFields.h"

#include <QList>
#include <QString>
#include <array>
#include <optional>

class MetaDataObject;

// A GPS latitude or longitude of the record and the reference field that names its
// hemisphere. Exif stores the magnitude and the hemisphere letter apart; XMP stores
// one signed number. The record keeps them as Exif does, so that both are written
// from the same two fields and can never disagree.
struct GpsAxis {
    MetadataField coordinate;
    MetadataField reference;
    char positive; // 'N' or 'E'
    char negative; // 'S' or 'W'
    const char* name; // "latitude"
    const char* positiveName; // "North"
    const char* negativeName; // "South"
};

inline constexpr std::array<GpsAxis, 2> kGpsAxes = {
    GpsAxis { MetadataField::GPS_Lattitude, MetadataField::GPS_LattitudeRef, 'N', 'S', "latitude", "North", "South" },
    GpsAxis { MetadataField::GPS_Longitude, MetadataField::GPS_LongitudeRef, 'E', 'W', "longitude", "East", "West" },
};

// How a typed sign and the chosen hemisphere go together. One rule for the form and
// for the writer:
// - a negative coordinate with no reference ("", "Leave Blank" or a text that names
//   no hemisphere) is the negative hemisphere: its magnitude with "S" (or "W");
// - a negative coordinate whose reference already is "S" (or "W") is that magnitude;
// - a negative coordinate whose reference is "N" (or "E") contradicts itself and is
//   refused: nobody can tell which of the two the user meant.
namespace GpsHemisphere {

// The number a coordinate's text holds, blanks around it ignored and a decimal comma
// taken as a point (" -33,86 " is -33.86); none when the text is no number.
std::optional<double> number(const QString& text);

// Whether the text is a negative number ("-33.86", " -33,86 ").
bool isNegative(const QString& text);

// Settles every negative coordinate that does not contradict its reference, as
// above. A reference it sets is marked edited when the coordinate is, so that the
// "clear others" mode keeps it. Answers the fields it changed.
QList<MetadataField> resolveSigns(MetaDataObject& record);

// Whether the coordinate of the axis is negative while its reference names the
// positive hemisphere.
bool contradicts(const MetaDataObject& record, const GpsAxis& axis);
bool contradicts(const GpsAxis& axis, const QString& coordinate, const QString& reference);

// The form's error line for such a coordinate.
QString contradictionMessage(const GpsAxis& axis);

// The axis whose coordinate is this field, if any.
const GpsAxis* axisOfCoordinate(MetadataField field);
// The axis whose reference is this field, if any.
const GpsAxis* axisOfReference(MetadataField field);

} // namespace GpsHemisphere
