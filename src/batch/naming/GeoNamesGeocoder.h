#pragma once

#include "batch/naming/ReverseGeocoder.h"

// The offline geocoder: the nearest of the GeoNames places that libgeonames ships
// (cities with their state and country), within kMaximumDistanceKm. It knows no
// streets, so "Name" is never filled. Names come in the language of the user's
// messages locale (LC_MESSAGES), as the library translates them.
//
// The places are put into a spatial index on first use, once per process; every
// instance shares it. Requests are answered at once, on the calling thread.
class GeoNamesGeocoder : public ReverseGeocoder {
public:
    static constexpr double kMaximumDistanceKm = 50.0;

    void reverseGeocodeLocation(double latitude, double longitude, Completion completion) override;
    std::chrono::milliseconds pauseBeforeRequest() const override { return std::chrono::milliseconds(0); }

    // The address of the nearest place within the distance limit, or nothing.
    static std::optional<AddressDictionary> nearestPlace(double latitude, double longitude);

    // The library's index of the nearest place within the limit, or -1; for a
    // position that is no position (not finite, beyond the poles) -1 as well.
    static int nearestCityIndex(double latitude, double longitude);

    // Builds the index now rather than on the first request.
    static void prepare();
};
