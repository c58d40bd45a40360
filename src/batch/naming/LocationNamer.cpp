#include "batch/naming/LocationNamer.h"

#include "base/Logging.h"
#include "base/Numbers.h"

#include <QThread>
#include <algorithm>

LocationNamer::LocationNamer(std::shared_ptr<ReverseGeocoder> geocoder)
    : m_geocoder(std::move(geocoder))
{
}

void LocationNamer::setTimeLimit(std::chrono::milliseconds limit)
{
    m_timeLimitMs = std::max<std::chrono::milliseconds::rep>(0, limit.count());
}

QString LocationNamer::locationKey(double latitude, double longitude)
{
    return Numbers::format("%f_%f", latitude, longitude);
}

int LocationNamer::cachedLocationCount() const
{
    const std::lock_guard lock(m_cacheMutex);
    return static_cast<int>(m_cache.size());
}

LocationName LocationNamer::createLocationNameWithSelectedSettingsWithDict(
    const AddressDictionary& address, const AddEXIFLocation& ticks)
{
    struct Part {
        int tick;
        const char* key;
        bool LocationName::*found;
    };
    const Part parts[] = {
        { ticks.placeTick, "Name", &LocationName::placeFound },
        { ticks.cityTick, "City", &LocationName::cityFound },
        { ticks.stateTick, "State", &LocationName::stateFound },
        { ticks.countryTick, "Country", &LocationName::countryFound },
    };

    LocationName name;
    QStringList found;
    for (const Part& part : parts) {
        if (part.tick != 1)
            continue;
        QString value = address.value(QString::fromLatin1(part.key));
        value.replace(QLatin1Char(' '), QLatin1Char('-'));
        if (value.isEmpty())
            continue;
        name.*part.found = true;
        found.append(value);
    }
    name.text = found.join(QLatin1Char('_'));
    return name;
}

LocationName LocationNamer::getAlreadyStoredLocation(
    double latitude, double longitude, const AddEXIFLocation& ticks) const
{
    const QString key = locationKey(latitude, longitude);
    const std::lock_guard lock(m_cacheMutex);
    const auto it = m_cache.constFind(key);
    if (it == m_cache.constEnd())
        return {};
    return createLocationNameWithSelectedSettingsWithDict(*it, ticks);
}

LocationName LocationNamer::findLocation(double latitude, double longitude, const AddEXIFLocation& ticks)
{
    if (LocationName stored = getAlreadyStoredLocation(latitude, longitude, ticks); !stored.text.isEmpty())
        return stored;

    const std::lock_guard requestLock(m_requestMutex);
    // Another caller may have asked for the same position while this one waited its turn.
    if (LocationName stored = getAlreadyStoredLocation(latitude, longitude, ticks); !stored.text.isEmpty())
        return stored;

    const auto pause = m_geocoder->pauseBeforeRequest();
    if (pause.count() > 0)
        QThread::msleep(static_cast<unsigned long>(pause.count()));

    const ReverseGeocodeResult result = reverseGeocode(latitude, longitude);
    if (result.failed()) {
        qCWarning(lcBatch).noquote() << "Geocode failed with error:" << result.error;
        return {};
    }
    if (!result.address)
        return {};

    {
        const std::lock_guard lock(m_cacheMutex);
        const QString key = locationKey(latitude, longitude);
        if (!m_cache.contains(key))
            m_cache.insert(key, *result.address);
    }
    return createLocationNameWithSelectedSettingsWithDict(*result.address, ticks);
}

ReverseGeocodeResult LocationNamer::reverseGeocode(double latitude, double longitude)
{
    const auto limit = m_timeLimitMs.load();
    if (std::optional<ReverseGeocodeResult> answer
        = reverseGeocodeWithin(*m_geocoder, latitude, longitude, std::chrono::milliseconds(limit)))
        return std::move(*answer);
    return ReverseGeocodeResult { QStringLiteral("no answer within %1 ms").arg(limit), std::nullopt };
}
