#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <optional>

// The user's few settings, kept between runs in QSettings (an INI file of the
// organisation and application "Velloran" in the user's configuration folder,
// 0600). Every key lives here, with a typed accessor; callers use those. Main
// thread only.
//
// A file that is no INI file (damaged, or random bytes) is renamed to
// "<file>.unreadable" before it is opened, so that nothing is ever written over
// it: the settings start empty, and the user can be told where the old bytes are.
class UserDefaults {
public:
    static UserDefaults& standardUserDefaults();

    // Defaults over an INI file of one's own (tests, tools).
    explicit UserDefaults(const QString& iniPath);

    // The keys of the file.
    static const QString kPresetArchiveKey; // "PROJECT_SESSION", the presets' keyed archive
    static const QString kUnreadablePresetArchiveKey; // "PROJECT_SESSION.unreadable", then ".unreadable.2" and on
    static const QString kRateMeCounterKey; // "rateMeCounter", summaries closed toward the rate prompt
    static const QString kRatedVersionKey; // "appVersion", the version rated or not to be asked about again
    static const QString kNotShowPromotionWindowKey; // "notShowPromotionWindow"
    static const QString kNotShowRenameResetPopupKey; // "notShowRenameResetPopup"
    static const QString kOnlineConsentKey; // "onlineServicesConsent"
    static const QString kMapTileUrlKey; // "mapTileUrl", with {z}, {x} and {y}
    static const QString kSatelliteTileUrlKey; // "satelliteTileUrl", the imagery tiles, with {z}, {x} and {y}
    static const QString kGeocoderUrlKey; // "geocoderUrl", a reverse geocoder's address

    // The presets' archive; absent when none was ever stored.
    std::optional<QByteArray> presetArchive() const;
    void setPresetArchive(const QByteArray& archive);
    // Bytes of an archive that could not be read, kept before anything writes over
    // them, under a key of their own: "PROJECT_SESSION.unreadable", or numbered
    // as the settings file's own kept copies are when that key is taken. Answers the key.
    QString keepUnreadablePresetArchive(const QByteArray& archive);
    std::optional<int> rateMeCounter() const;
    void setRateMeCounter(int count);
    std::optional<QString> ratedVersion() const;
    void setRatedVersion(const QString& version);
    bool notShowPromotionWindow() const;
    bool notShowRenameResetPopup() const;
    void setNotShowRenameResetPopup(bool dontShow);
    // Absent until the user answered the question about going online.
    std::optional<bool> onlineConsent() const;
    void setOnlineConsent(bool online);
    // The addresses of the map tiles, the imagery tiles and the geocoder when the
    // user set them (trimmed, not blank).
    std::optional<QString> mapTileUrl() const;
    std::optional<QString> satelliteTileUrl() const;
    std::optional<QString> geocoderUrl() const;

    bool contains(const QString& key) const;
    QByteArray dataForKey(const QString& key) const;
    // Absent when the key is missing.
    std::optional<QString> stringForKey(const QString& key) const;
    std::optional<int> integerForKey(const QString& key) const;
    // Absent or unreadable reads as false.
    bool boolForKey(const QString& key) const;

    void setObject(const QVariant& value, const QString& key);
    void setData(const QByteArray& value, const QString& key) { setObject(value, key); }
    void setString(const QString& value, const QString& key) { setObject(value, key); }
    void setInteger(int value, const QString& key) { setObject(value, key); }
    void setBool(bool value, const QString& key) { setObject(value, key); }

    // Writes what changed to disk; false when the file could not be written.
    bool synchronize();

    QString fileName() const { return m_settings.fileName(); }
    // Where an unreadable settings file was kept when these defaults opened; "" when
    // the file was read (or there was none).
    const QString& unreadableFileKept() const { return m_unreadableFileKept; }

    // Whether bytes read as an INI file: UTF-8 text without control characters
    // whose every line is blank, a comment, a [section] or a key=value.
    static bool isIniText(const QByteArray& bytes);

private:
    UserDefaults();
    // Declared before m_settings: the file is set aside before QSettings reads it.
    QString m_unreadableFileKept;
    QSettings m_settings;
};
