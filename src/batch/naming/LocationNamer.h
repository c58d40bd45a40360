#pragma once

#include "batch/naming/OutputRenamingOptions.h"
#include "batch/naming/ReverseGeocoder.h"

#include <QHash>
#include <QString>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

// The place names of one position as the file name takes them, and which of the
// ticked parts were found.
struct LocationName {
    QString text; // the found ticked parts joined by "_", e.g. "Rue-X_Paris_IDF_France"
    bool placeFound = false;
    bool cityFound = false;
    bool stateFound = false;
    bool countryFound = false;
};

// Names the place at a photo's GPS position for the output file name. Answers are
// cached by position (six decimals) for the life of the namer, so a run of photos
// taken at one spot asks the geocoder once. Failures are not cached.
//
// Safe to call from any thread; one geocoder request is in flight at a time.
class LocationNamer {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeLimit { 30000 };

    explicit LocationNamer(std::shared_ptr<ReverseGeocoder> geocoder);

    // How long findLocation waits for the geocoder before it treats the request as failed.
    void setTimeLimit(std::chrono::milliseconds limit);

    // The text for the position with the ticked parts, from the cache or else from
    // the geocoder. Blocks the calling thread while the geocoder works (at most the
    // geocoder's pause plus the time limit). Nothing found answers an empty text.
    LocationName findLocation(double latitude, double longitude, const AddEXIFLocation& ticks);

    // The text built from the cached address of the position; empty when none is cached.
    LocationName getAlreadyStoredLocation(double latitude, double longitude, const AddEXIFLocation& ticks) const;

    // The ticked parts of an address in the order place, city, state, country,
    // blanks turned into "-", joined by "_"; flags tell which were non-empty.
    static LocationName createLocationNameWithSelectedSettingsWithDict(
        const AddressDictionary& address, const AddEXIFLocation& ticks);

    // The cache key of a position: "%f_%f" of latitude and longitude, with a decimal point whatever the locale.
    static QString locationKey(double latitude, double longitude);

    int cachedLocationCount() const;

private:
    ReverseGeocodeResult reverseGeocode(double latitude, double longitude);

    std::shared_ptr<ReverseGeocoder> m_geocoder;
    std::atomic<std::chrono::milliseconds::rep> m_timeLimitMs { kDefaultTimeLimit.count() };
    std::mutex m_requestMutex; // one request at a time
    mutable std::mutex m_cacheMutex;
    // The first address found for each key; a later answer for the same key never replaces it.
    QHash<QString, AddressDictionary> m_cache;
};
