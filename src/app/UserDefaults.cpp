#include "app/UserDefaults.h"

#include "base/Numbers.h"

UserDefaults& UserDefaults::standardUserDefaults()
{
    static UserDefaults defaults;
    return defaults;
}

UserDefaults::UserDefaults()
    : m_settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Velloran"), QStringLiteral("Velloran"))
{
}

UserDefaults::UserDefaults(const QString& iniPath)
    : m_settings(iniPath, QSettings::IniFormat)
{
}

bool UserDefaults::contains(const QString& key) const
{
    return m_settings.contains(key);
}

QVariant UserDefaults::objectForKey(const QString& key) const
{
    return m_settings.value(key);
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

void UserDefaults::removeObjectForKey(const QString& key)
{
    m_settings.remove(key);
}

bool UserDefaults::synchronize()
{
    m_settings.sync();
    return m_settings.status() == QSettings::NoError;
}
