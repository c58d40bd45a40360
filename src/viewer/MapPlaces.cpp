#include "viewer/MapPlaces.h"

#include "platform/GeoNamesLibrary.h"
#include "viewer/WebMercator.h"

// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <geonames/geonames.h>
#pragma pop_macro("signals")

#include <algorithm>
#include <cmath>

namespace MapPlaces {

const QList<MapPlace>& all()
{
    static const QList<MapPlace> places = [] {
        QList<MapPlace> list;
        const std::lock_guard lock(geonamesLibraryMutex());
        const int count = geonames_get_n_cities();
        list.reserve(count);
        for (int i = 0; i < count; ++i) {
            GeonamesCity* city = geonames_get_city(i);
            if (!city)
                continue;
            MapPlace place { QString::fromUtf8(geonames_city_get_name(city)),
                QPointF(geonames_city_get_longitude(city), geonames_city_get_latitude(city)),
                geonames_city_get_population(city), {} };
            geonames_city_free(city);
            if (!std::isfinite(place.coordinate.x()) || !std::isfinite(place.coordinate.y()))
                continue;
            place.worldPixel = WebMercator::toWorldPixel(place.coordinate, 0);
            list.append(std::move(place));
        }
        std::stable_sort(list.begin(), list.end(),
            [](const MapPlace& a, const MapPlace& b) { return a.population > b.population; });
        return list;
    }();
    return places;
}

quint32 minimumPopulationAt(int zoom)
{
    if (zoom <= 2)
        return 5'000'000;
    if (zoom <= 3)
        return 2'000'000;
    if (zoom <= 4)
        return 800'000;
    if (zoom <= 5)
        return 300'000;
    if (zoom <= 6)
        return 100'000;
    if (zoom <= 7)
        return 40'000;
    if (zoom <= 8)
        return 15'000;
    return 0;
}

} // namespace MapPlaces
