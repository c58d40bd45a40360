#include "platform/UserDefaults.h"

#include "base/Numbers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

const QString UserDefaults::kPresetArchiveKey = QStringLiteral("PROJECT_SESSION");
const QString UserDefaults::kUnreadablePresetArchiveKey = QStringLiteral("PROJECT_SESSION.unreadable");
const QString UserDefaults::kRateMeCounterKey = QStringLiteral("rateMeCounter");
const QString UserDefaults::kRatedVersionKey = QStringLiteral("appVersion");
const QString UserDefaults::kNotShowPromotionWindowKey = QStringLiteral("notShowPromotionWindow");
const QString UserDefaults::kNotShowRenameResetPopupKey = QStringLiteral("notShowRenameResetPopup");
const QString UserDefaults::kOnlineConsentKey = QStringLiteral("onlineServicesConsent");
const QString UserDefaults::kMapTileUrlKey = QStringLiteral("mapTileUrl");
const QString UserDefaults::kSatelliteTileUrlKey = QStringLiteral("satelliteTileUrl");
const QString UserDefaults::kGeocoderUrlKey = QStringLiteral("geocoderUrl");

UserDefaults& UserDefaults::standardUserDefaults()
{
    static UserDefaults defaults;
    return defaults;
}

namespace {

// The settings hold the user's presets: no one else may read them. The file is
// made 0600 before the first write (a rewrite keeps the mode of the file it
// replaces), and a file left more open by an earlier version is closed.
void keepPrivate(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray encoded = QFile::encodeName(path);
    const int fd = ::open(encoded.constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    struct stat info { };
    if (::fstat(fd, &info) == 0 && (info.st_mode & 077) != 0)
        ::fchmod(fd, info.st_mode & 0700);
    ::close(fd);
}

QString userSettingsPath()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Velloran"), QStringLiteral("Velloran"))
        .fileName();
}

// The name under which unreadable bytes of name are kept: "<name>.unreadable",
// else "<name>.unreadable.2" and on, the first that isTaken says is free, so that
// a second damaged copy never takes the place of the first.
QString keptCopyName(const QString& name, const std::function<bool(const QString&)>& isTaken)
{
    const QString kept = name + QStringLiteral(".unreadable");
    if (!isTaken(kept))
        return kept;
    for (int number = 2;; ++number) {
        const QString numbered = kept + u'.' + QString::number(number);
        if (!isTaken(numbered))
            return numbered;
    }
}

// QSettings reads any bytes as some INI file and writes its reading back at the
// next change, so a damaged file would be lost; it is renamed first. Answers the
// name it was kept under, or "" when it was read (or could not be renamed).
QString setAsideUnlessIni(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || UserDefaults::isIniText(file.readAll()))
        return QString();
    file.close();
    const QString kept = keptCopyName(path, [](const QString& name) { return QFileInfo::exists(name); });
    return QFile::rename(path, kept) ? kept : QString();
}

} // namespace

UserDefaults::UserDefaults()
    : m_unreadableFileKept(setAsideUnlessIni(userSettingsPath()))
    , m_settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Velloran"), QStringLiteral("Velloran"))
{
    keepPrivate(m_settings.fileName());
}

UserDefaults::UserDefaults(const QString& iniPath)
    : m_unreadableFileKept(setAsideUnlessIni(iniPath))
    , m_settings(iniPath, QSettings::IniFormat)
{
    keepPrivate(m_settings.fileName());
}

bool UserDefaults::isIniText(const QByteArray& bytes)
{
    const QByteArray text = bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3) : bytes;
    if (QString::fromUtf8(text).toUtf8() != text)
        return false;
    for (QByteArrayView line : text.split('\n')) {
        for (const char c : line) {
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r')
                return false;
        }
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[') ? !line.endsWith(']') : !line.contains('='))
            return false;
    }
    return true;
}

bool UserDefaults::contains(const QString& key) const
{
    return m_settings.contains(key);
}

QByteArray UserDefaults::dataForKey(const QString& key) const
{
    const QVariant value = m_settings.value(key);
    return value.isValid() ? value.toByteArray() : QByteArray();
}

std::optional<QString> UserDefaults::stringForKey(const QString& key) const
{
    const QVariant value = m_settings.value(key);
    if (!value.isValid())
        return std::nullopt;
    return value.toString();
}

std::optional<int> UserDefaults::integerForKey(const QString& key) const
{
    const QVariant value = m_settings.value(key);
    if (!value.isValid())
        return std::nullopt;
    // The INI file keeps numbers as text; read them without the user's locale.
    return Numbers::intValue(value.toString());
}

bool UserDefaults::boolForKey(const QString& key) const
{
    const QVariant value = m_settings.value(key);
    if (!value.isValid())
        return false;
    const QString text = value.toString().trimmed();
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
        || text.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0)
        return true;
    return Numbers::intValue(text) != 0;
}

void UserDefaults::setObject(const QVariant& value, const QString& key)
{
    m_settings.setValue(key, value);
}

bool UserDefaults::synchronize()
{
    m_settings.sync();
    return m_settings.status() == QSettings::NoError;
}

std::optional<QByteArray> UserDefaults::presetArchive() const
{
    if (!contains(kPresetArchiveKey))
        return std::nullopt;
    return dataForKey(kPresetArchiveKey);
}

void UserDefaults::setPresetArchive(const QByteArray& archive)
{
    setData(archive, kPresetArchiveKey);
}

QString UserDefaults::keepUnreadablePresetArchive(const QByteArray& archive)
{
    const QString key = keptCopyName(kPresetArchiveKey, [this](const QString& name) { return contains(name); });
    setData(archive, key);
    return key;
}

std::optional<int> UserDefaults::rateMeCounter() const
{
    return integerForKey(kRateMeCounterKey);
}

void UserDefaults::setRateMeCounter(int count)
{
    setInteger(count, kRateMeCounterKey);
}

std::optional<QString> UserDefaults::ratedVersion() const
{
    return stringForKey(kRatedVersionKey);
}

void UserDefaults::setRatedVersion(const QString& version)
{
    setString(version, kRatedVersionKey);
}

bool UserDefaults::notShowPromotionWindow() const
{
    return boolForKey(kNotShowPromotionWindowKey);
}

bool UserDefaults::notShowRenameResetPopup() const
{
    return boolForKey(kNotShowRenameResetPopupKey);
}

void UserDefaults::setNotShowRenameResetPopup(bool dontShow)
{
    setBool(dontShow, kNotShowRenameResetPopupKey);
}

std::optional<bool> UserDefaults::onlineConsent() const
{
    if (!contains(kOnlineConsentKey))
        return std::nullopt;
    return boolForKey(kOnlineConsentKey);
}

void UserDefaults::setOnlineConsent(bool online)
{
    setBool(online, kOnlineConsentKey);
}

namespace {

std::optional<QString> nonBlank(const std::optional<QString>& value)
{
    if (!value || value->trimmed().isEmpty())
        return std::nullopt;
    return value->trimmed();
}

} // namespace

std::optional<QString> UserDefaults::mapTileUrl() const
{
    return nonBlank(stringForKey(kMapTileUrlKey));
}

std::optional<QString> UserDefaults::satelliteTileUrl() const
{
    return nonBlank(stringForKey(kSatelliteTileUrlKey));
}

std::optional<QString> UserDefaults::geocoderUrl() const
{
    return nonBlank(stringForKey(kGeocoderUrlKey));
}
