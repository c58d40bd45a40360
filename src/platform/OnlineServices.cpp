#include "platform/OnlineServices.h"

#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QLocale>

#ifndef VELLORAN_VERSION
#define VELLORAN_VERSION "0"
#endif

namespace OnlineServices {

QString defaultTileUrl()
{
    return QStringLiteral("https://tile.openstreetmap.org/{z}/{x}/{y}.png");
}

QString defaultSatelliteTileUrl()
{
    // The layer has one image, not one a day: "default" stands for its time.
    return QStringLiteral("https://gibs.earthdata.nasa.gov/wmts/epsg3857/best/BlueMarble_NextGeneration/default/"
                          "default/GoogleMapsCompatible_Level8/{z}/{y}/{x}.jpg");
}

QString defaultGeocoderUrl()
{
    return QStringLiteral("https://nominatim.openstreetmap.org/reverse");
}

Settings settingsFrom(const UserDefaults& defaults)
{
    Settings settings;
    if (const std::optional<bool> online = defaults.onlineConsent())
        settings.consent = *online ? Consent::Online : Consent::OfflineOnly;
    settings.tileUrl = defaults.mapTileUrl().value_or(defaultTileUrl());
    settings.satelliteTileUrl = defaults.satelliteTileUrl().value_or(defaultSatelliteTileUrl());
    settings.geocoderUrl = defaults.geocoderUrl().value_or(defaultGeocoderUrl());
    return settings;
}

void storeConsent(UserDefaults& defaults, bool online)
{
    defaults.setOnlineConsent(online);
    defaults.synchronize();
}

bool mayGoOnline(Consent consent, int reachabilityStatus)
{
    return consent == Consent::Online && reachabilityStatus != 0;
}

bool needsAsking(Consent consent, int reachabilityStatus)
{
    return consent == Consent::NotAsked && reachabilityStatus != 0;
}

QByteArray userAgent()
{
    QString version = QCoreApplication::applicationVersion();
    if (version.isEmpty())
        version = QStringLiteral(VELLORAN_VERSION);
    return "Velloran/" + version.toLatin1();
}

QByteArray acceptLanguage()
{
    QStringList tags;
    for (QString language : QLocale::system().uiLanguages()) {
        language.replace(QLatin1Char('_'), QLatin1Char('-'));
        if (!language.isEmpty() && language != QLatin1String("C") && !tags.contains(language))
            tags << language;
    }
    if (tags.isEmpty())
        tags << QStringLiteral("en");
    QByteArray value;
    for (qsizetype i = 0; i < tags.size() && i < 5; ++i) {
        if (i)
            value += ',';
        value += tags[i].toLatin1();
        if (i)
            value += ";q=" + QByteArray::number(10 - i).insert(0, "0.").left(3);
    }
    return value;
}

} // namespace OnlineServices
