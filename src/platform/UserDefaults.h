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
//
// A file that is no INI file (damaged, or random bytes) is renamed to
// "<file>.unreadable" before it is opened, so that nothing is ever written over
// it: the settings start empty, and the user can be told where the old bytes are.
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
