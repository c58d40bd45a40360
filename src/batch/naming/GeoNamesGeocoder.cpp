#include "batch/naming/GeoNamesGeocoder.h"

#include "platform/GeoNamesLibrary.h"

// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <geonames/geonames.h>
#pragma pop_macro("signals")

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <numbers>
#include <vector>

namespace {

constexpr double kEarthRadiusKm = 6371.0088;
constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

// The library keeps its data in shared variants; one caller at a time.
std::mutex& libraryMutex()
{
    return geonamesLibraryMutex();
}

struct Place {
    double latitude;
    double longitude;
    int index; // the library's own index of the place
};

// Places in bands of one degree of latitude, each band sorted by longitude: a
// query looks only at the bands and longitudes its distance limit can reach.
class PlaceIndex {
public:
    static constexpr int kBandCount = 180;

    PlaceIndex()
    {
        const std::lock_guard lock(libraryMutex());
        const int count = geonames_get_n_cities();
        for (int i = 0; i < count; ++i) {
            GeonamesCity* city = geonames_get_city(i);
            if (!city)
                continue;
            const Place place { geonames_city_get_latitude(city), geonames_city_get_longitude(city), i };
            geonames_city_free(city);
            if (std::isfinite(place.latitude) && std::isfinite(place.longitude))
                m_bands[bandOf(place.latitude)].push_back(place);
        }
        for (auto& band : m_bands)
            std::sort(
                band.begin(), band.end(), [](const Place& a, const Place& b) { return a.longitude < b.longitude; });
    }

    int nearest(double latitude, double longitude, double limitKm) const
    {
        const double angle = limitKm / kEarthRadiusKm; // the limit as an angle, in radians
        const double latitudeSpan = angle / kRadiansPerDegree;
        // The widest longitude difference a place within the limit can have, seen
        // from this latitude; near a pole every longitude is within reach.
        const double reach = std::sin(angle) / std::cos(latitude * kRadiansPerDegree);
        const double longitudeSpan = reach >= 1.0 ? 360.0 : std::asin(reach) / kRadiansPerDegree;

        int best = -1;
        double bestKm = limitKm;
        const auto consider = [&](const Place& place) {
            const double km = distanceKm(latitude, longitude, place.latitude, place.longitude);
            if (km <= bestKm) {
                if (km < bestKm || best < 0 || place.index < best)
                    best = place.index;
                bestKm = km;
            }
        };
        const auto scan = [&](const std::vector<Place>& band, double from, double to) {
            auto it = std::lower_bound(
                band.begin(), band.end(), from, [](const Place& p, double value) { return p.longitude < value; });
            for (; it != band.end() && it->longitude <= to; ++it)
                consider(*it);
        };

        for (int b = bandOf(latitude - latitudeSpan); b <= bandOf(latitude + latitudeSpan); ++b) {
            const auto& band = m_bands[b];
            if (longitudeSpan >= 180.0) {
                scan(band, -360.0, 360.0);
                continue;
            }
            const double from = longitude - longitudeSpan;
            const double to = longitude + longitudeSpan;
            scan(band, from, to);
            if (from < -180.0)
                scan(band, from + 360.0, 180.0);
            if (to > 180.0)
                scan(band, -180.0, to - 360.0);
        }
        return best;
    }

private:
    static int bandOf(double latitude)
    {
        return std::clamp(static_cast<int>(std::floor(latitude + 90.0)), 0, kBandCount - 1);
    }

    static double distanceKm(double lat1, double lon1, double lat2, double lon2)
    {
        // The haversine formula.
        const double latitudeDelta = (lat2 - lat1) * kRadiansPerDegree;
        const double longitudeDelta = (lon2 - lon1) * kRadiansPerDegree;
        const double haversine = std::sin(latitudeDelta / 2) * std::sin(latitudeDelta / 2)
            + std::cos(lat1 * kRadiansPerDegree) * std::cos(lat2 * kRadiansPerDegree) * std::sin(longitudeDelta / 2)
                * std::sin(longitudeDelta / 2);
        return 2 * kEarthRadiusKm * std::asin(std::min(1.0, std::sqrt(haversine)));
    }

    std::array<std::vector<Place>, kBandCount> m_bands;
};

const PlaceIndex& placeIndex()
{
    static const PlaceIndex index;
    return index;
}

QString text(const char* value)
{
    return value ? QString::fromUtf8(value) : QString();
}

} // namespace

void GeoNamesGeocoder::prepare()
{
    placeIndex();
}

int GeoNamesGeocoder::nearestCityIndex(double latitude, double longitude)
{
    if (!std::isfinite(latitude) || !std::isfinite(longitude) || latitude < -90.0 || latitude > 90.0)
        return -1;
    // Longitudes beyond ±180 go round the globe.
    longitude = std::remainder(longitude, 360.0);
    return placeIndex().nearest(latitude, longitude, kMaximumDistanceKm);
}

std::optional<AddressDictionary> GeoNamesGeocoder::nearestPlace(double latitude, double longitude)
{
    const int index = nearestCityIndex(latitude, longitude);
    if (index < 0)
        return std::nullopt;

    const std::lock_guard lock(libraryMutex());
    GeonamesCity* city = geonames_get_city(index);
    if (!city)
        return std::nullopt;
    AddressDictionary address;
    address.insert(QStringLiteral("City"), text(geonames_city_get_name(city)));
    address.insert(QStringLiteral("State"), text(geonames_city_get_state(city)));
    address.insert(QStringLiteral("Country"), text(geonames_city_get_country(city)));
    geonames_city_free(city);
    return address;
}

void GeoNamesGeocoder::reverseGeocodeLocation(double latitude, double longitude, Completion completion)
{
    completion(ReverseGeocodeResult { QString(), nearestPlace(latitude, longitude) });
}
