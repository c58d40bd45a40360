#pragma once

#include "batch/naming/ReverseGeocoder.h"
#include "platform/OnlineServices.h"

#include <memory>

// Whether the map and the place names take the online path now: the user agreed
// (the user defaults) and the application's reachability says the network is there.
namespace OnlineAccess {

OnlineServices::Settings settings();
bool isOnline();

// The geocoder for a renaming's place names: the online service when the path is
// online, else the offline GeoNames places. The same path answers the same geocoder,
// so its cache of answers lasts.
std::shared_ptr<ReverseGeocoder> placeNameGeocoder();

} // namespace OnlineAccess
