#include "batch/run/BatchRunner.h"

#include "base/Logging.h"
#include "batch/naming/GeoNamesGeocoder.h"
#include "batch/naming/LocationNamer.h"
#include "batch/naming/OutputPathBuilder.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"
#include "platform/BackgroundPriority.h"
#include "platform/RestoreData.h"
#include "services/ExifWriter.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>
#include <algorithm>
#include <sys/statvfs.h>
#include <utility>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kProcessedMessage = u"File processed successfully"_s;

QString folderOf(const QString& path)
{
    return QFileInfo(path).absolutePath();
}

// Whether a write left an output the user can take back to the source's metadata.
bool wroteOutput(int errorFlag)
{
    return errorFlag == MetadataWriteResult::Processed || errorFlag == MetadataWriteResult::RawCameraKept;
}

// A photo that no writer finished.
constexpr int kNotWritten = -1;

} // namespace

// What the path thread and the writers share for one run. The main thread reads
// nothing of it but the identity; the snapshot's copies belong to the writers.
struct BatchRunner::Run {
    BatchSnapshot snapshot;
    bool isForRestore = false;
    QStringList restorePaths; // restore: the output of each photo, by index
    int jobs = 1;
    FreeSpaceProbe freeSpace;
    std::shared_ptr<LocationNamer> namer;
    std::atomic<bool> stop { false }; // low space: the photo just handed out is the last
    // Bytes of the sources being written at the moment: a folder's free space is
    // taken as it will be once those writes are done.
    std::atomic<qint64> bytesInHand { 0 };
    // Each photo's result as its writer posted it (kNotWritten until then), by
    // index; every writer sets its own photo's alone.
    std::vector<int> errorFlags;
    // A normal run's outputs that can be taken back, in list order: gathered on the
    // path thread once the writers are done, so that the end of a big run costs
    // the main thread nothing per photo.
    QList<WrittenPhoto> written;
};

// One photo's result, kept by its index so that the lists come out in list order.
struct BatchRunner::Outcome {
    bool finished = false;
    MetadataWriteResult::Code code = MetadataWriteResult::Processed;
    QList<std::shared_ptr<PhotoFile>> warnings;
};

BatchRunner::BatchRunner(QObject* parent)
    : QObject(parent)
    , m_jobs(maximumJobs())
    , m_freeSpace(&BatchRunner::fileSystemFreeSpace)
    , m_mailbox(this, [this] { reportProgress(); })
{
    m_pathPool.setMaxThreadCount(1);
}

BatchRunner::~BatchRunner()
{
    stop();
    m_pathPool.waitForDone();
}

int BatchRunner::maximumJobs()
{
    return std::max(1, QThread::idealThreadCount());
}

void BatchRunner::setJobs(int jobs)
{
    m_jobs = std::clamp(jobs, 1, maximumJobs());
}

void BatchRunner::setFreeSpaceProbe(FreeSpaceProbe probe)
{
    m_freeSpace = probe ? std::move(probe) : FreeSpaceProbe(&BatchRunner::fileSystemFreeSpace);
}

// Asked once per photo, so it asks the file system alone: QStorageInfo would read
// the whole mount table each time to name the volume, which nothing here needs.
std::optional<qint64> BatchRunner::fileSystemFreeSpace(const QString& folder)
{
    struct statvfs volume { };
    if (::statvfs(QFile::encodeName(folder).constData(), &volume) != 0) {
        qCWarning(lcBatch).noquote() << "Error Obtaining System Memory Info: cannot read the file system of" << folder;
        return std::nullopt;
    }
    return qint64(volume.f_bavail) * qint64(volume.f_frsize);
}

void BatchRunner::setLocationNamer(std::shared_ptr<LocationNamer> namer)
{
    m_namer = std::move(namer);
}

void BatchRunner::setGeocoderChoice(GeocoderChoice choice)
{
    m_geocoderChoice = std::move(choice);
}

bool BatchRunner::start(BatchSnapshot snapshot)
{
    return startRun(std::move(snapshot), false, {});
}

bool BatchRunner::restoreLastRun(const QList<std::shared_ptr<PhotoFile>>& batchList)
{
    return restoreOutputs(m_lastRunWritten, batchList);
}

