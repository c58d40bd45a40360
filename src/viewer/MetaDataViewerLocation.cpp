#include "viewer/MetaDataViewerLocation.h"

#include "base/Numbers.h"
#include "model/MetaDataObject.h"

#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// The coordinate a text holds. The leading-number reader answers 0 for a text
// without a number ("nan", "inf", "abc"), which would put a photo at the equator;
// such a text is no coordinate at all.
std::optional<double> coordinate(const QString& text)
{
    const QString trimmed = text.trimmed();
    qsizetype start = 0;
    if (start < trimmed.size() && (trimmed[start] == u'-' || trimmed[start] == u'+'))
        ++start;
    const bool digitFirst = start < trimmed.size() && trimmed[start] >= u'0' && trimmed[start] <= u'9';
    const bool pointThenDigit = start + 1 < trimmed.size() && trimmed[start] == u'.' && trimmed[start + 1] >= u'0'
        && trimmed[start + 1] <= u'9';
    if (!digitFirst && !pointThenDigit)
        return std::nullopt;
    const double value = Numbers::doubleValue(trimmed);
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

MetaDataViewerLocation MetaDataViewerLocation::fromRecord(const MetaDataObject& record)
{
    MetaDataViewerLocation location;
    const QString& latitudeText = record.GPS_Lattitude();
    const QString& longitudeText = record.GPS_Longitude();

    if (latitudeText.isEmpty() || longitudeText.isEmpty()) {
        location.kind = Kind::NoLocationFound;
        location.title = u"No location found"_s;
    } else {
        const auto latitude = coordinate(latitudeText);
        const auto longitude = coordinate(longitudeText);
        if (latitude && longitude && std::abs(*latitude) <= 90 && std::abs(*longitude) <= 180) {
            location.kind = Kind::Pin;
            location.latitude = record.GPS_LattitudeRef() == u"S"_s ? -*latitude : *latitude;
            location.longitude = record.GPS_LongitudeRef() == u"W"_s ? -*longitude : *longitude;
            location.region = MapRegion { location.latitude, location.longitude, kPinSpan, kPinSpan };
            location.animated = true;
            return location;
        }
        location.kind = Kind::InvalidLocation;
        location.title = u"Invalid location"_s;
    }
    location.region = MapRegion { kWorldCenterLatitude, kWorldCenterLongitude, 180, 360 };
    return location;
}
