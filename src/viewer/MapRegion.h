#pragma once

// A part of the world map: a centre and how many degrees of latitude and longitude
// must be visible around it. A view shows at least the whole region, keeping
// degrees square, so one of the spans usually shows more than asked.
struct MapRegion {
    double centerLatitude = 0;
    double centerLongitude = 0;
    double latitudeDelta = 180;
    double longitudeDelta = 360;

    // The whole world.
    static MapRegion world() { return {}; }

    bool operator==(const MapRegion&) const = default;
};
