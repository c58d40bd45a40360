#include "viewer/TileFetcher.h"

#include "platform/OnlineServices.h"

#include <QDir>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStandardPaths>
#include <algorithm>

namespace {
// Decoded tiles kept in memory, in kilobytes: a 256-pixel tile is 256 KB as ARGB.
constexpr int kMemoryCacheKb = 96 * 1024;
constexpr qint64 kDiskCacheBytes = 200LL * 1024 * 1024;
constexpr int kTransferTimeoutMs = 20'000;
} // namespace

TileFetcher::TileFetcher(const QString& urlTemplate, const QString& cacheDirectory, QObject* parent)
    : QObject(parent)
    , m_urlTemplate(urlTemplate)
    , m_network(new QNetworkAccessManager(this))
    , m_images(kMemoryCacheKb)
{
    if (!cacheDirectory.isEmpty()) {
        auto* cache = new QNetworkDiskCache(m_network);
        cache->setCacheDirectory(cacheDirectory);
        cache->setMaximumCacheSize(kDiskCacheBytes);
        m_network->setCache(cache);
    }
    m_network->setTransferTimeout(kTransferTimeoutMs);
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, [this] { request(m_lastWanted); });
}

TileFetcher::~TileFetcher()
{
    for (auto it = m_inFlight.begin(); it != m_inFlight.end(); ++it) {
        it.key()->disconnect(this);
        it.key()->abort();
    }
}

QString TileFetcher::defaultCacheDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/tiles");
}

QString TileFetcher::imageryCacheDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/imagery-tiles");
}

QString TileFetcher::tileUrl(const TileKey& key) const
{
    QString url = m_urlTemplate;
    url.replace(QLatin1String("{z}"), QString::number(key.zoom));
    url.replace(QLatin1String("{x}"), QString::number(key.x));
    url.replace(QLatin1String("{y}"), QString::number(key.y));
    return url;
}

void TileFetcher::setOnline(bool online)
{
    if (m_online == online)
        return;
    m_online = online;
    // What failed from the disk cache alone may well come over the network.
    m_failures.clear();
    request(m_lastWanted);
}

QImage TileFetcher::tile(const TileKey& key) const
{
    const QImage* image = m_images.object(key);
    return image ? *image : QImage();
}

qint64 TileFetcher::nowMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return clock.elapsed();
}

void TileFetcher::request(const QList<TileKey>& wanted)
{
    m_lastWanted = wanted;
    m_queue.clear();
    const qint64 now = nowMs();
    QSet<TileKey> seen;
    QSet<TileKey> asked;
    for (const TileKey& key : std::as_const(m_inFlight))
        asked.insert(key);
    for (const TileKey& key : wanted) {
        if (seen.contains(key) || asked.contains(key) || m_images.contains(key))
            continue;
        seen.insert(key);
        const auto failure = m_failures.constFind(key);
        if (failure != m_failures.cend() && failure->retryAtMs > now)
            continue;
        m_queue.append(key);
    }
    startNext();
    scheduleRetry();
}

void TileFetcher::startNext()
{
    while (m_inFlight.size() < kMaximumConnections && !m_queue.isEmpty()) {
        const TileKey key = m_queue.takeFirst();
        QNetworkRequest request { QUrl(tileUrl(key)) };
        request.setHeader(QNetworkRequest::UserAgentHeader, OnlineServices::userAgent());
        // Offline, only what the disk cache holds: no request leaves the machine.
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             m_online ? QNetworkRequest::PreferNetwork : QNetworkRequest::AlwaysCache);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, true);
        QNetworkReply* reply = m_network->get(request);
        m_inFlight.insert(reply, key);
        connect(reply, &QNetworkReply::finished, this, [this, reply, key] { finished(reply, key); });
    }
}

void TileFetcher::finished(QNetworkReply* reply, const TileKey& key)
{
    m_inFlight.remove(reply);
    reply->deleteLater();
    QImage image;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::NoError && (status == 0 || (status >= 200 && status < 300)))
        image.loadFromData(reply->readAll());
    if (image.isNull()) {
        Failure& failure = m_failures[key];
        ++failure.attempts;
        const qint64 backOff = std::min<qint64>(qint64(kFirstBackOffMs) << std::min(failure.attempts - 1, 10),
                                                kLongestBackOffMs);
        failure.retryAtMs = nowMs() + backOff;
        emit tileFailed(key);
    } else {
        m_failures.remove(key);
        if (image.format() != QImage::Format_ARGB32_Premultiplied && image.format() != QImage::Format_RGB32)
            image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                                  : QImage::Format_RGB32);
        m_images.insert(key, new QImage(image), std::max(1, int(image.sizeInBytes() / 1024)));
        emit tileReady(key);
    }
    startNext();
    scheduleRetry();
}

void TileFetcher::scheduleRetry()
{
    // The earliest back-off among the tiles still wanted wakes the fetcher once.
    const qint64 now = nowMs();
    qint64 earliest = -1;
    for (const TileKey& key : std::as_const(m_lastWanted)) {
        const auto failure = m_failures.constFind(key);
        if (failure != m_failures.cend() && failure->retryAtMs > now && (earliest < 0 || failure->retryAtMs < earliest))
            earliest = failure->retryAtMs;
    }
    if (earliest < 0 || !m_online) {
        m_retryTimer.stop();
        return;
    }
    m_retryTimer.start(int(std::clamp<qint64>(earliest - now, 1, kLongestBackOffMs)));
}
