#include "batch/intake/PhotoIntake.h"

#include "services/ExifWriter.h"
#include "base/Logging.h"
#include "batch/intake/PhotoIntakeWalk.h"
#include "batch/list/PhotoListModel.h"
#include "model/PhotoFile.h"
#include "platform/BackgroundPriority.h"
#include "platform/OpenablePhotoPath.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSemaphore>
#include <QtConcurrent>
#include <deque>
#include <stdexcept>

using namespace Qt::Literals::StringLiterals;

using PhotoChunk = QList<std::shared_ptr<PhotoFile>>;

struct PhotoIntake::Job {
    QStringList paths;
    QSet<QString> pathsInBatch;
    PhotoIntakeWalk::Options options;
    int chunkSize = 32;
    int handOffSize = 256;
    int maxChunksInFlight = 16;
    QThreadPool* readPool = nullptr;
    PhotoIntake::PhotoReader reader;
    std::atomic<bool> stop { false };
    QSemaphore chunkDone; // released by every finished read; wakes the walker
};

namespace {

constexpr qint64 kHandOffIntervalMs = 100;

struct ReadChunk {
    PhotoChunk photos;
    int unreadable = 0; // paths whose reading failed outright
};

// Wakes the walker when a chunk ends, however it ends.
struct ChunkDoneSignal {
    QSemaphore* done;
    ~ChunkDoneSignal() { done->release(); }
};

ReadChunk readChunk(const QStringList& paths, const PhotoIntake::PhotoReader& reader, QSemaphore* done)
{
    lowerThisThreadToBackgroundPriority();
    const ChunkDoneSignal signal { done };
    ReadChunk chunk;
    chunk.photos.reserve(paths.size());
    for (const QString& path : paths) {
        // One broken file must not end the adding: it counts as a file that cannot
        // be added.
        std::shared_ptr<PhotoFile> photo;
        QString failure;
        try {
            photo = reader(path);
            if (!photo)
                failure = QStringLiteral("no photo could be made of it");
        } catch (const std::exception& error) {
            failure = QString::fromLocal8Bit(error.what());
        } catch (...) {
            failure = QStringLiteral("an unknown failure");
        }
        if (!photo) {
            qCWarning(lcBatch).noquote() << "Cannot add" << path << "-" << failure;
            ++chunk.unreadable;
            continue;
        }
        // The image-property dictionary has served for the pixel size; no one reads
        // it afterwards, and it would be the largest part of a listed photo.
        photo->exifDict = QVariantMap();
        chunk.photos.append(std::move(photo));
    }
    return chunk;
}

} // namespace

std::shared_ptr<PhotoFile> PhotoIntake::readPhotoFile(const QString& path)
{
    // A photo no writer can write is not taken into the list, where it could be
    // edited only to be refused at the end of the run.
    // One read of the file's first bytes serves that check and the record's kind.
    const std::optional<QByteArray> head = ExifWriter::kindHeadOf(path);
    // A name that is no regular file (a FIFO, a device) or cannot be read is not
    // taken: the user hears why instead of finding an empty photo in the list.
    if (!head) {
        const QString problem = regularFileProblem(path);
        throw std::runtime_error(
            (u"It cannot be read: "_s + (problem.isEmpty() ? u"reading its first bytes failed"_s : problem) + u"."_s)
                .toStdString());
    }
    if (const std::optional<QString> why = ExifWriter::whyNotWritable(path, head))
        throw std::runtime_error(why->toStdString());
    ExifWriter::prepareWriterFor(path);
    return std::make_shared<PhotoFile>(path, ExifWriter::kindOf(head.value_or(QByteArray())), PhotoFile::ListedOnly {});
}

PhotoIntake::PhotoIntake(PhotoListModel& model, QObject* parent)
    : QObject(parent)
    , m_model(model)
    , m_reader(&PhotoIntake::readPhotoFile)
{
    qRegisterMetaType<PhotoIntakeSummary>();
    qRegisterMetaType<PhotoLibraryAlert>();
    m_walkPool.setMaxThreadCount(1);
    m_readPool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
}

PhotoIntake::~PhotoIntake()
{
    if (m_job)
        m_job->stop = true;
    m_walker.waitForFinished();
}

void PhotoIntake::setPhotoReader(PhotoReader reader)
{
    m_reader = reader ? std::move(reader) : PhotoReader(&PhotoIntake::readPhotoFile);
}

void PhotoIntake::setReadThreads(int threads)
{
    m_readPool.setMaxThreadCount(std::max(1, threads));
}

bool PhotoIntake::addPhotosFromPathUrls(const QStringList& paths)
{
    if (m_running)
        return false;
    m_walker.waitForFinished(); // the last job's worker posts its end before it returns

    auto job = std::make_shared<Job>();
    job->paths = paths;
    job->pathsInBatch = m_model.pathsInBatch();
    job->options.maxPhotos = m_maxPhotos;
    job->chunkSize = m_chunkSize;
    job->handOffSize = m_handOffSize;
    job->maxChunksInFlight = 2 * m_readPool.maxThreadCount();
    job->readPool = &m_readPool;
    job->reader = m_reader;
    m_job = job;
    m_running = true;
    m_addedSoFar = 0;
    emit started();
    m_walker = QtConcurrent::run(&m_walkPool, [this, job] {
        try {
            runJob(job);
        } catch (const std::exception& error) {
            // The adding still ends, so that the list is not left waiting for it.
            qCWarning(lcBatch) << "the adding failed:" << error.what();
            job->stop = true;
            job->readPool->waitForDone(); // no reader may outlive what it reports to
            PhotoIntakeSummary summary;
            summary.isPHOTOS_PROCESSING_STOPPED = true;
            summary.maxPhotos = job->options.maxPhotos;
            postFinished(job, summary);
        }
    });
    return true;
}