bool BatchRunner::restoreOutputs(const QList<WrittenPhoto>& written, const QList<std::shared_ptr<PhotoFile>>& batchList)
{
    if (m_state.running)
        return false;
    QHash<const PhotoFile*, QString> outputOf;
    for (const auto& [photo, output] : written)
        outputOf.insert(photo.get(), output);
    QList<std::shared_ptr<PhotoFile>> photos;
    QStringList outputs;
    // In the batch list's order; a photo removed from the list since is no longer the user's to restore.
    for (const std::shared_ptr<PhotoFile>& photo : batchList) {
        const auto it = outputOf.constFind(photo.get());
        if (it != outputOf.cend()) {
            photos.append(photo);
            outputs.append(*it);
        }
    }
    if (photos.isEmpty())
        return false;
    // The writer restores each photo from its own values; the snapshot only carries the run's options.
    const MetaDataObject nothingEdited;
    BatchSnapshot snapshot = BatchSnapshot::forPhotos(photos, batchList, nothingEdited, nothingEdited, m_state.options);
    return startRun(std::move(snapshot), true, outputs);
}

QList<std::shared_ptr<PhotoFile>> BatchRunner::photosWrittenByLastRun() const
{
    QList<std::shared_ptr<PhotoFile>> photos;
    for (const auto& entry : m_lastRunWritten)
        photos.append(entry.first);
    return photos;
}

bool BatchRunner::startRun(BatchSnapshot snapshot, bool isForRestore, const QStringList& restorePaths)
{
    if (m_state.running || snapshot.isEmpty() || !snapshot.isCopied())
        return false;
    m_pathPool.waitForDone();

    auto run = std::make_shared<Run>();
    run->isForRestore = isForRestore;
    run->restorePaths = restorePaths;
    run->jobs = m_jobs;
    run->freeSpace = m_freeSpace;
    // In the clean mode the settings lose the groups that go; only the copy does.
    MetaDataObject::metadataObjectWithCleanInfoUpdation(*snapshot.settings);
    if (!isForRestore && snapshot.options.namesPlaces()) {
        if (m_geocoderChoice) {
            auto geocoder = m_geocoderChoice();
            if (geocoder && (!m_namer || geocoder != m_namerGeocoder)) {
                m_namer = std::make_shared<LocationNamer>(geocoder);
                m_namerGeocoder = std::move(geocoder);
            }
        }
        if (!m_namer)
            m_namer = std::make_shared<LocationNamer>(std::make_shared<GeoNamesGeocoder>());
        run->namer = m_namer;
    }

    m_state = BatchRunState {};
    m_state.runSize = snapshot.photos.size();
    m_state.running = true;
    m_state.isForRestore = isForRestore;
    m_state.startedAt = QDateTime::currentDateTimeUtc();
    m_state.options = snapshot.options;
    m_state.photos = snapshot.photos;
    m_outcomes = QList<Outcome>(snapshot.photos.size());
    if (!isForRestore) {
        // The last run can no longer be restored: its way back goes.
        for (const auto& [photo, output] : std::as_const(m_lastRunWritten)) {
            if (photo->restorePoint) {
                RestoreData::discard(photo->restorePoint->dataPath);
                photo->restorePoint.reset();
            }
        }
        m_lastRunWritten.clear();
    }

    run->snapshot = std::move(snapshot);
    m_run = run;
    m_stopRequested = false;
    emit started();
    emit progressChanged(0, m_state.runSize);
    m_pathPool.start([this, run] {
        try {
            runPaths(run);
        } catch (const std::exception& error) {
            // Nothing was handed to a writer yet: the run ends with the photos it has.
            qCWarning(lcBatch) << "the run could not go on:" << error.what();
            m_mailbox.post([this, run] { runEnded(run); });
        }
    });
    return true;
}

void BatchRunner::stop()
{
    m_stopRequested = true;
}

void BatchRunner::waitForFinished()
{
    m_pathPool.waitForDone();
    // Deliver the results and the end that the run has posted.
    m_mailbox.deliverAll();
}

QList<std::shared_ptr<PhotoFile>> BatchRunner::errorRecords() const
{
    return errorRecords(0, m_outcomes.size());
}

QList<std::shared_ptr<PhotoFile>> BatchRunner::warningRecords() const
{
    return warningRecords(0, m_outcomes.size());
}

qsizetype BatchRunner::photoCount() const
{
    return m_outcomes.size();
}

QList<std::shared_ptr<PhotoFile>> BatchRunner::errorRecords(qsizetype from, qsizetype to) const
{
    QList<std::shared_ptr<PhotoFile>> records;
    to = std::min(to, m_outcomes.size());
    for (qsizetype i = std::max(from, qsizetype(0)); i < to; ++i) {
        if (m_outcomes[i].finished && m_outcomes[i].code != MetadataWriteResult::Processed)
            records.append(m_state.photos[i]);
    }
    return records;
}

