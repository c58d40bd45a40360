#pragma once

#include "viewer/MapRegion.h"

#include <QString>

class MetaDataObject;

// Where the metadata viewer's map puts its pin for a photo's record, what the pin
// says and which part of the world the map shows.
//
// A position is usable when the latitude and longitude texts both hold a finite
// number (their leading number, as every stored number is read) within -90..90 and
// -180..180; "S" and "W" references make it negative. A usable position gets an
// untitled pin with 0.55 degrees of map around it, shown with an animation.
// Otherwise the map shows the whole world at once with a titled pin at a fixed spot
// in the Pacific: "Invalid location" when the texts are there but are no position
// (out of range, "nan", "inf", no number at all), else "No location found".
struct MetaDataViewerLocation {
    enum class Kind { Pin, NoLocationFound, InvalidLocation };

    static constexpr double kPinSpan = 0.55;
    static constexpr double kTitledPinLatitude = 28.0;
    static constexpr double kTitledPinLongitude = -142.0;
    // The world region is centred here; at its span the view shows the whole world.
    static constexpr double kWorldCenterLatitude = 37.77;
    static constexpr double kWorldCenterLongitude = -122.4701;

    Kind kind = Kind::NoLocationFound;
    double latitude = kTitledPinLatitude; // the pin
    double longitude = kTitledPinLongitude;
    QString title; // "" for a position, else the text shown beside the pin
    MapRegion region;
    bool animated = false;

    bool isNolocationFound() const { return kind != Kind::Pin; }

    static MetaDataViewerLocation fromRecord(const MetaDataObject& record);
};
