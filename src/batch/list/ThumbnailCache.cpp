#include "batch/list/ThumbnailCache.h"

#include "services/Utils.h"
#include "platform/FileTypeIcon.h"

ThumbnailCache::ThumbnailCache(QSize thumbnailSize, qint64 maxBytes, QObject* parent)
    : QObject(parent)
    , m_size(thumbnailSize)
    , m_alive(std::make_shared<std::atomic<bool>>(true))
{
    // QCache counts its cost in qsizetype; a thumbnail's cost is its byte count.
    m_cache.setMaxCost(qsizetype(maxBytes));
    m_pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
}

ThumbnailCache::~ThumbnailCache()
{
    *m_alive = false;
    m_queue.clear();
    m_pool.waitForDone();
}

QString ThumbnailCache::standInImageName(State state, bool withoutPixels)
{
    if (state != State::Unavailable)
        return QStringLiteral("place_holder.png");
    return withoutPixels ? QStringLiteral("photo_file.png") : QStringLiteral("not_av_small.png");
}

QImage ThumbnailCache::thumbnail(const QString& path) const
{
    const QImage* image = m_cache.object(path);
    return image ? *image : QImage();
}

ThumbnailCache::State ThumbnailCache::state(const QString& path) const
{
    if (m_cache.contains(path))
        return State::Ready;
    if (m_loading.contains(path))
        return State::Loading;
    if (m_unavailable.contains(path))
        return State::Unavailable;
    return State::Missing;
}

void ThumbnailCache::request(const QStringList& paths)
{
    m_queue.clear();
    for (const QString& path : paths) {
        if (!m_cache.contains(path) && !m_loading.contains(path) && !m_queue.contains(path))
            m_queue.append(path);
    }
    startLoads();
}

void ThumbnailCache::startLoads()
{
    // Only as many loads as threads are handed to the pool; the rest wait here,
    // where a newer request can still drop them.
    while (!m_queue.isEmpty() && m_loading.size() < m_pool.maxThreadCount()) {
        const QString path = m_queue.takeFirst();
        m_loading.insert(path);
        m_unavailable.remove(path);
        m_typeIconNames.remove(path);
        const QSize size = m_size;
        const std::shared_ptr<std::atomic<bool>> alive = m_alive;
        m_pool.start([this, path, size, alive] {
            QImage image = Utils::sharedUtils().getThumbnailImageAtFilePath(path, QSizeF(size));
            // Fitted to the width, a portrait is taller than the row: keep only what is drawn.
            if (!image.isNull() && (image.width() > size.width() || image.height() > size.height()))
                image = image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            // A file without a picture we can draw (no pixel size, or pixels no decoder
            // here reads, as in some raw and HEIF files) shows its type's icon: the
            // photo is still editable, so it never gets a "not available" sign.
            QStringList typeIconNames;
            if (image.isNull())
                typeIconNames = FileTypeIcon::iconNames(path);
            if (!*alive)
                return;
            QMetaObject::invokeMethod(
                this, [this, path, image, typeIconNames] { finishLoad(path, image, typeIconNames); },
                Qt::QueuedConnection);
        });
    }
}

void ThumbnailCache::finishLoad(const QString& path, const QImage& image, const QStringList& typeIconNames)
{
    m_loading.remove(path);
    if (image.isNull()) {
        m_unavailable.insert(path);
        if (!typeIconNames.isEmpty())
            m_typeIconNames.insert(path, typeIconNames);
        emit thumbnailUnavailable(path);
    } else {
        m_cache.insert(path, new QImage(image), qsizetype(std::max<qint64>(1, image.sizeInBytes())));
        emit thumbnailReady(path);
    }
    startLoads();
}