void PhotoIntake::stop()
{
    if (m_job && m_running)
        m_job->stop = true;
}

void PhotoIntake::waitForIdle()
{
    if (!m_running)
        return;
    stop();
    m_walker.waitForFinished();
    // The worker's last hand-offs and its end wait as posted calls on this object.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void PhotoIntake::handOff(const std::shared_ptr<Job>& job, PhotoChunk photos)
{
    QMetaObject::invokeMethod(
        this,
        [this, job, photos = std::move(photos)] {
            if (job != m_job)
                return;
            m_model.appendPhotos(photos);
            m_addedSoFar += int(photos.size());
            emit photosAdded(m_addedSoFar);
        },
        Qt::QueuedConnection);
}

// The worker: walks, sends accepted paths to the read pool chunk by chunk, and
// hands the read photos to the main thread in the walk's order.
void PhotoIntake::runJob(const std::shared_ptr<Job>& job)
{
    lowerThisThreadToBackgroundPriority();
    struct InFlight {
        QFuture<ReadChunk> photos;
        PhotoIntakeCounts countsAtLastPhoto;
    };
    std::deque<InFlight> inFlight;
    QStringList pending;
    PhotoChunk ready;
    PhotoIntakeCounts deliveredCounts;
    int delivered = 0;
    int unreadable = 0;
    QElapsedTimer sinceHandOff;
    sinceHandOff.start();

    auto flush = [&](bool force) {
        if (ready.isEmpty())
            return;
        if (force || ready.size() >= job->handOffSize || sinceHandOff.elapsed() >= kHandOffIntervalMs) {
            handOff(job, std::move(ready));
            ready = PhotoChunk();
            sinceHandOff.restart();
        }
    };
    auto takeFront = [&] {
        InFlight front = std::move(inFlight.front());
        inFlight.pop_front();
        // Wait for the oldest chunk, but never keep finished photos from the main
        // thread for more than the hand-off interval meanwhile.
        while (!front.photos.isFinished()) {
            const qint64 left = kHandOffIntervalMs - sinceHandOff.elapsed();
            if (!job->chunkDone.tryAcquire(1, ready.isEmpty() ? 50 : int(std::max<qint64>(0, left))))
                flush(false);
        }
        const ReadChunk chunk = front.photos.result();
        ready.append(chunk.photos);
        delivered += int(chunk.photos.size());
        unreadable += chunk.unreadable;
        deliveredCounts = front.countsAtLastPhoto;
        flush(false);
    };

    PhotoIntakeWalk walk(job->pathsInBatch, job->options, job->stop, [this](const PhotoLibraryAlert& alert) {
        QMetaObject::invokeMethod(
            this, [this, alert] { emit libraryAlert(alert); }, Qt::QueuedConnection);
    });
    auto submit = [&] {
        if (pending.isEmpty())
            return;
        while (int(inFlight.size()) >= job->maxChunksInFlight)
            takeFront();
        inFlight.push_back(
            { QtConcurrent::run(job->readPool, readChunk, pending, job->reader, &job->chunkDone), walk.counts() });
        pending.clear();
    };

    walk.run(job->paths, [&](const QString& path) {
        pending.append(path);
        if (pending.size() >= job->chunkSize)
            submit();
        while (!inFlight.empty() && inFlight.front().photos.isFinished())
            takeFront();
        flush(false);
    });
    // After a stop only the chunks being read are still added; paths the walk
    // accepted but no reader took yet are dropped.
    if (!walk.stopped())
        submit();
    while (!inFlight.empty())
        takeFront();
    flush(true);

    PhotoIntakeSummary summary;
    static_cast<PhotoIntakeCounts&>(summary) = walk.stopped() && delivered > 0 ? deliveredCounts : walk.counts();
    summary.damagedFileCount += unreadable;
    // A photo that could not be read is left out: the user hears of it as of a refused file.
    if (unreadable > 0)
        summary.isPhotoFormatNotSupported = true;
    summary.totalPhotoToAdd = delivered;
    summary.isMAX_PHOTOS_LIMIT_EXCEEDED = walk.limitExceeded();
    summary.isPHOTOS_PROCESSING_STOPPED = job->stop.load();
    summary.maxPhotos = job->options.maxPhotos;
    qCInfo(lcBatch) << "is adding photos count =" << delivered;
    postFinished(job, summary);
}

void PhotoIntake::postFinished(const std::shared_ptr<Job>& job, const PhotoIntakeSummary& summary)
{
    QMetaObject::invokeMethod(
        this,
        [this, job, summary] {
            if (job != m_job)
                return;
            m_running = false;
            m_summary = summary;
            emit finished(m_summary);
        },
        Qt::QueuedConnection);
}
