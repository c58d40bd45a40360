#include "platform/OnlineServices.h"

#include "platform/UserDefaults.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(OnlineServices, NothingGoesOnlineUntilTheUserAgreedAndTheNetworkIsThere)
{
    QTemporaryDir folder;
    UserDefaults defaults(folder.filePath(QStringLiteral("settings.ini")));
    auto settings = OnlineServices::settingsFrom(defaults);
    EXPECT_EQ(settings.consent, OnlineServices::Consent::NotAsked);
    EXPECT_EQ(settings.tileUrl, OnlineServices::defaultTileUrl());
    EXPECT_EQ(settings.geocoderUrl, OnlineServices::defaultGeocoderUrl());
    // The imagery keeps its own server: keyless, in Web Mercator, row before column.
    EXPECT_EQ(settings.satelliteTileUrl, OnlineServices::defaultSatelliteTileUrl());
    EXPECT_TRUE(settings.satelliteTileUrl.startsWith(QStringLiteral("https://gibs.earthdata.nasa.gov/wmts/epsg3857/")));
    EXPECT_TRUE(settings.satelliteTileUrl.endsWith(QStringLiteral("/{z}/{y}/{x}.jpg")));
    EXPECT_FALSE(OnlineServices::mayGoOnline(settings.consent, 1));
    // Asked the first time something would go online; offline never asks.
    EXPECT_TRUE(OnlineServices::needsAsking(settings.consent, 1));
    EXPECT_FALSE(OnlineServices::needsAsking(settings.consent, 0));

    OnlineServices::storeConsent(defaults, false);
    EXPECT_FALSE(OnlineServices::needsAsking(OnlineServices::Consent::OfflineOnly, 1));
    EXPECT_EQ(OnlineServices::settingsFrom(defaults).consent, OnlineServices::Consent::OfflineOnly);
    EXPECT_FALSE(OnlineServices::mayGoOnline(OnlineServices::Consent::OfflineOnly, 1));
    OnlineServices::storeConsent(defaults, true);
    settings = OnlineServices::settingsFrom(defaults);
    EXPECT_EQ(settings.consent, OnlineServices::Consent::Online);
    EXPECT_TRUE(OnlineServices::mayGoOnline(settings.consent, 1));
    EXPECT_TRUE(OnlineServices::mayGoOnline(settings.consent, 2));
    EXPECT_FALSE(OnlineServices::mayGoOnline(settings.consent, 0));

    // Another server by setting; a blank setting means the default.
    defaults.setString(QStringLiteral(" http://127.0.0.1:8080/{z}/{x}/{y}.png "), UserDefaults::kMapTileUrlKey);
    defaults.setString(QStringLiteral(" "), UserDefaults::kGeocoderUrlKey);
    settings = OnlineServices::settingsFrom(defaults);
    EXPECT_EQ(settings.tileUrl, QStringLiteral("http://127.0.0.1:8080/{z}/{x}/{y}.png"));
    EXPECT_EQ(settings.geocoderUrl, OnlineServices::defaultGeocoderUrl());
    EXPECT_EQ(settings.satelliteTileUrl, OnlineServices::defaultSatelliteTileUrl());
    defaults.setString(
        QStringLiteral(" http://127.0.0.1:8080/sat/{z}/{y}/{x}.jpg "), UserDefaults::kSatelliteTileUrlKey);
    EXPECT_EQ(OnlineServices::settingsFrom(defaults).satelliteTileUrl,
        QStringLiteral("http://127.0.0.1:8080/sat/{z}/{y}/{x}.jpg"));

    EXPECT_TRUE(OnlineServices::userAgent().startsWith("Velloran/"));
    EXPECT_FALSE(OnlineServices::acceptLanguage().isEmpty());
}