QList<std::shared_ptr<PhotoFile>> BatchRunner::warningRecords(qsizetype from, qsizetype to) const
{
    QList<std::shared_ptr<PhotoFile>> records;
    to = std::min(to, m_outcomes.size());
    for (qsizetype i = std::max(from, qsizetype(0)); i < to; ++i) {
        if (m_outcomes[i].code != MetadataWriteResult::SourceMissing)
            records.append(m_outcomes[i].warnings);
    }
    return records;
}

QList<std::shared_ptr<PhotoFile>> BatchRunner::warningsOf(int index) const
{
    if (index < 0 || index >= m_outcomes.size() || m_outcomes[index].code == MetadataWriteResult::SourceMissing)
        return {};
    return m_outcomes[index].warnings;
}

// ---- The path thread ----

void BatchRunner::runPaths(const std::shared_ptr<Run>& run)
{
    lowerThisThreadToBackgroundPriority();
    BatchSnapshot& snapshot = run->snapshot;
    run->errorFlags.assign(std::size_t(snapshot.workCopies.size()), kNotWritten);
    {
        // The path builder's names of a big run and the writer threads go before the
        // end is posted: the main thread waits for this task at the end.
        std::optional<OutputPathBuilder> builder;
        if (!run->isForRestore)
            builder.emplace(snapshot.options, run->namer, snapshot.batchSourcePaths);

        QThreadPool writers;
        writers.setMaxThreadCount(run->jobs);
        QSemaphore freeWriters(run->jobs);
        try {
            handOutPaths(run, builder, writers, freeWriters);
        } catch (const std::exception& error) {
            // The writes in hand still finish, and the run ends as after a stop.
            qCWarning(lcBatch) << "the run could not go on:" << error.what();
            run->stop = true;
        }
        writers.waitForDone();
    }
    if (!run->isForRestore) {
        for (qsizetype i = 0; i < snapshot.workCopies.size(); ++i) {
            const QString& output = snapshot.workCopies[i]->processedPath;
            if (wroteOutput(run->errorFlags[std::size_t(i)]) && !output.isEmpty())
                run->written.append({ snapshot.photos[i], output });
        }
    }
    m_mailbox.post([this, run] { runEnded(run); });
}

void BatchRunner::handOutPaths(const std::shared_ptr<Run>& run, std::optional<OutputPathBuilder>& builder,
    QThreadPool& writers, QSemaphore& freeWriters)
{
    BatchSnapshot& snapshot = run->snapshot;
    for (int index = 0; index < snapshot.workCopies.size(); ++index) {
        // Waiting for a free writer first keeps one writer strictly in list order:
        // the next path is built and its folder tested only after the last write.
        freeWriters.acquire();
        if (run->stop || m_stopRequested) {
            freeWriters.release();
            break;
        }
        const PhotoFile& photo = *snapshot.workCopies[index];
        QString outputPath;
        if (run->isForRestore) {
            outputPath = run->restorePaths.value(index);
        } else {
            OutputPath output
                = builder->updatedPathWithSelectedSetting(photo, *snapshot.settings, snapshot.onlyUpdated.get());
            outputPath = output.path;
            m_mailbox.post([this, run, index, warnings = std::move(output.warnings)] {
                if (run == m_run)
                    m_outcomes[index].warnings = warnings;
            });
        }

        bool lastOne = false;
        if (const std::optional<qint64> free = run->freeSpace(folderOf(outputPath))) {
            if (*free - run->bytesInHand < kMinimumFreeBytes) {
                lastOne = true;
                run->stop = true;
                m_mailbox.post([this, run] { lowSpaceFound(run); });
            }
        }

        m_mailbox.post([this, run, index, path = photo.filePath] {
            if (run == m_run)
                emit photoStarted(index, path);
        });
        const qint64 bytes = qint64(photo.fileSizeInBytes);
        run->bytesInHand += bytes;
        writers.start([this, run, index, outputPath, bytes, &freeWriters] {
            lowerThisThreadToBackgroundPriority();
            try {
                writePhoto(run, index, outputPath);
            } catch (const std::exception& error) {
                qCWarning(lcBatch) << "writing photo" << index << "failed:" << error.what();
            }
            run->bytesInHand -= bytes;
            freeWriters.release();
        });
        if (lastOne)
            break;
    }
}

