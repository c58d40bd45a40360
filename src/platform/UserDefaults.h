#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <optional>

// The user's few settings, kept between runs in QSettings (an INI file of the
// organisation and application "Velloran" in the user's configuration folder).
// The keys: "PROJECT_SESSION" (the preset archive, and "PROJECT_SESSION.unreadable"
// for an archive that could not be read), "rateMeCounter", "appVersion",
// "notShowPromotionWindow" and "notShowRenameResetPopup". Main thread only.
class UserDefaults {
public:
    static UserDefaults& standardUserDefaults();

    // Defaults over an INI file of one's own (tests, tools).
    explicit UserDefaults(const QString& iniPath);

    bool contains(const QString& key) const;
    QVariant objectForKey(const QString& key) const;
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
    void removeObjectForKey(const QString& key);

    // Writes what changed to disk; false when the file could not be written.
    bool synchronize();

    QString fileName() const { return m_settings.fileName(); }

private:
    UserDefaults();
    QSettings m_settings;
};
