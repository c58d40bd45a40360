#pragma once

#include <QByteArray>
#include <QString>

class UserDefaults;

// What the map and the place names may fetch from the network, and from where.
//
// A position sent to a tile server or a geocoder tells a third party where the
// user's photos were taken, so nothing goes online before the user said yes once
// (`UserDefaults::onlineConsent`: absent until asked, then true for online maps
// and place names, false for offline only). The addresses are settings too, so
// that a user (or a test) can point them at another server: the map tiles' and the
// imagery tiles' (with {z}, {x} and {y}) and a Nominatim reverse endpoint's. Read on the main thread;
// workers get the values.
namespace OnlineServices {

QString defaultTileUrl();
QString defaultGeocoderUrl();

// The imagery of the Satellite and Hybrid looks: NASA's Blue Marble Next
// Generation, a cloud-free true-colour mosaic of the whole Earth at 500 m a pixel,
// from NASA's Global Imagery Browse Services (GIBS) in Web Mercator. It needs no
// key; NASA imagery carries no copyright, and GIBS asks to be credited, which
// kSatelliteAttribution does on the map. Its levels run from 0 to
// kSatelliteDeepestZoom; closer in, the map enlarges its deepest level.
QString defaultSatelliteTileUrl();
inline constexpr int kSatelliteDeepestZoom = 8;
inline constexpr const char* kSatelliteAttribution = "Imagery: NASA Blue Marble, GIBS";

enum class Consent { NotAsked, Online, OfflineOnly };

struct Settings {
    Consent consent = Consent::NotAsked;
    QString tileUrl;
    QString satelliteTileUrl;
    QString geocoderUrl;
};

Settings settingsFrom(const UserDefaults& defaults);
void storeConsent(UserDefaults& defaults, bool online);

// The online path is taken only when the user agreed and the network is there
// (the reachability status, 0 meaning not reachable).
bool mayGoOnline(Consent consent, int reachabilityStatus);
// The user is asked once, the first time the map or the place names would go online:
// never while the network is away, never again once answered.
bool needsAsking(Consent consent, int reachabilityStatus);

// "Velloran/<version>", the identifying User-Agent of every request.
QByteArray userAgent();

// The languages of the user's interface, best first, as an Accept-Language value
// ("de-DE,de;q=0.9,en;q=0.8").
QByteArray acceptLanguage();

} // namespace OnlineServices
