#pragma once

#include "viewer/WebMercator.h"

#include <QCache>
#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

class QNetworkAccessManager;
class QNetworkReply;

// Fetches the map's raster tiles over HTTP, politely: an identifying User-Agent, the
// server's caching headers through a disk cache, at most kMaximumConnections
// requests at a time and only the tiles the view asks for now. A tile that fails is
// not asked again before its back-off has passed (kFirstBackOff, doubling up to
// kLongestBackOff); then the view's latest wish is asked once more, never in a loop.
//
// Decoded tiles stay in a memory cache bounded in bytes. Lives on the main thread.
class TileFetcher : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaximumConnections = 2;
    static constexpr int kFirstBackOffMs = 15'000;
    static constexpr int kLongestBackOffMs = 10 * 60'000;

    // urlTemplate holds {z}, {x} and {y}; cacheDirectory is the disk cache's folder
    // (empty: no disk cache).
    TileFetcher(const QString& urlTemplate, const QString& cacheDirectory, QObject* parent = nullptr);
    ~TileFetcher() override;

    // The disk cache's folders in the user's cache location: the map's, and the
    // imagery's beside it (one cache to a folder).
    static QString defaultCacheDirectory();
    static QString imageryCacheDirectory();

    QString urlTemplate() const { return m_urlTemplate; }
    // The deepest level the server has (the view enlarges it further in); by default
    // every level of the map.
    void setDeepestZoom(int zoom) { m_deepestZoom = zoom; }
    int deepestZoom() const { return m_deepestZoom; }
    QString tileUrl(const TileKey& key) const;

    // Offline, tiles come from the disk cache alone and nothing leaves the machine.
    void setOnline(bool online);
    bool isOnline() const { return m_online; }

    // The tiles the view shows now, most wanted first. Queued tiles that are no
    // longer wanted are dropped; those already asked for finish.
    void request(const QList<TileKey>& wanted);

    // The decoded tile, or a null image when it is not here (yet).
    QImage tile(const TileKey& key) const;
    int requestsInFlight() const { return int(m_inFlight.size()); }

signals:
    void tileReady(const TileKey& key);
    void tileFailed(const TileKey& key);

private:
    struct Failure {
        int attempts = 0;
        qint64 retryAtMs = 0;
    };

    void startNext();
    void finished(QNetworkReply* reply, const TileKey& key);
    void scheduleRetry();
    static qint64 nowMs();

    QString m_urlTemplate;
    int m_deepestZoom = WebMercator::kMaximumZoom;
    QNetworkAccessManager* m_network = nullptr;
    bool m_online = true;
    QList<TileKey> m_queue;
    QList<TileKey> m_lastWanted;
    QHash<QNetworkReply*, TileKey> m_inFlight;
    QHash<TileKey, Failure> m_failures;
    mutable QCache<TileKey, QImage> m_images;
    QTimer m_retryTimer;
};
