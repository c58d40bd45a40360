#pragma once

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QStringList>
#include <QThreadPool>
#include <atomic>
#include <memory>

// The photo list's thumbnails, keyed by path and bounded in bytes. Reading one
// never touches a file; request() loads the missing ones on a pool of its own
// (newest request first, stale requests dropped) and thumbnailReady() names the
// path whose thumbnail arrived, so only rows showing that path repaint.
// Lives on the main thread.
class ThumbnailCache : public QObject {
    Q_OBJECT
public:
    enum class State {
        Missing, // not loaded yet (or pushed out of the cache): show the placeholder
        Loading,
        Ready,
        Unavailable, // the last load gave nothing; the next request tries again
    };

    static constexpr qint64 kDefaultMaxBytes = 64LL * 1024 * 1024;
    static QSize defaultThumbnailSize() { return QSize(96, 70); }

    explicit ThumbnailCache(
        QSize thumbnailSize = defaultThumbnailSize(), qint64 maxBytes = kDefaultMaxBytes, QObject* parent = nullptr);
    ~ThumbnailCache() override;

    // The cached thumbnail; null when there is none. Memory only.
    QImage thumbnail(const QString& path) const;
    State state(const QString& path) const;
    // For an unavailable thumbnail: the icon-theme names of the file's type, which
    // stand in for its picture. Empty otherwise.
    QStringList typeIconNames(const QString& path) const { return m_typeIconNames.value(path); }
    // The picture of ours a row shows without a thumbnail (and without a theme
    // icon for a file without pixels): such a file is editable, so it gets a
    // neutral photo file, never the "not available" sign of a failed decode.
    static QString standInImageName(State state, bool withoutPixels);

    // Loads the thumbnails of these paths that are neither cached nor loading, in
    // this order. Paths of an earlier request that no load has taken yet are
    // dropped: they belonged to rows that scrolled away.
    void request(const QStringList& paths);

    qint64 totalBytes() const { return m_cache.totalCost(); }
    int loadingCount() const { return int(m_loading.size()); }

signals:
    void thumbnailReady(const QString& path);
    void thumbnailUnavailable(const QString& path);

private:
    void startLoads();
    void finishLoad(const QString& path, const QImage& image, const QStringList& typeIconNames);

    QSize m_size;
    QCache<QString, QImage> m_cache;
    QSet<QString> m_loading;
    QSet<QString> m_unavailable;
    QHash<QString, QStringList> m_typeIconNames;
    QStringList m_queue;
    QThreadPool m_pool;
    std::shared_ptr<std::atomic<bool>> m_alive;
};
