#pragma once

#include "batch/naming/ReverseGeocoder.h"

#include <QByteArray>
#include <QString>
#include <chrono>

// The online geocoder: a reverse lookup at a Nominatim service (format jsonv2), in
// the user's language and with an identifying User-Agent. The request carries the
// position and nothing else about the user.
//
// "Name" is the named place at the position, else its road; "City", "State" and
// "Country" come from the address. When the service fails or does not answer within
// the time limit, the answer is the offline one (the nearest GeoNames place), so a
// renaming never waits on a network that is not there.
//
// The request is made on the calling thread, which waits for it (the location namer
// calls from its worker and spaces requests by pauseBeforeRequest()).
class NominatimGeocoder : public ReverseGeocoder {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeLimit { 10000 };

    // reverseUrl is the service's reverse endpoint, e.g. https://host/reverse.
    explicit NominatimGeocoder(QString reverseUrl, QByteArray acceptLanguage);

    void setTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }

    void reverseGeocodeLocation(double latitude, double longitude, Completion completion) override;

    // The address in a service's answer. Nothing found ({"error": …}) answers no
    // address; bytes that are no such answer give an error.
    static ReverseGeocodeResult addressFromAnswer(const QByteArray& json);

private:
    ReverseGeocodeResult ask(double latitude, double longitude) const;

    QString m_reverseUrl;
    QByteArray m_acceptLanguage;
    std::chrono::milliseconds m_timeLimit = kDefaultTimeLimit;
};