// On a writer thread: the photo's copy and records of its own, never the form's.
void BatchRunner::writePhoto(const std::shared_ptr<Run>& run, int index, const QString& outputPath)
{
    PhotoFile& photo = *run->snapshot.workCopies[index];
    std::shared_ptr<MetaDataObject> settings;
    std::shared_ptr<MetaDataObject> onlyUpdated;
    if (run->isForRestore) {
        // The writer's restore takes the photo's own values (its source, its restore
        // point) and no record.
        settings = std::make_shared<MetaDataObject>();
        onlyUpdated = std::make_shared<MetaDataObject>();
        photo.processedPath = outputPath;
    } else {
        settings = BatchSnapshot::deepCopy(*run->snapshot.settings);
        onlyUpdated = BatchSnapshot::deepCopy(*run->snapshot.onlyUpdated);
    }
    const MetadataWriteResult result = ExifWriter::sharedInstance().writeMetaDataToFilePath(
        photo, *settings, outputPath, *onlyUpdated, run->isForRestore);
    // A photo written in place now holds other values than those read when it
    // was added: the list, the form and the next run start from the file again.
    std::shared_ptr<MetaDataObject> reread;
    if (wroteOutput(result.errorFlag)
        && QFileInfo(outputPath).canonicalFilePath() == QFileInfo(photo.filePath).canonicalFilePath()) {
        reread = std::make_shared<MetaDataObject>();
        ExifWriter::sharedInstance().readMetaFromPath(outputPath, *reread);
    }
    run->errorFlags[std::size_t(index)] = result.errorFlag;
    m_mailbox.post([this, run, index, result, reread, processed = photo.processedPath] {
        changesNotMade(run, index, result.warnings);
        photoWritten(run, index, MetadataWriteResult::Code(result.errorFlag), result.errorMsg, processed, reread);
    });
}

// ---- Back on the main thread ----

void BatchRunner::lowSpaceFound(const std::shared_ptr<Run>& run)
{
    if (run != m_run)
        return;
    m_state.endedOnLowSpace = true;
    emit notEnoughSpace();
}

void BatchRunner::changesNotMade(const std::shared_ptr<Run>& run, int index, const QStringList& warnings)
{
    if (run != m_run)
        return;
    for (const QString& warning : warnings) {
        auto record = std::make_shared<PhotoFile>();
        record->filePath = std::as_const(m_state.photos)[index]->filePath;
        record->processStatus = PhotoChangeNotMade;
        record->processMsg = warning;
        m_outcomes[index].warnings.append(std::move(record));
    }
}

void BatchRunner::photoWritten(const std::shared_ptr<Run>& run, int index, MetadataWriteResult::Code code,
    const QString& message, const QString& processedPath, const std::shared_ptr<MetaDataObject>& reread)
{
    if (run != m_run)
        return;
    // Read through a const list: the state's copies (the progress sheet's and the
    // bottom line's) share it, and a write access would copy the whole list for
    // every photo of the run.
    const std::shared_ptr<PhotoFile>& photo = std::as_const(m_state.photos)[index];
    if (reread) {
        photo->metadataObject = reread;
        photo->metadataObjectOriginal = reread;
    }
    // The writer is done with its copy: what it changed of the photo becomes the photo's.
    photo->restorePoint = run->snapshot.workCopies[index]->restorePoint;
    photo->processStatus = code; // stored and shown as its number
    photo->processMsg = code == MetadataWriteResult::Processed ? QString() : message;
    photo->processInfoMessage = kProcessedMessage;
    if (!processedPath.isEmpty())
        photo->processedPath = processedPath;

    Outcome& outcome = m_outcomes[index];
    outcome.finished = true;
    outcome.code = code;
    ++m_state.handled;
    if (code == MetadataWriteResult::Processed)
        ++m_state.succeeded;
    else
        ++m_state.failed;

    emit photoFinished(index, code, message);
    m_progressUnreported = true;
}

void BatchRunner::reportProgress()
{
    if (std::exchange(m_progressUnreported, false))
        emit progressChanged(m_state.handled, m_state.runSize);
}

void BatchRunner::runEnded(const std::shared_ptr<Run>& run)
{
    if (run != m_run)
        return;
    m_pathPool.waitForDone();
    m_state.running = false;
    m_state.stopRequested = m_stopRequested;
    m_state.endedAt = QDateTime::currentDateTimeUtc();
    m_lastRunWritten = std::exchange(run->written, {});
    reportProgress();
    emit finished();
}
