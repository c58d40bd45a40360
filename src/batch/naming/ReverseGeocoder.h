#pragma once

#include <QMap>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>

// The address of a position as a geocoder describes it. The location namer reads
// the keys "Name" (a place such as a street or landmark), "City", "State" and
// "Country"; a geocoder may leave any of them out.
using AddressDictionary = QMap<QString, QString>;

// One geocoder answer: an error text, or the address of the first place found, or
// neither (nothing found at that position).
struct ReverseGeocodeResult {
    QString error;
    std::optional<AddressDictionary> address;

    bool failed() const { return !error.isEmpty(); }
};

// A service that names the place at a position. Requests may be answered on any
// thread, at once or later; the caller waits with a time limit of its own.
class ReverseGeocoder {
public:
    using Completion = std::function<void(ReverseGeocodeResult)>;

    virtual ~ReverseGeocoder() = default;

    // Starts one request. The completion must be called exactly once, from any
    // thread; a geocoder that cannot answer calls it with an error.
    virtual void reverseGeocodeLocation(double latitude, double longitude, Completion completion) = 0;

    // How long the caller pauses before each request that the cache cannot answer.
    // A network service is spared with one second between requests; a local one
    // needs no pause.
    virtual std::chrono::milliseconds pauseBeforeRequest() const { return std::chrono::seconds(1); }
};

// Asks the geocoder and waits for its answer, at most `limit`, on the calling thread;
// none when it did not come in time. An answer that comes later is dropped.
std::optional<ReverseGeocodeResult> reverseGeocodeWithin(
    ReverseGeocoder& geocoder, double latitude, double longitude, std::chrono::milliseconds limit);
